#include <algorithm>
#include <chrono>
#include <cstdint>

#include "SystemSockets.h"
#include "link/AddressResolution.h"
#include "link/ConnectWait.h"
#include "link/LinkInternals.h"
#include "link/LinkPlatform.h"
#include "link/LinkTiming.h"

// TCP to the gateway over Windows Sockets 2. Failures carry WSAGetLastError() numbers (10061 for
// a refused connection, 10060 for a time-out), as the operator's texts show them.

namespace {

constexpr DWORD SOCKET_TIMEOUT_MS = 1000;  // receive and send time-outs of the socket

SOCKET SocketOf(const LinkSession& session) {
    return static_cast<SOCKET>(session.tcpSocket.load());
}

int32_t SetBlocking(SOCKET socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0 ? 0 : WSAGetLastError();
}

void CloseSocket(LinkSession& session) {
    const LinkDescriptor open = session.tcpSocket.exchange(NO_DESCRIPTOR);
    if (open != NO_DESCRIPTOR) closesocket(static_cast<SOCKET>(open));
}

int32_t FailOpen(LinkSession& session, int32_t code) {
    CloseSocket(session);
    return code;
}

// A refused connection lands in the exception set, with its number pending on the socket.
int32_t PendingError(SOCKET socket) {
    int pending = 0;
    int size = sizeof pending;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &size) != 0) {
        return WSAGetLastError();
    }
    return pending != 0 ? pending : LINK_E_ABORTED;
}

// One slice of the connection wait. Writable: connected; in the exception set: refused.
std::optional<int32_t> ConnectionSlice(SOCKET socket, int ms) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval wait{ms / 1000, ms % 1000 * 1000};
    const int ready = select(0, nullptr, &writable, &failed, &wait);
    if (ready == SOCKET_ERROR) return WSAGetLastError();
    if (ready == 0) return std::nullopt;
    if (FD_ISSET(socket, &failed)) return PendingError(socket);
    return FD_ISSET(socket, &writable) ? 0 : LINK_E_ABORTED;
}

int32_t TcpOpen(LinkSession& session) {
    if (const int32_t code = StartSocketLibrary(); code != 0) return code;
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return WSAGetLastError();
    session.tcpSocket.store(static_cast<LinkDescriptor>(socket));
    const DWORD timeout = SOCKET_TIMEOUT_MS;
    const char* option = reinterpret_cast<const char*>(&timeout);
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, option, sizeof timeout);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, option, sizeof timeout);

    AddressList addresses;
    if (const int32_t code = ResolveGateway(session, addresses); code != 0) {
        return FailOpen(session, code);
    }
    if (const int32_t code = SetBlocking(socket, false); code != 0) return FailOpen(session, code);
    // Only the first address is tried, as the gateway is named by one address.
    if (connect(socket, addresses->ai_addr, static_cast<int>(addresses->ai_addrlen)) != 0) {
        const int32_t code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) return FailOpen(session, code);
    }
    if (const int32_t code =
            AwaitConnection(session, [socket](int ms) { return ConnectionSlice(socket, ms); });
        code != 0) {
        return FailOpen(session, code);
    }
    if (const int32_t code = SetBlocking(socket, true); code != 0) return FailOpen(session, code);
    return 0;
}

int32_t TcpBytesWaiting(LinkSession& session) {
    u_long waiting = 0;
    if (ioctlsocket(SocketOf(session), FIONREAD, &waiting) != 0) return 0;
    return static_cast<int32_t>(std::min<u_long>(waiting, INT32_MAX));
}

int32_t TcpReadOne(LinkSession& session, unsigned char& byte) {
    const int got = recv(SocketOf(session), reinterpret_cast<char*>(&byte), 1, 0);
    if (got == 1) return 0;
    if (got == 0) return LINK_E_ABORTED;  // the peer closed the connection
    const int32_t code = WSAGetLastError();
    return code == WSAETIMEDOUT ? LINK_E_TIMEOUT : code;
}

int32_t TcpWriteAll(LinkSession& session, const unsigned char* bytes, size_t length) {
    const SOCKET socket = SocketOf(session);
    while (length > 0) {
        const int chunk = static_cast<int>(std::min<size_t>(length, INT32_MAX));
        const int sent = send(socket, reinterpret_cast<const char*>(bytes), chunk, 0);
        if (sent == SOCKET_ERROR) return WSAGetLastError();
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return 0;
}

// A send blocked on a full connection returns at once, and nothing more leaves.
void TcpShutDown(LinkSession& session) {
    const LinkDescriptor open = session.tcpSocket.load();
    if (open != NO_DESCRIPTOR) (void)shutdown(static_cast<SOCKET>(open), SD_BOTH);
}

void TcpClose(LinkSession& session) {
    CloseSocket(session);
}

}  // namespace

const Transport TcpTransport = {TcpOpen,     TcpBytesWaiting, TcpReadOne,
                                TcpWriteAll, TcpShutDown,     TcpClose};
