#pragma once

// The state of a link session, private to link/: the program reaches it only through the
// functions of LinkSession.h; link/, its tests and the fuzz target through Internals()
// (LinkInternals.h).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "LinkDescriptor.h"
#include "link/LinkTiming.h"
#include "link/LinkTypes.h"

struct Transport;

struct LinkSessionState {
    // The route (OpenLink takes it).
    int32_t kind = Serial;
    std::string host;      // gateway address as typed
    std::string service;   // gateway TCP port as typed
    int32_t comPort = 0;   // COM number; used when portPath is empty
    std::string portPath;  // serial device path, e.g. /dev/ttyUSB0
    std::atomic<int32_t> unitId{0};
    std::atomic<int32_t> modelCode{0};
    std::atomic<int32_t> subCode{0};
    std::atomic<int32_t> lastError{0};
    int32_t node = 0;
    std::atomic<int32_t> pendingReplies{0};
    std::atomic<int32_t> gatewayStatus{-1};
    std::atomic<LinkDescriptor> portHandle{NO_DESCRIPTOR};  // serial port
    std::atomic<LinkDescriptor> tcpSocket{NO_DESCRIPTOR};   // TCP socket
    std::atomic<int32_t> state{Idle};
    unsigned char rxBuffer[FRAME_BUFFER_SIZE] = {};
    int32_t rxCount = 0;
    std::atomic<void*> userData{nullptr};
    std::atomic<ResponseHandler> handler{nullptr};

    // How this session waits; the program's values unless its owner sets others.
    LinkTiming timing;
    AddressFamily family = AddressFamily::Ipv4;
    // Set for a link over which several units are addressed: a reply then answers a command only
    // when its node digits name `node`, and a count reply only when it is for an input requested.
    std::atomic<bool> checkReplyNode{false};
    // Whether the reply that ended the last wait was decoded (known letters, expected length);
    // stored before the release that ends the wait, so read it after SendCommand returned 0.
    std::atomic<bool> replyDecoded{false};

    // The link's own bookkeeping.
    std::atomic<const Transport*> transport{nullptr};  // chosen by OpenLink from kind
    std::atomic<int32_t> sendsInFlight{
        0};                               // writes that passed the state test; close waits them out
    std::atomic<int32_t> receiverEnd{0};  // how the receive thread's end is handed over (internal)
    std::atomic<bool> openingCancelled{false};  // set by CancelOpening
    bool rxDiscarding = false;                  // after an overflow, until the next end byte
    std::thread receiveThread;
    // The exchange waiting for its reply: its number, node and reply letters (0: none).
    std::atomic<uint64_t> awaitedReply{0};
    std::atomic<uint32_t> exchangeNumber{0};
    // Count requests whose reply has not come: node in bits 8 on, one bit per input index.
    std::atomic<uint32_t> requestedCounts{0};
    // How the line ended (ECONNRESET, EIO): set by the receive thread, cleared by OpenLink.
    std::atomic<int32_t> lineFailure{0};
    // Wakes the receive thread out of its wait for bytes (the system's wake-up descriptors).
    LinkDescriptor wakeReader = NO_DESCRIPTOR;
    LinkDescriptor wakeWriter = NO_DESCRIPTOR;
    LinkDescriptor lineEvent = NO_DESCRIPTOR;  // Windows: the event the line's I/O signals
    // Ends a reply wait at once when the line fails.
    std::mutex waitMutex;
    std::condition_variable waitWake;

    LinkSessionState() = default;
    LinkSessionState(const LinkSessionState&) = delete;
    LinkSessionState& operator=(const LinkSessionState&) = delete;
};
