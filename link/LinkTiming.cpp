#include "link/LinkTiming.h"

#include <chrono>
#include <thread>

void SleepMs(int32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
