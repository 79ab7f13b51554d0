#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "link/LinkInternals.h"
#include "link/LinkSeams.h"

// A COM port through the Win32 communications interface. Failures carry GetLastError() numbers
// (2 for a port that does not exist, 5 for one that another program holds).

namespace {

HANDLE HandleOf(const LinkSessionState& session) {
    return reinterpret_cast<HANDLE>(session.portHandle.load());
}

// A port known by its COM number is "\\.\COMn", whatever name came with it: the bare name
// "COM12" is a file in the current folder to CreateFileA, and only COM1 to COM9 are found by it.
// A name without a number opens as given.
std::string DeviceNameOf(const LinkSessionState& session) {
    if (session.comPort <= 0 && !session.portPath.empty()) return session.portPath;
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", session.comPort);
    return name;
}

void CloseHandleOf(LinkSessionState& session) {
    const LinkDescriptor open = session.portHandle.exchange(NO_DESCRIPTOR);
    if (open != NO_DESCRIPTOR) CloseHandle(reinterpret_cast<HANDLE>(open));
}

int32_t FailOpen(LinkSessionState& session, int32_t code) {
    CloseHandleOf(session);
    return code;
}

// Raw 8-bit line, no parity, one stop bit, no flow control of either kind: every byte value passes
// unchanged both ways (0x11 and 0x13 are data; 0xC8 ends frames). The speed stays as the driver
// has it.
int32_t MakeTransparent(HANDLE port) {
    DCB line{};
    line.DCBlength = sizeof line;
    if (!GetCommState(port, &line)) return static_cast<int32_t>(GetLastError());
    line.fBinary = TRUE;
    line.fParity = FALSE;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDsrSensitivity = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    if (!SetCommState(port, &line)) return static_cast<int32_t>(GetLastError());
    return 0;
}

// Reads take only bytes reported waiting, so they return at once;
// a write may take 10 ms a byte and 1 s more before it gives up.
void SetTimeouts(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 50;
    timeouts.ReadTotalTimeoutMultiplier = 10;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 1000;
    (void)SetCommTimeouts(port, &timeouts);
}

// Exclusive (share mode 0), existing device only, synchronous I/O.
int32_t SerialOpen(LinkSessionState& session) {
    const std::string name = DeviceNameOf(session);
    const HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) return static_cast<int32_t>(GetLastError());
    session.portHandle.store(reinterpret_cast<LinkDescriptor>(port));
    SetTimeouts(port);
    int32_t code = AtStep(LinkStep::SerialLineSetting);
    if (code == 0) code = MakeTransparent(port);
    if (code != 0) return FailOpen(session, code);
    return 0;
}

int32_t SerialBytesWaiting(LinkSessionState& session) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(HandleOf(session), &errors, &status)) return 0;
    return static_cast<int32_t>(std::min<DWORD>(status.cbInQue, INT32_MAX));
}

// Bytes waiting, or the system's number of a port that went away (its status query fails).
int32_t WaitingOrFailure(HANDLE port, DWORD& waiting) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status)) return static_cast<int32_t>(GetLastError());
    waiting = status.cbInQue;
    return 0;
}

int32_t SerialReadSome(LinkSessionState& session, unsigned char* bytes, int32_t size,
                       int32_t& got) {
    const HANDLE port = HandleOf(session);
    DWORD waiting = 0;
    if (const int32_t code = WaitingOrFailure(port, waiting); code != 0) return code;
    if (waiting == 0) return LINK_E_NO_DATA;
    DWORD count = 0;
    const DWORD wanted = std::min<DWORD>(waiting, static_cast<DWORD>(size));
    if (!ReadFile(port, bytes, wanted, &count, nullptr)) {
        return static_cast<int32_t>(GetLastError());
    }
    got = static_cast<int32_t>(count);
    return count > 0 ? 0 : LINK_E_NO_DATA;
}

int32_t SerialReadOne(LinkSessionState& session, unsigned char& byte) {
    int32_t got = 0;
    return SerialReadSome(session, &byte, 1, got);
}

// A synchronous port cannot be woken out of a read, so the thread looks at the receive queue once
// a state poll and sleeps on the wake-up signal in between: a close ends the sleep at once.
int32_t SerialAwaitBytes(LinkSessionState& session, int32_t timeoutMs) {
    const HANDLE port = HandleOf(session);
    const HANDLE wake = reinterpret_cast<HANDLE>(session.wakeReader);
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD waiting = 0;
        if (const int32_t code = WaitingOrFailure(port, waiting); code != 0) return code;
        if (waiting > 0) return 0;
        DWORD slice = static_cast<DWORD>(session.timing.statePollMs.load());
        if (timeoutMs >= 0) {
            const DWORD spent = GetTickCount() - start;
            if (spent >= static_cast<DWORD>(timeoutMs)) return LINK_E_TIMEOUT;
            slice = std::min<DWORD>(slice, static_cast<DWORD>(timeoutMs) - spent);
        }
        if (WaitForSingleObject(wake, slice) == WAIT_OBJECT_0) return 0;
    }
}

int32_t SerialWriteAll(LinkSessionState& session, const unsigned char* bytes, size_t length) {
    const HANDLE port = HandleOf(session);
    while (length > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(length, MAXDWORD));
        DWORD written = 0;
        if (!WriteFile(port, bytes, chunk, &written, nullptr)) {
            return static_cast<int32_t>(GetLastError());
        }
        if (written == 0) return ERROR_TIMEOUT;  // the line took nothing within its time-out
        bytes += written;
        length -= written;
    }
    return 0;
}

// A write under way ends within its own time-out; aborting it here only makes that sooner.
void SerialShutDown(LinkSessionState& session) {
    const LinkDescriptor open = session.portHandle.load();
    if (open != NO_DESCRIPTOR) (void)PurgeComm(reinterpret_cast<HANDLE>(open), PURGE_TXABORT);
}

void SerialClose(LinkSessionState& session) {
    CloseHandleOf(session);
}

}  // namespace

const Transport SerialTransport = {SerialOpen,       SerialBytesWaiting, SerialReadOne,
                                   SerialAwaitBytes, SerialReadSome,     SerialWriteAll,
                                   SerialShutDown,   SerialClose};
