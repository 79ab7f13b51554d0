#pragma once

#include <cstddef>
#include <cstdint>

// Descriptor operations shared by the serial and TCP transports.

// Bytes waiting to be read; 0 when the query fails.
int32_t DescriptorBytesWaiting(int fd);

// Waits until the descriptor can take more bytes; 0, or ETIMEDOUT / the poll error.
int32_t AwaitWritable(int fd, int32_t timeoutMs);

// Closes a descriptor the session owns and marks it closed.
void CloseDescriptor(int& fd);

// Time a write may wait for the line to take its bytes.
constexpr int32_t WRITE_TIMEOUT_MS = 1000;
