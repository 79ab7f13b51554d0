#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "link/FrameTrace.h"

// The frame trace as a text file that both front ends write, one line per record:
//   TIME DIR NODE TEXT [HEX] MEANING
//   2026-12-01T09:30:15.042 TX 01 01PG!\xC8 [30 31 50 47 21 C8] read count of DI2
// TIME is local time with milliseconds; DIR is TX, RX or -- (discarded bytes, time-outs,
// errors); NODE is the node digits of the frame as on the wire, or the session's node in the same
// form, or "--" for what the receive thread discards or fails to read; TEXT shows 0x21-0x7E as they
// are except '\' as "\\", every other byte as \xHH. Lines of time-outs and errors carry no bytes:
// "TIME -- NODE reply time-out: TEXT".
class TraceFile final : public FrameTraceSink {
public:
    // Opens `path` for appending; nullptr with the reason in `error` when it cannot be opened.
    static std::unique_ptr<TraceFile> Open(const std::string& path, std::string& error);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    void Record(const TraceRecord& record) override;

private:
    explicit TraceFile(std::FILE* file) : file_(file) {}

    std::mutex mutex_;  // one line at a time, from the receive thread and the senders
    std::FILE* file_;
};

// A record's line without its time and line end: "TX 01 01MD\xC8 [30 31 4D 44 C8] identify".
std::string TraceLineOf(const TraceRecord& record);
// Bytes as the trace and velkor-sim's log show them.
std::string PrintableBytes(const unsigned char* bytes, size_t length);
std::string HexBytes(const unsigned char* bytes, size_t length);
