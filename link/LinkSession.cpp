#include "link/LinkSession.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "link/LinkErrors.h"
#include "link/LinkTiming.h"
#include "link/Transport.h"

namespace {

void SleepMs(int32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Polls the state every 10 ms until it has the wanted value or the limit has passed.
bool WaitForState(const LinkSession& session, LinkState wanted) {
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(TheLinkTiming().stateWaitLimitMs.load());
    while (session.state.load() != wanted) {
        if (std::chrono::steady_clock::now() >= limit) return false;
        SleepMs(TheLinkTiming().statePollMs.load());
    }
    return true;
}

// The receive thread reads above normal priority so that replies are taken off the line promptly;
// an unprivileged process may be refused, which only costs latency.
void RaiseReceivePriority() {
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -5);
}

void ReceiveThreadMain(LinkSession* session) {
    RaiseReceivePriority();
    ReceiveLoop(*session);
}

// Ends the receive thread (which has reported Idle, or is told to now) and releases the transport.
void StopReceiveThread(LinkSession& session) {
    int32_t current = session.state.load();
    if (current == Starting || current == Running) session.state.store(Stopping);
    // The thread re-reads the state within one 10 ms pass and never blocks in a read, so the join
    // after the bounded poll returns at once in every case but a handler that does not return.
    WaitForState(session, Idle);
    if (session.receiveThread.joinable()) session.receiveThread.join();
    session.transport.load()->close(session);
}

}  // namespace

LinkSession::~LinkSession() {
    CloseLink(*this);
    if (receiveThread.joinable()) StopReceiveThread(*this);
}

DeviceState DeviceStateOf(const LinkSession& session) {
    return {session.unitId.load(), session.modelCode.load(), session.subCode.load(),
            session.gatewayStatus.load()};
}

LinkSession& TheLinkSession() {
    static LinkSession session;
    return session;
}

int OpenLink(LinkSession& session) {
    session.lastError.store(0);
    if (session.state.load() != Idle) {
        session.lastError.store(LINK_E_ALREADY_OPEN);
        return -1;
    }
    // Serial for kind 0, TCP for any other kind.
    session.transport = &TransportOf(session.kind);
    if (session.transport.load()->open(session) < 0) return -1;

    session.state.store(Starting);
    session.pendingReplies.store(0);
    session.rxCount = 0;
    session.rxDiscarding = false;
    session.receiveThread = std::thread(ReceiveThreadMain, &session);

    // Running means the line went quiet once, so whatever was queued before the open is gone.
    if (!WaitForState(session, Running)) {
        StopReceiveThread(session);
        session.lastError.store(LINK_E_TIMEOUT);
        return -1;
    }
    return 0;
}

void CloseLink(LinkSession& session) {
    if (session.state.load() != Running) return;
    StopReceiveThread(session);
}
