#include "link/LinkPlatform.h"

#include "SystemSockets.h"

#include <windows.h>

#include "link/LinkSession.h"

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

std::string SystemErrorReason(int32_t code) {
    if (code < 0) return gai_strerrorA(code);
    char text[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    return reason;
}

// A manual-reset event: once CloseLink signals it, every later wait of the thread ends at once.
int32_t OpenWakeSignal(LinkSessionState& session) {
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return static_cast<int32_t>(GetLastError());
    session.wakeReader = reinterpret_cast<LinkDescriptor>(event);
    return 0;
}

void SignalWake(LinkSessionState& session) {
    if (session.wakeReader != NO_DESCRIPTOR) SetEvent(reinterpret_cast<HANDLE>(session.wakeReader));
}

void CloseWakeSignal(LinkSessionState& session) {
    if (session.wakeReader != NO_DESCRIPTOR)
        CloseHandle(reinterpret_cast<HANDLE>(session.wakeReader));
    session.wakeReader = NO_DESCRIPTOR;
}

void AwaitWakeSignal(LinkSessionState& session) {
    (void)WaitForSingleObject(reinterpret_cast<HANDLE>(session.wakeReader), INFINITE);
}
