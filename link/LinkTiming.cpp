#include "link/LinkTiming.h"

#include <chrono>
#include <thread>

LinkTiming& TheLinkTiming() {
    static LinkTiming timing;
    return timing;
}

void RestoreLinkTiming() {
    const LinkTiming program;
    LinkTiming& timing = TheLinkTiming();
    timing.statePollMs.store(program.statePollMs.load());
    timing.countBusyPollMs.store(program.countBusyPollMs.load());
    timing.replyPollMs.store(program.replyPollMs.load());
    timing.replyPolls.store(program.replyPolls.load());
    timing.connectTimeoutMs.store(program.connectTimeoutMs.load());
    timing.stateWaitLimitMs.store(program.stateWaitLimitMs.load());
    timing.closeWaitLimitMs.store(program.closeWaitLimitMs.load());
}

void SleepMs(int32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
