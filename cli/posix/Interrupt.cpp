#include <signal.h>

#include "cli/Interrupt.h"

namespace {

void OnInterrupt(int) {
    NoteInterrupt();
}

}  // namespace

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;  // a second Ctrl-C is not caught
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}
