// velkorctl as its users run it, against velkor-sim over loopback TCP and over its pty; what the
// program sent is read back from the simulator's log.

#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "../sim/SimLog.h"
#include "../sim/SimProcess.h"
#include "../support/Texts.h"
#include "LoopbackPeer.h"

namespace {

enum class Via { Tcp, Pty };

std::string Frame(int node, const std::string& command) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", node);
    return Framed(digits + command);
}

std::string Join(const std::vector<std::string>& frames) {
    std::string text;
    for (const std::string& frame : frames)
        text += Shown(frame) + " ";
    return text;
}

// The simulator with a fresh log, reached over TCP or its pty.
class CtlFixture : public ::testing::Test {
protected:
    void StartSim(Via via, std::vector<std::string> args = {}) {
        log = TempPath("sim.log");
        pty = TempPath("ttyV");
        args.insert(args.end(), {"--log", log});
        if (via == Via::Pty) args.insert(args.end(), {"--pty", pty});
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started());
        route = via == Via::Tcp
                    ? std::vector<std::string>{"--host", "127.0.0.1:" + std::to_string(sim->Port())}
                    : std::vector<std::string>{"--serial", pty};
    }

    std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.end(), route.begin(), route.end());
        return args;
    }

    ProgramRun Ctl(const std::vector<std::string>& args) const {
        return RunToEnd(VELKORCTL_PATH, Args(args), RUN_LIMIT_MS);
    }

    std::string LogText() const { return FileText(log); }

    std::vector<std::string> Received() const { return ReceivedFramesOfLog(LogText()); }

    // Waits until the simulator has received `frame`.
    bool WaitForFrame(const std::string& frame) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const std::string& received : Received())
                if (received == frame) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::unique_ptr<SimProcess> sim;
    std::string log;
    std::string pty;
    std::vector<std::string> route;
};

// True once some socket of this machine waits for its connection to `port` to be taken (SYN
// sent), as the kernel's table of TCP sockets shows it.
bool ConnectionRequested(int port) {
    char remote[16];
    std::snprintf(remote, sizeof remote, ":%04X", port);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string slot, local, peer, state;
            fields >> slot >> local >> peer >> state;
            if (peer.size() > 5 && peer.compare(peer.size() - 5, 5, remote) == 0 && state == "02")
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Local time as ISO 8601 with milliseconds and the offset: 2026-12-08T07:06:51.728+01:00.
bool IsIsoTime(const std::string& text) {
    const std::string shape = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        const char c = text[i];
        const bool fits = shape[i] == 'd'   ? std::isdigit(static_cast<unsigned char>(c)) != 0
                          : shape[i] == '+' ? c == '+' || c == '-'
                                            : c == shape[i];
        if (!fits) return false;
    }
    return true;
}

// One operation: the command line, what the unit must receive, the exit status and a piece of
// what is printed.
struct OperationCase {
    const char* name;
    std::vector<std::string> args;
    int node;
    std::vector<std::string> commands;
    int exitCode;
    std::string printed;
};

std::string P(std::initializer_list<int> parameters) {
    return Command("", parameters);
}

