#include "TcpListener.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string Describe(const sockaddr_storage& address) {
    char host[INET6_ADDRSTRLEN] = "?";
    int port = 0;
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &in.sin_addr, host, sizeof host);
        port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
        port = ntohs(in6.sin6_port);
    }
    return std::string(host) + ":" + std::to_string(port);
}

}  // namespace

TcpListener::~TcpListener() {
    if (fd_ >= 0) ::close(fd_);
}

std::string TcpListener::Open(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); rc != 0)
        return "cannot resolve " + host + ": " + gai_strerror(rc);

    std::string error = "no address for " + host;
    // The system's longest accept queue: while one client is served, the connections that a burst
    // of clients makes wait there instead of timing out.
    for (addrinfo* a = list; a != nullptr && fd_ < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
            fd_ = fd;
        } else {
            error = "cannot listen on " + host + ":" + service + ": " + std::strerror(errno);
            ::close(fd);
        }
    }
    freeaddrinfo(list);
    if (fd_ < 0) return error;

    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = bound.ss_family == AF_INET6
                ? ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port)
                : ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port);
    return {};
}

int TcpListener::Accept(std::string* peer) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&address), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return -1;
    // Replies are a few bytes each; they must not wait for the client's acknowledgements.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    *peer = Describe(address);
    return fd;
}
