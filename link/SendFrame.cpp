#include <cstring>

#include "device/CommandTable.h"
#include "link/LinkInternals.h"
#include "link/LinkSeams.h"
#include "link/TraceHooks.h"

namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

// Writes while the session runs. The send counts itself in flight before it looks at the state,
// and CloseLink sets the state before it looks at the count (both sequentially consistent): so
// either this send sees the session closing, or the close waits for it before it closes the
// descriptor, which therefore cannot have been closed, or reused by another socket, meanwhile.
int32_t WriteFrame(const char* frame, LinkSession& session) {
    session.sendsInFlight.fetch_add(1);
    // A line that has ended takes nothing more; its code tells why, until the link is closed.
    int32_t code = session.lineFailure.load();
    if (code == 0) code = LINK_E_NOT_RUNNING;
    if (session.lineFailure.load() == 0 && session.state.load() == Running) {
        AtStep(LinkStep::SendPassedStateCheck);
        const auto* bytes = reinterpret_cast<const unsigned char*>(frame);
        const size_t length = std::strlen(frame);
        // Traced before it is written, so that its reply can never be traced ahead of it.
        TraceBytes(session.node, TraceKind::Sent, bytes, length);
        code = session.transport.load()->writeAll(session, bytes, length);
    }
    session.sendsInFlight.fetch_sub(1);
    return code;
}

int Reported(LinkSession& session, int32_t code) {
    session.lastError.store(code);
    return code == 0 ? 0 : -1;
}

}  // namespace

int32_t SendCommandText(const char* command, LinkSession& session) {
    const size_t length = strnlen(command, MAX_COMMAND_TEXT + 1);
    if (length > MAX_COMMAND_TEXT) {
        TraceFailure(session, session.node, TraceKind::LinkError, LINK_E_COMMAND);
        return LINK_E_COMMAND;
    }

    const bool awaited = AwaitsReply(command);
    const uint64_t ticket = awaited ? OpenExchange(session, command) : 0;
    if (!awaited) NoteCountRequest(session, command);

    char frame[FRAME_BUFFER_SIZE];
    frame[0] = HEX_DIGITS[(session.node >> 4) & 0x0F];
    frame[1] = HEX_DIGITS[session.node & 0x0F];
    std::memcpy(frame + 2, command, length + 1);

    const int32_t code = WriteFrame(frame, session);
    if (code != 0) TraceFailure(session, session.node, TraceKind::LinkError, code);
    // A frame that never left awaits no reply.
    if (code != 0 && awaited) WithdrawExchange(session, ticket);
    return code;
}

int SendFrame(const char* command, LinkSession& session) {
    return Reported(session, SendCommandText(command, session));
}

int WriteRaw(const char* frame, LinkSession& session) {
    return Reported(session, WriteFrame(frame, session));
}
