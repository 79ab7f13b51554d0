// What only the Qt window does in the workflows, against velkor-sim on loopback: the wait cursor
// of Start/Stop, a double click on a real button, and the timer that drives auto-update. The
// workflows themselves are the core's, tested without a window (tests/dialog).
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>
#include <optional>

#include "../support/Texts.h"
#include "SimFixture.h"
#include "dialog/ControlIds.h"
#include "dialog/UiTiming.h"

namespace {

constexpr int TWO_INPUTS = 3;  // velkor-sim's node 3

class WindowWorkflow : public SimFixture {};

// The wait blocks the window for up to 10 s: the cursor tells the operator so, and only then.
TEST_F(WindowWorkflow, StartStopShowsTheWaitCursorWhileItWaits) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,period=0,counting=0"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    std::optional<Qt::CursorShape> whileWaiting;
    Inside().SetStepHook([&](WorkerStep step) {
        if (step != WorkerStep::StartStopWait) return;
        const QCursor* cursor = QGuiApplication::overrideCursor();
        whileWaiting = cursor != nullptr ? cursor->shape() : Qt::ArrowCursor;
    });
    const size_t mark = ReceivedFrames().size();

    Click(IDC_START_STOP_BUTTON);

    EXPECT_EQ(ReceivedCommands(mark), std::vector<std::string>{Command("PS", {0x28})});
    EXPECT_EQ(whileWaiting, std::optional<Qt::CursorShape>(Qt::WaitCursor));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Every reply comes late, so the worker is still running when the clicks arrive: a double click
// and a click on a settings button start one worker, whose commands go out once.
TEST_F(WindowWorkflow, DoubleClickOnASettingsButtonStartsOneWorker) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11", "--delay-ms", "60"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    const struct {
        int32_t button;
        std::vector<std::string> commands;
    } rows[] = {
        {IDC_READ_SETTINGS_BUTTON, sequences::Read(2)},
        {IDC_WRITE_SETTINGS_BUTTON,
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}),
          Command("PU", {0x21, 0x20, 0x20})}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.button);
        const size_t mark = ReceivedFrames().size();
        QTest::mouseDClick(ControlAs<QAbstractButton>(row.button), Qt::LeftButton);
        Click(row.button);
        EXPECT_EQ(Inside().RunningWorkers(), 1);
        ASSERT_TRUE(WaitForWorkers());
        Settle(200);  // a second worker would have sent its first frame by now
        EXPECT_EQ(ReceivedCommands(mark), row.commands) << ShownCommands(ReceivedCommands(mark));
        EXPECT_TRUE(messages.empty());
    }
}

// " 15 " with a second shortened to 40 ms: the first read comes one interval (600 ms) after the
// click, not at once; then every interval again. Clearing the check box stops the timer.
TEST_F(WindowWorkflow, TimerReadsOneIntervalAfterStartingAndThenAgain) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 40;
    const size_t mark = ReceivedFrames().size();
    QElapsedTimer elapsed;
    elapsed.start();

    dialog->SetText(IDC_INTERVAL_EDIT, " 15 ");
    Click(IDC_AUTO_UPDATE_CHECK);
    ASSERT_TRUE(WaitUntil([&] { return CountRequestsSince(mark) >= 2; }, 10000));
    EXPECT_GE(elapsed.elapsed(), 600);  // never a tick before its interval
    const std::vector<std::string> first = ReceivedCommands(mark);
    EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 2),
              sequences::Counts({0, 1}));
    ASSERT_TRUE(WaitUntil([&] { return CountRequestsSince(mark) >= 4; }, 10000));
    EXPECT_GE(elapsed.elapsed(), 1200);
    EXPECT_TRUE(messages.empty());

    Click(IDC_AUTO_UPDATE_CHECK);
    EXPECT_FALSE(dialog->IsTimerRunning());
    EXPECT_FALSE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
}

// The one realistic timing: a real second.
TEST_F(WindowWorkflow, OneSecondIntervalReadsAboutEverySecond) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=10"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 1000;
    const size_t mark = ReceivedFrames().size();
    QElapsedTimer elapsed;
    elapsed.start();

    dialog->SetText(IDC_INTERVAL_EDIT, "1");
    Click(IDC_AUTO_UPDATE_CHECK);
    ASSERT_TRUE(WaitUntil([&] { return CountRequestsSince(mark) >= 1; }, 5000));

    EXPECT_GE(elapsed.elapsed(), 1000);
    EXPECT_EQ(ReceivedCommands(mark), sequences::Counts({0}));
}

}  // namespace
