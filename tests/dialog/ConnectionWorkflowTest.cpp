// The connection workflow of the core against velkor-sim: the checks before a connection starts,
// the connection sequence for each kind of unit, refusal, abort, disconnection, and the same
// sequence over a serial line.
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "../support/Texts.h"
#include "CoreFixture.h"
#include "LinkTestSupport.h"
#include "LoopbackPeer.h"
#include "dialog/DeviceChange.h"
#include "dialog/UiTiming.h"

namespace {

// The default units (nodes 1 to 5), and more models: node 6 the empty code 0, node 7 a second
// unit with five inputs, node 8 a named model with analog inputs only, node 0 three inputs.
const std::vector<std::string> UNITS = {"--unit", "1:2", "--unit", "2:3",    "--unit", "3:4",
                                        "--unit", "4:1", "--unit", "5:15:1", "--unit", "6:0",
                                        "--unit", "7:2", "--unit", "8:8",    "--unit", "0:3"};

// The simulator has logged the end of every connection, and so every frame that came before it.
bool ConnectionsEnded(const SharedSim& sim) {
    return WaitFor([&] { return sim.LogLines(" connected") == sim.LogLines("connection closed"); });
}

SharedSim& Sim(std::vector<std::string> faults = {}) {
    faults.insert(faults.begin(), UNITS.begin(), UNITS.end());
    SharedSim& sim = SharedSim::With(faults);
    // The connections of earlier cases have ended, so that those of this one can be counted.
    ConnectionsEnded(sim);
    return sim;
}

// The route and node as typed, without connecting.
void FillLan(CoreOnLoopback& c, const std::string& address, const std::string& port,
             const std::string& node) {
    c.view.SetChecked(IDC_LAN_RADIO, true);
    c.view.SetChecked(IDC_USB_RADIO, false);
    c.core.UpdateControls();
    c.view.SetControlText(IDC_ADDRESS_EDIT, address);
    c.view.SetControlText(IDC_TCP_PORT_EDIT, port);
    c.view.SetControlText(IDC_NODE_EDIT, node);
}

void Disconnect(CoreOnLoopback& c) {
    ASSERT_EQ(c.view.ControlText(IDC_CONNECT_BUTTON), texts::DISCONNECT);
    c.Press(IDC_CONNECT_BUTTON);
    ASSERT_EQ(c.core.ConnState(), Disconnected);
}

void ExpectDisconnectedAndClosed(CoreOnLoopback& c) {
    EXPECT_EQ(c.core.ConnState(), Disconnected);
    EXPECT_EQ(c.view.ControlText(IDC_CONNECT_BUTTON), texts::CONNECT);
    EXPECT_EQ(Internals(c.session).state.load(), Idle);
    EXPECT_EQ(c.core.AbortRequested().load(), 0);
    EXPECT_TRUE(c.view.enabled[IDC_NODE_EDIT]);
    EXPECT_FALSE(c.view.shown[IDC_PROGRESS_BAR]);
    EXPECT_TRUE(c.view.shown[IDC_VERSION_TEXT]);
}

bool RunUntilIdle(CoreOnLoopback& c, int timeoutMs = 20000) {
    return c.view.RunUntil([&] { return c.Idle(); }, timeoutMs);
}

// ----- Checks before anything starts ---------------------------------------------------------

TEST(ConnectionWorkflow, ChecksRefuseInTheirOrderAndStartNothing) {
    SharedSim& sim = Sim();
    const size_t frames = sim.Frames().size();
    const int opened = sim.LogLines(" connected");
    const std::string port = std::to_string(sim.Port());
    const struct {
        bool usb;
        std::string address, tcpPort, node;
        const std::string& message;
    } rows[] = {
        {false, "", port, "1", texts::ADDRESS_MISSING},
        {false, " \t  ", port, "1", texts::ADDRESS_MISSING},
        {false, "", "", "255", texts::ADDRESS_MISSING},
        {false, "127.0.0.1", "", "1", texts::PORT_MISSING},
        {false, "127.0.0.1", "   ", "1", texts::PORT_MISSING},
        {false, "127.0.0.1", port, "", texts::NODE_INVALID},
        {false, "127.0.0.1", port, "  ", texts::NODE_INVALID},
        {false, "127.0.0.1", port, "255", texts::NODE_INVALID},
        {false, "127.0.0.1", port, "-1", texts::NODE_INVALID},
        {false, "127.0.0.1", port, "999", texts::NODE_INVALID},
        {true, "127.0.0.1", port, "1", texts::SERIAL_PORT_MISSING},
        {true, "", "", "255", texts::SERIAL_PORT_MISSING},
    };
    CoreOnLoopback c(sim.Port());
    for (const auto& row : rows) {
        SCOPED_TRACE((row.usb ? "USB" : "LAN") + std::string(" address '") + row.address +
                     "' port '" + row.tcpPort + "' node '" + row.node + "'");
        FillLan(c, row.address, row.tcpPort, row.node);
        if (row.usb) c.Click(IDC_USB_RADIO, true);
        c.view.messages.clear();
        c.Press(IDC_CONNECT_BUTTON);
        EXPECT_EQ(c.view.messages, std::vector<std::string>{row.message});
        EXPECT_EQ(c.Workers(), 0);
        EXPECT_EQ(c.core.ConnState(), Disconnected);
        EXPECT_EQ(c.view.ControlText(IDC_CONNECT_BUTTON), texts::CONNECT);
        EXPECT_EQ(Internals(c.session).userData.load(), nullptr);
    }
    c.view.Settle(300);
    EXPECT_EQ(sim.LogLines(" connected"), opened);
    EXPECT_EQ(sim.Frames().size(), frames);
}

// ----- Connecting --------------------------------------------------------------------------------

// Each model with pulse inputs; the node is the leading number of what was typed, and a letter
// reads as node 0.
TEST(ConnectionWorkflow, EachPulseModelConnectsWithTheWholeSequenceToTheNodeTyped) {
    SharedSim& sim = Sim();
    const size_t first = sim.Frames().size();
    const struct {
        const char* typed;
        int node;
        int inputs;
        std::string deviceInfo;
    } rows[] = {
        {"1", 1, 5, texts::DeviceInfo("KV-420", 1)},  {"2", 2, 3, texts::DeviceInfo("KV-430", 2)},
        {"3", 3, 2, texts::DeviceInfo("KV-440", 3)},  {" 7", 7, 5, texts::DeviceInfo("KV-420", 7)},
        {"7 ", 7, 5, texts::DeviceInfo("KV-420", 7)}, {"a", 0, 3, texts::DeviceInfo("KV-430", 0)},
        {"+7", 7, 5, texts::DeviceInfo("KV-420", 7)},
    };
    CoreOnLoopback c(sim.Port());
    size_t sent = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("'") + row.typed + "'");
        const size_t before = sim.Frames().size();
        const int closedBefore = sim.LogLines("connection closed");
        const int32_t updatesBefore = c.core.CountUpdatesHandled();
        c.view.trace.clear();
        FillLan(c, "127.0.0.1", std::to_string(sim.Port()), row.typed);
        c.Press(IDC_CONNECT_BUTTON);
        ASSERT_TRUE(RunUntilIdle(c));
        ASSERT_EQ(c.core.ConnState(), Connected);
        EXPECT_TRUE(c.view.RunUntil(
            [&] { return c.core.CountUpdatesHandled() - updatesBefore == row.inputs; }));
        EXPECT_EQ(c.view.trace, (std::vector<std::string>{"busy", "[" + texts::ABORT + "]", "idle",
                                                          "[" + texts::DISCONNECT + "]"}));
        EXPECT_EQ(sim.CommandsSince(before), sequences::Connect(row.inputs))
            << ShownCommands(sim.CommandsSince(before));
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", row.node);
        const std::vector<std::string> frames = sim.Frames();
        for (size_t i = before; i < frames.size(); ++i)
            EXPECT_EQ(frames[i].substr(0, 2), digits) << Shown(frames[i]);
        EXPECT_EQ(c.core.NodeNumber(), row.node);
        EXPECT_EQ(c.view.ControlText(IDC_DEVICE_INFO_TEXT), row.deviceInfo);
        EXPECT_EQ(c.view.ControlText(IDC_CONNECT_BUTTON), texts::DISCONNECT);
        EXPECT_EQ(c.core.InputCount(), row.inputs);
        EXPECT_EQ(Internals(c.session).state.load(), Running);
        for (int i = 0; i < 5; ++i) {
            const bool counted = i < row.inputs;
            EXPECT_EQ(c.view.shown[IDC_EDGE_COMBO[i]], counted) << " DI" << i + 1;
            EXPECT_EQ(c.view.shown[IDC_COUNT_VALUE[i]], counted) << " DI" << i + 1;
            const std::string value = c.view.ControlText(IDC_COUNT_VALUE[i]);
            const bool number =
                !value.empty() && value.find_first_not_of("-0123456789") == std::string::npos;
            EXPECT_EQ(number, counted) << " DI" << i + 1 << " '" << value << "'";
        }
        EXPECT_FALSE(c.view.enabled[IDC_NODE_EDIT]);
        EXPECT_TRUE(c.view.shown[IDC_VERSION_TEXT]);
        EXPECT_FALSE(c.view.shown[IDC_PROGRESS_BAR]);
        EXPECT_TRUE(c.view.messages.empty());

