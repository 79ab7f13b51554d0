#include "device/CommandTable.h"
#include "device/ReplyDecoding.h"
#include "link/LinkInternals.h"
#include "link/TraceHooks.h"

namespace {

bool IsGatewayNotice(const LinkSession& session) {
    return ::IsGatewayNotice(session.rxBuffer, session.rxCount);
}

bool IsCountReply(const LinkSession& session) {
    if (session.rxCount < 4) return false;
    const CommandSpec* command =
        CommandOfReply(session.rxBuffer[NODE_DIGITS], session.rxBuffer[NODE_DIGITS + 1]);
    return command != nullptr && !command->awaitsReply;
}

// The gateway reports its status on its own, as a parameter character; the notice answers no
// command.
void TakeGatewayNotice(LinkSession& session) {
    session.rxBuffer[session.rxCount - 1] = 0;
    session.gatewayStatus.store(GatewayStatusOf(session.rxBuffer));
}

// Hands a reply to the installed handler; frames that arrive while no handler is installed are
// dropped. Returns the handler's verdict.
int OfferReply(LinkSession& session) {
    void* userData = session.userData.load();
    ResponseHandler handler = session.handler.load();
    int accepted = 0;
    if (userData != nullptr && handler != nullptr) {
        accepted = handler(userData, session.rxBuffer + NODE_DIGITS, session.rxCount - NODE_DIGITS);
    }
    session.rxBuffer[session.rxCount - 1] = 0;
    return accepted;
}

// An accepted reply answers the command that awaits one. A reply that nothing awaits (queued
// before the open but late, or answered twice) is not counted: below 0 the counter would end the
// next command's wait on that stale reply instead of its own. Release: whatever the handler
// stored is visible to the thread that sees the count fall.
void CountAnswer(LinkSession& session) {
    int32_t pending = session.pendingReplies.load(std::memory_order_relaxed);
    while (pending > 0 &&
           !session.pendingReplies.compare_exchange_weak(
               pending, pending - 1, std::memory_order_release, std::memory_order_relaxed)) {
    }
}

}  // namespace

void DispatchFrame(LinkSession& session) {
    if (session.rxCount < 1) return;  // nothing stored, not even an end byte
    TraceBytes(NO_TRACE_NODE, TraceKind::Received, session.rxBuffer,
               static_cast<size_t>(session.rxCount));
    if (IsGatewayNotice(session)) {
        TakeGatewayNotice(session);
    } else if (OfferReply(session) != 0 && !IsCountReply(session)) {
        const unsigned char* reply = session.rxBuffer + NODE_DIGITS;
        const CommandSpec* command = CommandOfReply(reply[0], reply[1]);
        session.replyDecoded.store(command != nullptr &&
                                   ReplyDecodes(*command, session.rxCount - NODE_DIGITS));
        CountAnswer(session);
    }
    session.rxCount = 0;
}
