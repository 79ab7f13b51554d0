#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// Route of a link; any non-zero kind is treated as TCP.
enum LinkKind : int32_t { Serial = 0, Tcp = 1 };

// Life of a link: the receive thread exists while Starting, Running or Stopping.
enum LinkState : int32_t { Idle = 0, Starting = 1, Running = 2, Stopping = 3 };

// Receive buffer of one frame, end byte included.
constexpr int RX_BUFFER_SIZE = 128;

// Called by the receive thread for every reply frame: user data, the first reply letter and the
// reply length (end byte included). Non-zero when the frame is the answer to a command.
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
    int portHandle = -1;  // serial file descriptor
    int tcpSocket = -1;   // TCP socket
    std::atomic<int32_t> state{Idle};
    unsigned char rxBuffer[RX_BUFFER_SIZE] = {};
    int32_t rxCount = 0;
    std::atomic<void*> userData{nullptr};
    std::atomic<ResponseHandler> handler{nullptr};

    // Receive thread's own bookkeeping.
    std::atomic<const Transport*> transport{nullptr};  // chosen by OpenLink from kind
    bool rxDiscarding = false;                         // after an overflow, until the next end byte
    std::thread receiveThread;

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
// failure with the reason in lastError.
int OpenLink(LinkSession& session);
// Stops the receive thread and closes the transport; does nothing unless Running.
void CloseLink(LinkSession& session);

int OpenSerialPort(LinkSession& session);
int OpenTcpConnection(LinkSession& session);

// Body of the receive thread.
void ReceiveLoop(LinkSession& session);
// Takes one waiting byte from the transport into rxBuffer; 0 or negative with the reason in
// lastError. The reason is also given in *error, since lastError is shared by every thread.
int ReadByte(LinkSession& session, unsigned char& byte, int32_t* error = nullptr);
// Everything the receive thread does with one byte after it was read while Running: store it,
// drop an over-long frame, dispatch a frame at its end byte.
void ReceiveByte(LinkSession& session, unsigned char byte);
