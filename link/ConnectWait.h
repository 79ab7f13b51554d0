#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

#include "link/AddressResolution.h"
#include "link/LinkSession.h"
#include "link/LinkTiming.h"

// The wait for a TCP connection attempt, shared by the transports of every system: at most the
// connection time limit in all, in slices of one state poll, so that a cancelled opening ends it at
// the next slice and a signal never shortens it. `waitSlice(ms)` waits one slice on the socket
// and gives the attempt's result once it has one.
// `limit` is when the attempts of one opening, one per address, have to give up.
template <typename WaitSlice>
int32_t AwaitConnection(const LinkSessionState& session, WaitSlice waitSlice,
                        std::chrono::steady_clock::time_point limit) {
    using Clock = std::chrono::steady_clock;
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

// When the attempts of an opening starting now have to give up.
inline std::chrono::steady_clock::time_point ConnectLimit(const LinkSessionState& session) {
    return std::chrono::steady_clock::now() +
           std::chrono::milliseconds(session.timing.connectTimeoutMs.load());
}

// The window names its gateway by one IPv4 address and tries only the first; a session that
// resolves any family tries each address in turn, all within the one connection time limit, and
// reports the last failure. `connectTo(address, limit)` makes one attempt.
template <typename ConnectTo>
int32_t ConnectToGateway(LinkSessionState& session, ConnectTo connectTo) {
    AddressList addresses;
    if (const int32_t code = ResolveGateway(session, addresses); code != 0) return code;
    const auto limit = ConnectLimit(session);
    int32_t code = 0;
    for (const addrinfo* address = addresses.get(); address != nullptr;
         address = address->ai_next) {
        code = connectTo(*address, limit);
        if (code == 0 || session.family != AddressFamily::Any || code == LINK_E_ABORTED) break;
    }
    return code;
}
