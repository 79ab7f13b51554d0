#pragma once

#include <atomic>
#include <cstdint>

// The waiting times of one session. The program keeps these values; a front end or a test that
// needs other ones sets them on its own session, never for the whole process.
struct LinkTiming {
    std::atomic<int32_t> statePollMs{10};         // quiet-line wait at open, state polls
    std::atomic<int32_t> countBusyPollMs{10};     // SendCommand waiting for a count request
    std::atomic<int32_t> replyPollMs{100};        // one pass of the reply wait
    std::atomic<int32_t> replyPolls{100};         // passes before LINK_E_TIMEOUT (10 s)
    std::atomic<int32_t> connectTimeoutMs{3000};  // TCP connection attempt
    std::atomic<int32_t> stateWaitLimitMs{5000};  // OpenLink waiting for the line to go quiet
    std::atomic<int32_t> closeWaitLimitMs{500};   // CloseLink waiting for the receive thread
    // Whether a reply wait ends as soon as its reply has come (velkorctl), or only at the end of
    // its pass (the window, whose units have always been asked at that pace).
    std::atomic<bool> wakeAtOnce{false};
};

// The one way the link waits: a sleep of `ms` milliseconds.
void SleepMs(int32_t ms);
