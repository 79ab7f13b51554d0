// The window and velkorctl send the same frames for the same operation: each front end works on
// its own velkor-sim, both started alike, and the simulators' logs are compared.
#include <functional>

#include "SimFixture.h"
#include "dialog/ControlIds.h"

namespace {

constexpr int NODE = 1;  // five inputs
const std::vector<std::string> UNIT_SETTINGS = {"--settings", "1:mode=1,edges=11011"};

// One operation: the operator's steps in the window, the same operation as a command line, how
// many of velkorctl's first frames prepare it (identification, settings read) and how many of its
// last frames follow it (velkorctl reads written settings back).
struct Operation {
    const char* name;
    std::function<void()> inWindow;
    std::vector<std::string> command;
    size_t preparation;
    size_t readBack = 0;
};

class FrontEnds : public SimFixture {
protected:
    std::vector<std::string> WindowCommands(const Operation& op, size_t frames) {
        const size_t mark = ReceivedFrames().size();
        op.inWindow();
        EXPECT_TRUE(WaitForFrames(mark + frames)) << op.name;
        EXPECT_TRUE(WaitForWorkers()) << op.name;
        Settle();
        return ReceivedCommands(mark);
    }

    std::vector<std::string> CtlCommands(const Operation& op, SimProcess& other,
                                         const std::string& otherLog) {
        const size_t mark = LoggedFrames(otherLog).size();
        std::vector<std::string> args = op.command;
        args.insert(args.end(), {"--host", "127.0.0.1:" + std::to_string(other.Port()), "--node",
                                 std::to_string(NODE)});
        const ProgramRun run = RunToEnd(VELKORCTL_PATH, args, 30000);
        EXPECT_EQ(run.exitCode, 0) << op.name << ": " << run.err;
        const std::vector<std::string> frames = LoggedFrames(otherLog);
        std::vector<std::string> commands;
        for (size_t i = mark + op.preparation; i + op.readBack < frames.size(); ++i)
            commands.push_back(CommandOf(frames[i]));
        return commands;
    }

    static std::vector<std::string> Prepend(const std::string& command,
                                            std::vector<std::string> args) {
        args.insert(args.begin(), command);
        return args;
    }

    static std::vector<std::string> LoggedFrames(const std::string& path) {
        return ReceivedFramesOfLog(FileText(path));
    }
};

TEST_F(FrontEnds, SendTheSameFramesForEachOperation) {
    ASSERT_NO_FATAL_FAILURE(StartSim(UNIT_SETTINGS));
    const std::string otherLog = TempPath("ctl-sim.log");
    std::vector<std::string> otherArgs = UNIT_SETTINGS;
    otherArgs.insert(otherArgs.end(), {"--log", otherLog});
    SimProcess other(otherArgs);
    ASSERT_TRUE(other.Started());
    const std::vector<std::string> identify = {
        "--host", "127.0.0.1:" + std::to_string(other.Port()), "--node", std::to_string(NODE)};
    ConnectUnit(NODE);
    // Connecting begins with the identification that velkorctl's identify sends alone.
    const ProgramRun identified = RunToEnd(VELKORCTL_PATH, Prepend("identify", identify), 30000);
    EXPECT_EQ(identified.exitCode, 0) << identified.err;
    EXPECT_EQ(LoggedFrames(otherLog), std::vector<std::string>{ReceivedFrames().front()});

    const size_t settingsRead = 3 + 5;  // "MD", "PY", "PH" x5 and "PP" before the operation
    const Operation operations[] = {
        {"read settings", [this] { Click(IDC_READ_SETTINGS_BUTTON); }, {"settings"}, 1},
        {"read counts", [this] { Click(IDC_READ_COUNTS_BUTTON); }, {"counts"}, settingsRead},
        {"start", [this] { Click(IDC_START_STOP_BUTTON); }, {"start"}, 1},
        {"stop", [this] { Click(IDC_START_STOP_BUTTON); }, {"stop"}, 1},
        {"write settings",
         [this] {
             Click(IDC_TWO_PHASE_RADIO);
             Click(IDC_X4_RADIO);
             dialog->SetSelection(IDC_PERIOD_COMBO, 2);
             dialog->SetSelection(IDC_EDGE_COMBO[2], 0);
             Click(IDC_WRITE_SETTINGS_BUTTON);
         },
         {"set", "--mode", "x4", "--period", "10s", "--edge", "DI3=off"},
         settingsRead,
         settingsRead - 1},
    };
    const size_t frames[] = {7, 4, 1, 1, 6};
    for (size_t i = 0; i < std::size(operations); ++i) {
        const Operation& op = operations[i];
        const auto window = WindowCommands(op, frames[i]);
        const auto ctl = CtlCommands(op, other, otherLog);
        EXPECT_EQ(window.size(), frames[i]) << op.name << ": " << ShownCommands(window);
        EXPECT_EQ(ctl, window) << op.name << ": velkorctl " << ShownCommands(ctl) << ", window "
                               << ShownCommands(window);
    }
}

}  // namespace
