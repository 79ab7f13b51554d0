#include "cli/Interrupt.h"

#include <chrono>
#include <thread>

namespace {

std::atomic<int32_t> interrupted{0};
std::atomic<int32_t> abortFlag{0};
static_assert(std::atomic<int32_t>::is_always_lock_free, "set from a signal handler");

}  // namespace

void NoteInterrupt() {
    interrupted.store(1);
    abortFlag.store(1);
}

bool Interrupted() {
    return interrupted.load() != 0;
}

std::atomic<int32_t>& InterruptAbort() {
    return abortFlag;
}

bool SleepUnlessInterrupted(int32_t ms) {
    constexpr int32_t STEP_MS = 20;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Interrupted() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(STEP_MS));
    return !Interrupted();
}
