#include <chrono>

#include <thread>

#include "link/LinkInternals.h"
#include "link/LinkSeams.h"
#include "link/LinkTiming.h"
#include "link/TraceHooks.h"

namespace {

// Sends; 0 or the code of the failure, which is also the session's last error.
int32_t Send(LinkSessionState& session, const UnitCommand& command) {
    const int32_t code = SendUnitCommand(command, session);
    session.lastError.store(code);
    return code;
}

// One pass of the reply wait: a sleep that the end of the line or of the session cuts short, and
// the reply too where the session wakes at once.
void ReplyPass(LinkSessionState& session) {
    const bool wakeAtOnce = session.timing.wakeAtOnce.load();
    std::unique_lock<std::mutex> lock(session.waitMutex);
    session.waitWake.wait_for(
        lock, std::chrono::milliseconds(session.timing.replyPollMs.load()), [&] {
            return session.lineFailure.load() != 0 || session.state.load() != Running ||
                   (wakeAtOnce && session.pendingReplies.load() < 1);
        });
}

// The session closed under the wait: nothing can answer it any more.
int32_t SessionClosed(LinkSessionState& session) {
    if (session.state.load() == Running) return 0;
    EndExchange(session);
    session.lastError.store(LINK_E_NOT_RUNNING);
    return LINK_E_NOT_RUNNING;
}

// At the deadline the wait takes its exchange back, unless the reply took it first: then the
// reply answered in time, and what it stored is seen once the counter has fallen.
bool AnsweredAtTheDeadline(LinkSessionState& session) {
    uint64_t ticket = session.awaitedReply.load();
    if (ticket != 0 && session.awaitedReply.compare_exchange_strong(ticket, 0)) {
        session.pendingReplies.store(0);
        return false;
    }
    while (session.pendingReplies.load(std::memory_order_acquire) > 0)
        std::this_thread::yield();
    return true;
}

// The code of a line that ended under the wait, which then awaits nothing more; 0 otherwise.
int32_t LineEnded(LinkSessionState& session) {
    const int32_t failure = session.lineFailure.load();
    if (failure == 0) return 0;
    EndExchange(session);
    session.lastError.store(failure);
    return failure;
}

// Waits up to 100 passes of 100 ms for its reply. The abort is looked at before the counter, so
// an abort wins over a reply that came in during the same sleep; a line that ended ends the wait
// at once with its code.
int32_t AwaitReply(LinkSessionState& session, ExchangeHost& host) {
    const int32_t passes = session.timing.replyPolls.load();
    for (int32_t pass = 0; pass < passes; ++pass) {
        if (host.AbortRequested().exchange(0) != 0) return LINK_E_ABORTED;
        // Acquire: pairs with the release of the receive thread, so the reply's stores are seen.
        if (session.pendingReplies.load(std::memory_order_acquire) < 1) return 0;
        if (const int32_t failure = LineEnded(session)) return failure;
        if (const int32_t closed = SessionClosed(session)) return closed;
        ReplyPass(session);
    }
    if (const int32_t failure = LineEnded(session)) return failure;
    AtStep(LinkStep::ReplyDeadline);
    if (AnsweredAtTheDeadline(session)) return 0;
    TraceFailure(session, session.node, TraceKind::ReplyTimeout, LINK_E_TIMEOUT);
    return LINK_E_TIMEOUT;
}

}  // namespace

int SendCommand(LinkSession& link, ExchangeHost& host, const UnitCommand& command) {
    LinkSessionState& session = Internals(link);
    while (host.CountBusy().load() != 0)
        SleepMs(session.timing.countBusyPollMs.load());
    const int32_t sent = Send(session, command);
    if (sent != 0) {
        host.ResetProgress();  // a frame that never left ends the busy display
        return sent;
    }
    return AwaitReply(session, host);
}

int PostCommand(LinkSession& link, ExchangeHost& host, const UnitCommand& command) {
    LinkSessionState& session = Internals(link);
    host.CountBusy().store(1);
    const int32_t sent = Send(session, command);
    host.CountBusy().store(0);
    if (sent != 0) host.ResetProgress();
    return sent;
}
