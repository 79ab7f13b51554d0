#include "LoopbackPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "link/LinkSession.h"

int ListenOnLoopback(int backlog, uint16_t& port) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, backlog) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (listener >= 0) close(listener);
        return -1;
    }
    port = ntohs(address.sin_port);
    return listener;
}

SilentListener::SilentListener() {
    listener_ = ListenOnLoopback(0, port_);
    if (listener_ < 0) return;
    filler_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    if (connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(filler_);
        filler_ = -1;
    }
}

SilentListener::~SilentListener() {
    if (filler_ >= 0) close(filler_);
    if (listener_ >= 0) close(listener_);
}

LoopbackPeer::LoopbackPeer() {
    listener_ = ListenOnLoopback(4, port_);
    if (listener_ < 0) throw std::runtime_error("loopback listener");
}

LoopbackPeer::~LoopbackPeer() {
    CloseConnection();
    CloseListener();
}

bool LoopbackPeer::Accept(int timeoutMs) {
    pollfd entry{listener_, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) != 1) return false;
    CloseConnection();
    connection_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return connection_ >= 0;
}

void LoopbackPeer::Write(const std::vector<unsigned char>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent =
            send(connection_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) throw std::runtime_error("peer write");
        done += static_cast<size_t>(sent);
    }
}

void LoopbackPeer::Write(const std::string& bytes) {
    Write(std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

std::vector<unsigned char> LoopbackPeer::Read(size_t count, int timeoutMs) {
    std::vector<unsigned char> bytes;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            limit - std::chrono::steady_clock::now());
        pollfd entry{connection_, POLLIN, 0};
        if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) != 1) break;
        unsigned char byte = 0;
        if (recv(connection_, &byte, 1, 0) != 1) break;
        bytes.push_back(byte);
    }
    return bytes;
}

std::vector<unsigned char> LoopbackPeer::ReadFrame(int timeoutMs) {
    std::vector<unsigned char> bytes;
    while (bytes.empty() || bytes.back() != FRAME_END) {
        const std::vector<unsigned char> one = Read(1, timeoutMs);
        if (one.empty()) break;
        bytes.push_back(one[0]);
    }
    return bytes;
}

std::vector<unsigned char> LoopbackPeer::Drain(int timeoutMs) {
    return Read(static_cast<size_t>(-1), timeoutMs);
}

bool LoopbackPeer::WaitClosed(int timeoutMs) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            limit - std::chrono::steady_clock::now());
        pollfd entry{connection_, POLLIN, 0};
        if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) != 1) return false;
        unsigned char byte = 0;
        if (recv(connection_, &byte, 1, 0) <= 0) return true;
    }
}

void LoopbackPeer::CloseConnection() {
    if (connection_ >= 0) close(connection_);
    connection_ = -1;
}

void LoopbackPeer::CloseListener() {
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
}

std::vector<unsigned char> Frame(const std::string& text) {
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(FRAME_END);
    return bytes;
}
