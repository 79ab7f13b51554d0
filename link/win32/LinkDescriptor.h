#pragma once

#include <cstdint>

// What the session holds of an open line: a serial port's HANDLE or a SOCKET, each stored as
// its integer value. -1 is both INVALID_HANDLE_VALUE and INVALID_SOCKET.
using LinkDescriptor = intptr_t;
constexpr LinkDescriptor NO_DESCRIPTOR = -1;
