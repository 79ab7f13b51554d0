#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "PeerSockets.h"

namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

}  // namespace

PeerSocket ListenOnLoopback(int backlog, uint16_t& port) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, backlog) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (listener >= 0) close(listener);
        return NO_PEER_SOCKET;
    }
    port = ntohs(address.sin_port);
    return listener;
}

PeerSocket ConnectToLoopback(uint16_t port) {
    const int connection = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (connection < 0) return NO_PEER_SOCKET;
    if (connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(connection);
        return NO_PEER_SOCKET;
    }
    return connection;
}

PeerSocket AcceptOn(PeerSocket listener) {
    return accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
}

bool ReadableWithin(PeerSocket socket, int timeoutMs) {
    pollfd entry{static_cast<int>(socket), POLLIN, 0};
    return poll(&entry, 1, timeoutMs) == 1;
}

long SendSome(PeerSocket socket, const unsigned char* bytes, size_t length) {
    return send(static_cast<int>(socket), bytes, length, MSG_NOSIGNAL);
}

long ReceiveOne(PeerSocket socket, unsigned char& byte) {
    return recv(static_cast<int>(socket), &byte, 1, 0);
}

void CloseSocket(PeerSocket socket) {
    close(static_cast<int>(socket));
}
