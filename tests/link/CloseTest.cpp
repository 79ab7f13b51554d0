#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"

// Closing a session while other threads use it, and cancelling an opening.

namespace {

// A handler that holds the receive thread inside its call until released (or, so that a broken
// test cannot hang, until 8 s have passed).
class BlockingHandler {
public:
    static int Handle(void* self, const unsigned char*, int32_t) {
        auto* me = static_cast<BlockingHandler*>(self);
        me->entered = true;
        WaitFor([me] { return me->released.load(); }, 8000);
        me->returned = true;
        return 1;
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> released{false};
    std::atomic<bool> returned{false};
};

// Steps that the hook has seen, for the tests to wait on.
std::atomic<bool> closerWaiting{false};

int32_t NoteCloserWaiting(LinkStep step) {
    if (step == LinkStep::CloserWaiting) closerWaiting = true;
    return 0;
}

// A send that found the session running, held before its write until the test lets it go.
std::atomic<bool> sendHeld{false};
std::atomic<bool> sendReleased{false};

int32_t HoldSend(LinkStep step) {
    if (step != LinkStep::SendPassedStateCheck) return 0;
    sendHeld = true;
    WaitFor([] { return sendReleased.load(); }, 8000);
    return 0;
}

// The close waits for the held send before it closes the descriptor, so a session opened
// meanwhile cannot be given that descriptor's number, and the send cannot reach its gateway.
TEST_F(TcpLinkTest, CloseWaitsForASendThatFoundTheSessionRunning) {
    Open();
    sendHeld = false;
    sendReleased = false;
    TheLinkSeams().hook = HoldSend;
    std::thread sender([this] { SendUnitCommand(ReadStateCommand(), Internals(session)); });
    ASSERT_TRUE(WaitFor([] { return sendHeld.load(); }));
    TheLinkSeams().hook = nullptr;
    const int heldSocket = Internals(session).tcpSocket.load();
    std::atomic<bool> closed{false};
    std::thread closer([this, &closed] {
        CloseLink(session);
        closed = true;
    });

    LoopbackPeer otherGateway;
    LinkSession other;
    Internals(other).kind = Tcp;
    Internals(other).host = "127.0.0.1";
    Internals(other).service = otherGateway.Port();
    ASSERT_EQ(OpenLink(Internals(other)), 0);
    ASSERT_TRUE(otherGateway.Accept());
    EXPECT_FALSE(closed.load()) << "the close did not wait for the send";
    EXPECT_NE(Internals(other).tcpSocket.load(), heldSocket);

    sendReleased = true;
    sender.join();
    closer.join();
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_TRUE(otherGateway.Drain(200).empty()) << "a frame reached the other gateway";
    CloseLink(other);
}

class HeldReceiveThread : public TcpLinkTest {
protected:
    void SetUp() override {
        TcpLinkTest::SetUp();
        Internals(session).handler = &BlockingHandler::Handle;
        Internals(session).userData = &blocking;
    }
    void TearDown() override {
        blocking.released = true;
        WaitFor([this] { return Internals(session).state.load() != Stopping; });
        TcpLinkTest::TearDown();
    }
    // Opens and lets the receive thread enter the handler, where it stays.
    void OpenAndHold() {
        Open();
        peer.Write(Frame("01pg"));
        ASSERT_TRUE(WaitFor([this] { return blocking.entered.load(); }));
    }
    BlockingHandler blocking;
    SeamGuard seams;
};

TEST_F(HeldReceiveThread, SecondCloseReturnsOnlyOnceTheFirstHasClosed) {
    session.Timing().closeWaitLimitMs = 10000;  // the first close waits for the handler here
    OpenAndHold();
    std::thread first([this] { CloseLink(session); });
    ASSERT_TRUE(WaitFor([this] { return Internals(session).state.load() == Stopping; }));

    closerWaiting = false;
    TheLinkSeams().hook = NoteCloserWaiting;
    std::atomic<bool> secondDone{false};
    int32_t stateSeen = -1;
    int socketSeen = -2;
    std::thread second([&] {
        CloseLink(session);
        stateSeen = Internals(session).state.load();
        socketSeen = Internals(session).tcpSocket.load();
        secondDone = true;
    });
    ASSERT_TRUE(WaitFor([&] { return closerWaiting.load() || secondDone.load(); }));
    blocking.released = true;
    second.join();
    first.join();
    EXPECT_EQ(stateSeen, Idle) << "the second close returned before the first had closed";
    EXPECT_EQ(socketSeen, -1);
    EXPECT_TRUE(peer.WaitClosed());
}

TEST_F(HeldReceiveThread, CloseReturnsInTimeAndLeavesTheSessionUnusableUntilTheHandlerReturns) {
    OpenAndHold();
    const auto start = std::chrono::steady_clock::now();
    CloseLink(session);
    const double elapsed = MillisecondsSince(start);
    EXPECT_FALSE(blocking.returned.load()) << "the close waited for the handler";
    EXPECT_LT(elapsed, 3000.0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_TIMEOUT);
    EXPECT_EQ(Internals(session).state.load(), Stopping);
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_ALREADY_OPEN);
    EXPECT_EQ(PostCommand(session, host, ReadCountCommand(0)), LINK_E_NOT_RUNNING);

