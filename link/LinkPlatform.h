#pragma once

#include <cstdint>
#include <string>

struct LinkSessionState;

// What the link asks of the operating system beyond the C++ library. Each system has its own
// file (posix/Platform.cpp, win32/Platform.cpp); the receive loop, frames and exchange do not
// know which.

// Raises the calling thread, the receive thread, above normal priority, so that replies are
// taken off the line promptly. A refusal only costs latency and is not reported.
void RaiseReceivePriority();

// Starts the system's sockets library for the process, once; later calls return the first
// call's result. 0, or the system's error number.
int32_t StartSocketLibrary();

// What the system says of one of its error numbers; negative numbers are the resolver's.
std::string SystemErrorReason(int32_t code);

// The receive thread's wake-up signal: opened with the session, signalled by CloseLink so that a
// receive thread asleep in its wait for bytes ends at once. 0 or the system's error number.
int32_t OpenWakeSignal(LinkSessionState& session);
void SignalWake(LinkSessionState& session);
void CloseWakeSignal(LinkSessionState& session);
// Sleeps until the wake-up signal came (a receive thread whose line has ended).
void AwaitWakeSignal(LinkSessionState& session);
