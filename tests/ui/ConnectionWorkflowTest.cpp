// The connection workflow against velkor-sim: the checks before a connection starts, the
// connection sequence for each kind of unit, refusal, abort, disconnection, and the same
// sequence over a serial line.
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "SimFixture.h"
#include "device/OperatorTexts.h"
#include "dialog/ControlIds.h"
#include "dialog/DeviceChange.h"
#include "dialog/UiTiming.h"
#include "link/LinkInternals.h"
#include "link/LinkSession.h"
#include "ui/PortSource.h"

namespace {

// The commands of a connection to a unit with `inputs` pulse inputs, every input counted.
std::vector<std::string> ConnectionCommands(int inputs) {
    std::vector<std::string> commands = {"MD", "PY"};
    for (int i = 0; i < inputs; ++i)
        commands.push_back(Command("PH", {0x20 + i}));
    commands.push_back("PP");
    for (int i = 0; i < inputs; ++i)
        commands.push_back(Command("PG", {0x20 + i}));
    return commands;
}

// A listener whose queue of connections is full, so that a new connection waits until the
// queue is emptied (the client's repeated connection request then gets through, after about a
// second). It makes a link that takes its time to open.
class SlowListener {
public:
    SlowListener() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 0);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~SlowListener() {
        for (int fd : {listener, filler, queuedFiller, accepted})
            if (fd >= 0) ::close(fd);
    }
    int Port() const { return port; }
    // Makes room in the queue for the waiting connection.
    void MakeRoom() { queuedFiller = ::accept(listener, nullptr, nullptr); }
    // Everything the waiting connection sent until it was closed.
    std::string ReceivedUntilClosed() {
        accepted = ::accept(listener, nullptr, nullptr);
        timeval timeout{3, 0};
        ::setsockopt(accepted, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::string bytes;
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::recv(accepted, buffer, sizeof buffer, 0)) > 0)
            bytes.append(buffer, static_cast<size_t>(n));
        closedByPeer = n == 0;
        return bytes;
    }
    bool closedByPeer = false;

private:
    int listener = -1;
    int filler = -1;
    int queuedFiller = -1;
    int accepted = -1;
    int port = 0;
};

class ConnectionWorkflow : public SimFixture {
protected:
    void TearDown() override {
        SimFixture::TearDown();
        SetPortSource([] { return std::vector<SerialPortDescription>{}; });
    }

    std::string LogText() const {
        std::ifstream log(SimLogPath(), std::ios::binary);
        std::stringstream text;
        text << log.rdbuf();
        return text.str();
    }
    // Connections the simulator accepted, and those that ended.
    int LoggedLines(const std::string& marker) const {
        std::istringstream lines(LogText());
        int found = 0;
        for (std::string line; std::getline(lines, line);)
            found += line.find(marker) != std::string::npos ? 1 : 0;
        return found;
    }
    int ConnectionsOpened() const { return LoggedLines(" connected"); }
    int ConnectionsClosed() const { return LoggedLines("connection closed"); }

    // The route and node as typed, without connecting.
    void FillLan(const QString& address, const QString& port, const QString& node) {
        dialog->SetChecked(IDC_LAN_RADIO, true);
        dialog->Core().UpdateControls();
        dialog->SetText(IDC_ADDRESS_EDIT, address);
        dialog->SetText(IDC_TCP_PORT_EDIT, port);
        dialog->SetText(IDC_NODE_EDIT, node);
    }
    QString SimPortText() const { return QString::number(SimPort()); }

    void Disconnect() {
        ASSERT_EQ(dialog->Text(IDC_CONNECT_BUTTON), "切断");
        Click(IDC_CONNECT_BUTTON);
        ASSERT_EQ(Inside().ConnState().load(), Disconnected);
    }
    void ExpectDisconnectedAndClosed() {
        EXPECT_EQ(Inside().ConnState().load(), Disconnected);
        EXPECT_EQ(dialog->Text(IDC_CONNECT_BUTTON), "接続");
        EXPECT_EQ(Internals(session).state.load(), Idle);
        EXPECT_EQ(dialog->Core().AbortRequested().load(), 0);
        EXPECT_TRUE(dialog->IsEnabled(IDC_NODE_EDIT));
        EXPECT_FALSE(dialog->IsShown(IDC_PROGRESS_BAR));
        EXPECT_TRUE(dialog->IsShown(IDC_VERSION_TEXT));
    }
};