    blocking.released = true;
    ASSERT_TRUE(WaitFor([this] { return Internals(session).state.load() == Idle; }));
    EXPECT_EQ(Internals(session).tcpSocket.load(), -1);
    EXPECT_TRUE(peer.WaitClosed()) << "the receive thread closed the connection when it ended";
    Internals(session).handler = &RecordingHandler::Handle;
    Internals(session).userData = &handler;
    Open();  // usable again
    peer.Write(Frame("01pg"));
    EXPECT_TRUE(handler.AwaitCount(1));
}

// A listener that takes every connection made to it and keeps all the bytes that arrive.
class CollectingListener {
public:
    CollectingListener() {
        listener_ = ListenOnLoopback(SOMAXCONN, port_);
        thread_ = std::thread([this] { Collect(); });
    }
    ~CollectingListener() {
        stop_ = true;
        thread_.join();
        for (const pollfd& entry : connections_)
            close(entry.fd);
        close(listener_);
    }
    std::string Port() const { return std::to_string(port_); }
    // Every frame that arrived, one string per connection split at the end bytes.
    std::vector<std::string> Frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> frames;
        for (const auto& [fd, bytes] : received_) {
            std::string frame;
            for (char byte : bytes) {
                frame += byte;
                if (static_cast<unsigned char>(byte) == FRAME_END) {
                    frames.push_back(frame);
                    frame.clear();
                }
            }
            if (!frame.empty()) frames.push_back(frame);  // a cut frame shows too
        }
        return frames;
    }
    // Waits until every connection taken so far has been closed by the session.
    bool AllClosed() {
        return WaitFor([this] {
            std::lock_guard<std::mutex> lock(mutex_);
            return open_ == 0;
        });
    }

private:
    void Collect() {
        while (!stop_) {
            std::vector<pollfd> entries = {{listener_, POLLIN, 0}};
            entries.insert(entries.end(), connections_.begin(), connections_.end());
            if (poll(entries.data(), entries.size(), 5) <= 0) continue;
            if (entries[0].revents & POLLIN) {
                const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                std::lock_guard<std::mutex> lock(mutex_);
                if (fd >= 0) connections_.push_back({fd, POLLIN, 0}), ++open_;
            }
            for (size_t i = 1; i < entries.size(); ++i) {
                if ((entries[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
                char chunk[4096];
                const ssize_t got = recv(entries[i].fd, chunk, sizeof chunk, 0);
                std::lock_guard<std::mutex> lock(mutex_);
                if (got > 0) {
                    received_[entries[i].fd].append(chunk, static_cast<size_t>(got));
                } else {
                    connections_[i - 1].events = 0;  // the session closed this one
                    --open_;
                }
            }
        }
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<pollfd> connections_;
    std::map<int, std::string> received_;  // by descriptor of the listener's side
    int open_ = 0;
};

void Address(LinkSession& session, const CollectingListener& listener, int32_t node) {
    Internals(session).kind = Tcp;
    Internals(session).host = "127.0.0.1";
    Internals(session).service = listener.Port();
    Internals(session).node = node;
}

TEST(CloseWhileSending, NoFrameEverReachesAnotherSessionsConnection) {
    CollectingListener first;
    CollectingListener second;
    LinkSession sending;
    Address(sending, first, 1);
    ASSERT_EQ(OpenLink(Internals(sending)), 0);

    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    auto sendInALoop = [&] {
        TestHost host;
        while (!stop) {
            if (PostCommand(sending, host, ReadCountCommand(1)) == 0) ++sent;
        }
    };
    std::thread one(sendInALoop);
    std::thread two(sendInALoop);
    for (int round = 0; round < 40; ++round) {
        CloseLink(sending);
        // The next socket of the process takes the lowest free number: the one just closed.
        LinkSession other;
        Address(other, second, 2);
        ASSERT_EQ(OpenLink(Internals(other)), 0) << Internals(other).lastError.load();
        TestHost host;
        EXPECT_EQ(PostCommand(other, host, ReadCountCommand(2)), 0);
        CloseLink(other);
        ASSERT_EQ(OpenLink(Internals(sending)), 0) << Internals(sending).lastError.load();
    }
    stop = true;
    one.join();
    two.join();
    CloseLink(sending);
    ASSERT_TRUE(first.AllClosed());
    ASSERT_TRUE(second.AllClosed());

    const std::string ours = "01PG!" + std::string(1, static_cast<char>(FRAME_END));
    const std::string theirs = "02PG\"" + std::string(1, static_cast<char>(FRAME_END));
    size_t atFirst = 0;
    for (const std::string& frame : first.Frames()) {
        EXPECT_EQ(frame, ours);
        ++atFirst;
    }
    EXPECT_GT(atFirst, 0u);
    EXPECT_EQ(second.Frames(), std::vector<std::string>(40, theirs))
        << "a frame of the sending session reached the other session's listener";
    EXPECT_GT(sent.load(), 0);
}

TEST_F(TcpLinkTest, ReceiveThreadThatCannotStartLeavesTheSessionIdleAndClosed) {
    SeamGuard seams;
    TheLinkSeams().hook = [](LinkStep step) -> int32_t {
        return step == LinkStep::ReceiveThreadStart ? EAGAIN : 0;
    };
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), EAGAIN);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket.load(), -1);
    ASSERT_TRUE(peer.Accept());
    EXPECT_TRUE(peer.WaitClosed());
    TheLinkSeams().hook = nullptr;
    Open();
    EXPECT_EQ(Internals(session).state.load(), Running);
}

// A name server that never answers: the resolver returns only when the test lets it.
std::atomic<int> resolutions{0};
std::atomic<bool> resolverReleased{false};
std::atomic<bool> resolverReturned{false};

int NeverAnswers(const char*, const char*, const addrinfo*, addrinfo** result) {
    ++resolutions;
    WaitFor([] { return resolverReleased.load(); }, 30000);
    *result = nullptr;
    resolverReturned = true;
    return EAI_AGAIN;
}

class CancelledOpening : public ::testing::Test {
protected:
    void SetUp() override {
        resolutions = 0;
        resolverReleased = false;
        resolverReturned = false;
        Internals(session).kind = Tcp;
        Internals(session).host = "gateway.invalid";
        Internals(session).service = "10003";
    }
    void TearDown() override {
        resolverReleased = true;
        if (resolutions > 0) WaitFor([] { return resolverReturned.load(); });
    }
    // Opens on a thread of its own; the result arrives in `result`.
    std::thread OpenInBackground() {
        return std::thread([this] {
            result = OpenLink(Internals(session));
            done = true;
        });
    }
    // Cancels and returns the milliseconds until the opening ended.
    double CancelAndTime(std::thread& opener) {
        const auto start = std::chrono::steady_clock::now();
        CancelOpening(session);
        opener.join();
        return MillisecondsSince(start);
    }

