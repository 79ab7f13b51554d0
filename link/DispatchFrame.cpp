#include "device/CommandTable.h"
#include "device/ReplyDecoding.h"
#include "link/LinkInternals.h"
#include "link/TraceHooks.h"

namespace {

bool IsGatewayNotice(const LinkSessionState& session) {
    return ::IsGatewayNotice(session.rxBuffer, session.rxCount);
}

// The gateway reports its status on its own, as a parameter character; the notice answers no
// command.
void TakeGatewayNotice(LinkSessionState& session) {
    session.rxBuffer[session.rxCount - 1] = 0;
    session.gatewayStatus.store(GatewayStatusOf(session.rxBuffer));
}

// Hands a reply to the installed handler; frames that arrive while no handler is installed are
// dropped. Returns the handler's verdict.
int OfferReply(LinkSessionState& session) {
    void* userData = session.userData.load();
    ResponseHandler handler = session.handler.load();
    int accepted = 0;
    if (userData != nullptr && handler != nullptr) {
        accepted = handler(userData, session.rxBuffer + NODE_DIGITS, session.rxCount - NODE_DIGITS);
    }
    session.rxBuffer[session.rxCount - 1] = 0;
    return accepted;
}

// Whether a reply carries what its letters announce, for the caller of the exchange it answers.
bool Decoded(const LinkSessionState& session) {
    const unsigned char* reply = session.rxBuffer + NODE_DIGITS;
    const CommandSpec* command = CommandOfReply(reply[0], reply[1]);
    return command != nullptr && ReplyDecodes(*command, session.rxCount - NODE_DIGITS);
}

// A reply that no exchange awaits (a late answer, another node's) is traced as such and
// reaches no handler: it must not overwrite what the awaited reply stores.
void TakeReply(LinkSessionState& session) {
    uint64_t ticket = 0;
    const ReplyFit fit = FitOfReply(session, ticket);
    const auto length = static_cast<size_t>(session.rxCount);
    if (fit == ReplyFit::Unawaited) {
        TraceBytes(NO_TRACE_NODE, TraceKind::Unawaited, session.rxBuffer, length);
        return;
    }
    TraceBytes(NO_TRACE_NODE, TraceKind::Received, session.rxBuffer, length);
    const bool decoded = Decoded(session);
    if (OfferReply(session) != 0 && fit == ReplyFit::Awaited)
        AnswerExchange(session, ticket, decoded);
}

}  // namespace

void DispatchFrame(LinkSessionState& session) {
    if (session.rxCount < 1) return;  // nothing stored, not even an end byte
    if (IsGatewayNotice(session)) {
        TraceBytes(NO_TRACE_NODE, TraceKind::Received, session.rxBuffer,
                   static_cast<size_t>(session.rxCount));
        TakeGatewayNotice(session);
    } else {
        TakeReply(session);
    }
    session.rxCount = 0;
    // A count reply ends no exchange, but a front end may wait for it.
    WakeWaiters(session);
}
