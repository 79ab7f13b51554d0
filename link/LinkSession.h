#pragma once

// What the program uses of the link: the session, opening and closing it, the command exchange and
// the error texts. Transports, the receive loop and the frame functions are in LinkInternals.h.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "LinkDescriptor.h"
#include "device/UnitCommand.h"
#include "link/LinkTiming.h"

// Route of a link; any non-zero kind is treated as TCP.
enum LinkKind : int32_t { Serial = 0, Tcp = 1 };

// Life of a link: the receive thread exists while Starting, Running or Stopping.
enum LinkState : int32_t { Idle = 0, Starting = 1, Running = 2, Stopping = 3 };

// Address families a TCP route resolves its host to: the window's gateway is an IPv4 address;
// the command line takes whatever the name resolves to, trying each address in turn.
enum class AddressFamily : int32_t { Ipv4 = 0, Any = 1 };

// One frame, sent or received: at most 127 bytes, end byte included, and one byte more (the
// terminating zero of a command, the overflow byte of a reply without an end byte).
constexpr int FRAME_BUFFER_SIZE = 128;

// Results of link operations: 0 for success, a platform error number (errno or the Win32 and
// Windows Sockets numbers, getaddrinfo) or one
// of these link codes.
constexpr int32_t LINK_E_ABORTED = 20000;
constexpr int32_t LINK_E_NOT_RUNNING = 20001;
constexpr int32_t LINK_E_ALREADY_OPEN = 20002;
constexpr int32_t LINK_E_TIMEOUT = 20003;
constexpr int32_t LINK_E_NO_DATA = 20004;
constexpr int32_t LINK_E_COMMAND = 20005;
constexpr int32_t LINK_E_OVERFLOW = 20006;

// Called by the receive thread for every reply frame: user data, the first reply letter and the
// reply length (end byte included). Non-zero when the frame is the answer to a command. It must
// not block: CloseLink waits for the call in progress.
using ResponseHandler = int (*)(void* userData, const unsigned char* reply, int32_t length);

struct Transport;

// The one connection between the program and one unit.
struct LinkSession {
    int32_t kind = Serial;
    std::string host;      // gateway address as typed
    std::string service;   // gateway TCP port as typed
    int32_t comPort = 0;   // COM number; used when portPath is empty
    std::string portPath;  // serial device path, e.g. /dev/ttyUSB0
    std::atomic<int32_t> unitId{0};
    std::atomic<int32_t> modelCode{0};
    std::atomic<int32_t> subCode{0};
    std::atomic<int32_t> lastError{0};
    int32_t node = 0;
    std::atomic<int32_t> pendingReplies{0};
    std::atomic<int32_t> gatewayStatus{-1};
    std::atomic<LinkDescriptor> portHandle{NO_DESCRIPTOR};  // serial port
    std::atomic<LinkDescriptor> tcpSocket{NO_DESCRIPTOR};   // TCP socket
    std::atomic<int32_t> state{Idle};
    unsigned char rxBuffer[FRAME_BUFFER_SIZE] = {};
    int32_t rxCount = 0;
    std::atomic<void*> userData{nullptr};
    std::atomic<ResponseHandler> handler{nullptr};

    // How this session waits; the program's values unless its owner sets others.
    LinkTiming timing;
    AddressFamily family = AddressFamily::Ipv4;
    // Set for a link over which several units are addressed: a reply then answers a command only
    // when its node digits name `node`, and a count reply only when it is for an input requested.
    std::atomic<bool> checkReplyNode{false};
    // Whether the reply that ended the last wait was decoded (known letters, expected length);
    // stored before the release that ends the wait, so read it after SendCommand returned 0.
    std::atomic<bool> replyDecoded{false};

    // The link's own bookkeeping.
    std::atomic<const Transport*> transport{nullptr};  // chosen by OpenLink from kind
    std::atomic<int32_t> sendsInFlight{
        0};                               // writes that passed the state test; close waits them out
    std::atomic<int32_t> receiverEnd{0};  // how the receive thread's end is handed over (internal)
    std::atomic<bool> openingCancelled{false};  // set by CancelOpening
    bool rxDiscarding = false;                  // after an overflow, until the next end byte
    std::thread receiveThread;
    // The exchange waiting for its reply: its number, node and reply letters (0: none).
    std::atomic<uint64_t> awaitedReply{0};
    std::atomic<uint32_t> exchangeNumber{0};
    // Count requests whose reply has not come: node in bits 8 on, one bit per input index.
    std::atomic<uint32_t> requestedCounts{0};
    // How the line ended (ECONNRESET, EIO): set by the receive thread, cleared by OpenLink.
    std::atomic<int32_t> lineFailure{0};
    // Wakes the receive thread out of its wait for bytes (the system's wake-up descriptors).
    LinkDescriptor wakeReader = NO_DESCRIPTOR;
    LinkDescriptor wakeWriter = NO_DESCRIPTOR;
    LinkDescriptor lineEvent = NO_DESCRIPTOR;  // Windows: the event the line's I/O signals
    // Ends a reply wait at once when the line fails.
    std::mutex waitMutex;
    std::condition_variable waitWake;

    LinkSession() = default;
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;
    ~LinkSession();
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

// Opens the transport chosen by kind and starts the receive thread; 0 once Running, negative on
// failure with the reason in lastError (LINK_E_ABORTED after CancelOpening).
int OpenLink(LinkSession& session);

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
// text. -1 stands for the session's last error. The text lives in a buffer of the calling thread
// that its next call overwrites.
const char* LinkErrorText(int32_t code, const LinkSession& session);
