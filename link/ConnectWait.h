#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

#include "link/LinkSession.h"
#include "link/LinkTiming.h"

// The wait for a TCP connection attempt, shared by the transports of every system: at most the
// connect time-out in all, in slices of one state poll, so that a cancelled opening ends it at
// the next slice and a signal never shortens it. `waitSlice(ms)` waits one slice on the socket
// and gives the attempt's result once it has one.
template <typename WaitSlice>
int32_t AwaitConnection(const LinkSession& session, WaitSlice waitSlice) {
    using Clock = std::chrono::steady_clock;
    const auto limit =
        Clock::now() + std::chrono::milliseconds(session.timing.connectTimeoutMs.load());
    for (;;) {
        if (session.openingCancelled.load()) return LINK_E_ABORTED;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
        if (left <= 0) return LINK_E_TIMEOUT;
        const auto slice = std::min<int64_t>(left, session.timing.statePollMs.load());
        if (const std::optional<int32_t> result = waitSlice(static_cast<int>(slice)))
            return *result;
    }
}
