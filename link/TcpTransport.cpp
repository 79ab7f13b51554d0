#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "link/LinkErrors.h"
#include "link/LinkSession.h"
#include "link/LinkTiming.h"
#include "link/Transport.h"
#include "link/TransportIo.h"

namespace {

constexpr timeval SOCKET_TIMEOUT{1, 0};  // receive and send time-outs of the socket

int Fail(LinkSession& session, int32_t code) {
    session.lastError.store(code);
    CloseDescriptor(session.tcpSocket);
    return -1;
}

bool SetBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    return fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

// Waits for the connection attempt to finish: 0 when connected, else the code of the failure.
// A refused connection shows as writable with a pending socket error, reported at once.
int32_t AwaitConnection(int fd) {
    pollfd entry{fd, POLLOUT, 0};
    const int ready = poll(&entry, 1, TheLinkTiming().connectTimeoutMs.load());
    if (ready == 0) return LINK_E_TIMEOUT;
    if (ready < 0) return errno;
    if ((entry.revents & (POLLOUT | POLLERR | POLLHUP)) == 0) return LINK_E_ABORTED;
    int pending = 0;
    socklen_t size = sizeof pending;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) != 0) return errno;
    if (pending != 0) return pending;
    // A hang-up without an error is no established connection either.
    return (entry.revents & (POLLOUT | POLLHUP)) == POLLOUT ? 0 : LINK_E_ABORTED;
}

int32_t TcpBytesWaiting(LinkSession& session) {
    return DescriptorBytesWaiting(session.tcpSocket);
}

int32_t TcpReadOne(LinkSession& session, unsigned char& byte) {
    const ssize_t got = recv(session.tcpSocket, &byte, 1, 0);
    if (got == 1) return 0;
    if (got == 0) return LINK_E_ABORTED;  // the peer closed the connection
    return errno == EAGAIN ? LINK_E_TIMEOUT : errno;
}

int32_t TcpWriteAll(LinkSession& session, const unsigned char* bytes, size_t length) {
    while (length > 0) {
        // MSG_NOSIGNAL: a peer that closed gives EPIPE here instead of ending the program.
        const ssize_t sent = send(session.tcpSocket, bytes, length, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN ? ETIMEDOUT : errno;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return 0;
}

void TcpClose(LinkSession& session) {
    CloseDescriptor(session.tcpSocket);
}

}  // namespace

const Transport TcpTransport = {OpenTcpConnection, TcpBytesWaiting, TcpReadOne, TcpWriteAll,
                                TcpClose};

int OpenTcpConnection(LinkSession& session) {
    session.tcpSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (session.tcpSocket < 0) return Fail(session, errno);
    setsockopt(session.tcpSocket, SOL_SOCKET, SO_RCVTIMEO, &SOCKET_TIMEOUT, sizeof SOCKET_TIMEOUT);
    setsockopt(session.tcpSocket, SOL_SOCKET, SO_SNDTIMEO, &SOCKET_TIMEOUT, sizeof SOCKET_TIMEOUT);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    const int resolved =
        getaddrinfo(session.host.c_str(), session.service.c_str(), &hints, &addresses);
    if (resolved != 0) return Fail(session, resolved);

    if (!SetBlocking(session.tcpSocket, false)) {
        freeaddrinfo(addresses);
        return Fail(session, errno);
    }
    // Only the first address is tried, as the gateway is named by one address. A failure that
    // connect reports at once (no route, say) is not pending on the socket afterwards.
    const int started = connect(session.tcpSocket, addresses->ai_addr, addresses->ai_addrlen);
    const int startError = errno;
    freeaddrinfo(addresses);
    if (started != 0 && startError != EINPROGRESS) return Fail(session, startError);

    const int32_t connected = AwaitConnection(session.tcpSocket);
    if (connected != 0) return Fail(session, connected);
    if (!SetBlocking(session.tcpSocket, true)) return Fail(session, errno);
    return 0;
}
