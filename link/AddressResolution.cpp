#include "link/AddressResolution.h"

#include <chrono>
#include <future>
#include <string>
#include <system_error>
#include <thread>

#include "link/LinkSeams.h"
#include "link/LinkSession.h"
#include "link/LinkTiming.h"

namespace {

struct Resolution {
    int code = 0;
    AddressList addresses;
};

}  // namespace

// The resolver runs on a thread of its own, so that closing the program need not wait for a name
// server that does not answer: the opener stops waiting when the opening is cancelled, and the
// thread frees its result whenever the resolver returns.
int32_t ResolveGateway(const LinkSessionState& session, AddressList& addresses) {
    std::promise<Resolution> promise;
    std::future<Resolution> future = promise.get_future();
    try {
        const int family = session.family == AddressFamily::Any ? AF_UNSPEC : AF_INET;
        std::thread([host = session.host, service = session.service, family,
                     promise = std::move(promise)]() mutable {
            addrinfo hints{};
            hints.ai_family = family;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* list = nullptr;
            Resolution resolution;
            resolution.code =
                TheLinkSeams().resolve.load()(host.c_str(), service.c_str(), &hints, &list);
            resolution.addresses.reset(list);
            promise.set_value(std::move(resolution));
        }).detach();
    } catch (const std::system_error& failure) {
        return failure.code().value();
    }
    const std::chrono::milliseconds poll(session.timing.statePollMs.load());
    while (future.wait_for(poll) != std::future_status::ready) {
        if (session.openingCancelled.load()) return LINK_E_ABORTED;
    }
    Resolution resolution = future.get();
    if (resolution.code != 0) return resolution.code;
    addresses = std::move(resolution.addresses);
    return 0;
}
