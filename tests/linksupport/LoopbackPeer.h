#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PeerSockets.h"

// The unit's side of a TCP link in tests: a listener on 127.0.0.1 that accepts one connection and
// reads and writes raw bytes.
class LoopbackPeer {
public:
    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    std::string Port() const { return std::to_string(port_); }
    // Accepts the connection the session made (the kernel completed it on the backlog).
    bool Accept(int timeoutMs = 2000);
    void Write(const std::vector<unsigned char>& bytes);
    void Write(const std::string& bytes);
    // Reads until `count` bytes arrived or the time is up.
    std::vector<unsigned char> Read(size_t count, int timeoutMs = 2000);
    // Reads one frame up to and including the end byte.
    std::vector<unsigned char> ReadFrame(int timeoutMs = 2000);
    // Whatever arrives within the time.
    std::vector<unsigned char> Drain(int timeoutMs);
    // True once the session's end of the connection is closed (end of file) within the time.
    bool WaitClosed(int timeoutMs = 5000);
    void CloseConnection();
    void CloseListener();

private:
    PeerSocket listener_ = NO_PEER_SOCKET;
    PeerSocket connection_ = NO_PEER_SOCKET;
    uint16_t port_ = 0;
};

// A loopback listener whose accept queue is full: the kernel drops further connection requests,
// as a gateway that does not answer.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    bool Ready() const { return filler_ != NO_PEER_SOCKET; }
    std::string Port() const { return std::to_string(port_); }
    // Takes the connection that fills the queue, so that the next request gets through: a link
    // that takes its time to open.
    void MakeRoom();
    // Everything the connection that got through sent until it ended, and whether it was closed
    // (rather than going quiet for `timeoutMs`).
    std::string ReceivedUntilClosed(bool& closed, int timeoutMs = 3000);

private:
    PeerSocket listener_ = NO_PEER_SOCKET;
    PeerSocket filler_ = NO_PEER_SOCKET;
    PeerSocket admitted_ = NO_PEER_SOCKET;
    uint16_t port_ = 0;
};

// Bytes of a text with the end byte behind it.
std::vector<unsigned char> Frame(const std::string& text);
