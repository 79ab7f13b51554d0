#include "link/LinkSession.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "link/LinkInternals.h"
#include "link/LinkPlatform.h"
#include "link/LinkSeams.h"
#include "link/LinkTiming.h"
#include "link/TraceHooks.h"

namespace {

// How the receive thread's end is handed over (receiverEnd): the closer waits for ENDED and
// finishes the close; when it stops waiting first, it marks the thread ORPHANED and the thread
// finishes the close itself when it ends. One compare-and-swap decides which of the two it is.
constexpr int32_t RECEIVER_RUNNING = 0;
constexpr int32_t RECEIVER_ENDED = 1;
constexpr int32_t RECEIVER_ORPHANED = 2;

// Sleeps until `done` holds or `limitMs` has passed; whether it holds. Whoever makes it hold
// wakes the session's waiters.
template <typename Condition>
bool WaitUntil(LinkSessionState& session, Condition done, int32_t limitMs) {
    std::unique_lock<std::mutex> lock(session.waitMutex);
    return session.waitWake.wait_for(lock, std::chrono::milliseconds(limitMs), done);
}

// Once the receive thread has ended: waits out the sends under way (the transport was shut down,
// so they end at once), closes the descriptor and makes the session Idle, in that order.
void ReleaseTransport(LinkSessionState& session) {
    while (session.sendsInFlight.load() != 0)
        SleepMs(1);
    session.transport.load()->close(session);
    CloseWakeSignal(session);
    session.state.store(Idle);
    WakeWaiters(session);
}

void ReceiveThreadMain(LinkSessionState* session) {
    RaiseReceivePriority();
    // The opener makes the session Starting once it holds this thread, so that a close, which
    // joins the thread, never meets the opener still storing it.
    while (session->state.load() == Idle)
        std::this_thread::yield();
    ReceiveLoop(*session);
    int32_t running = RECEIVER_RUNNING;
    if (!session->receiverEnd.compare_exchange_strong(running, RECEIVER_ENDED)) {
        ReleaseTransport(*session);  // the closer stopped waiting for this thread
        return;
    }
    WakeWaiters(*session);
}

int32_t StartReceiveThread(LinkSessionState& session) {
    if (const int32_t injected = AtStep(LinkStep::ReceiveThreadStart); injected != 0) {
        return injected;
    }
    try {
        session.receiveThread = std::thread(ReceiveThreadMain, &session);
    } catch (const std::system_error& failure) {
        return failure.code().value();
    }
    return 0;
}

// Closes a session that its caller has just set Stopping: false when the receive thread did not
// end in time and was left to finish the close.
bool StopSession(LinkSessionState& session) {
    SignalWake(session);
    session.transport.load()->shutDown(session);
    const bool ended = WaitUntil(
        session, [&] { return session.receiverEnd.load() == RECEIVER_ENDED; },
        session.timing.closeWaitLimitMs.load());
    int32_t running = RECEIVER_RUNNING;
    if (!ended && session.receiverEnd.compare_exchange_strong(running, RECEIVER_ORPHANED)) {
        return false;
    }
    session.receiveThread.join();
    ReleaseTransport(session);
    return true;
}

// Waits until the line went quiet once, so that whatever was queued before the open is gone. The
// receive thread wakes it then; a cancel is looked at once a state poll.
int32_t AwaitRunning(LinkSessionState& session) {
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(session.timing.stateWaitLimitMs.load());
    const auto ended = [&] {
        return session.state.load() == Running || session.lineFailure.load() != 0;
    };
    while (session.state.load() != Running) {
        int32_t code = 0;
        if (session.openingCancelled.load()) {
            code = LINK_E_ABORTED;
        } else if (session.lineFailure.load() != 0) {
            code = session.lineFailure.load();  // the line ended before it went quiet
        } else if (std::chrono::steady_clock::now() >= limit) {
            code = LINK_E_TIMEOUT;
        }
        if (code != 0) {
            int32_t starting = Starting;
            if (!session.state.compare_exchange_strong(starting, Stopping)) return 0;  // Running
            StopSession(session);
            return code;
        }
        WaitUntil(session, ended, session.timing.statePollMs.load());
    }
    return 0;
}

int32_t OpenSession(LinkSessionState& session) {
    if (session.openingCancelled.load()) return LINK_E_ABORTED;
    // The thread of a close that it finished itself has ended by the time the session is Idle.
    if (session.receiveThread.joinable()) session.receiveThread.join();
    // Serial for kind 0, TCP for any other kind.
    const Transport& transport = TransportOf(session.kind);
    session.transport = &transport;
    if (const int32_t opened = transport.open(session); opened != 0) return opened;

    session.pendingReplies.store(0);
    session.awaitedReply.store(0);
    session.requestedCounts.store(0);
    session.lineFailure.store(0);
    session.rxCount = 0;
    session.rxDiscarding = false;
    session.receiverEnd.store(RECEIVER_RUNNING);
    int32_t code = OpenWakeSignal(session);
    if (code == 0) {
        code = StartReceiveThread(session);
        if (code != 0) CloseWakeSignal(session);
    }
    if (code != 0) {
        transport.close(session);
        return code;
    }
    session.state.store(Starting);
    return AwaitRunning(session);
}

}  // namespace