const std::vector<OperationCase>& OperationCases() {
    using sequences::Joined, sequences::Read;
    static const std::vector<OperationCase> cases = {
        {"IdentifyFiveInputs",
         {"identify", "--node", "1"},
         1,
         {"MD"},
         0,
         "KV-420     ID : 1     pulse inputs : 5"},
        {"IdentifyShowsAModelWithoutPulseInputs",
         {"identify", "-n", "4", "-t", "5000"},
         4,
         {"MD"},
         0,
         "KV-410     ID : 4     pulse inputs : 0  "
         "(パルスカウント機能に対応していないモデルです。)"},
        {"SettingsRefusesAModelWithoutPulseInputs", {"settings", "-n", "4"}, 4, {"MD"}, 3, ""},
        {"SettingsOfATwoInputUnit",
         {"settings", "--node", "3"},
         3,
         Joined({{"MD"}, Read(2)}),
         0,
         "  DI2          rising (立ち上がり)\n  period       start-stop (START-STOP)\n"},
        {"IdentifyJson",
         {"identify", "--node", "1", "--json"},
         1,
         {"MD"},
         0,
         R"({"node":1,"model":"KV-420","modelCode":2,"subCode":0,"id":1,"pulseInputs":5})"
         "\n"},
        {"SettingsJson",
         {"settings", "--node", "3", "--json"},
         3,
         Joined({{"MD"}, Read(2)}),
         0,
         R"({"node":3,"pulseInputs":2,"mode":{"value":1,"word":"single","raw":33},)"
         R"("clearSignal":{"value":0,"word":"off","raw":33},)"
         R"("DI1":{"value":1,"word":"rising","display":"立ち上がり","raw":33},)"
         R"("DI2":{"value":1,"word":"rising","display":"立ち上がり","raw":33},)"
         R"("period":{"value":0,"word":"start-stop","display":"START-STOP","raw":32},)"
         R"("debounce":{"value":0,"word":"none","display":"なし","raw":32},)"
         R"("counting":{"value":0,"word":"off","display":"PULSE COUNT OFF"}})"
         "\n"},
        {"Start", {"start", "--node", "2"}, 2, {"MD", "PS" + P({0x28})}, 0, texts::COUNTING_ON},
        {"StopJson",
         {"stop", "--node", "2", "--json"},
         2,
         {"MD", "PS" + P({0x20})},
         0,
         "{\"node\":2,\"counting\":0}\n"},
        {"Stop", {"stop", "--node", "2"}, 2, {"MD", "PS" + P({0x20})}, 0, texts::COUNTING_OFF},
        {"CountsOfEveryRisingInput",
         {"counts", "--node", "2"},
         2,
         sequences::Connect(3),
         0,
         "DI1 0  DI2 0  DI3 0"},
        {"SetTwoPhaseOnATwoInputUnit",
         {"set", "--node", "3", "--mode", "x2", "--period", "1m", "--edge", "DI2=falling"},
         3,
         Joined({{"MD"},
                 Read(2),
                 {"PC" + P({0x20, 0x21}), "PC" + P({0x21, 0x22}), "PU" + P({0x23, 0x23, 0x20})},
                 Read(2)}),
         0,
         "  mode         x2\n"},
        {"SetRefusedByThePairCheckWritesNothing",
         {"set", "--node", "3", "--mode", "x4", "--edge", "DI2=off"},
         3,
         Joined({{"MD"}, Read(2)}),
         3,
         ""},
    };
    return cases;
}

class Operations : public CtlFixture,
                   public ::testing::WithParamInterface<std::tuple<Via, OperationCase>> {};

TEST_P(Operations, SendTheWindowsFramesAndReport) {
    const auto& [via, c] = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSim(via));
    const ProgramRun run = Ctl(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE(run.out.find(c.printed), std::string::npos) << run.out;
    std::vector<std::string> expected;
    for (const std::string& command : c.commands)
        expected.push_back(Frame(c.node, command));
    EXPECT_EQ(Received(), expected) << Join(Received());
}

INSTANTIATE_TEST_SUITE_P(Ctl, Operations,
                         ::testing::Combine(::testing::Values(Via::Tcp, Via::Pty),
                                            ::testing::ValuesIn(OperationCases())),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Via::Tcp ? "Tcp_"
                                                                                    : "Pty_") +
                                    std::get<1>(info.param).name;
                         });

TEST_F(CtlFixture, SetOnThreeNodesWritesEachAndKeepsWhatWasNotGiven) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp, {"--settings", "2:debounce=5"}));
    const ProgramRun run = Ctl({"set", "--node", "1-3", "--edge", "DI2=falling", "--period", "1s"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> frames = Received();
    for (const auto& [node, inputs, debounce] :
         {std::tuple{1, 5, 0x20}, std::tuple{2, 3, 0x25}, std::tuple{3, 2, 0x20}}) {
        std::vector<std::string> writes;
        for (int i = 0; i < inputs; ++i)
            writes.push_back(Frame(node, "PC" + P({0x20 + i, i == 1 ? 0x22 : 0x21})));
        writes.push_back(Frame(node, "PU" + P({0x21, 0x21, debounce})));
        const auto first = std::find(frames.begin(), frames.end(), writes.front());
        ASSERT_NE(first, frames.end()) << "node " << node << ": " << Join(frames);
        EXPECT_EQ(std::vector<std::string>(first, first + inputs + 1), writes) << "node " << node;
    }
    const ProgramRun check = Ctl({"settings", "--node", "1-3", "--json"});
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), 3) << check.out;
    std::istringstream lines(check.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_NE(line.find(R"("DI2":{"value":2,)"), std::string::npos) << line;
        EXPECT_NE(line.find(R"("period":{"value":1,)"), std::string::npos) << line;
    }
}

