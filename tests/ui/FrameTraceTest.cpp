// The window's frame trace of a connection, read against velkor-sim's own log of it.
#include <memory>
#include <string>

#include "SimFixture.h"
#include "link/FrameTrace.h"
#include "link/TraceFile.h"

namespace {

class WindowTrace : public SimFixture {
protected:
    void TearDown() override {
        SimFixture::TearDown();
        CloseLink(session);  // its receive thread has ended: nothing traces any more
        SetFrameTrace(nullptr);
    }

    // Outlives the test's connection, which TearDown closes.
    std::unique_ptr<TraceFile> trace;
};

TEST_F(WindowTrace, AConnectionMatchesTheSimulatorsLogFrameForFrame) {
    const std::string path = TempPath("window.trace");
    std::string error;
    trace = TraceFile::Open(path, error);
    ASSERT_NE(trace, nullptr) << error;
    SetFrameTrace(trace.get());
    ASSERT_NO_FATAL_FAILURE(StartSim({"--notice", "2@100"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    Settle();

    const std::string traced = FileText(path);
    const std::string logged = FileText(SimLogPath());
    const std::vector<std::string> sent = TracedFrames(traced, "TX");
    ASSERT_GE(sent.size(), 8u) << traced;
    EXPECT_EQ(sent, ReceivedFramesOfLog(logged)) << ShownCommands(sent) << "\n" << logged;
    EXPECT_EQ(TracedFrames(traced, "RX"), RepliesAndNoticesOfLog(logged)) << traced << logged;
    EXPECT_NE(traced.find(" RX 00 00gq\"\\xC8 [30 30 67 71 22 C8] gateway notice, status 2\n"),
              std::string::npos)
        << traced;
    EXPECT_NE(traced.find(" RX 01 01md"), std::string::npos) << traced;
}

}  // namespace