// ----- Checks before anything starts ---------------------------------------------------------

TEST_F(ConnectionWorkflow, ChecksRefuseInTheirOrderAndStartNothing) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    const QString port = SimPortText();
    const struct {
        bool usb;
        QString address, tcpPort, node;
        const char* message;
    } cases[] = {
        {false, "", port, "1", ADDRESS_MISSING_MESSAGE},
        {false, " \t  ", port, "1", ADDRESS_MISSING_MESSAGE},
        {false, "", "", "255", ADDRESS_MISSING_MESSAGE},
        {false, "127.0.0.1", "", "1", PORT_MISSING_MESSAGE},
        {false, "127.0.0.1", "   ", "1", PORT_MISSING_MESSAGE},
        {false, "127.0.0.1", port, "", NODE_INVALID_MESSAGE},
        {false, "127.0.0.1", port, "  ", NODE_INVALID_MESSAGE},
        {false, "127.0.0.1", port, "255", NODE_INVALID_MESSAGE},
        {false, "127.0.0.1", port, "-1", NODE_INVALID_MESSAGE},
        {false, "127.0.0.1", port, "999", NODE_INVALID_MESSAGE},
        {true, "127.0.0.1", port, "1", SERIAL_PORT_MISSING_MESSAGE},
        {true, "", "", "255", SERIAL_PORT_MISSING_MESSAGE},
    };
    for (const auto& c : cases) {
        const std::string row = (c.usb ? "USB" : "LAN") + std::string(" address '") +
                                c.address.toStdString() + "' port '" + c.tcpPort.toStdString() +
                                "' node '" + c.node.toStdString() + "'";
        FillLan(c.address, c.tcpPort, c.node);
        if (c.usb) Click(IDC_USB_RADIO);
        messages.clear();
        Click(IDC_CONNECT_BUTTON);
        EXPECT_EQ(messages, std::vector<QString>{c.message}) << row;
        EXPECT_EQ(Inside().RunningWorkers(), 0) << row;
        EXPECT_EQ(Inside().ConnState().load(), Disconnected) << row;
        EXPECT_EQ(dialog->Text(IDC_CONNECT_BUTTON), "接続") << row;
        EXPECT_EQ(Internals(session).userData.load(), nullptr) << row;
    }
    Settle(300);
    EXPECT_EQ(ConnectionsOpened(), 0);
    EXPECT_TRUE(ReceivedFrames().empty());
}

TEST_F(ConnectionWorkflow, NodeIsTheLeadingNumberAndALetterReadsAsNodeZero) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--unit", "7:2", "--unit", "0:3"}));
    const struct {
        const char* typed;
        const char* digits;
        const char* deviceInfo;
        int inputs;
    } cases[] = {
        {" 7", "07", "KV-420     ID : 7", 5},
        {"7 ", "07", "KV-420     ID : 7", 5},
        {"a", "00", "KV-430     ID : 0", 3},
        {"+7", "07", "KV-420     ID : 7", 5},
    };
    for (const auto& c : cases) {
        const size_t before = ReceivedFrames().size();
        FillLan("127.0.0.1", SimPortText(), c.typed);
        Click(IDC_CONNECT_BUTTON);
        ASSERT_TRUE(WaitForWorkers());
        ASSERT_EQ(Inside().ConnState().load(), Connected) << c.typed;
        EXPECT_TRUE(messages.empty()) << c.typed;
        EXPECT_EQ(Inside().NodeNumber().load(), std::atoi(c.digits));
        EXPECT_EQ(dialog->Text(IDC_DEVICE_INFO_TEXT), c.deviceInfo);
        WaitForFrames(before + ConnectionCommands(c.inputs).size());
        const std::vector<std::string> frames = ReceivedFrames();
        ASSERT_GT(frames.size(), before);
        for (size_t i = before; i < frames.size(); ++i)
            EXPECT_EQ(frames[i].substr(0, 2), c.digits) << Shown(frames[i]);
        ASSERT_NO_FATAL_FAILURE(Disconnect());
    }
}