TEST_F(CtlFixture, ScanFindsExactlyTheSimulatorsNodes) {
    ASSERT_NO_FATAL_FAILURE(
        StartSim(Via::Tcp, {"--unit", "0:2", "--unit", "17:3", "--unit", "254:1"}));
    // Absent nodes cost the whole time-out each; present ones answer at once, but get time
    // enough for a loaded machine.
    const ProgramRun run = Ctl({"scan", "--node", "0-30,250-254", "--timeout", "250", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<int> found;
    const std::string key = R"({"node":)";
    for (size_t at = run.out.find(key); at != std::string::npos; at = run.out.find(key, at + 1))
        found.push_back(std::stoi(run.out.substr(at + key.size())));
    EXPECT_EQ(found, (std::vector<int>{0, 17, 254})) << run.out;
    EXPECT_EQ(Received().size(), 36u);
}

TEST_F(CtlFixture, CountsWatchWritesCsvRounds) {
    ASSERT_NO_FATAL_FAILURE(StartSim(
        Via::Tcp, {"--count", "2:0:5", "--count", "2:2:0xFFFFFFFF", "--settings", "2:edges=101"}));
    const ProgramRun run = Ctl({"counts", "--node", "2", "--watch", "1", "--rounds", "3", "--csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "time,node,input,count,error");
    for (int round = 0; round < 3; ++round) {
        for (const char* reading : {",2,DI1,5,", ",2,DI3,-1,"}) {
            std::getline(lines, line);
            const size_t comma = line.find(',');
            EXPECT_TRUE(IsIsoTime(line.substr(0, comma))) << line;
            EXPECT_EQ(line.substr(std::min(comma, line.size())), reading) << line;
        }
    }
    EXPECT_FALSE(std::getline(lines, line)) << line;
}

TEST_F(CtlFixture, CtrlCEndsASilentReplyWait) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp, {"--silent", "PY"}));
    ChildProcess ctl(VELKORCTL_PATH, Args({"settings", "--node", "1"}));
    ASSERT_TRUE(WaitForFrame(Frame(1, "PY")));
    ctl.Signal(SIGINT);
    // The reply wait would last 10 s; the interrupt must end it long before.
    const ProgramRun run = ctl.Finish(5000);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(Received().back(), Frame(1, "PY"));
}

TEST_F(CtlFixture, CtrlCEndsAConnectionWait) {
    SilentListener gateway;
    ASSERT_TRUE(gateway.Ready());
    ChildProcess ctl(VELKORCTL_PATH,
                     {"identify", "--node", "1", "--host", "127.0.0.1:" + gateway.Port()});
    ASSERT_TRUE(ConnectionRequested(std::stoi(gateway.Port())));
    ctl.Signal(SIGINT);
    // The connection wait would last 3 s and end in a communication failure.
    const ProgramRun run = ctl.Finish(2000);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(run.err, "");
}

struct UsageCase {
    std::vector<std::string> args;
    bool withRoute;
    const char* message;
};

TEST_F(CtlFixture, BadUsageSendsNothingAndExitsWithTwo) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp));
    const std::string port = std::to_string(sim->Port());
    const std::string twoUnits = TempPath("two.json");
    const std::string oneUnit = TempPath("one.json");
    const std::string unit =
        R"({"mode":{"word":"x2"},"clearSignal":{"value":0},"period":{"word":"1s"},)"
        R"("debounce":{"raw":32}})";
    std::ofstream(oneUnit) << unit;
    std::ofstream(twoUnits) << unit << "\n" << unit << "\n";
    const std::string malformed = TempPath("設定.json");
    std::ofstream(malformed) << "{\n" << unit.substr(1, 21) << "}";
    const UsageCase cases[] = {
        {{"identify"}, true, "no node: give --node LIST"},
        {{"identify", "--node", "255"}, true, "--node: '255' is not a list of nodes 0-254"},
        {{"identify", "-n", "5-3"}, true, "--node: '5-3'"},
        {{"identify", "--node", " "}, true, "--node: ' '"},
        {{"identify", "-n", "1", "--host", " :" + port}, false, "--host: no address"},
        {{"identify", "-n", "1", "--host", "127.0.0.1: "}, false, "--host: no port"},
        {{"identify", "-n", "1", "--host", "127.0.0.1:0"}, false, "port must be a number 1-65535"},
        {{"identify", "-n", "1", "--host", "127.0.0.1:65536"}, false, "not '65536'"},
        {{"identify", "-n", "1", "--host", "[::1]:99999"}, false, "not '99999'"},
        {{"identify", "-n", "1", "--host", "127.0.0.1:http"}, false, "not 'http'"},
        {{"identify", "-n", "1", "--serial", " "}, false, "--serial: no device"},
        {{"identify", "-n", "1", "-t", "0"}, true, "--timeout"},
        {{"set", "-n", "1", "--from", TempPath("none.json")}, true, "cannot read"},
        {{"set", "-n", "1", "--from", twoUnits, "--counting", "on"}, true, "more than one unit"},
        {{"set", "-n", "1", "--from", malformed},
         true,
         "設定.json: parse error at line 2, column 22: syntax error while parsing object key - "
         "unexpected '}'"},
        {{"set", "-n", "1", "--from", oneUnit, "--period", "1s"}, true, "not both"},
        {{"identify", "--node", "1"}, false, "no route"},
        {{"identify", "--node", "1", "--serial", "/dev/null"}, true, "not both"},
        {{"frobnicate", "--node", "1"}, true, "unknown command"},
        {{"--node", "1"}, true, "no command"},
        {{"identify", "--node", "1", "--bogus"}, true, "unknown option"},
        {{"identify", "--node", "1", "--mode", "x2"}, true, "does not apply"},
        {{"identify", "--node"}, false, "needs a value"},
        {{"set", "--node", "1"}, true, "nothing to change"},
        {{"set", "--node", "1", "--mode", "x5"}, true, "--mode"},
        {{"set", "--node", "1", "--edge", "DI6=rising"}, true, "--edge"},
        {{"set", "--node", "1", "--period", "2h"}, true, "--period"},
        {{"set", "--node", "1", "--debounce", "5ms"}, true, "--debounce"},
        {{"counts", "--node", "1", "--watch", "0"}, true, "--watch: give the seconds"},
        {{"counts", "--node", "1", "--watch", " "}, true, "--watch: give the seconds"},
        {{"counts", "--node", "1", "--rounds", "2"}, true, "--rounds needs --watch"},
        {{"counts", "--node", "1", "--json", "--csv"}, true, "not both"},
    };
    for (const UsageCase& c : cases) {
        const ProgramRun run =
            c.withRoute ? Ctl(c.args) : RunToEnd(VELKORCTL_PATH, c.args, RUN_LIMIT_MS);
        EXPECT_EQ(run.exitCode, 2) << c.args[0] << " " << run.err;
        EXPECT_EQ(run.err.rfind("velkorctl: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    const ProgramRun version = RunToEnd(VELKORCTL_PATH, {"--version"}, RUN_LIMIT_MS);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "velkorctl " VELKOR_PACKAGE_VERSION "\n");
    EXPECT_EQ(LogText().find("tcp#"), std::string::npos) << LogText();
}

TEST_F(CtlFixture, ALinkThatCannotOpenIsACommunicationFailure) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp));
    const ProgramRun run = RunToEnd(
        VELKORCTL_PATH, {"identify", "--node", "1", "--serial", TempPath("gone")}, RUN_LIMIT_MS);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "velkorctl: 通信エラー : 2 (No such file or directory)\n");
}

