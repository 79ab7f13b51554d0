#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Channel.h"
#include "PtyPort.h"
#include "SimOptions.h"
#include "TcpListener.h"
#include "Unit.h"

class FrameLog;
class SignalPipe;

// Monotonic clock in nanoseconds: the time base of counting and of delayed replies.
int64_t MonotonicNow();

// The units of the plans, with their settings, presets and counting state at time `now`.
UnitTable BuildUnits(const SimOptions& options, int64_t now);

// The gateway: one poll loop over the listening socket, the current TCP client and the pty. It
// sleeps in poll until a byte, a connection, a signal or a delayed reply is due; counting needs no
// wake-ups, because counts are computed when they are asked for.
class Server {
public:
    Server(const SimOptions& options, UnitTable& units, FrameLog& log)
        : options_(options), units_(units), log_(log) {}
    ~Server();

    // Opens the listening socket and the pty; an error text, empty on success.
    std::string Start();
    // The TCP port listened on, 0 without TCP.
    int Port() const { return options_.tcp ? listener_.Port() : 0; }
    // Serves until a signal arrives; returns its number, or -1 when polling failed.
    int Run(SignalPipe& signals);

private:
    void Connected(Channel& channel, int64_t now);
    void AcceptClient(int64_t now);
    std::string OpenPtyChannel(int64_t now);
    void Service(std::unique_ptr<Channel>& channel, short events, int64_t now);
    bool Receive(Channel& channel, int64_t now);
    void Respond(Channel& channel, const FrameAssembler::Piece& piece, int64_t now);
    void End(std::unique_ptr<Channel>& channel, const std::string& why, int64_t now);
    bool PtyStillDraining(int64_t now);
    int TimeoutMs(int64_t now) const;

    const SimOptions& options_;
    UnitTable& units_;
    FrameLog& log_;
    TcpListener listener_;
    std::unique_ptr<PtyPort> pty_;
    std::unique_ptr<Channel> tcpChannel_;
    std::unique_ptr<Channel> ptyChannel_;
    int tcpConnections_ = 0;
    int ptyGenerations_ = 0;
    int64_t hangupStarted_ = 0;  // while a pty hang-up waits for the client to read the last reply
};
