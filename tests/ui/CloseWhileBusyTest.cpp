// Closing the window whatever it is doing: never refused, never a crash or a message, the link
// closed and every worker ended, soon after the user-interface thread is free again.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>
#include <thread>

#include "LoopbackPeer.h"
#include "SimFixture.h"
#include "dialog/ControlIds.h"
#include "dialog/UiTiming.h"
#include "link/LinkInternals.h"
#include "link/LinkSeams.h"

namespace {

// Generous: closing waits at most for one reply poll of each worker.
constexpr qint64 CLOSE_LIMIT_MS = 1000;

class CloseWhileBusy : public SimFixture {
protected:
    // Closes the dialog as the window system does (a close request through the event loop) and
    // returns the milliseconds until it was gone.
    qint64 CloseAndTime() {
        QElapsedTimer clock;
        clock.start();
        QMetaObject::invokeMethod(dialog.get(), &QDialog::close, Qt::QueuedConnection);
        EXPECT_TRUE(WaitUntil([this] { return !dialog->isVisible(); }, 5000));
        return clock.elapsed();
    }
    void ExpectClosedCleanly(qint64 ms, const char* state) {
        std::printf("closing while %s took %lld ms\n", state, static_cast<long long>(ms));
        EXPECT_LT(ms, CLOSE_LIMIT_MS) << state;
        EXPECT_FALSE(dialog->isVisible()) << state;
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << state;
        EXPECT_EQ(Inside().RunningWorkers(), 0) << state;
        EXPECT_EQ(Internals(session).state.load(), Idle) << state;
        EXPECT_EQ(Internals(session).userData.load(), nullptr) << state;
        EXPECT_FALSE(dialog->IsTimerRunning()) << state;
        EXPECT_TRUE(messages.empty()) << state << ": " << messages.front().toStdString();
        // Nothing is left running that could still reach the dialog.
        const size_t frames = ReceivedFrames().size();
        Settle(200);
        EXPECT_TRUE(messages.empty()) << state;
        EXPECT_EQ(ReceivedFrames().size(), frames) << state;
    }
    // Starts a connection attempt and waits until the unit has been asked "MD".
    void StartConnecting(int node) {
        ClickConnect(node);
        ASSERT_TRUE(WaitForFrames(1));
        ASSERT_EQ(Inside().ConnState().load(), Connecting);
        ASSERT_EQ(Inside().RunningWorkers(), 1);
    }
};

TEST_F(CloseWhileBusy, Disconnected) {
    ExpectClosedCleanly(CloseAndTime(), "disconnected");
}

TEST_F(CloseWhileBusy, ConnectingWhileTheUnitIsSilent) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--silent", "MD"}));
    ASSERT_NO_FATAL_FAILURE(StartConnecting(1));
    Settle(50);
    ExpectClosedCleanly(CloseAndTime(), "connecting");
    EXPECT_EQ(ReceivedCommands(), std::vector<std::string>{"MD"});
}

// A name server that never answers: the resolver is held until the test lets it go.
std::atomic<int> resolutions{0};
std::atomic<bool> resolverReleased{false};

int NeverAnswers(const char*, const char*, const addrinfo*, addrinfo** result) {
    ++resolutions;
    for (int waited = 0; !resolverReleased.load() && waited < 30000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    *result = nullptr;
    return EAI_AGAIN;
}

TEST_F(CloseWhileBusy, ResolvingTheGatewaysName) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    resolutions = 0;
    resolverReleased = false;
    TheLinkSeams().resolve = NeverAnswers;
    ClickConnect(1);
    EXPECT_TRUE(WaitUntil([] { return resolutions.load() == 1; }, 5000));
    ExpectClosedCleanly(CloseAndTime(), "resolving");
    resolverReleased = true;
    TheLinkSeams().resolve = &getaddrinfo;
}

// A gateway that takes no connection: the attempt waits up to 3 s for it.
TEST_F(CloseWhileBusy, WaitingForTheConnection) {
    SilentListener gateway;
    ASSERT_TRUE(gateway.Ready());
    Click(IDC_LAN_RADIO);
    Type(IDC_ADDRESS_EDIT, "127.0.0.1");
    Type(IDC_TCP_PORT_EDIT, QString::fromStdString(gateway.Port()));
    Type(IDC_NODE_EDIT, "1");
    Click(IDC_CONNECT_BUTTON);
    // No event marks the start of the wait: the close ends it whenever it comes.
    EXPECT_FALSE(WaitUntil([this] { return Inside().RunningWorkers() == 0; }, 300));
    ExpectClosedCleanly(CloseAndTime(), "waiting for the connection");
}

