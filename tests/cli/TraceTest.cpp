// The frame trace of velkorctl, read against velkor-sim's own log of the same connection.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../sim/SimLog.h"
#include "../sim/SimProcess.h"
#include "../support/Texts.h"

namespace {

class CtlTrace : public ::testing::Test {
protected:
    void StartSim(std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--log", simLog});
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started());
    }
    ProgramRun Ctl(std::vector<std::string> args) const {
        args.insert(args.end(), {"--host", "127.0.0.1:" + std::to_string(sim->Port())});
        return RunToEnd(VELKORCTL_PATH, args, RUN_LIMIT_MS);
    }

    std::string simLog = TempPath("sim.log");
    std::string trace = TempPath("frames.trace");
    std::unique_ptr<SimProcess> sim;
};

TEST_F(CtlTrace, MatchesTheSimulatorsLogFrameForFrame) {
    // A notice while the commands run, so that the gateway's own frames are compared too.
    ASSERT_NO_FATAL_FAILURE(StartSim({"--notice", "3@400"}));
    const ProgramRun run =
        Ctl({"counts", "--node", "1", "--watch", "1", "--rounds", "2", "--trace", trace});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    sim.reset();  // the log is complete once the simulator has ended

    const std::string traced = FileText(trace);
    const std::string logged = FileText(simLog);
    const std::vector<std::string> sent = TracedFrames(traced, "TX");
    const std::vector<std::string> received = TracedFrames(traced, "RX");
    ASSERT_GE(sent.size(), 3u) << traced;
    EXPECT_EQ(sent, ReceivedFramesOfLog(logged)) << ShownCommands(sent) << "\n" << logged;
    EXPECT_EQ(received, RepliesAndNoticesOfLog(logged)) << ShownCommands(received) << "\n"
                                                        << logged;
    EXPECT_NE(traced.find(" RX 00 00gq#\\xC8 [30 30 67 71 23 C8] gateway notice, status 3\n"),
              std::string::npos)
        << traced;
}

TEST_F(CtlTrace, ShowsAReplyTimeOut) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    // Node 9 has no unit behind the simulated gateway.
    const ProgramRun run = Ctl({"identify", "--node", "9", "--timeout", "300", "--trace", trace});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const std::string traced = FileText(trace);
    EXPECT_NE(traced.find(" TX 09 09MD\\xC8 [30 39 4D 44 C8] identify\n"), std::string::npos)
        << traced;
    EXPECT_NE(traced.find(" -- 09 reply time-out: " + texts::TIMEOUT + "\n"), std::string::npos)
        << traced;
}

TEST_F(CtlTrace, AFileThatCannotBeOpenedEndsTheRunBeforeAnythingIsSent) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    const std::string unwritable = TempPath("no-such-folder") + "/frames.trace";
    const ProgramRun run = Ctl({"identify", "--node", "1", "--trace", unwritable});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("velkorctl: cannot open the trace file " + unwritable +
                           ": No such file or directory"),
              std::string::npos)
        << run.err;
    sim.reset();
    EXPECT_EQ(FileText(simLog).find("tcp#"), std::string::npos) << FileText(simLog);
}

}  // namespace