// ----- Connecting --------------------------------------------------------------------------------

TEST_F(ConnectionWorkflow, EachPulseModelConnectsWithTheWholeSequence) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    const struct {
        int node;
        int inputs;
        const char* deviceInfo;
    } cases[] = {
        {1, 5, "KV-420     ID : 1"},
        {2, 3, "KV-430     ID : 2"},
        {3, 2, "KV-440     ID : 3"},
    };
    for (const auto& c : cases) {
        const size_t before = ReceivedFrames().size();
        const int closedBefore = ConnectionsClosed();
        const int32_t updatesBefore = Inside().CountUpdatesHandled();
        ASSERT_EQ(ConnectThroughUi(c.node), Connected) << c.node;
        EXPECT_TRUE(
            WaitUntil([&] { return Inside().CountUpdatesHandled() - updatesBefore == c.inputs; }));
        EXPECT_EQ(ReceivedCommands(before), ConnectionCommands(c.inputs))
            << ShownCommands(ReceivedCommands(before));
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", c.node);
        EXPECT_EQ(ReceivedFrames()[before].substr(0, 2), digits);
        EXPECT_EQ(dialog->Text(IDC_DEVICE_INFO_TEXT), c.deviceInfo);
        EXPECT_EQ(dialog->Text(IDC_CONNECT_BUTTON), "切断");
        EXPECT_EQ(Inside().InputCount().load(), c.inputs);
        EXPECT_EQ(Internals(session).state.load(), Running);
        for (int i = 0; i < 5; ++i) {
            const bool row = i < c.inputs;
            EXPECT_EQ(dialog->IsShown(IDC_EDGE_COMBO[i]), row) << c.node << " DI" << i + 1;
            EXPECT_EQ(dialog->IsShown(IDC_COUNT_VALUE[i]), row) << c.node << " DI" << i + 1;
            bool number = false;
            dialog->Text(IDC_COUNT_VALUE[i]).toLongLong(&number);
            EXPECT_EQ(number, row) << c.node << " DI" << i + 1;
        }
        EXPECT_FALSE(dialog->IsEnabled(IDC_NODE_EDIT));
        EXPECT_TRUE(dialog->IsShown(IDC_VERSION_TEXT));
        EXPECT_FALSE(dialog->IsShown(IDC_PROGRESS_BAR));
        EXPECT_TRUE(messages.empty());

        ASSERT_NO_FATAL_FAILURE(Disconnect());
        ExpectDisconnectedAndClosed();
        EXPECT_EQ(dialog->Text(IDC_DEVICE_INFO_TEXT), "");
        EXPECT_TRUE(WaitUntil([&] { return ConnectionsClosed() == closedBefore + 1; }, 2000));
    }
    // Disconnecting sends nothing.
    EXPECT_EQ(ReceivedFrames().size(), ConnectionCommands(5).size() + ConnectionCommands(3).size() +
                                           ConnectionCommands(2).size());
}

TEST_F(ConnectionWorkflow, ModelWithoutPulseInputsIsRefusedWhileItsNameIsShown) {
    ASSERT_NO_FATAL_FAILURE(
        StartSim({"--unit", "4:1", "--unit", "5:15:1", "--unit", "6:0", "--unit", "8:8"}));
    const struct {
        int node;
        const char* deviceInfo;
    } cases[] = {
        {4, "KV-410     ID : 4"},  // a capability row without pulse inputs
        {5, "KV-X1     ID : 5"},   // extension family: no capability row at all
        {6, "(0)     ID : 6"},     // the empty code 0
        {8, "KV-480     ID : 8"},  // a named model with analog inputs only
    };
    for (const auto& c : cases) {
        QStringList shownWithMessage;
        dialog->SetMessageHook([&](const QString& text) {
            messages.push_back(text);
            shownWithMessage << dialog->Text(IDC_DEVICE_INFO_TEXT);
            // The connection is still being made while the operator reads the message.
            EXPECT_EQ(Inside().ConnState().load(), Connecting);
            EXPECT_EQ(Internals(session).state.load(), Idle);
        });
        messages.clear();
        const size_t before = ReceivedFrames().size();
        const int closedBefore = ConnectionsClosed();
        EXPECT_EQ(ConnectThroughUi(c.node), Disconnected);
        EXPECT_EQ(messages, std::vector<QString>{NO_PULSE_INPUTS_MESSAGE}) << c.node;
        EXPECT_EQ(shownWithMessage, QStringList{c.deviceInfo});
        EXPECT_EQ(dialog->Text(IDC_DEVICE_INFO_TEXT), "");
        EXPECT_EQ(Inside().InputCount().load(), 0);
        EXPECT_EQ(Internals(session).userData.load(), nullptr);
        ExpectDisconnectedAndClosed();
        EXPECT_EQ(ReceivedCommands(before), std::vector<std::string>{"MD"});
        EXPECT_TRUE(WaitUntil([&] { return ConnectionsClosed() == closedBefore + 1; }, 2000));
    }
}

