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

SOCKET SocketOf(const LinkSessionState& session) {
    return static_cast<SOCKET>(session.tcpSocket.load());
}

int32_t SetBlocking(SOCKET socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) == 0 ? 0 : WSAGetLastError();
}

void CloseSocket(LinkSessionState& session) {
    const LinkDescriptor open = session.tcpSocket.exchange(NO_DESCRIPTOR);
    if (open != NO_DESCRIPTOR) closesocket(static_cast<SOCKET>(open));
    if (session.lineEvent != NO_DESCRIPTOR)
        WSACloseEvent(reinterpret_cast<WSAEVENT>(session.lineEvent));
    session.lineEvent = NO_DESCRIPTOR;
}

int32_t FailOpen(LinkSessionState& session, int32_t code) {
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

// The receive thread sleeps on an event that the socket signals for bytes and for the end of
// the connection. The event makes the socket non-blocking; writes wait for room themselves.
int32_t WatchSocket(LinkSessionState& session, SOCKET socket) {
    const WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT) return WSAGetLastError();
    session.lineEvent = reinterpret_cast<LinkDescriptor>(event);
    if (WSAEventSelect(socket, event, FD_READ | FD_CLOSE) != 0) return WSAGetLastError();
    return 0;
}

// One connection attempt to one address, until `limit`: 0 with the socket in the session.
int32_t ConnectTo(LinkSessionState& session, const addrinfo& address,
                  std::chrono::steady_clock::time_point limit) {
    const SOCKET socket = ::socket(address.ai_family, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return WSAGetLastError();
    session.tcpSocket.store(static_cast<LinkDescriptor>(socket));
    const DWORD timeout = SOCKET_TIMEOUT_MS;
    const char* option = reinterpret_cast<const char*>(&timeout);
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, option, sizeof timeout);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, option, sizeof timeout);
    if (const int32_t code = SetBlocking(socket, false); code != 0) return FailOpen(session, code);
    if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        const int32_t code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) return FailOpen(session, code);
    }
    int32_t code = AwaitConnection(
        session, [socket](int ms) { return ConnectionSlice(socket, ms); }, limit);
    if (code == 0) code = WatchSocket(session, socket);
    if (code != 0) return FailOpen(session, code);
    return 0;
}

int32_t TcpOpen(LinkSessionState& session) {
    if (const int32_t code = StartSocketLibrary(); code != 0) return code;
    return ConnectToGateway(session, [&session](const addrinfo& address, auto limit) {
        return ConnectTo(session, address, limit);
    });
}

int32_t TcpBytesWaiting(LinkSessionState& session) {
    u_long waiting = 0;
    if (ioctlsocket(SocketOf(session), FIONREAD, &waiting) != 0) return 0;
    return static_cast<int32_t>(std::min<u_long>(waiting, INT32_MAX));
}

// The end of the stream is the end of the connection: the gateway closed it or went away.
int32_t TcpReadSome(LinkSessionState& session, unsigned char* bytes, int32_t size, int32_t& got) {
    const int read = recv(SocketOf(session), reinterpret_cast<char*>(bytes), size, 0);
    if (read > 0) {
        got = read;
        return 0;
    }
    if (read == 0) return WSAECONNRESET;
    const int32_t code = WSAGetLastError();
    return code == WSAEWOULDBLOCK || code == WSAETIMEDOUT ? LINK_E_NO_DATA : code;
}

int32_t TcpReadOne(LinkSessionState& session, unsigned char& byte) {
    int32_t got = 0;
    return TcpReadSome(session, &byte, 1, got);
}

// Bytes waiting or a closed connection are there to read at once; otherwise the thread sleeps on
// the socket's event and the wake-up signal. The event tells of a close only once, which is why
// the look comes first.
int32_t TcpAwaitBytes(LinkSessionState& session, int32_t timeoutMs) {
    const SOCKET socket = SocketOf(session);
    char peek = 0;
    if (recv(socket, &peek, 1, MSG_PEEK) >= 0) return 0;
    if (const int32_t code = WSAGetLastError(); code != WSAEWOULDBLOCK) return code;
    const auto event = reinterpret_cast<WSAEVENT>(session.lineEvent);
    const HANDLE waits[2] = {event, reinterpret_cast<HANDLE>(session.wakeReader)};
    const DWORD woke = WaitForMultipleObjects(
        2, waits, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (woke == WAIT_TIMEOUT) return LINK_E_TIMEOUT;
    if (woke == WAIT_OBJECT_0) {
        WSANETWORKEVENTS happened{};
        (void)WSAEnumNetworkEvents(socket, event, &happened);  // resets the event
    }
    return 0;
}

// A socket watched by an event does not block: a write waits for room as a blocking send would,
// up to the send time-out.
int32_t AwaitRoom(SOCKET socket) {
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket, &writable);
    timeval wait{SOCKET_TIMEOUT_MS / 1000, SOCKET_TIMEOUT_MS % 1000 * 1000};
    const int ready = select(0, nullptr, &writable, nullptr, &wait);
    if (ready == SOCKET_ERROR) return WSAGetLastError();
    return ready == 0 ? WSAETIMEDOUT : 0;
}

int32_t TcpWriteAll(LinkSessionState& session, const unsigned char* bytes, size_t length) {
    const SOCKET socket = SocketOf(session);
    while (length > 0) {
        const int chunk = static_cast<int>(std::min<size_t>(length, INT32_MAX));
        const int sent = send(socket, reinterpret_cast<const char*>(bytes), chunk, 0);
        if (sent == SOCKET_ERROR) {
            const int32_t code = WSAGetLastError();
            if (code != WSAEWOULDBLOCK) return code;
            if (const int32_t room = AwaitRoom(socket); room != 0) return room;
            continue;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return 0;
}

// A send blocked on a full connection returns at once, and nothing more leaves.
void TcpShutDown(LinkSessionState& session) {
    const LinkDescriptor open = session.tcpSocket.load();
    if (open != NO_DESCRIPTOR) (void)shutdown(static_cast<SOCKET>(open), SD_BOTH);
}

void TcpClose(LinkSessionState& session) {
    CloseSocket(session);
}

}  // namespace

const Transport TcpTransport = {TcpOpen,     TcpBytesWaiting, TcpReadOne,  TcpAwaitBytes,
                                TcpReadSome, TcpWriteAll,     TcpShutDown, TcpClose};
