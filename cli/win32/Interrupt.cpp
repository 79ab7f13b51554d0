#include <windows.h>

#include <atomic>

#include "cli/Interrupt.h"

namespace {

std::atomic<bool> caughtOnce{false};

// Runs on a thread the console starts. The first Ctrl-C (or Ctrl-Break) is taken; a second one
// is passed on, and the default handler ends the process at once.
BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (caughtOnce.exchange(true)) return FALSE;
    NoteInterrupt();
    return TRUE;
}

}  // namespace

void CatchInterrupt() {
    SetConsoleCtrlHandler(OnControl, TRUE);
}
