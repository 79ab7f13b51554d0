#include "cli/Interrupt.h"

#include <signal.h>

#include <chrono>
#include <thread>

namespace {

std::atomic<int32_t> interrupted{0};
std::atomic<int32_t> abortFlag{0};
static_assert(std::atomic<int32_t>::is_always_lock_free, "set from a signal handler");

void OnInterrupt(int) {
    interrupted.store(1);
    abortFlag.store(1);
}

}  // namespace

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;  // a second Ctrl-C is not caught
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
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
