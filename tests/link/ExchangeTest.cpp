#include <string>
#include <thread>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"
#include "link/LinkSeams.h"

namespace {

// Answers the next command with `reply` once it has arrived.
std::thread AnswerNext(LoopbackPeer& peer, const std::string& reply, int delayMs = 0) {
    return std::thread([&peer, reply, delayMs] {
        if (peer.ReadFrame().empty()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        peer.Write(Frame(reply));
    });
}

TEST_F(TcpLinkTest, ReplyEndsTheWaitWithTheHandlersStoresVisible) {
    Open();
    std::thread unit = AnswerNext(peer, "01py!\"$", 150);
    EXPECT_EQ(SendCommand(session, host, ReadSettingsCommand()), 0);
    unit.join();
    // Read without a lock: the counter's release and acquire must have published it.
    EXPECT_EQ(handler.storedByLastReply, 6);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
}

TEST_F(TcpLinkTest, RejectedReplyDoesNotEndTheWait) {
    ReplyWait(session, 10, 30);
    Open();
    std::thread unit = AnswerNext(peer, "01MD");
    EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), LINK_E_TIMEOUT);
    unit.join();
    EXPECT_EQ(handler.Count(), 0u) << "letters other than the awaited reach no handler";
}

// A reply that arrives while nothing waits (one queued before the open that came late, or one
// answered twice) reaches no handler and answers nothing: the next command waits for its own.
TEST_F(TcpLinkTest, ReplyThatNoCommandAwaitsDoesNotAnswerTheNextOne) {
    ReplyWait(session, 10, 30);
    Open();
    peer.Write(Frame("01md.\""));
    Sync(1);
    EXPECT_EQ(handler.Count(), 0u);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
    EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), LINK_E_TIMEOUT)
        << "the stale reply answered it";
}

// The peer's answer and the receive thread's taking of it, while the wait is held at its
// deadline: the reply came in time, and the wait must not call it a time-out.
std::atomic<LoopbackPeer*> deadlinePeer{nullptr};
std::atomic<LinkSession*> deadlineSession{nullptr};

int32_t AnswerAtTheDeadline(LinkStep step) {
    if (step != LinkStep::ReplyDeadline) return 0;
    deadlinePeer.load()->Write(Frame("01md.\""));
    WaitFor([] { return Internals(*deadlineSession.load()).awaitedReply.load() == 0; });
    return 0;
}

// Both ways a session waits: to the end of each pass (the window), or woken by the reply.
class WaitModes : public TcpLinkTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        TcpLinkTest::SetUp();
        session.Timing().wakeAtOnce = GetParam();
    }
};

TEST_P(WaitModes, ReplyTakenAtTheDeadlineAnswersTheWait) {
    ReplyWait(session, 5, 4);
    Open();
    deadlinePeer = &peer;
    deadlineSession = &session;
    TheLinkSeams().hook = AnswerAtTheDeadline;
    EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), 0);
    TheLinkSeams().hook = nullptr;
    EXPECT_EQ(handler.Count(), 1u);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
}

// A close under a reply wait ends it at once.
TEST_P(WaitModes, CloseUnderAReplyWaitEndsIt) {
    Open();
    int result = 0;
    std::thread waiter([&] { result = SendCommand(session, host, IdentifyCommand()); });
    ASSERT_FALSE(peer.ReadFrame().empty());  // the command is out: its wait has begun
    const auto start = std::chrono::steady_clock::now();
    CloseLink(session);
    waiter.join();
    EXPECT_EQ(result, LINK_E_NOT_RUNNING);
    EXPECT_LT(MillisecondsSince(start), 5000.0) << "not the 10 s of the reply wait";
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Link, WaitModes, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WakeAtOnce" : "EachPass"; });

TEST_F(TcpLinkTest, AbortEndsTheWaitWithinOnePollAndLeavesTheCounter) {
    Open();
    std::thread operatorClick([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        host.abortRequested = 1;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), LINK_E_ABORTED);
    const double elapsed = MillisecondsSince(start);
    operatorClick.join();
    EXPECT_GE(elapsed, 300.0);
    EXPECT_LT(elapsed, 300.0 + 2000.0) << "noticed at a poll, long before the time-out";
    EXPECT_EQ(Internals(session).pendingReplies.load(), 1);
    EXPECT_EQ(host.abortRequested.load(), 0) << "the wait that acted on the abort clears it";
}

TEST_F(TcpLinkTest, AbortPressedWhileNothingWaitsEndsTheNextWaitAtOnceAfterSending) {
    // With a poll of a minute, "at once" means before the first sleep, however slow the machine.
    ReplyWait(session, 60000, 1);
    Open();
    host.abortRequested = 1;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommand(session, host, ReadStateCommand()), LINK_E_ABORTED);
    EXPECT_LT(MillisecondsSince(start), 30000.0);
    EXPECT_EQ(peer.ReadFrame(), Frame("01PP")) << "the frame goes out before the first look";
}

TEST_F(TcpLinkTest, NoReplyTimesOutAfterTenSeconds) {
    Open();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), LINK_E_TIMEOUT);
    const double elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 10000.0);
    EXPECT_LT(elapsed, 11500.0);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
}

TEST_F(TcpLinkTest, CountRequestInProgressHoldsACommandBack) {
    Open();
    host.countBusy = 1;
    std::atomic<int> result{-1};
    std::thread worker([&] { result = SendCommand(session, host, StartStopCommand(true)); });
    EXPECT_TRUE(peer.Drain(200).empty()) << "nothing is sent while a count request is written";
    host.countBusy = 0;
    EXPECT_EQ(peer.ReadFrame(), Frame("01PS("));
    peer.Write(Frame("01ps"));
    worker.join();
    EXPECT_EQ(result.load(), 0);
}

TEST_F(TcpLinkTest, PostCommandNeitherWaitsNorCounts) {
    ReplyWait(session, 60000, 1);  // a wait, if there were one, would last a minute
    Open();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PostCommand(session, host, ReadCountCommand(4)), 0);
    EXPECT_LT(MillisecondsSince(start), 30000.0);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
    EXPECT_EQ(host.countBusy.load(), 0);
    EXPECT_EQ(peer.ReadFrame(), Frame("01PG$"));
}

// The TCP transport with writes that fail as on a line that broke.
int32_t FailingWrite(LinkSessionState&, const unsigned char*, size_t) {
    return EIO;
}

TEST_F(TcpLinkTest, FailedSendDoesNotSpoilTheNextExchange) {
    ReplyWait(session, 20, 50);
    Open();
    Transport broken = TcpTransport;
    broken.writeAll = FailingWrite;
    Internals(session).transport = &broken;
    EXPECT_EQ(SendCommand(session, host, ReadSettingsCommand()), EIO);
    EXPECT_EQ(host.progressResets.load(), 1);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);

    Internals(session).transport = &TcpTransport;
    std::thread unit = AnswerNext(peer, "01pp(");
    EXPECT_EQ(SendCommand(session, host, ReadStateCommand()), 0) << "its own reply ends the wait";
    unit.join();
}

// The system's number for a connection the peer reset or closed.
#ifdef _WIN32
constexpr int32_t CONNECTION_RESET = WSAECONNRESET;
#else
constexpr int32_t CONNECTION_RESET = ECONNRESET;
#endif

TEST_F(TcpLinkTest, ClosedConnectionEndsAWaitAndLaterSendsWithTheResetCode) {
    Open();
    ExpectWaitEndsAndSendsFail(
        session, host, [this] { peer.CloseConnection(); }, CONNECTION_RESET);
}

}  // namespace
