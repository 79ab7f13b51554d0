#pragma once

// The frame trace: what went over the wire, handed to a sink the program installs once, before
// any session opens. With no sink installed the link pays one relaxed load per frame.

#include <atomic>
#include <cstddef>
#include <cstdint>

enum class TraceKind : int32_t {
    Sent,          // a frame handed to the transport (traced before it is written)
    Received,      // a complete frame, node digits and end byte included
    Unawaited,     // a complete reply that no exchange awaits, ignored
    Overflow,      // bytes of an over-long frame, dropped
    Drained,       // bytes queued before the session opened, read and dropped
    ReplyTimeout,  // no reply to a command in time
    LinkError,     // an open, a send or a read failed
};

struct TraceRecord {
    TraceKind kind;
    // The session's node for sends, reply time-outs and failures to open or send; -1 for what
    // the receive thread reports (a received frame carries its node digits).
    int32_t node;
    const unsigned char* bytes;  // the frame or the dropped bytes; null for time-outs and errors
    size_t length;
    int32_t code;      // result code of time-outs and errors, 0 otherwise
    const char* text;  // their text ("通信エラー : ..." and the system's reason); null otherwise
};

// Receives every record, from the receive thread and from every thread that sends, at the same
// time: it must be thread-safe and must not block for long (the receive thread waits for it).
class FrameTraceSink {
public:
    virtual void Record(const TraceRecord& record) = 0;

protected:
    ~FrameTraceSink() = default;
};

// Installs the sink (nullptr: none). Set before a session opens and left until every session has
// closed: the opening thread starts the receive thread, which publishes the sink to it.
void SetFrameTrace(FrameTraceSink* sink);