// ----- Abort ---------------------------------------------------------------------------------

TEST_F(ConnectionWorkflow, AbortWhileTheUnitIsSilentEndsAtTheNextPoll) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--silent", "MD"}));
    // The program's own reply wait: polls of 100 ms (restored by the fixture).
    session.Timing().replyPollMs.store(100);
    session.Timing().replyPolls.store(100);
    FillLan("127.0.0.1", SimPortText(), "1");
    Click(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(WaitForFrames(1));
    ASSERT_EQ(Inside().ConnState().load(), Connecting);
    ASSERT_EQ(dialog->Text(IDC_CONNECT_BUTTON), "中断");
    ASSERT_TRUE(dialog->IsShown(IDC_PROGRESS_BAR));
    Settle(150);  // well inside the reply wait

    QElapsedTimer clock;
    clock.start();
    Click(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(WaitForWorkers(3000));
    const qint64 ms = clock.elapsed();
    std::printf("abort took %lld ms (reply poll 100 ms)\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 600);
    EXPECT_TRUE(messages.empty());
    ExpectDisconnectedAndClosed();
    EXPECT_EQ(ReceivedCommands(), std::vector<std::string>{"MD"});
    EXPECT_TRUE(WaitUntil([&] { return ConnectionsClosed() == 1; }, 2000));
}

// The link is still being opened when the operator aborts: the opening goes on, and the
// identification that follows ends at once.
TEST_F(ConnectionWorkflow, AbortDuringTheLinkOpenIsNotLost) {
    SlowListener listener;
    FillLan("127.0.0.1", QString::number(listener.Port()), "1");
    Click(IDC_CONNECT_BUTTON);
    // The worker's steps before the opening go through the user-interface thread one by one.
    ASSERT_TRUE(WaitUntil([&] { return dialog->Text(IDC_CONNECT_BUTTON) == "中断"; }));
    Settle(150);
    ASSERT_NE(Internals(session).state.load(), Running) << "the link opened too soon for this test";
    Click(IDC_CONNECT_BUTTON);
    EXPECT_EQ(Inside().RunningWorkers(), 1);
    listener.MakeRoom();
    ASSERT_TRUE(WaitForWorkers(8000));
    EXPECT_TRUE(messages.empty());
    ExpectDisconnectedAndClosed();
    EXPECT_EQ(listener.ReceivedUntilClosed(), Framed("01MD"));
    EXPECT_TRUE(listener.closedByPeer);
}

// A second click before the worker has shown "中断" is the abort, never a second connection.
TEST_F(ConnectionWorkflow, ClickRightAfterConnectIsAnAbortNotASecondConnection) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    FillLan("127.0.0.1", SimPortText(), "1");
    dialog->Core().OnConnectButton();
    dialog->Core().OnConnectButton();
    dialog->Core().OnConnectButton();
    EXPECT_EQ(Inside().RunningWorkers(), 1);
    ASSERT_TRUE(WaitForWorkers());
    EXPECT_TRUE(messages.empty());
    ExpectDisconnectedAndClosed();
    EXPECT_EQ(ConnectionsOpened(), 1);
    EXPECT_EQ(ReceivedCommands(), std::vector<std::string>{"MD"});

    // Nothing of that abort is left for the next connection.
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    EXPECT_EQ(ReceivedCommands(1), ConnectionCommands(5));
}

// The settings of the connection are shown before the connection is made; a click in that moment
// must not leave a disconnected dialog with the controls of a connected one.
TEST_F(ConnectionWorkflow, ClickWhileTheWorkerFinishesLeavesConsistentControls) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    std::atomic<bool> released{false};
    Inside().SetStepHook([&](WorkerStep step) {
        while (step == WorkerStep::WorkerEnd && !released.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    FillLan("127.0.0.1", SimPortText(), "1");
    Click(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(WaitUntil([this] { return dialog->Text(IDC_CONNECT_BUTTON) == "切断"; }));
    EXPECT_FALSE(dialog->IsEnabled(IDC_READ_SETTINGS_BUTTON));
    released.store(true);
    dialog->Core().OnConnectButton();
    ASSERT_TRUE(WaitForWorkers());
    const int32_t state = Inside().ConnState().load();
    const bool connected = state == Connected;
    EXPECT_EQ(Internals(session).state.load() == Running, connected);
    EXPECT_EQ(dialog->Text(IDC_CONNECT_BUTTON), connected ? "切断" : "接続");
    for (int32_t id : {IDC_READ_SETTINGS_BUTTON, IDC_WRITE_SETTINGS_BUTTON, IDC_ENABLE_CHECK,
                       IDC_READ_COUNTS_BUTTON}) {
        EXPECT_EQ(dialog->IsEnabled(id), connected) << "state " << state << " control " << id;
    }
    EXPECT_EQ(dialog->IsEnabled(IDC_NODE_EDIT), !connected);
    EXPECT_EQ(dialog->Core().AbortRequested().load(), 0);
    EXPECT_TRUE(messages.empty());
}

// An abort while an opening fails afterwards is not consumed by any reply wait; it must not end
// the next connection's identification.
TEST_F(ConnectionWorkflow, AbortOfAFailedOpenIsNotLeftOver) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    FillLan("127.0.0.1", QString::number(ClosedLoopbackPort()), "1");
    dialog->Core().OnConnectButton();
    dialog->Core().OnConnectButton();
    ASSERT_TRUE(WaitForWorkers());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], QString::fromUtf8(LinkErrorText(111, session)));
    ExpectDisconnectedAndClosed();

    messages.clear();
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ReceivedCommands(), ConnectionCommands(5));
}

