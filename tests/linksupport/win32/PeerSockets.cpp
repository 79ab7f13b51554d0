#include <winsock2.h>

#include "PeerSockets.h"
#include "link/LinkPlatform.h"

namespace {

SOCKET Native(PeerSocket socket) {
    return static_cast<SOCKET>(socket);
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

PeerSocket Opened() {
    // The peer may make its sockets before the session has started Windows Sockets.
    if (StartSocketLibrary() != 0) return NO_PEER_SOCKET;
    const SOCKET made = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return made == INVALID_SOCKET ? NO_PEER_SOCKET : static_cast<PeerSocket>(made);
}

}  // namespace

PeerSocket ListenOnLoopback(int backlog, uint16_t& port) {
    const PeerSocket listener = Opened();
    sockaddr_in address = Loopback(0);
    int size = sizeof address;
    if (listener == NO_PEER_SOCKET ||
        bind(Native(listener), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(Native(listener), backlog) != 0 ||
        getsockname(Native(listener), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (listener != NO_PEER_SOCKET) closesocket(Native(listener));
        return NO_PEER_SOCKET;
    }
    port = ntohs(address.sin_port);
    return listener;
}

PeerSocket ConnectToLoopback(uint16_t port) {
    const PeerSocket connection = Opened();
    const sockaddr_in address = Loopback(port);
    if (connection == NO_PEER_SOCKET) return NO_PEER_SOCKET;
    if (connect(Native(connection), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
        0) {
        closesocket(Native(connection));
        return NO_PEER_SOCKET;
    }
    return connection;
}

PeerSocket AcceptOn(PeerSocket listener) {
    const SOCKET accepted = accept(Native(listener), nullptr, nullptr);
    return accepted == INVALID_SOCKET ? NO_PEER_SOCKET : static_cast<PeerSocket>(accepted);
}

bool ReadableWithin(PeerSocket socket, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(socket), &readable);
    timeval wait{timeoutMs / 1000, timeoutMs % 1000 * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

long SendSome(PeerSocket socket, const unsigned char* bytes, size_t length) {
    return send(Native(socket), reinterpret_cast<const char*>(bytes), static_cast<int>(length), 0);
}

long ReceiveOne(PeerSocket socket, unsigned char& byte) {
    return recv(Native(socket), reinterpret_cast<char*>(&byte), 1, 0);
}

void CloseSocket(PeerSocket socket) {
    closesocket(Native(socket));
}
