#include "device/CommandTable.h"
#include "device/ReplyDecoding.h"
#include "link/LinkInternals.h"
#include "link/TraceHooks.h"

// The exchange waiting for a reply is one word: its number (so that a late answer cannot end a
// later exchange of the same letters by accident of timing), the node it addressed and the reply
// letters awaited. The receive thread takes a reply only when it fits, before anything is stored.

namespace {

constexpr int LETTER_BITS = 16;
constexpr int INDEX_BITS = 8;  // count requests: one bit per input index below the node
constexpr uint64_t LETTERS_MASK = 0xFFFF;
constexpr uint64_t NODE_MASK = 0xFF;
constexpr uint32_t INDEX_MASK = 0xFF;

uint64_t ReplyLettersOf(const CommandSpec& command) {
    return uint64_t{static_cast<unsigned char>(command.replyLetters[0])} << 8 |
           static_cast<unsigned char>(command.replyLetters[1]);
}

int32_t HexValue(unsigned char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

// The node a frame names, or -1 when its digits are not hexadecimal.
int32_t NodeOfFrame(const unsigned char* frame) {
    const int32_t high = HexValue(frame[0]);
    const int32_t low = HexValue(frame[1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

uint32_t NodeTag(int32_t node) {
    return (static_cast<uint32_t>(node) & NODE_MASK) << INDEX_BITS;
}

// A count reply of a session that checks nodes: the node and an input index requested there.
bool TakeRequestedCount(LinkSessionState& session, int32_t node, int32_t index) {
    if (index < 0 || index >= INDEX_BITS) return false;
    const uint32_t bit = 1u << index;
    uint32_t requested = session.requestedCounts.load();
    do {
        if ((requested & ~INDEX_MASK) != NodeTag(node) || (requested & bit) == 0) return false;
    } while (!session.requestedCounts.compare_exchange_weak(requested, requested & ~bit));
    return true;
}

}  // namespace

uint64_t OpenExchange(LinkSessionState& session, const CommandSpec& command) {
    const uint64_t number = session.exchangeNumber.fetch_add(1) + 1u;
    const uint64_t ticket = number << 32 |
                            (static_cast<uint64_t>(session.node) & NODE_MASK) << LETTER_BITS |
                            ReplyLettersOf(command);
    session.awaitedReply.store(ticket);
    session.pendingReplies.store(1);
    return ticket;
}

void NoteCountRequest(LinkSessionState& session, int32_t index) {
    if (index < 0 || index >= INDEX_BITS) return;
    const uint32_t tag = NodeTag(session.node);
    uint32_t requested = session.requestedCounts.load();
    uint32_t next = 0;
    do {
        // Requests of another node are forgotten: their late replies are not taken.
        next = ((requested & ~INDEX_MASK) == tag ? requested : tag) | 1u << index;
    } while (!session.requestedCounts.compare_exchange_weak(requested, next));
}

void WithdrawExchange(LinkSessionState& session, uint64_t ticket) {
    if (session.awaitedReply.compare_exchange_strong(ticket, 0)) session.pendingReplies.store(0);
}

void EndExchange(LinkSessionState& session) {
    session.awaitedReply.store(0);
    session.pendingReplies.store(0);
}

ReplyFit FitOfReply(LinkSessionState& session, uint64_t& ticket) {
    const unsigned char* frame = session.rxBuffer;
    if (session.rxCount < NODE_DIGITS + MIN_REPLY_LENGTH) return ReplyFit::Unawaited;
    const unsigned char* reply = frame + NODE_DIGITS;
    const CommandSpec* command = CommandOfReply(reply[0], reply[1]);
    const bool checked = session.checkReplyNode.load();
    if (command != nullptr && !command->awaitsReply) {
        if (!checked) return ReplyFit::Count;
        const int32_t index = session.rxCount > NODE_DIGITS + 3 ? reply[2] - 0x20 : -1;
        return TakeRequestedCount(session, NodeOfFrame(frame), index) ? ReplyFit::Count
                                                                      : ReplyFit::Unawaited;
    }
    ticket = session.awaitedReply.load();
    if (ticket == 0 || (ticket & LETTERS_MASK) != (uint64_t{reply[0]} << 8 | reply[1]))
        return ReplyFit::Unawaited;
    if (checked && NodeOfFrame(frame) != static_cast<int32_t>(ticket >> LETTER_BITS & NODE_MASK))
        return ReplyFit::Unawaited;
    return ReplyFit::Awaited;
}

// Release: whatever the handler stored, and whether it decoded, is visible to the thread that
// sees the count fall.
bool AnswerExchange(LinkSessionState& session, uint64_t ticket, bool decoded) {
    if (!session.awaitedReply.compare_exchange_strong(ticket, 0)) return false;
    session.replyDecoded.store(decoded, std::memory_order_relaxed);
    session.pendingReplies.store(0, std::memory_order_release);
    return true;
}

// The lock between the change and the wake-up: a waiter that found nothing changed is asleep by
// the time it is woken, so no wake-up is lost.
void WakeWaiters(LinkSessionState& session) {
    { std::lock_guard<std::mutex> lock(session.waitMutex); }
    session.waitWake.notify_all();
}

void FailLine(LinkSessionState& session, int32_t code) {
    session.lastError.store(code);
    TraceFailure(session, NO_TRACE_NODE, TraceKind::LinkError, code);
    {
        std::lock_guard<std::mutex> lock(session.waitMutex);
        session.lineFailure.store(code);
    }
    session.waitWake.notify_all();
}
