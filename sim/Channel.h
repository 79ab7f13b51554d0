#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "Faults.h"
#include "Protocol.h"

class FrameLog;

// One connection of the gateway (a TCP client or the pty): its receive framing, the replies
// waiting for their time, the bytes not yet written, and what the faults have counted.
class Channel {
public:
    Channel(int fd, bool isSocket, std::string name)
        : fd_(fd), isSocket_(isSocket), name_(std::move(name)) {}

    int Fd() const { return fd_; }
    bool IsSocket() const { return isSocket_; }
    const std::string& Name() const { return name_; }
    FrameAssembler& Receiver() { return receiver_; }
    FaultCounters& Counters() { return counters_; }

    // Queues bytes to go out at monotonic time `due`; equal times keep their order.
    void Schedule(int64_t due, OutChunk chunk) {
        scheduledBytes_ += chunk.bytes.size();
        scheduled_.emplace(due, std::move(chunk));
    }
    // Bytes queued for the client and not yet taken by the descriptor.
    size_t Queued() const { return scheduledBytes_ + unwritten_.size(); }
    // Moves what is due by `now` to the write buffer and logs it as sent.
    void Release(int64_t now, FrameLog& log);
    // Monotonic time of the next scheduled chunk, INT64_MAX when there is none.
    int64_t NextDue() const;
    bool WantsWrite() const { return !unwritten_.empty(); }
    // Writes what the descriptor takes now; false when the connection is gone.
    bool Flush();

    // After this, nothing more is read; the connection ends once everything is out.
    void CloseWhenDone() { closing_ = true; }
    bool Closing() const { return closing_; }
    bool Done() const { return closing_ && scheduled_.empty() && unwritten_.empty(); }

private:
    int fd_;
    bool isSocket_;
    std::string name_;
    FrameAssembler receiver_;
    FaultCounters counters_;
    std::multimap<int64_t, OutChunk> scheduled_;
    size_t scheduledBytes_ = 0;
    std::string unwritten_;
    bool closing_ = false;
};
