#include "link/LinkPlatform.h"

#include "SystemSockets.h"

#include <windows.h>

void RaiseReceivePriority() {
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
}

// Version 2.2: the transport uses getaddrinfo, which came with Windows Sockets 2. The library
// stays started until the process ends.
int32_t StartSocketLibrary() {
    static const int32_t result = [] {
        WSADATA data;
        return static_cast<int32_t>(WSAStartup(MAKEWORD(2, 2), &data));
    }();
    return result;
}