        ASSERT_NO_FATAL_FAILURE(Disconnect(c));
        ExpectDisconnectedAndClosed(c);
        EXPECT_EQ(c.view.ControlText(IDC_DEVICE_INFO_TEXT), "");
        EXPECT_TRUE(c.view.RunUntil(
            [&] { return sim.LogLines("connection closed") == closedBefore + 1; }, 2000));
        sent += sequences::Connect(row.inputs).size();
    }
    // Disconnecting sends nothing.
    EXPECT_EQ(sim.Frames().size() - first, sent);
}

TEST(ConnectionWorkflow, ModelWithoutPulseInputsIsRefusedWhileItsNameIsShown) {
    SharedSim& sim = Sim();
    const struct {
        int node;
        std::string deviceInfo;
    } rows[] = {
        {4, texts::DeviceInfo("KV-410", 4)},  // a capability row without pulse inputs
        {5, texts::DeviceInfo("KV-X1", 5)},   // extension family: no capability row at all
        {6, texts::DeviceInfo("(0)", 6)},     // the empty code 0
        {8, texts::DeviceInfo("KV-480", 8)},  // a named model with analog inputs only
    };
    CoreOnLoopback c(sim.Port());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.node);
        std::vector<std::string> shownWithMessage;
        c.view.whileBoxOpen = [&] {
            shownWithMessage.push_back(c.view.ControlText(IDC_DEVICE_INFO_TEXT));
            // The connection is still being made while the operator reads the message.
            EXPECT_EQ(c.core.ConnState(), Connecting);
            EXPECT_EQ(Internals(c.session).state.load(), Idle);
        };
        c.view.messages.clear();
        c.view.trace.clear();
        const size_t before = sim.Frames().size();
        const int closedBefore = sim.LogLines("connection closed");
        ASSERT_TRUE(c.Connect(row.node));
        EXPECT_EQ(c.core.ConnState(), Disconnected);
        EXPECT_EQ(c.view.messages, std::vector<std::string>{texts::NO_PULSE_INPUTS});
        // The message comes while the attempt is still under way.
        EXPECT_EQ(c.view.trace, (std::vector<std::string>{"busy", "[" + texts::ABORT + "]",
                                                          texts::NO_PULSE_INPUTS, "idle",
                                                          "[" + texts::CONNECT + "]"}));
        EXPECT_EQ(shownWithMessage, std::vector<std::string>{row.deviceInfo});
        EXPECT_EQ(c.view.ControlText(IDC_DEVICE_INFO_TEXT), "");
        EXPECT_EQ(c.core.InputCount(), 0);
        EXPECT_EQ(Internals(c.session).userData.load(), nullptr);
        ExpectDisconnectedAndClosed(c);
        EXPECT_EQ(sim.CommandsSince(before), std::vector<std::string>{"MD"});
        EXPECT_TRUE(c.view.RunUntil(
            [&] { return sim.LogLines("connection closed") == closedBefore + 1; }, 2000));
    }
}

