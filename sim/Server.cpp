#include "Server.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <initializer_list>

#include "FrameLog.h"
#include "Signals.h"

namespace {

constexpr int64_t kNanosPerMs = 1'000'000;
constexpr size_t kReadChunk = 4096;
// A pty hang-up throws away what the client has not read, so it waits for the client to take the
// last reply: at least a moment (bytes written to the master reach the slave's queue a little
// later), then until the queue is empty, looking every few milliseconds, but not for ever.
constexpr int64_t kDrainPollMs = 5;
constexpr int64_t kDrainGraceMs = 50;
constexpr int64_t kDrainLimitMs = 2000;
// A gateway holds a few replies for a client, not all it was ever asked for: a client that sends
// but does not read is dropped once this much waits for it beyond what its connection holds.
constexpr size_t kMaxQueuedBytes = 64 * 1024;

pollfd Watch(const std::unique_ptr<Channel>& channel) {
    if (!channel) return {-1, 0, 0};
    short events = channel->Closing() ? 0 : POLLIN;
    if (channel->WantsWrite()) events |= POLLOUT;
    return {channel->Fd(), events, 0};
}

}  // namespace

int64_t MonotonicNow() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

UnitTable BuildUnits(const SimOptions& options, int64_t now) {
    UnitTable units;
    for (const UnitPlan& plan : options.units) {
        Unit unit(plan.identity, options.source);
        unit.SetSettings(plan.settings, now);
        for (int i = 0; i < kMaxInputs; ++i)
            if (plan.presets[i]) unit.PresetCount(i, *plan.presets[i], now);
        if (plan.counting) unit.Start(now);
        units.Add(unit);
    }
    return units;
}

Server::~Server() {
    if (tcpChannel_) ::close(tcpChannel_->Fd());
}

std::string Server::Start() {
    if (options_.tcp) {
        if (std::string error = listener_.Open(options_.host, options_.port); !error.empty())
            return error;
        log_.Note("sim", "listening on " + options_.host + ":" + std::to_string(Port()));
    }
    if (!options_.ptyLink.empty()) {
        pty_ = std::make_unique<PtyPort>(options_.ptyLink);
        return OpenPtyChannel(MonotonicNow());
    }
    return {};
}

std::string Server::OpenPtyChannel(int64_t now) {
    std::string error = pty_->Open();
    ptyChannel_.reset();
    if (!error.empty()) return error;
    const std::string name = "pty#" + std::to_string(++ptyGenerations_);
    ptyChannel_ = std::make_unique<Channel>(pty_->MasterFd(), false, name);
    log_.Note(name, "pty " + pty_->SlaveName() + " linked as " + pty_->Link());
    Connected(*ptyChannel_, now);
    return {};
}

// What a gateway sends of its own accord when a client arrives.
void Server::Connected(Channel& channel, int64_t now) {
    if (options_.faults.queuedJunk) channel.Schedule(now, {"junk", QueuedJunk()});
    if (options_.notice)
        channel.Schedule(now + options_.notice->delayMs * kNanosPerMs,
                         {"notice", NoticeFrame(options_.notice->status)});
}

void Server::AcceptClient(int64_t now) {
    std::string peer;
    const int fd = listener_.Accept(&peer);
    if (fd < 0) return;
    const std::string name = "tcp#" + std::to_string(++tcpConnections_);
    tcpChannel_ = std::make_unique<Channel>(fd, true, name);
    log_.Note(name, "client " + peer + " connected");
    Connected(*tcpChannel_, now);
}

int Server::Run(SignalPipe& signals) {
    for (;;) {
        const bool listening = options_.tcp && !tcpChannel_;
        pollfd fds[] = {{signals.ReadFd(), POLLIN, 0},
                        {listening ? listener_.Fd() : -1, POLLIN, 0},
                        Watch(tcpChannel_),
                        Watch(ptyChannel_)};
        const int ready = ::poll(fds, 4, TimeoutMs(MonotonicNow()));
        if (ready < 0 && errno != EINTR) {
            log_.Note("sim", std::string("poll failed: ") + std::strerror(errno));
            return -1;
        }
        const int64_t now = MonotonicNow();
        if (fds[0].revents & POLLIN) return signals.Take();
        if (fds[1].revents & POLLIN) AcceptClient(now);
        Service(tcpChannel_, fds[2].revents, now);
        Service(ptyChannel_, fds[3].revents, now);
    }
}