// ----- Auto-update and the interval --------------------------------------------------------------

TEST_F(ConnectionWorkflow, EveryAttemptWhoseLinkOpenedResetsAutoUpdateAndInterval) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    SetReplyWaitMs(300);
    const struct {
        const char* what;
        int port;  // 0: the simulator
        int node;
        bool linkOpens;
        int32_t state;
    } cases[] = {
        {"refused port", ClosedLoopbackPort(), 1, false, Disconnected},
        {"no unit at the node", 0, 9, true, Disconnected},
        {"no pulse inputs", 0, 4, true, Disconnected},
        {"connected", 0, 1, true, Connected},
    };
    for (const auto& c : cases) {
        dialog->SetChecked(IDC_AUTO_UPDATE_CHECK, true);
        dialog->SetText(IDC_INTERVAL_EDIT, "25");
        messages.clear();
        FillLan("127.0.0.1", QString::number(c.port != 0 ? c.port : SimPort()),
                QString::number(c.node));
        Click(IDC_CONNECT_BUTTON);
        ASSERT_TRUE(WaitForWorkers()) << c.what;
        EXPECT_EQ(Inside().ConnState().load(), c.state) << c.what;
        EXPECT_EQ(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK), !c.linkOpens) << c.what;
        EXPECT_EQ(dialog->Text(IDC_INTERVAL_EDIT), c.linkOpens ? "10" : "25") << c.what;
        EXPECT_EQ(messages.size(), c.state == Connected ? 0u : 1u) << c.what;
    }
    EXPECT_FALSE(dialog->IsTimerRunning());
}

