#include "link/LinkInternals.h"
#include "link/LinkTiming.h"
#include "link/TraceHooks.h"

namespace {

// One waiting byte from the transport: 0, LINK_E_NO_DATA when none waits, or the read's error.
int32_t ReadWaitingByte(LinkSession& session, unsigned char& byte) {
    const Transport& transport = *session.transport.load();
    if (transport.bytesWaiting(session) <= 0) return LINK_E_NO_DATA;
    return transport.readOne(session, byte);
}

// An over-long frame is dropped whole: its bytes up to and including the next end byte are
// discarded, and framing resumes after it.
void DropOverlongFrame(LinkSession& session) {
    TraceBytes(NO_TRACE_NODE, TraceKind::Overflow, session.rxBuffer, FRAME_BUFFER_SIZE);
    session.rxCount = 0;
    session.rxDiscarding = true;
    session.lastError.store(LINK_E_OVERFLOW);
}

// The rest of a dropped frame is kept in the frame buffer only to be traced, a buffer at a time;
// `ended` when its end byte has come.
void DropDiscardedRun(LinkSession& session, bool ended) {
    TraceBytes(NO_TRACE_NODE, TraceKind::Overflow, session.rxBuffer,
               static_cast<size_t>(session.rxCount));
    session.rxCount = 0;
    session.rxDiscarding = !ended;
}

// Bytes read while the session is starting, dropped, and traced a buffer at a time or when the
// line goes quiet.
struct DrainedBytes {
    unsigned char bytes[FRAME_BUFFER_SIZE];
    size_t count = 0;

    void Add(unsigned char byte) {
        bytes[count++] = byte;
        if (count == sizeof bytes) Flush();
    }
    void Flush() {
        if (count != 0) TraceBytes(NO_TRACE_NODE, TraceKind::Drained, bytes, count);
        count = 0;
    }
};

// A read failure other than "nothing waiting" is traced once, not at every pass that repeats it.
void TraceReadFailure(const LinkSession& session, int32_t code, int32_t& lastTraced) {
    if (code == lastTraced) return;
    lastTraced = code;
    TraceFailure(session, NO_TRACE_NODE, TraceKind::LinkError, code);
}

// After a quiet moment a starting session is running: everything queued before it has been read.
void IdlePass(LinkSession& session) {
    SleepMs(session.timing.statePollMs.load());
    int32_t starting = Starting;
    session.state.compare_exchange_strong(starting, Running);
}

}  // namespace

int ReadByte(LinkSession& session, unsigned char& byte) {
    const int32_t code = ReadWaitingByte(session, byte);
    if (code == 0) return 0;
    session.lastError.store(code);
    return -1;
}

void ReceiveByte(LinkSession& session, unsigned char byte) {
    session.rxBuffer[session.rxCount++] = byte;
    if (session.rxDiscarding) {
        const bool ended = byte == FRAME_END;
        if (ended || session.rxCount >= FRAME_BUFFER_SIZE) DropDiscardedRun(session, ended);
        return;
    }
    // The 128th byte without an end byte before it is never taken for an end byte.
    if (session.rxCount >= FRAME_BUFFER_SIZE) {
        DropOverlongFrame(session);
        return;
    }
    if (byte == FRAME_END) DispatchFrame(session);
}

void ReceiveLoop(LinkSession& session) {
    DrainedBytes drained;
    int32_t lastFailure = 0;
    for (;;) {
        const int32_t state = session.state.load();
        if (state != Starting && state != Running) break;
        unsigned char byte = 0;
        const int32_t code = ReadWaitingByte(session, byte);
        if (code == 0) {
            lastFailure = 0;
            // While starting, bytes queued before the session was opened are discarded.
            if (state == Running) {
                ReceiveByte(session, byte);
            } else {
                drained.Add(byte);
            }
            continue;
        }
        // The loop acts on its own code; lastError is only the report.
        session.lastError.store(code);
        if (code == LINK_E_NO_DATA || code == LINK_E_TIMEOUT) {
            drained.Flush();
            IdlePass(session);
        } else {
            // A read error or a closed connection; the next pass follows. A read that a close
            // ended is no failure of the line.
            if (session.state.load() == state) TraceReadFailure(session, code, lastFailure);
        }
    }
    drained.Flush();
}
