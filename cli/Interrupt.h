#pragma once

#include <atomic>
#include <cstdint>

// Ctrl-C ends the exchange under way the way the window's abort does, and the command line then
// closes the link and exits. The first SIGINT is caught; a second one ends the process at once.
void CatchInterrupt();
// Set by SIGINT; never cleared.
bool Interrupted();
// The abort flag that the reply wait consumes; SIGINT sets it.
std::atomic<int32_t>& InterruptAbort();
// Sleeps up to `ms`, less when interrupted; false when interrupted.
bool SleepUnlessInterrupted(int32_t ms);
// What the system's interrupt handler does (posix/Interrupt.cpp, win32/Interrupt.cpp): sets both
// flags. Safe in a signal handler.
void NoteInterrupt();
