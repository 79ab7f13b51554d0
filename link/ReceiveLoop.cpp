#include "link/LinkInternals.h"
#include "link/LinkTiming.h"

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
    session.rxCount = 0;
    session.rxDiscarding = true;
    session.lastError.store(LINK_E_OVERFLOW);
}

// After a quiet moment a starting session is running: everything queued before it has been read.
void IdlePass(LinkSession& session) {
    SleepMs(TheLinkTiming().statePollMs.load());
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
    if (session.rxDiscarding) {
        if (byte == FRAME_END) session.rxDiscarding = false;
        return;
    }
    session.rxBuffer[session.rxCount++] = byte;
    // The 128th byte without an end byte before it is never taken for an end byte.
    if (session.rxCount >= FRAME_BUFFER_SIZE) {
        DropOverlongFrame(session);
        return;
    }
    if (byte == FRAME_END) DispatchFrame(session);
}

void ReceiveLoop(LinkSession& session) {
    for (;;) {
        const int32_t state = session.state.load();
        if (state != Starting && state != Running) return;
        unsigned char byte = 0;
        const int32_t code = ReadWaitingByte(session, byte);
        if (code == 0) {
            // While starting, bytes queued before the session was opened are discarded.
            if (state == Running) ReceiveByte(session, byte);
            continue;
        }
        // The loop acts on its own code; lastError is only the report.
        session.lastError.store(code);
        if (code == LINK_E_NO_DATA || code == LINK_E_TIMEOUT) IdlePass(session);
        // Any other failure (a read error, a closed connection) is followed by the next pass.
    }
}
