#include <cstring>

#include "device/CommandEncoding.h"
#include "link/LinkInternals.h"
#include "link/LinkSeams.h"
#include "link/TraceHooks.h"

namespace {

// Writes while the session runs. The send counts itself in flight before it looks at the state,
// and CloseLink sets the state before it looks at the count (both sequentially consistent): so
// either this send sees the session closing, or the close waits for it before it closes the
// descriptor, which therefore cannot have been closed, or reused by another socket, meanwhile.
int32_t WriteFrame(const unsigned char* bytes, size_t length, LinkSessionState& session) {
    session.sendsInFlight.fetch_add(1);
    // A line that has ended takes nothing more; its code tells why, until the link is closed.
    int32_t code = session.lineFailure.load();
    if (code == 0) code = LINK_E_NOT_RUNNING;
    if (session.lineFailure.load() == 0 && session.state.load() == Running) {
        AtStep(LinkStep::SendPassedStateCheck);
        // Traced before it is written, so that its reply can never be traced ahead of it.
        TraceBytes(session.node, TraceKind::Sent, bytes, length);
        code = session.transport.load()->writeAll(session, bytes, length);
    }
    session.sendsInFlight.fetch_sub(1);
    return code;
}

}  // namespace

int32_t SendUnitCommand(const UnitCommand& command, LinkSessionState& session) {
    const CommandSpec& spec = command.Spec();
    const bool awaited = spec.awaitsReply;
    const uint64_t ticket = awaited ? OpenExchange(session, spec) : 0;
    if (!awaited) NoteCountRequest(session, command.parameters[0] - PARAM_BASE);

    const CommandFrame frame = FrameOf(session.node, command);
    const int32_t code = WriteFrame(frame.bytes.data(), frame.length, session);
    if (code != 0) TraceFailure(session, session.node, TraceKind::LinkError, code);
    // A frame that never left awaits no reply.
    if (code != 0 && awaited) WithdrawExchange(session, ticket);
    return code;
}

int WriteRaw(const char* frame, LinkSessionState& session) {
    const int32_t code =
        WriteFrame(reinterpret_cast<const unsigned char*>(frame), std::strlen(frame), session);
    session.lastError.store(code);
    return code == 0 ? 0 : -1;
}