TEST_F(ConnectionWorkflow, DisconnectWhileAutoUpdateRunsStopsItQuietly) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    TheUiTiming().millisecondsPerSecond.store(40);
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    Type(IDC_INTERVAL_EDIT, "1");
    Click(IDC_AUTO_UPDATE_CHECK);
    ASSERT_TRUE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
    ASSERT_TRUE(dialog->IsTimerRunning());
    const size_t connectFrames = ConnectionCommands(5).size();
    ASSERT_TRUE(WaitForFrames(connectFrames + 10)) << "no timed count reads";

    Click(IDC_CONNECT_BUTTON);
    EXPECT_FALSE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
    EXPECT_FALSE(dialog->IsTimerRunning());
    EXPECT_EQ(Inside().AutoUpdateSeconds().load(), 0);
    EXPECT_TRUE(messages.empty());
    ExpectDisconnectedAndClosed();
    EXPECT_TRUE(WaitUntil([&] { return ConnectionsClosed() == 1; }, 2000));
    const size_t framesAtDisconnect = ReceivedFrames().size();
    Settle(200);
    EXPECT_EQ(ReceivedFrames().size(), framesAtDisconnect);
    EXPECT_TRUE(messages.empty());
}

// ----- Serial line -------------------------------------------------------------------------------

class SerialOpenFailure : public ConnectionWorkflow {
protected:
    // Connects over USB through the one port `path` and expects its open to fail with `text`.
    void ExpectOpenRefused(const std::string& path, const QString& text) {
        SetPortSource([path] {
            return std::vector<SerialPortDescription>{{"USB-Serial Controller", path, true}};
        });
        dialog->Core().OnDeviceChange(DEVICE_ARRIVAL, DEVICE_TYPE_PORT);
        Click(IDC_USB_RADIO);
        Type(IDC_NODE_EDIT, "2");
        Click(IDC_CONNECT_BUTTON);
        ASSERT_TRUE(WaitForWorkers());
        EXPECT_EQ(messages, std::vector<QString>{text});
        EXPECT_EQ(dialog->Text(IDC_DEVICE_INFO_TEXT), "");
        ExpectDisconnectedAndClosed();
    }
};

// The adapter was unplugged after the list was filled: its device path is gone.
TEST_F(SerialOpenFailure, PortWhosePathIsGoneShowsError2) {
    ExpectOpenRefused(TempPath("velkor-unplugged-tty"), "通信エラー : 2");
}

TEST_F(SerialOpenFailure, PortWithoutPermissionShowsError13) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root opens a device whatever its permission bits, so no open is refused";
    }
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(chmod(name, 0), 0);
    ExpectOpenRefused(name, "通信エラー : 13");
    close(slave);
    close(master);
}

TEST_F(ConnectionWorkflow, SerialRouteRunsTheSameSequence) {
    const std::string link = TempPath("velkor-tty");
    ASSERT_NO_FATAL_FAILURE(StartSim({"--pty", link}));
    SetPortSource([link] {
        return std::vector<SerialPortDescription>{
            {"Communications Port (COM1)", "/dev/null", false}, {"Velkor simulator", link, true}};
    });
    dialog->Core().OnDeviceChange(DEVICE_ARRIVAL, DEVICE_TYPE_PORT);
    ASSERT_EQ(dialog->Selection(IDC_PORT_COMBO), 1);

    Click(IDC_USB_RADIO);
    Type(IDC_NODE_EDIT, "2");
    Click(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(WaitForWorkers());
    ASSERT_EQ(Inside().ConnState().load(), Connected)
        << (messages.empty() ? std::string() : messages[0].toStdString());
    EXPECT_EQ(Internals(session).kind, Serial);
    EXPECT_EQ(Internals(session).portPath, link);
    EXPECT_EQ(dialog->Text(IDC_DEVICE_INFO_TEXT), "KV-430     ID : 2");
    ASSERT_TRUE(WaitForFrames(ConnectionCommands(3).size()));
    EXPECT_EQ(ReceivedCommands(), ConnectionCommands(3)) << ShownCommands(ReceivedCommands());
    EXPECT_TRUE(WaitUntil([&] { return Inside().CountUpdatesHandled() == 3; }));
    EXPECT_NE(LogText().find(" pty#1 RX 02MD"), std::string::npos);
    EXPECT_EQ(ConnectionsOpened(), 0);  // nothing over TCP

    // A count read over the line, then the disconnection.
    Click(IDC_READ_COUNTS_BUTTON);
    EXPECT_TRUE(WaitForCountUpdates(3));
    ASSERT_NO_FATAL_FAILURE(Disconnect());
    ExpectDisconnectedAndClosed();
    EXPECT_TRUE(messages.empty());
}

}  // namespace
