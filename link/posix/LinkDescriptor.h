#pragma once

// What the session holds of an open line: a file descriptor, -1 when none is open.
using LinkDescriptor = int;
constexpr LinkDescriptor NO_DESCRIPTOR = -1;
