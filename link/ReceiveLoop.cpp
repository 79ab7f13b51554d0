#include <chrono>
#include <thread>

#include "link/Frames.h"
#include "link/LinkErrors.h"
#include "link/LinkSession.h"
#include "link/LinkTiming.h"
#include "link/Transport.h"

namespace {

// Appends a byte to the frame being received; LINK_E_OVERFLOW when the buffer is then full, so
// that the 128th byte without an end byte before it is never taken for an end byte.
int32_t StoreByte(LinkSession& session, unsigned char byte) {
    session.rxBuffer[session.rxCount++] = byte;
    return session.rxCount >= RX_BUFFER_SIZE ? LINK_E_OVERFLOW : 0;
}

// An over-long frame is dropped whole: its bytes up to and including the next end byte are
// discarded, and framing resumes after it.
void DropOverlongFrame(LinkSession& session) {
    session.rxCount = 0;
    session.rxDiscarding = true;
}

// A byte that was stored while the session runs: the end of a frame dispatches it, and an
// over-long frame is dropped whole.
void TakeStoredByte(LinkSession& session, int32_t stored, unsigned char byte) {
    if (stored == LINK_E_OVERFLOW) {
        DropOverlongFrame(session);
        return;
    }
    if (session.rxDiscarding) {
        session.rxCount = 0;
        if (byte == FRAME_END) session.rxDiscarding = false;
        return;
    }
    if (byte == FRAME_END) DispatchFrame(session);
}

// After a quiet moment a starting session is running: everything queued before it has been read.
void IdlePass(LinkSession& session) {
    std::this_thread::sleep_for(std::chrono::milliseconds(TheLinkTiming().statePollMs.load()));
    int32_t starting = Starting;
    session.state.compare_exchange_strong(starting, Running);
}

}  // namespace

int ReadByte(LinkSession& session, unsigned char& byte, int32_t* error) {
    int32_t code = LINK_E_NO_DATA;
    if (session.transport.load()->bytesWaiting(session) > 0) {
        code = session.transport.load()->readOne(session, byte);
        if (code == 0) code = StoreByte(session, byte);
    }
    if (error != nullptr) *error = code;
    if (code == 0) return 0;
    session.lastError.store(code);
    return -1;
}

void ReceiveByte(LinkSession& session, unsigned char byte) {
    const int32_t stored = StoreByte(session, byte);
    if (stored != 0) session.lastError.store(stored);
    TakeStoredByte(session, stored, byte);
}

void ReceiveLoop(LinkSession& session) {
    for (;;) {
        const int32_t state = session.state.load();
        if (state != Starting && state != Running) {
            session.state.store(Idle);
            return;
        }
        unsigned char byte = 0;
        int32_t code = 0;
        ReadByte(session, byte, &code);
        if (code == 0 || code == LINK_E_OVERFLOW) {
            if (state == Starting) {
                session.rxCount = 0;  // drained: queued before the session was opened
            } else {
                TakeStoredByte(session, code, byte);
            }
        } else if (code == LINK_E_NO_DATA || code == LINK_E_TIMEOUT) {
            IdlePass(session);
        }
        // Any other failure (a read error, a closed connection) is followed by the next pass.
    }
}
