#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "link/LinkInternals.h"
#include "link/LinkSeams.h"

// A COM port through the Win32 communications interface. Failures carry GetLastError() numbers
// (2 for a port that does not exist, 5 for one that another program holds).

namespace {

HANDLE HandleOf(const LinkSession& session) {
    return reinterpret_cast<HANDLE>(session.portHandle.load());
}

// A port known by its COM number is "\\.\COMn", the name that reaches COM10 and above too.
std::string DeviceNameOf(const LinkSession& session) {
    if (!session.portPath.empty()) return session.portPath;
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", session.comPort);
    return name;
}

void CloseHandleOf(LinkSession& session) {
    const LinkDescriptor open = session.portHandle.exchange(NO_DESCRIPTOR);
    if (open != NO_DESCRIPTOR) CloseHandle(reinterpret_cast<HANDLE>(open));
    if (session.lineEvent != NO_DESCRIPTOR)
        CloseHandle(reinterpret_cast<HANDLE>(session.lineEvent));
    session.lineEvent = NO_DESCRIPTOR;
}

int32_t FailOpen(LinkSession& session, int32_t code) {
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

// Reads return at once with what is there (the receive thread sleeps on the port's receive event
// instead); a write may take 10 ms a byte and 1 s more before it gives up.
void SetTimeouts(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 1000;
    (void)SetCommTimeouts(port, &timeouts);
}

int32_t LastError() {
    return static_cast<int32_t>(GetLastError());
}

// Exclusive (share mode 0), existing device only, overlapped I/O: a read the receive thread waits
// in must end when the link is closed, which a synchronous read cannot.
int32_t SerialOpen(LinkSession& session) {
    const std::string name = DeviceNameOf(session);
    const HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) return LastError();
    session.portHandle.store(reinterpret_cast<LinkDescriptor>(port));
    SetTimeouts(port);
    int32_t code = AtStep(LinkStep::SerialLineSetting);
    if (code == 0) code = MakeTransparent(port);
    if (code == 0 && !SetCommMask(port, EV_RXCHAR | EV_ERR)) code = LastError();
    if (code == 0) {
        const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr) code = LastError();
        session.lineEvent = reinterpret_cast<LinkDescriptor>(event);
    }
    if (code != 0) return FailOpen(session, code);
    return 0;
}

// Completes an overlapped operation: its byte count, or the error it ended with.
int32_t Complete(HANDLE port, OVERLAPPED& operation, BOOL started, DWORD& count) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return LastError();
    return GetOverlappedResult(port, &operation, &count, TRUE) ? 0 : LastError();
}

int32_t SerialBytesWaiting(LinkSession& session) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(HandleOf(session), &errors, &status)) return 0;
    return static_cast<int32_t>(std::min<DWORD>(status.cbInQue, INT32_MAX));
}

// A port that went away fails its status query with the system's number.
int32_t SerialReadSome(LinkSession& session, unsigned char* bytes, int32_t size, int32_t& got) {
    const HANDLE port = HandleOf(session);
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status)) return LastError();
    if (status.cbInQue == 0) return LINK_E_NO_DATA;
    OVERLAPPED operation{};
    operation.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (operation.hEvent == nullptr) return LastError();
    DWORD count = 0;
    const DWORD wanted = std::min<DWORD>(status.cbInQue, static_cast<DWORD>(size));
    const int32_t code =
        Complete(port, operation, ReadFile(port, bytes, wanted, nullptr, &operation), count);
    CloseHandle(operation.hEvent);
    if (code != 0) return code;
    got = static_cast<int32_t>(count);
    return count > 0 ? 0 : LINK_E_NO_DATA;
}

int32_t SerialReadOne(LinkSession& session, unsigned char& byte) {
    int32_t got = 0;
    return SerialReadSome(session, &byte, 1, got);
}

// Sleeps on the port's receive event and the wake-up signal. Bytes already queued raise no event,
// so the queue is looked at first; a wait given up is cancelled before its structure goes.
int32_t SerialAwaitBytes(LinkSession& session, int32_t timeoutMs) {
    const HANDLE port = HandleOf(session);
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status)) return LastError();
    if (status.cbInQue > 0) return 0;
    OVERLAPPED operation{};
    operation.hEvent = reinterpret_cast<HANDLE>(session.lineEvent);
    ResetEvent(operation.hEvent);
    DWORD happened = 0;
    if (WaitCommEvent(port, &happened, &operation)) return 0;
    if (GetLastError() != ERROR_IO_PENDING) return LastError();
    const HANDLE waits[2] = {operation.hEvent, reinterpret_cast<HANDLE>(session.wakeReader)};
    const DWORD woke = WaitForMultipleObjects(
        2, waits, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    DWORD count = 0;
    if (woke != WAIT_OBJECT_0) CancelIoEx(port, &operation);
    const BOOL ended = GetOverlappedResult(port, &operation, &count, TRUE);
    if (woke == WAIT_TIMEOUT) return LINK_E_TIMEOUT;
    if (woke == WAIT_OBJECT_0 && !ended) return LastError();
    return 0;
}

int32_t SerialWriteAll(LinkSession& session, const unsigned char* bytes, size_t length) {
    const HANDLE port = HandleOf(session);
    while (length > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(length, MAXDWORD));
        OVERLAPPED operation{};
        operation.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (operation.hEvent == nullptr) return LastError();
        DWORD written = 0;
        const int32_t code =
            Complete(port, operation, WriteFile(port, bytes, chunk, nullptr, &operation), written);
        CloseHandle(operation.hEvent);
        if (code != 0) return code;
        if (written == 0) return ERROR_TIMEOUT;  // the line took nothing within its time-out
        bytes += written;
        length -= written;
    }
    return 0;
}

// A write under way ends within its own time-out; aborting it here only makes that sooner.
void SerialShutDown(LinkSession& session) {
    const LinkDescriptor open = session.portHandle.load();
    if (open != NO_DESCRIPTOR) (void)PurgeComm(reinterpret_cast<HANDLE>(open), PURGE_TXABORT);
}

void SerialClose(LinkSession& session) {
    CloseHandleOf(session);
}

}  // namespace

const Transport SerialTransport = {SerialOpen,       SerialBytesWaiting, SerialReadOne,
                                   SerialAwaitBytes, SerialReadSome,     SerialWriteAll,
                                   SerialShutDown,   SerialClose};
