#include "LoopbackPeer.h"

#include <chrono>
#include <stdexcept>

#include "link/LinkSession.h"

SilentListener::SilentListener() {
    listener_ = ListenOnLoopback(0, port_);
    if (listener_ == NO_PEER_SOCKET) return;
    filler_ = ConnectToLoopback(port_);
}

SilentListener::~SilentListener() {
    for (PeerSocket socket : {admitted_, filler_, listener_})
        if (socket != NO_PEER_SOCKET) CloseSocket(socket);
}

void SilentListener::MakeRoom() {
    admitted_ = AcceptOn(listener_);
}

std::string SilentListener::ReceivedUntilClosed(bool& closed, int timeoutMs) {
    const PeerSocket connection = AcceptOn(listener_);
    std::string bytes;
    unsigned char byte = 0;
    long got = -1;
    while (ReadableWithin(connection, timeoutMs) && (got = ReceiveOne(connection, byte)) == 1)
        bytes.push_back(static_cast<char>(byte));
    closed = got == 0;
    if (connection != NO_PEER_SOCKET) CloseSocket(connection);
    return bytes;
}

LoopbackPeer::LoopbackPeer() {
    listener_ = ListenOnLoopback(4, port_);
    if (listener_ == NO_PEER_SOCKET) throw std::runtime_error("loopback listener");
}

LoopbackPeer::~LoopbackPeer() {
    CloseConnection();
    CloseListener();
}

bool LoopbackPeer::Accept(int timeoutMs) {
    if (!ReadableWithin(listener_, timeoutMs)) return false;
    CloseConnection();
    connection_ = AcceptOn(listener_);
    return connection_ != NO_PEER_SOCKET;
}

void LoopbackPeer::Write(const std::vector<unsigned char>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const long sent = SendSome(connection_, bytes.data() + done, bytes.size() - done);
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
        if (left.count() <= 0 || !ReadableWithin(connection_, static_cast<int>(left.count())))
            break;
        unsigned char byte = 0;
        if (ReceiveOne(connection_, byte) != 1) break;
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
        if (left.count() <= 0 || !ReadableWithin(connection_, static_cast<int>(left.count())))
            return false;
        unsigned char byte = 0;
        if (ReceiveOne(connection_, byte) <= 0) return true;
    }
}

void LoopbackPeer::CloseConnection() {
    if (connection_ != NO_PEER_SOCKET) CloseSocket(connection_);
    connection_ = NO_PEER_SOCKET;
}

void LoopbackPeer::CloseListener() {
    if (listener_ != NO_PEER_SOCKET) CloseSocket(listener_);
    listener_ = NO_PEER_SOCKET;
}

std::vector<unsigned char> Frame(const std::string& text) {
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(FRAME_END);
    return bytes;
}