// ----- Abort ---------------------------------------------------------------------------------

TEST(ConnectionWorkflow, AbortWhileTheUnitIsSilentEndsAtTheNextPoll) {
    SharedSim& sim = Sim({"--silent", "MD"});
    const size_t before = sim.Frames().size();
    const int closedBefore = sim.LogLines("connection closed");
    CoreOnLoopback c(sim.Port());
    // The program's own reply wait: polls of 100 ms.
    c.session.Timing().replyPollMs.store(100);
    c.session.Timing().replyPolls.store(100);
    FillLan(c, "127.0.0.1", std::to_string(sim.Port()), "1");
    c.Press(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(c.view.RunUntil([&] { return sim.Frames().size() > before; }));
    ASSERT_EQ(c.core.ConnState(), Connecting);
    ASSERT_EQ(c.view.ControlText(IDC_CONNECT_BUTTON), texts::ABORT);
    ASSERT_TRUE(c.view.shown[IDC_PROGRESS_BAR]);
    c.view.Settle(150);  // well inside the reply wait

    const auto start = std::chrono::steady_clock::now();
    c.Press(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(RunUntilIdle(c, 3000));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("abort took %lld ms (reply poll 100 ms)\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 600);
    EXPECT_TRUE(c.view.messages.empty());
    ExpectDisconnectedAndClosed(c);
    EXPECT_EQ(sim.CommandsSince(before), std::vector<std::string>{"MD"});
    EXPECT_TRUE(c.view.RunUntil(
        [&] { return sim.LogLines("connection closed") == closedBefore + 1; }, 2000));
}

// The link is still being opened when the operator aborts: the opening goes on, and the
// identification that follows ends at once.
TEST(ConnectionWorkflow, AbortDuringTheLinkOpenIsNotLost) {
    // Its queue is full: the link opens once room is made, after the client's repeated request.
    SilentListener listener;
    ASSERT_TRUE(listener.Ready());
    CoreOnLoopback c(ClosedLoopbackPort());
    FillLan(c, "127.0.0.1", listener.Port(), "1");
    c.Press(IDC_CONNECT_BUTTON);
    // The worker's steps before the opening go through the user-interface thread one by one.
    ASSERT_TRUE(
        c.view.RunUntil([&] { return c.view.ControlText(IDC_CONNECT_BUTTON) == texts::ABORT; }));
    c.view.Settle(150);
    ASSERT_NE(Internals(c.session).state.load(), Running) << "the link opened too soon";
    c.Press(IDC_CONNECT_BUTTON);
    EXPECT_EQ(c.Workers(), 1);
    listener.MakeRoom();
    ASSERT_TRUE(RunUntilIdle(c, 8000));
    EXPECT_TRUE(c.view.messages.empty());
    ExpectDisconnectedAndClosed(c);
    bool closed = false;
    EXPECT_EQ(listener.ReceivedUntilClosed(closed), Framed("01MD"));
    EXPECT_TRUE(closed);
}

// Clicks right after 接続, before the worker has shown "中断", are the abort, never a second
// connection; an abort while an opening fails afterwards is consumed by no reply wait. Neither
// may end the next connection's identification.
TEST(ConnectionWorkflow, ClicksRightAfterConnectAbortAndLeaveNothingForTheNextConnection) {
    SharedSim& sim = Sim();
    const struct {
        const char* name;
        int port;  // 0: the simulator
        int clicks;
        std::vector<std::string> messages, commands;
    } rows[] = {
        {"a unit that answers", 0, 3, {}, {"MD"}},
        {"a refused port", ClosedLoopbackPort(), 2, {texts::CommunicationError(111)}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t before = sim.Frames().size();
        const int opened = sim.LogLines(" connected");
        CoreOnLoopback c(sim.Port());
        FillLan(c, "127.0.0.1", std::to_string(row.port != 0 ? row.port : sim.Port()), "1");
        for (int click = 0; click < row.clicks; ++click)
            c.core.OnConnectButton();
        EXPECT_EQ(c.Workers(), 1);
        ASSERT_TRUE(RunUntilIdle(c));
        EXPECT_EQ(c.view.messages, row.messages);
        std::vector<std::string> trace = {"busy", "[" + texts::ABORT + "]"};
        trace.insert(trace.end(), row.messages.begin(), row.messages.end());
        trace.insert(trace.end(), {"idle", "[" + texts::CONNECT + "]"});
        EXPECT_EQ(c.view.trace, trace);
        ExpectDisconnectedAndClosed(c);
        // The link is closed before the simulator has read, and logged, what came on it.
        ASSERT_TRUE(ConnectionsEnded(sim));
        EXPECT_EQ(sim.LogLines(" connected"), opened + (row.port == 0 ? 1 : 0));
        EXPECT_EQ(sim.CommandsSince(before), row.commands);

        c.view.messages.clear();
        c.view.SetControlText(IDC_TCP_PORT_EDIT, std::to_string(sim.Port()));
        ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, 1));
        EXPECT_TRUE(c.view.messages.empty());
        EXPECT_EQ(sim.CommandsSince(before + row.commands.size()), sequences::Connect(5));
    }
}

// The settings of the connection are shown before the connection is made; a click in that moment
// must not leave a disconnected dialog with the controls of a connected one.
TEST(ConnectionWorkflow, ClickWhileTheWorkerFinishesLeavesConsistentControls) {
    SharedSim& sim = Sim();
    CoreOnLoopback c(sim.Port());
    std::atomic<bool> released{false};
    c.core.SetStepHook([&](WorkerStep step) {
        while (step == WorkerStep::WorkerEnd && !released.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    FillLan(c, "127.0.0.1", std::to_string(sim.Port()), "1");
    c.Press(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(c.view.RunUntil(
        [&] { return c.view.ControlText(IDC_CONNECT_BUTTON) == texts::DISCONNECT; }));
    EXPECT_FALSE(c.view.enabled[IDC_READ_SETTINGS_BUTTON]);
    released.store(true);
    c.core.OnConnectButton();
    ASSERT_TRUE(RunUntilIdle(c));
    const int32_t state = c.core.ConnState();
    const bool connected = state == Connected;
    EXPECT_EQ(Internals(c.session).state.load() == Running, connected);
    EXPECT_EQ(c.view.ControlText(IDC_CONNECT_BUTTON),
              connected ? texts::DISCONNECT : texts::CONNECT);
    for (int32_t id : {IDC_READ_SETTINGS_BUTTON, IDC_WRITE_SETTINGS_BUTTON, IDC_ENABLE_CHECK,
                       IDC_READ_COUNTS_BUTTON}) {
        EXPECT_EQ(c.view.enabled[id], connected) << "state " << state << " control " << id;
    }
    EXPECT_EQ(c.view.enabled[IDC_NODE_EDIT], !connected);
    EXPECT_EQ(c.core.AbortRequested().load(), 0);
    EXPECT_TRUE(c.view.messages.empty());
}

// ----- Auto-update and the interval --------------------------------------------------------------

TEST(ConnectionWorkflow, EveryAttemptWhoseLinkOpenedResetsAutoUpdateAndInterval) {
    SharedSim& sim = Sim();
    CoreOnLoopback c(sim.Port());
    c.SetReplyWaitMs(300);
    const struct {
        const char* what;
        int port;  // 0: the simulator
        int node;
        bool linkOpens;
        int32_t state;
    } rows[] = {
        {"refused port", ClosedLoopbackPort(), 1, false, Disconnected},
        {"no unit at the node", 0, 9, true, Disconnected},
        {"no pulse inputs", 0, 4, true, Disconnected},
        {"connected", 0, 1, true, Connected},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        c.view.SetChecked(IDC_AUTO_UPDATE_CHECK, true);
        c.view.SetControlText(IDC_INTERVAL_EDIT, "25");
        c.view.messages.clear();
        FillLan(c, "127.0.0.1", std::to_string(row.port != 0 ? row.port : sim.Port()),
                std::to_string(row.node));
        c.Press(IDC_CONNECT_BUTTON);
        ASSERT_TRUE(RunUntilIdle(c));
        EXPECT_EQ(c.core.ConnState(), row.state);
        EXPECT_EQ(c.view.IsChecked(IDC_AUTO_UPDATE_CHECK), !row.linkOpens);
        EXPECT_EQ(c.view.ControlText(IDC_INTERVAL_EDIT), row.linkOpens ? "10" : "25");
        EXPECT_EQ(c.view.messages.size(), row.state == Connected ? 0u : 1u);
    }
    EXPECT_EQ(c.view.timerMs, 0);
}

// A timer tick is the view's; here the test ticks.
TEST(ConnectionWorkflow, DisconnectWhileAutoUpdateRunsStopsItQuietly) {
    SharedSim& sim = Sim();
    const int closedBefore = sim.LogLines("connection closed");
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, 1));
    const size_t mark = sim.Frames().size();
    c.view.SetControlText(IDC_INTERVAL_EDIT, "1");
    c.Click(IDC_AUTO_UPDATE_CHECK, true);
    ASSERT_TRUE(c.view.IsChecked(IDC_AUTO_UPDATE_CHECK));
    ASSERT_EQ(c.view.timerMs, TheUiTiming().millisecondsPerSecond.load());
    for (size_t ticks = 1; ticks <= 2; ++ticks) {
        c.core.OnTimer();
        ASSERT_TRUE(c.view.RunUntil([&] {
            return sim.CountRequestsSince(mark) == 5 * ticks && c.core.CountBusy().load() == 0;
        })) << "no timed count reads";
    }

    c.Press(IDC_CONNECT_BUTTON);
    EXPECT_FALSE(c.view.IsChecked(IDC_AUTO_UPDATE_CHECK));
    EXPECT_EQ(c.view.timerMs, 0);
    EXPECT_EQ(c.core.AutoUpdateSeconds(), 0);
    EXPECT_TRUE(c.view.messages.empty());
    ExpectDisconnectedAndClosed(c);
    EXPECT_TRUE(c.view.RunUntil(
        [&] { return sim.LogLines("connection closed") == closedBefore + 1; }, 2000));
    const size_t framesAtDisconnect = sim.Frames().size();
    c.view.Settle(200);
    EXPECT_EQ(sim.Frames().size(), framesAtDisconnect);
    EXPECT_TRUE(c.view.messages.empty());
}

// ----- Serial line -------------------------------------------------------------------------------

// Connects over USB through the one port `path` and expects its open to fail with `text`.
void ExpectOpenRefused(const std::string& path, const std::string& text) {
    CoreOnLoopback c(ClosedLoopbackPort());
    c.view.ports = {{"USB-Serial Controller", path, true}};
    c.core.OnDeviceChange(DEVICE_ARRIVAL, DEVICE_TYPE_PORT);
    c.Click(IDC_USB_RADIO, true);
    c.view.SetControlText(IDC_NODE_EDIT, "2");
    c.Press(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(RunUntilIdle(c));
    EXPECT_EQ(c.view.messages, std::vector<std::string>{text});
    EXPECT_EQ(c.view.ControlText(IDC_DEVICE_INFO_TEXT), "");
    ExpectDisconnectedAndClosed(c);
}

// The adapter was unplugged after the list was filled: its device path is gone.
TEST(SerialOpenFailure, PortWhosePathIsGoneShowsError2) {
    ExpectOpenRefused(TempPath("velkor-unplugged-tty"), texts::CommunicationError(2));
}

TEST(SerialOpenFailure, PortWithoutPermissionShowsError13) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root opens a device whatever its permission bits, so no open is refused";
    }
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(chmod(name, 0), 0);
    ExpectOpenRefused(name, texts::CommunicationError(13));
    close(slave);
    close(master);
}

TEST(ConnectionWorkflow, SerialRouteRunsTheSameSequence) {
    static const std::string link = TempPath("velkor-tty");
    SharedSim& sim = Sim({"--pty", link});
    const size_t before = sim.Frames().size();
    CoreOnLoopback c(ClosedLoopbackPort());
    c.view.ports = {{"Communications Port (COM1)", "/dev/null", false},
                    {"Velkor simulator", link, true}};
    c.core.OnDeviceChange(DEVICE_ARRIVAL, DEVICE_TYPE_PORT);
    ASSERT_EQ(c.view.Selection(IDC_PORT_COMBO), 1);

    c.Click(IDC_USB_RADIO, true);
    c.view.SetControlText(IDC_NODE_EDIT, "2");
    c.Press(IDC_CONNECT_BUTTON);
    ASSERT_TRUE(RunUntilIdle(c));
    ASSERT_EQ(c.core.ConnState(), Connected)
        << (c.view.messages.empty() ? std::string() : c.view.messages[0]);
    EXPECT_EQ(Internals(c.session).kind, Serial);
    EXPECT_EQ(Internals(c.session).portPath, link);
    EXPECT_EQ(c.view.ControlText(IDC_DEVICE_INFO_TEXT), texts::DeviceInfo("KV-430", 2));
    ASSERT_TRUE(c.view.RunUntil(
        [&] { return sim.Frames().size() >= before + sequences::Connect(3).size(); }));
    EXPECT_EQ(sim.CommandsSince(before), sequences::Connect(3))
        << ShownCommands(sim.CommandsSince(before));
    EXPECT_TRUE(c.view.RunUntil([&] { return c.core.CountUpdatesHandled() == 3; }));
    EXPECT_NE(FileText(sim.LogPath()).find(" pty#1 RX 02MD"), std::string::npos);
    EXPECT_EQ(sim.LogLines(" connected"), 0);  // nothing over TCP

    // A count read over the line, then the disconnection.
    c.Press(IDC_READ_COUNTS_BUTTON);
    EXPECT_TRUE(c.view.RunUntil([&] { return c.core.CountUpdatesHandled() == 6; }));
    ASSERT_NO_FATAL_FAILURE(Disconnect(c));
    ExpectDisconnectedAndClosed(c);
    EXPECT_TRUE(c.view.messages.empty());
}

}  // namespace
