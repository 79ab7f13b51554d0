#pragma once

#include <cstdint>
#include <memory>

#include "SystemSockets.h"

struct LinkSessionState;

struct FreeAddresses {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, FreeAddresses>;

// The gateway's stream addresses (IPv4 only, or of any family, as the session asks) from the
// session's host and service, through the resolver of the link's seams: 0 with the addresses, the
// resolver's code, LINK_E_ABORTED when the opening is cancelled meanwhile, or the error of a thread
// that could not start.
int32_t ResolveGateway(const LinkSessionState& session, AddressList& addresses);