    LinkSession session;
    std::atomic<int> result{1};
    std::atomic<bool> done{false};
    SeamGuard seams;
};

TEST_F(CancelledOpening, NameResolutionThatNeverAnswersEndsAtOnce) {
    TheLinkSeams().resolve = NeverAnswers;
    std::thread opener = OpenInBackground();
    ASSERT_TRUE(WaitFor([] { return resolutions.load() == 1; }));
    EXPECT_LT(CancelAndTime(opener), 1000.0);
    EXPECT_LT(result.load(), 0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_ABORTED);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket.load(), -1);

    EXPECT_LT(OpenLink(Internals(session)), 0) << "an opening after the cancel fails at once";
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_ABORTED);
    EXPECT_EQ(resolutions.load(), 1);
    ResumeOpening(session);
    resolverReleased = true;
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), EAI_AGAIN)
        << "resumed: the resolver is asked again";
}

TEST_F(CancelledOpening, ConnectionWaitEndsAtOnce) {
    session.Timing().connectTimeoutMs = 20000;
    SilentListener gateway;
    ASSERT_TRUE(gateway.Ready());
    Internals(session).host = "127.0.0.1";
    Internals(session).service = gateway.Port();

    std::thread opener = OpenInBackground();
    // No event marks the start of the wait; the cancel ends it whenever it comes.
    EXPECT_FALSE(WaitFor([this] { return done.load(); }, 300)) << "the connection was made";
    EXPECT_LT(CancelAndTime(opener), 1000.0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_ABORTED);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket.load(), -1);
}

std::atomic<bool> unitTalking{false};

TEST_F(CancelledOpening, WaitForAQuietLineEndsAtOnce) {
    LoopbackPeer peer;
    Internals(session).host = "127.0.0.1";
    Internals(session).service = peer.Port();
    session.Timing().stateWaitLimitMs = 20000;
    // The receive thread starts only once the unit talks, and the unit talks without a pause: the
    // line never goes quiet and the session stays Starting.
    unitTalking = false;
    TheLinkSeams().hook = [](LinkStep step) -> int32_t {
        if (step == LinkStep::ReceiveThreadStart) WaitFor([] { return unitTalking.load(); });
        return 0;
    };
    std::thread opener = OpenInBackground();
    ASSERT_TRUE(peer.Accept());
    std::thread unit([&] {
        const std::vector<unsigned char> chatter(64 * 1024, 'x');
        for (;;) {
            try {
                peer.Write(chatter);
            } catch (const std::exception&) {
                return;  // the session closed the connection
            }
            unitTalking = true;
        }
    });
    ASSERT_TRUE(WaitFor([this] { return Internals(session).state.load() == Starting; }));
    EXPECT_LT(CancelAndTime(opener), 1000.0);
    unit.join();
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_ABORTED);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket.load(), -1);
}

}  // namespace
