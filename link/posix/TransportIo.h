#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct LinkSessionState;

// Descriptor operations shared by the serial and TCP transports.

// Bytes waiting to be read; 0 when the query fails.
int32_t DescriptorBytesWaiting(int fd);

// Waits until the descriptor can take more bytes, for at most `timeoutMs`: 0, ETIMEDOUT, the poll
// error, or LINK_E_NOT_RUNNING as soon as the session is closing (it looks every state poll).
int32_t AwaitWritable(const LinkSessionState& session, int fd, int32_t timeoutMs);

// Sleeps until the descriptor has bytes or has ended, or the session's wake-up signal came: 0,
// LINK_E_TIMEOUT after `timeoutMs` (-1: no limit), or `endedCode` for a line that hung up
// without leaving bytes to read.
int32_t AwaitReadable(const LinkSessionState& session, int fd, int32_t timeoutMs,
                      int32_t endedCode);

// Closes a descriptor the session owns and marks it closed.
void CloseDescriptor(std::atomic<int>& fd);

// The failure of an opener: the descriptor it opened is closed, and the code returned.
int32_t FailOpen(std::atomic<int>& fd, int32_t code);

// Time a write may wait for the line to take its bytes.
constexpr int32_t WRITE_TIMEOUT_MS = 1000;
