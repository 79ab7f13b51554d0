#include <cstring>

#include "device/CommandEncoding.h"
#include "link/Frames.h"
#include "link/LinkErrors.h"
#include "link/LinkSession.h"
#include "link/Transport.h"

namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

// Count requests are not waited for, so they never take part in the awaited-reply counter.
bool AwaitsReply(const char* command) {
    return !IsCountRequest(command);
}

// Takes back the count of a frame that never left. A time-out of another exchange may have reset
// the count meanwhile; it never goes below 0.
void WithdrawAwaitedReply(LinkSession& session) {
    int32_t pending = session.pendingReplies.load();
    while (pending > 0 && !session.pendingReplies.compare_exchange_weak(pending, pending - 1)) {
    }
}

int Fail(LinkSession& session, int32_t code, int32_t* error) {
    session.lastError.store(code);
    if (error != nullptr) *error = code;
    return -1;
}

}  // namespace

int SendFrame(const char* command, LinkSession& session, int32_t* error) {
    const size_t length = strnlen(command, MAX_COMMAND_TEXT + 1);
    if (length > MAX_COMMAND_TEXT) return Fail(session, LINK_E_COMMAND, error);

    const bool awaited = AwaitsReply(command);
    if (awaited) session.pendingReplies.fetch_add(1);

    char frame[FRAME_BUFFER_SIZE];
    frame[0] = HEX_DIGITS[(session.node >> 4) & 0x0F];
    frame[1] = HEX_DIGITS[session.node & 0x0F];
    std::memcpy(frame + 2, command, length + 1);

    const int result = WriteRaw(frame, session, error);
    // A frame that never left awaits no reply; keeping the count raised would make the next
    // exchange end on a stale count instead of its own reply.
    if (result < 0 && awaited) WithdrawAwaitedReply(session);
    return result;
}

int WriteRaw(const char* frame, LinkSession& session, int32_t* error) {
    session.lastError.store(LINK_E_NOT_RUNNING);
    if (session.state.load() != Running) return Fail(session, LINK_E_NOT_RUNNING, error);
    session.lastError.store(0);
    const size_t length = std::strlen(frame);
    const int32_t code = session.transport.load()->writeAll(
        session, reinterpret_cast<const unsigned char*>(frame), length);
    if (code != 0) return Fail(session, code, error);
    if (error != nullptr) *error = 0;
    return 0;
}