// The dialog can also go away without having been closed first.
TEST_F(CloseWhileBusy, DestroyedWhileConnecting) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--silent", "MD"}));
    ASSERT_NO_FATAL_FAILURE(StartConnecting(1));
    QElapsedTimer clock;
    clock.start();
    dialog.reset();
    const qint64 ms = clock.elapsed();
    std::printf("destroying while connecting took %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, CLOSE_LIMIT_MS);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).userData.load(), nullptr);
    EXPECT_TRUE(messages.empty());
}

// A worker's message that is on its way to the user-interface thread when the close begins is
// dropped too: a window that is going away shows nothing.
TEST_F(CloseWhileBusy, MessageOnItsWayWhenTheCloseBegins) {
    Click(IDC_LAN_RADIO);
    Type(IDC_ADDRESS_EDIT, "127.0.0.1");
    Type(IDC_TCP_PORT_EDIT, QString::number(ClosedLoopbackPort()));
    Type(IDC_NODE_EDIT, "1");
    Click(IDC_CONNECT_BUTTON);
    // The opening fails at once; from then on the user-interface thread serves nothing, so the
    // worker's message waits in the queue.
    while (Internals(session).lastError.load() == 0 && Inside().RunningWorkers() > 0)
        QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const size_t shownBefore = messages.size();
    QElapsedTimer clock;
    clock.start();
    dialog->reject();
    const qint64 ms = clock.elapsed();
    EXPECT_EQ(messages.size(), shownBefore);
    messages.clear();
    ExpectClosedCleanly(ms, "a message on its way");
}

TEST_F(CloseWhileBusy, Connected) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    ExpectClosedCleanly(CloseAndTime(), "connected");
}

// Writing settings waits for "pc", which never comes; the abort of the close ends that wait
// and its error is not shown to a window that is going away.
TEST_F(CloseWhileBusy, SettingsWorkerWaiting) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--silent", "PC"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    const size_t before = ReceivedFrames().size();
    Click(IDC_WRITE_SETTINGS_BUTTON);
    ASSERT_TRUE(WaitForFrames(before + 1));
    ASSERT_EQ(ReceivedCommands(before)[0].substr(0, 2), "PC");
    ASSERT_EQ(Inside().RunningWorkers(), 1);
    ExpectClosedCleanly(CloseAndTime(), "writing settings");
}

TEST_F(CloseWhileBusy, SettingsWorkerReading) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--delay-ms", "300"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(3));
    const size_t before = ReceivedFrames().size();
    Click(IDC_READ_SETTINGS_BUTTON);
    ASSERT_TRUE(WaitForFrames(before + 1));
    ASSERT_EQ(Inside().RunningWorkers(), 1);
    ExpectClosedCleanly(CloseAndTime(), "reading settings");
}

// Start/stop waits on the user-interface thread itself: a close that arrives meanwhile (here
// from another thread and from a timer) is carried out once the wait is over.
TEST_F(CloseWhileBusy, StartStopWaiting) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--delay-ms", "400"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(3));
    ASSERT_TRUE(dialog->IsEnabled(IDC_START_STOP_BUTTON));
    const size_t before = ReceivedFrames().size();

    QTimer::singleShot(50, dialog.get(), &QDialog::close);
    std::thread poster([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // By name: the queued call then carries nothing this thread wrote.
        QMetaObject::invokeMethod(dialog.get(), "reject", Qt::QueuedConnection);
    });
    QElapsedTimer waited;
    waited.start();
    Click(IDC_START_STOP_BUTTON);  // returns when "ps" has come
    const qint64 waitMs = waited.elapsed();
    poster.join();
    EXPECT_GE(waitMs, 300);
    EXPECT_TRUE(dialog->isVisible()) << "closed during the wait";
    EXPECT_EQ(ReceivedCommands(before), std::vector<std::string>{Command("PS", {0x28})});

    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(WaitUntil([this] { return !dialog->isVisible(); }, 5000));
    ExpectClosedCleanly(clock.elapsed(), "start/stop waiting");
}

TEST_F(CloseWhileBusy, AutoUpdateRunning) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    TheUiTiming().millisecondsPerSecond.store(30);
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    Type(IDC_INTERVAL_EDIT, "1");
    Click(IDC_AUTO_UPDATE_CHECK);
    ASSERT_TRUE(dialog->IsTimerRunning());
    ASSERT_TRUE(WaitForCountUpdates(10));
    ExpectClosedCleanly(CloseAndTime(), "auto-update running");
}

}  // namespace
