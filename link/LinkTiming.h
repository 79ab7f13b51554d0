#pragma once

#include <atomic>
#include <cstdint>

// The link's waiting times. The program keeps these values; tests may shorten them here, in this
// one place, so that the suite stays fast, and put them back with RestoreLinkTiming.
struct LinkTiming {
    std::atomic<int32_t> statePollMs{10};         // receive thread idle sleep, state polls
    std::atomic<int32_t> countBusyPollMs{10};     // SendCommand waiting for a count request
    std::atomic<int32_t> replyPollMs{100};        // one pass of the reply wait
    std::atomic<int32_t> replyPolls{100};         // passes before LINK_E_TIMEOUT (10 s)
    std::atomic<int32_t> connectTimeoutMs{3000};  // TCP connection attempt
    std::atomic<int32_t> stateWaitLimitMs{5000};  // OpenLink waiting for the line to go quiet
    std::atomic<int32_t> closeWaitLimitMs{500};   // CloseLink waiting for the receive thread
};

LinkTiming& TheLinkTiming();

// Puts every waiting time back to the program's value.
void RestoreLinkTiming();

// The one way the link waits: a sleep of `ms` milliseconds.
void SleepMs(int32_t ms);
