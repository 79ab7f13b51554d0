#pragma once

#include <atomic>
#include <cstdint>

#include "SystemSockets.h"

// Test hooks of the link. The program leaves them as they are; a test sets them to hold a thread
// at a chosen step or to make a step fail.

// Steps at which the hook is called.
enum class LinkStep : int32_t {
    SerialLineSetting,     // the port is exclusive; its line is about to be set
    ReceiveThreadStart,    // the transport is open; the receive thread is about to start
    CloserWaiting,         // a CloseLink waits for the close that another one does
    SendPassedStateCheck,  // a send found the session running and is about to write
    ReplyDeadline,         // a reply wait reached its last pass and is about to give up
};

// Name resolution as getaddrinfo does it.
using Resolver = int (*)(const char* host, const char* service, const addrinfo* hints,
                         addrinfo** result);

struct LinkSeams {
    // Called at each step; a non-zero result makes a step that can fail fail with that code.
    std::atomic<int32_t (*)(LinkStep)> hook{nullptr};
    std::atomic<Resolver> resolve{&getaddrinfo};
};

LinkSeams& TheLinkSeams();

// The hook's verdict on a step: 0 when no hook is set.
int32_t AtStep(LinkStep step);