LinkSession::~LinkSession() {
    CloseLink(*this);
    if (!receiveThread.joinable()) return;
    // A thread still held up by its handler at the end of the program cannot be waited for.
    if (state.load() == Idle) {
        receiveThread.join();
    } else {
        receiveThread.detach();
    }
}

DeviceState DeviceStateOf(const LinkSession& link) {
    const LinkSessionState& session = Internals(link);
    return {session.unitId.load(), session.modelCode.load(), session.subCode.load(),
            session.gatewayStatus.load()};
}

LinkSession& TheLinkSession() {
    static LinkSession session;
    return session;
}

int OpenLink(LinkSession& link, const LinkRoute& route, ResponseHandler handler, void* userData) {
    LinkSessionState& session = Internals(link);
    if (session.state.load() == Idle) {
        session.kind = route.kind;
        session.host = route.host;
        session.service = route.service;
        session.family = route.family;
        session.comPort = route.comPort;
        session.portPath = route.portPath;
        session.userData = userData;
        session.handler = handler;
    }
    return OpenLink(session);
}

int OpenLink(LinkSessionState& session) {
    session.lastError.store(0);
    if (session.state.load() != Idle) {
        session.lastError.store(LINK_E_ALREADY_OPEN);
        return -1;
    }
    const int32_t code = OpenSession(session);
    if (code == 0) return 0;
    TraceFailure(session, session.node, TraceKind::LinkError, code);
    session.lastError.store(code);
    return -1;
}

void CloseLink(LinkSession& link) {
    LinkSessionState& session = Internals(link);
    int32_t running = Running;
    if (session.state.compare_exchange_strong(running, Stopping)) {
        WakeWaiters(session);  // a reply wait ends: nothing can answer it any more
        if (!StopSession(session)) session.lastError.store(LINK_E_TIMEOUT);
        return;
    }
    if (running != Stopping) return;  // Idle or Starting: nothing is open to close
    AtStep(LinkStep::CloserWaiting);
    WaitUntil(
        session, [&] { return session.state.load() == Idle; },
        session.timing.closeWaitLimitMs.load());
}

void CancelOpening(LinkSession& link) {
    LinkSessionState& session = Internals(link);
    session.openingCancelled.store(true);
    WakeWaiters(session);
}

void ResumeOpening(LinkSession& link) {
    LinkSessionState& session = Internals(link);
    session.openingCancelled.store(false);
}

bool AwaitOnLink(LinkSession& link, std::chrono::steady_clock::time_point deadline,
                 const std::function<bool()>& done) {
    LinkSessionState& session = Internals(link);
    const auto step = std::chrono::milliseconds(session.timing.replyPollMs.load());
    std::unique_lock<std::mutex> lock(session.waitMutex);
    for (;;) {
        if (done()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (session.lineFailure.load() != 0 || now >= deadline) return false;
        session.waitWake.wait_until(lock, std::min(deadline, now + step));
    }
}

void DetachReplyTarget(LinkSession& link, void* userData) {
    Internals(link).userData.compare_exchange_strong(userData, nullptr);
}

void SelectNode(LinkSession& link, int32_t node) {
    LinkSessionState& session = Internals(link);
    session.node = node;
    session.unitId = 0;
    session.modelCode = 0;
    session.subCode = 0;
}

int32_t NodeOf(const LinkSession& link) {
    return Internals(link).node;
}

void CheckReplyNodes(LinkSession& link, bool check) {
    Internals(link).checkReplyNode = check;
}

int32_t LastErrorOf(const LinkSession& link) {
    return Internals(link).lastError.load();
}

int32_t LineFailureOf(const LinkSession& link) {
    return Internals(link).lineFailure.load();
}

bool LastReplyDecoded(const LinkSession& link) {
    return Internals(link).replyDecoded.load();
}