// A run against a simulator misbehaving as `sim` says: the status, and pieces of what is printed
// on standard output and on standard error.
struct FailureCase {
    const char* name;
    std::vector<std::string> sim;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> out;
    std::vector<std::string> err;
};

TEST_F(CtlFixture, EachNodeIsExactOrFailsAndTheRunGoesOn) {
    const std::string timeOut = texts::TIMEOUT;
    const FailureCase cases[] = {
        {"silent node",
         {},
         {"identify", "-n", "1,9,2", "-t", "300"},
         1,
         {"node 1: KV-420", "node 2: KV-430"},
         {"velkorctl: node 9: " + timeOut + "\n"}},
        {"counts past a silent node",
         {},
         {"counts", "-n", "9,3", "-t", "300"},
         1,
         {"node 3:  DI1 0  DI2 0\n"},
         {"node 9: " + timeOut}},
        {"malformed settings",
         {"--wrong-length", "PY"},
         {"settings", "-n", "1,2"},
         1,
         {},
         {"velkorctl: node 1: malformed reply\n", "velkorctl: node 2: malformed reply\n"}},
        {"malformed count",
         {"--wrong-length", "PG"},
         {"counts", "-n", "1"},
         1,
         {},
         {"velkorctl: node 1: malformed reply\n"}},
        {"late replies answer no other node",
         {"--delay-ms", "700"},
         {"identify", "-n", "1,2,3", "-t", "400"},
         1,
         {},
         {"node 1: " + timeOut, "node 2: " + timeOut, "node 3: " + timeOut}},
        {"closed connection",
         {"--close-after", "1"},
         {"identify", "-n", "1,2,3"},
         1,
         {"node 1: KV-420"},
         {"node 2: 通信エラー : 104 (Connection reset by peer)", "node 3: 通信エラー : 104"}},
        {"nothing answers a scan",
         {},
         {"scan", "-n", "20-21", "-t", "100"},
         1,
         {},
         {"no unit answered"}},
    };
    for (const FailureCase& c : cases) {
        ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp, c.sim));
        const ProgramRun run = Ctl(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << ": " << run.err;
        for (const std::string& piece : c.out)
            EXPECT_NE(run.out.find(piece), std::string::npos) << c.name << ": " << run.out;
        if (c.out.empty()) {
            EXPECT_EQ(run.out, "") << c.name;
        }
        for (const std::string& piece : c.err)
            EXPECT_NE(run.err.find(piece), std::string::npos) << c.name << ": " << run.err;
    }
}

