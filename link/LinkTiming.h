#pragma once

#include <atomic>
#include <cstdint>

// The link's waiting times. The program keeps these values; tests may shorten them here, in this
// one place, so that the suite stays fast.
struct LinkTiming {
    std::atomic<int32_t> statePollMs{10};         // receive thread idle sleep, state polls
    std::atomic<int32_t> countBusyPollMs{10};     // SendCommand waiting for a count request
    std::atomic<int32_t> replyPollMs{100};        // one pass of the reply wait
    std::atomic<int32_t> replyPolls{100};         // passes before LINK_E_TIMEOUT (10 s)
    std::atomic<int32_t> connectTimeoutMs{3000};  // TCP connection attempt
    std::atomic<int32_t> stateWaitLimitMs{5000};  // bound of OpenLink's and CloseLink's waits
};

LinkTiming& TheLinkTiming();
