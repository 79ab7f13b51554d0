#include "link/LinkInternals.h"
#include "link/LinkPlatform.h"
#include "link/LinkTiming.h"
#include "link/TraceHooks.h"

namespace {

// One waiting byte from the transport: 0, LINK_E_NO_DATA when none waits, or the read's error.
int32_t ReadWaitingByte(LinkSessionState& session, unsigned char& byte) {
    const Transport& transport = *session.transport.load();
    if (transport.bytesWaiting(session) <= 0) return LINK_E_NO_DATA;
    return transport.readOne(session, byte);
}

// An over-long frame is dropped whole: its bytes up to and including the next end byte are
// discarded, and framing resumes after it.
void DropOverlongFrame(LinkSessionState& session) {
    TraceBytes(NO_TRACE_NODE, TraceKind::Overflow, session.rxBuffer, FRAME_BUFFER_SIZE);
    session.rxCount = 0;
    session.rxDiscarding = true;
    session.lastError.store(LINK_E_OVERFLOW);
}

// The rest of a dropped frame is kept in the frame buffer only to be traced, a buffer at a time;
// `ended` when its end byte has come.
void DropDiscardedRun(LinkSessionState& session, bool ended) {
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

// A quiet moment makes a starting session running: everything queued before it has been read.
void PromoteWhenQuiet(LinkSessionState& session, DrainedBytes& drained) {
    drained.Flush();
    int32_t starting = Starting;
    if (session.state.compare_exchange_strong(starting, Running)) WakeWaiters(session);
}

// Bytes read while running go into frames; while starting they were queued before the open.
void TakeBytes(LinkSessionState& session, int32_t state, const unsigned char* bytes, int32_t count,
               DrainedBytes& drained) {
    for (int32_t i = 0; i < count; ++i) {
        if (state == Running) {
            ReceiveByte(session, bytes[i]);
        } else {
            drained.Add(bytes[i]);
        }
    }
}

}  // namespace

int ReadByte(LinkSessionState& session, unsigned char& byte) {
    const int32_t code = ReadWaitingByte(session, byte);
    if (code == 0) return 0;
    session.lastError.store(code);
    return -1;
}

void ReceiveByte(LinkSessionState& session, unsigned char byte) {
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

// The thread sleeps in the transport's wait until bytes come, the line ends or a close wakes it;
// while starting, the wait is bounded by one state poll, the quiet moment that makes it running.
// Once the line has ended it no longer looks at the descriptor, only at the wake-up signal.
void ReceiveLoop(LinkSessionState& session) {
    DrainedBytes drained;
    unsigned char bytes[FRAME_BUFFER_SIZE];
    const Transport& transport = *session.transport.load();
    for (;;) {
        const int32_t state = session.state.load();
        if (state != Starting && state != Running) break;
        if (session.lineFailure.load() != 0) {
            AwaitWakeSignal(session);
            continue;
        }
        const int32_t quiet = state == Starting ? session.timing.statePollMs.load() : -1;
        int32_t code = transport.awaitBytes(session, quiet);
        if (code == LINK_E_TIMEOUT) {
            PromoteWhenQuiet(session, drained);
            continue;
        }
        int32_t got = 0;
        if (code == 0) code = transport.readSome(session, bytes, sizeof bytes, got);
        if (code == 0) {
            TakeBytes(session, state, bytes, got, drained);
        } else if (code != LINK_E_NO_DATA && session.state.load() == state) {
            // A read that a close ended is no failure of the line.
            FailLine(session, code);
        }
    }
    drained.Flush();
}