TEST_F(CtlFixture, SetWritesNothingAfterAnUndecodedRead) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp, {"--wrong-length", "PH"}));
    const ProgramRun run = Ctl({"set", "-n", "1", "--period", "1s"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "velkorctl: node 1: malformed reply\n");
    EXPECT_EQ(Received(), (std::vector<std::string>{Frame(1, "MD"), Frame(1, "PY"),
                                                    Frame(1, "PH" + P({0x20}))}));
}

TEST_F(CtlFixture, AnUnfinishedWriteSaysWhatBecameOfEachFrame) {
    const struct {
        const char* silent;
        std::vector<std::string> args;
        const char* report;
    } cases[] = {
        {"PU",
         {"set", "-n", "3", "--period", "1s", "-t", "500"},
         "DI1, DI2 edges acknowledged; mode, period and debounce sent, no answer"},
        {"PC",
         {"set", "-n", "3", "--period", "1s", "--counting", "on", "-t", "500"},
         "DI1 edge sent, no answer; DI2 edge and mode, period and debounce and counting start not "
         "sent"},
    };
    for (const auto& c : cases) {
        ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp, {"--silent", c.silent}));
        const ProgramRun run = Ctl(c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(std::string("velkorctl: node 3: ") + c.report + "\n"),
                  std::string::npos)
            << run.err;
    }
    // Ctrl-C in the middle: the same report, and the status of an interrupt.
    ChildProcess ctl(VELKORCTL_PATH, Args({"set", "-n", "2", "--edge", "DI1=falling"}));
    ASSERT_TRUE(WaitForFrame(Frame(2, "PC" + P({0x20, 0x22}))));
    ctl.Signal(SIGINT);
    const ProgramRun run = ctl.Finish(5000);
    EXPECT_EQ(run.exitCode, 130);
    EXPECT_EQ(run.err,
              "velkorctl: node 2: DI1 edge sent, no answer; DI2, DI3 edges and mode, period and "
              "debounce not sent\n");
}

