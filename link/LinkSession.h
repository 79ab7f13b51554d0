#pragma once

// What the program uses of the link: the session, opening and closing it, the command exchange and
// the error texts. Transports, the receive loop and the frame functions are in LinkInternals.h.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "device/UnitCommand.h"
#include "link/LinkSessionState.h"
#include "link/LinkTiming.h"
#include "link/LinkTypes.h"

// Where a link goes: a TCP gateway (host and service as typed, the address families its name may
// resolve to) or a serial port (a device path, or on Windows a COM number).
struct LinkRoute {
    int32_t kind = Serial;  // LinkKind; any non-zero kind is TCP
    std::string host;
    std::string service;
    AddressFamily family = AddressFamily::Ipv4;
    int32_t comPort = 0;   // COM number; used when portPath is empty
    std::string portPath;  // serial device path, e.g. /dev/ttyUSB0
};

// The one connection between the program and one unit. Its state belongs to link/; the program
// opens, addresses, exchanges and closes through the functions below.
class LinkSession : private LinkSessionState {
public:
    LinkSession() = default;
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;
    ~LinkSession();

    // How this session waits; the program's values unless its owner sets others.
    LinkTiming& Timing() { return timing; }

private:
    friend struct LinkAccess;
};

// What a unit told about itself, as kept in the session.
struct DeviceState {
    int32_t unitId;
    int32_t modelCode;
    int32_t subCode;
    int32_t gatewayStatus;
};
DeviceState DeviceStateOf(const LinkSession& session);

// The program's one session, alive for the whole run.
LinkSession& TheLinkSession();

// Opens the transport of `route` and starts the receive thread, which hands every reply to
// `handler` with `userData`; 0 once Running, negative on failure with the reason in the last
// error (LINK_E_ABORTED after CancelOpening).
int OpenLink(LinkSession& session, const LinkRoute& route, ResponseHandler handler, void* userData);

// Replies no longer reach `userData` (when it is the one installed): from the return on, the
// handler is not called with it any more.
void DetachReplyTarget(LinkSession& session, void* userData);

// The unit addressed from now on; what the session held of the previous one is forgotten.
void SelectNode(LinkSession& session, int32_t node);
int32_t NodeOf(const LinkSession& session);

// For a link over which several units are addressed: a reply then answers a command only when
// its node digits name the node addressed, and a count reply only when it is for an input
// requested there.
void CheckReplyNodes(LinkSession& session, bool check);

// The code of the session's last failure; how the line ended (0 while it has not); whether the
// reply that ended the last wait was decoded (read it after SendCommand returned 0).
int32_t LastErrorOf(const LinkSession& session);
int32_t LineFailureOf(const LinkSession& session);
bool LastReplyDecoded(const LinkSession& session);

// Stops the receive thread and closes the transport; does nothing unless Running.
//  - Returns within closeWaitLimitMs (LinkTiming). When the session is then Idle, the receive
//    thread has ended, every send that was under way has finished and the descriptor is closed.
//  - Of calls at the same time one closes; the others return once the session is Idle.
//  - A receive thread held up longer (a handler that blocks) leaves the session Stopping and
//    unusable, with LINK_E_TIMEOUT in lastError; the thread closes the transport when it ends.
void CloseLink(LinkSession& session);

// For closing the program only: an OpenLink under way on another thread (resolving the name,
// waiting for the connection or for the line to go quiet) ends within one poll of about 10 ms
// with LINK_E_ABORTED and the session Idle, and every later OpenLink fails the same way at once,
// until ResumeOpening. A link already open stays open: CloseLink closes it.
void CancelOpening(LinkSession& session);
void ResumeOpening(LinkSession& session);

// What a command exchange needs from the window that runs it.
class ExchangeHost {
public:
    // Set while a count request is being written; SendCommand does not send meanwhile.
    virtual std::atomic<int32_t>& CountBusy() = 0;
    // Set by the operator to abort the running wait; cleared by the wait that acts on it.
    virtual std::atomic<int32_t>& AbortRequested() = 0;
    // Ends the busy display after a frame could not be sent.
    virtual void ResetProgress() = 0;

protected:
    ~ExchangeHost() = default;
};

// Sends a command and waits for its reply: 0, LINK_E_ABORTED, LINK_E_TIMEOUT or the error of the
// failed send, which is also stored in lastError.
int SendCommand(LinkSession& session, ExchangeHost& host, const UnitCommand& command);

// Sends a count request without waiting: 0 or the error of the failed send, which is also stored
// in lastError.
int PostCommand(LinkSession& session, ExchangeHost& host, const UnitCommand& command);

// Waits until `done` holds, the line fails or `deadline` passes, looking again whenever the receive
// thread has taken a frame and at least once a reply-wait pass; whether `done` holds.
bool AwaitOnLink(LinkSession& session, std::chrono::steady_clock::time_point deadline,
                 const std::function<bool()>& done);

// Operator text of a result code: "通信エラー : <code>", followed for link codes by their short
// text. -1 stands for the session's last error.
std::string LinkErrorText(int32_t code, const LinkSession& session);
std::string LinkErrorText(int32_t code);