void Server::Service(std::unique_ptr<Channel>& channel, short events, int64_t now) {
    if (!channel) return;
    if ((events & (POLLIN | POLLHUP | POLLERR)) && !Receive(*channel, now))
        return End(channel, "connection closed by the client", now);
    channel->Release(now, log_);
    if (!channel->Flush()) return End(channel, "write failed", now);
    if (channel->Queued() > kMaxQueuedBytes)
        return End(channel,
                   "dropped: the client does not read its replies (" +
                       std::to_string(channel->Queued()) + " bytes waiting)",
                   now);
    if (channel->Done() && !(channel.get() == ptyChannel_.get() && PtyStillDraining(now)))
        End(channel, "closed after " + std::to_string(channel->Counters().frames) + " frames", now);
}

bool Server::PtyStillDraining(int64_t now) {
    if (hangupStarted_ == 0) hangupStarted_ = now;
    const int64_t waited = now - hangupStarted_;
    if (waited < kDrainGraceMs * kNanosPerMs) return true;
    if (pty_->Unread() > 0 && waited < kDrainLimitMs * kNanosPerMs) return true;
    hangupStarted_ = 0;
    return false;
}

// Reads everything waiting; false when the other side has gone.
bool Server::Receive(Channel& channel, int64_t now) {
    char buffer[kReadChunk];
    // A client that sends faster than it reads stops being read once its replies fill the queue;
    // the caller then writes what it can and drops the client if the queue stays full.
    while (channel.Queued() <= kMaxQueuedBytes) {
        const ssize_t n = ::read(channel.Fd(), buffer, sizeof buffer);
        if (n == 0) return false;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        if (channel.Closing()) continue;  // past --close-after: what follows is not answered
        for (const auto& piece : channel.Receiver().Feed({buffer, size_t(n)})) {
            Respond(channel, piece, now);
            if (channel.Closing()) break;
        }
    }
    return true;
}

void Server::Respond(Channel& channel, const FrameAssembler::Piece& piece, int64_t now) {
    std::string letters, why;
    std::optional<std::string> reply;
    if (piece.overflow) {
        why = "discarded " + std::to_string(piece.length) + " bytes without end byte";
    } else {
        log_.Received(channel.Name(), piece.bytes);
        if (auto command = ParseCommand(piece.bytes, &why)) {
            letters = command->letters;
            Answer answer = AnswerCommand(units_, *command, now);
            reply = std::move(answer.frame);
            why = std::move(answer.why);
        }
    }
    if (!reply)
        log_.Note(channel.Name(), "no reply to " + FrameLog::Printable(piece.bytes) + ": " + why);

    ShapedAnswer shaped =
        ShapeAnswer(options_.faults, channel.Counters(), piece.bytes, letters, reply);
    if (!shaped.note.empty()) log_.Note(channel.Name(), shaped.note);
    const int64_t due = now + options_.faults.delayMs * kNanosPerMs;
    for (OutChunk& chunk : shaped.chunks)
        channel.Schedule(due, std::move(chunk));
    if (shaped.closeAfter) channel.CloseWhenDone();
}

void Server::End(std::unique_ptr<Channel>& channel, const std::string& why, int64_t now) {
    log_.Note(channel->Name(), why);
    if (channel->IsSocket()) {
        // Closing with unread input would reset the connection, and a reset can destroy the last
        // reply before the client has read it.
        char discard[kReadChunk];
        while (::read(channel->Fd(), discard, sizeof discard) > 0) {
        }
        ::close(channel->Fd());
        channel.reset();
        return;
    }
    if (std::string error = OpenPtyChannel(now); !error.empty())
        log_.Note("sim", "pty lost: " + error);
}

int Server::TimeoutMs(int64_t now) const {
    int64_t due = INT64_MAX;
    for (const auto* channel : {&tcpChannel_, &ptyChannel_})
        if (*channel) due = std::min(due, (*channel)->NextDue());
    if (hangupStarted_ != 0) due = std::min(due, now + kDrainPollMs * kNanosPerMs);
    if (due == INT64_MAX) return -1;
    if (due <= now) return 0;
    // Rounded up, so the loop never wakes just before a reply is due and spins.
    return int((due - now + kNanosPerMs - 1) / kNanosPerMs);
}
