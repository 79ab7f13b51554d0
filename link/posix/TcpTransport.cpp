#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/AddressResolution.h"
#include "link/ConnectWait.h"
#include "link/LinkInternals.h"
#include "link/LinkTiming.h"
#include "link/posix/TransportIo.h"

namespace {

constexpr timeval SOCKET_TIMEOUT{1, 0};  // receive and send time-outs of the socket

bool SetBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    return fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

// What a finished connection attempt came to. A refused connection shows as writable with a
// pending socket error, reported at once; a hang-up without an error is no connection either.
int32_t ConnectionResult(int fd, short revents) {
    if ((revents & (POLLOUT | POLLERR | POLLHUP)) == 0) return LINK_E_ABORTED;
    int pending = 0;
    socklen_t size = sizeof pending;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) != 0) return errno;
    if (pending != 0) return pending;
    return (revents & (POLLOUT | POLLHUP)) == POLLOUT ? 0 : LINK_E_ABORTED;
}

// One slice of the connection wait: the attempt's result once the socket is writable or failed.
std::optional<int32_t> ConnectionSlice(int fd, int ms) {
    pollfd entry{fd, POLLOUT, 0};
    const int ready = poll(&entry, 1, ms);
    if (ready > 0) return ConnectionResult(fd, entry.revents);
    if (ready < 0 && errno != EINTR) return errno;
    return std::nullopt;
}

// One connection attempt to one address, until `limit`: 0 with the socket in the session.
int32_t ConnectTo(LinkSessionState& session, const addrinfo& address,
                  std::chrono::steady_clock::time_point limit) {
    const int fd = socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return errno;
    session.tcpSocket.store(fd);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &SOCKET_TIMEOUT, sizeof SOCKET_TIMEOUT);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &SOCKET_TIMEOUT, sizeof SOCKET_TIMEOUT);
    if (!SetBlocking(fd, false)) return FailOpen(session.tcpSocket, errno);
    // A failure that connect reports at once (no route, say) is not pending on the socket.
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
        return FailOpen(session.tcpSocket, errno);
    }
    const int32_t code = AwaitConnection(
        session, [fd](int ms) { return ConnectionSlice(fd, ms); }, limit);
    if (code != 0) return FailOpen(session.tcpSocket, code);
    if (!SetBlocking(fd, true)) return FailOpen(session.tcpSocket, errno);
    return 0;
}

int32_t TcpOpen(LinkSessionState& session) {
    return ConnectToGateway(session, [&session](const addrinfo& address, auto limit) {
        return ConnectTo(session, address, limit);
    });
}

int32_t TcpBytesWaiting(LinkSessionState& session) {
    return DescriptorBytesWaiting(session.tcpSocket.load());
}

// The end of the stream is the end of the connection: the gateway closed it or went away.
int32_t TcpReadSome(LinkSessionState& session, unsigned char* bytes, int32_t size, int32_t& got) {
    const ssize_t read =
        recv(session.tcpSocket.load(), bytes, static_cast<size_t>(size), MSG_DONTWAIT);
    if (read > 0) {
        got = static_cast<int32_t>(read);
        return 0;
    }
    if (read == 0) return ECONNRESET;
    return errno == EAGAIN || errno == EINTR ? LINK_E_NO_DATA : errno;
}

int32_t TcpReadOne(LinkSessionState& session, unsigned char& byte) {
    int32_t got = 0;
    return TcpReadSome(session, &byte, 1, got);
}

int32_t TcpAwaitBytes(LinkSessionState& session, int32_t timeoutMs) {
    return AwaitReadable(session, session.tcpSocket.load(), timeoutMs, ECONNRESET);
}

int32_t TcpWriteAll(LinkSessionState& session, const unsigned char* bytes, size_t length) {
    const int fd = session.tcpSocket.load();
    while (length > 0) {
        // MSG_NOSIGNAL: a peer that closed gives EPIPE here instead of ending the program.
        const ssize_t sent = send(fd, bytes, length, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN ? ETIMEDOUT : errno;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return 0;
}

// A send blocked on a full connection returns at once, and nothing more leaves.
void TcpShutDown(LinkSessionState& session) {
    const int fd = session.tcpSocket.load();
    if (fd >= 0) (void)shutdown(fd, SHUT_RDWR);
}

void TcpClose(LinkSessionState& session) {
    CloseDescriptor(session.tcpSocket);
}

}  // namespace

const Transport TcpTransport = {TcpOpen,     TcpBytesWaiting, TcpReadOne,  TcpAwaitBytes,
                                TcpReadSome, TcpWriteAll,     TcpShutDown, TcpClose};