TEST_F(CtlFixture, SettingsCopiedThroughAFileWriteBackTheBytesRead) {
    // Bits and values the lists do not have: a flags byte without "enabled", period 16, an
    // edge 7 and debounce 1.
    ASSERT_NO_FATAL_FAILURE(
        StartSim(Via::Tcp, {"--settings", "2:flags=14,rawperiod=0x30,rawedge2=0x27,debounce=1"}));
    const std::string file = TempPath("unit.json");
    const ProgramRun saved = Ctl({"settings", "-n", "2", "--json"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    std::ofstream(file) << saved.out;
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp));
    const ProgramRun copied = Ctl({"set", "--from", file, "-n", "1-3"});
    EXPECT_EQ(copied.exitCode, 3) << copied.err;  // node 3 has no DI3
    EXPECT_NE(copied.err.find("node 3: DI3 is named, but the unit has 2 pulse inputs"),
              std::string::npos)
        << copied.err;
    const std::vector<std::string> frames = Received();
    for (const std::string& frame :
         {Frame(2, "PC" + P({0x20, 0x21})), Frame(2, "PC" + P({0x21, 0x27})),
          Frame(2, "PU" + P({0x2E, 0x30, 0x21})), Frame(1, "PC" + P({0x24, 0x21})),
          Frame(1, "PU" + P({0x2E, 0x30, 0x21}))})
        EXPECT_NE(std::find(frames.begin(), frames.end(), frame), frames.end()) << Shown(frame);
    // What node 2 now holds is what the file was made from.
    const ProgramRun check = Ctl({"settings", "-n", "2", "--json"});
    EXPECT_EQ(check.out, saved.out);
}

TEST_F(CtlFixture, AWatchGoesPastASilentNode) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp));
    const ProgramRun run =
        Ctl({"counts", "-n", "9,3", "--watch", "1", "--rounds", "2", "--csv", "-t", "300"});
    EXPECT_EQ(run.exitCode, 1);
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    for (int round = 0; round < 2; ++round) {
        for (const char* row :
             {",9,,,\"通信エラー : 20003(タイムアウト)\"", ",3,DI1,0,", ",3,DI2,0,"}) {
            ASSERT_TRUE(std::getline(lines, line));
            EXPECT_EQ(line.substr(std::min(line.find(','), line.size())), row);
        }
    }
    EXPECT_NE(run.err.find("velkorctl: 2 rounds; failed reads: node 9 2/2 node 3 0/2\n"),
              std::string::npos)
        << run.err;
}

TEST_F(CtlFixture, AWatchReopensADroppedConnection) {
    // Node 3 is prepared in 5 frames and read in 2 a round: the connection closes after the
    // first count request of the second round, and so on after each reopening.
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp, {"--close-after", "8"}));
    const ProgramRun run = Ctl({"counts", "-n", "3", "--watch", "1", "--rounds", "4", "--json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    for (const char* start : {R"({"node":3,"time":")", R"({"node":3,"time":")"}) {
        for (const bool failed : {false, true}) {
            ASSERT_TRUE(std::getline(lines, line)) << run.out;
            EXPECT_EQ(line.rfind(start, 0), 0u) << line;
            EXPECT_EQ(
                line.find(R"(,"error":{"kind":"link","code":104,"text":"通信エラー : 104 )") !=
                    std::string::npos,
                failed)
                << line;
        }
    }
    for (const char* said : {"velkorctl: connection lost: 通信エラー : 104",
                             "velkorctl: reopening the connection in 1 s\n",
                             "velkorctl: connection reopened\n", "failed reads: node 3 2/4\n"})
        EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
}

TEST_F(CtlFixture, CtrlCEndsAWatchNormally) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp));
    ChildProcess ctl(VELKORCTL_PATH, Args({"counts", "-n", "3", "--watch", "1"}));
    ASSERT_TRUE(WaitForFrame(Frame(3, "PG" + P({0x21}))));
    ctl.Signal(SIGINT);
    const ProgramRun run = ctl.Finish(5000);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("failed reads: node 3 0/"), std::string::npos) << run.err;
}

TEST_F(CtlFixture, AFullDiskIsAFailure) {
    ASSERT_NO_FATAL_FAILURE(StartSim(Via::Tcp));
    const std::string ctl = std::string(VELKORCTL_PATH) +
                            " identify -n 1,2 --host 127.0.0.1:" + std::to_string(sim->Port()) +
                            " > /dev/full";
    const ProgramRun run = RunToEnd("/bin/sh", {"-c", ctl}, RUN_LIMIT_MS);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "velkorctl: standard output: No space left on device\n");
}

TEST_F(CtlFixture, ReachesAGatewayOverIpv6) {
    sim = std::make_unique<SimProcess>(std::vector<std::string>{"--listen", "[::1]:0"});
    ASSERT_TRUE(sim->Started());
    const ProgramRun run = RunToEnd(
        VELKORCTL_PATH, {"identify", "-n", "1", "--host", "[::1]:" + std::to_string(sim->Port())},
        RUN_LIMIT_MS);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("node 1: KV-420", 0), 0u) << run.out;
}

}  // namespace
