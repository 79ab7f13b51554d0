#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <climits>
#include <optional>

#include "../dialog/MessageBoxRows.h"
#include "SimFixture.h"
#include "dialog/ControlIds.h"

namespace {

class WindowFaults : public SimFixture {};

// A settings read ends while the real modal box of an empty interval is open: its own event loop
// applies the read's result with 自動更新 still checked, and the box's return must give the
// interval and its labels back once the box is cleared.
TEST_F(WindowFaults, ReadEndingUnderTheIntervalMessageLeavesTheIntervalUsable) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(1));
    ASSERT_TRUE(dialog->IsChecked(IDC_ENABLE_CHECK));
    Type(IDC_INTERVAL_EDIT, "");
    std::atomic<bool> released{false};
    Inside().SetStepHook([&](WorkerStep step) {
        while (step == WorkerStep::SettingsExchange && !released.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    Click(IDC_READ_SETTINGS_BUTTON);
    dialog->SetMessageHook({});
    QTimer closer;
    closer.callOnTimeout([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        released.store(true);
        if (Inside().RunningWorkers() == 0) box->accept();
    });
    closer.start(20);
    Click(IDC_AUTO_UPDATE_CHECK);  // returns when the box has closed
    closer.stop();
    EXPECT_TRUE(released.load());
    EXPECT_FALSE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
    for (int32_t id : {IDC_INTERVAL_EDIT, IDC_INTERVAL_LABEL, IDC_SECONDS_LABEL})
        EXPECT_TRUE(dialog->IsEnabled(id)) << id;
}

// A worker's real modal box is closed only once the worker has ended and its last results wait
// for the box; until then the operation is still under way behind it.
TEST_F(WindowFaults, WorkersMessageBoxComesBeforeItsNextSteps) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--drop-every", "14"}));
    SetReplyWaitMs(1000);
    const auto look = [this] {
        return Look{dialog->Text(IDC_CONNECT_BUTTON).toStdString(),
                    dialog->Text(IDC_DEVICE_INFO_TEXT).toStdString(),
                    dialog->IsShown(IDC_PROGRESS_BAR),
                    dialog->IsEnabled(IDC_CONNECT_BUTTON),
                    dialog->IsEnabled(IDC_READ_SETTINGS_BUTTON),
                    dialog->IsEnabled(IDC_WRITE_SETTINGS_BUTTON)};
    };
    for (const BoxRow& row : BOX_ROWS) {
        SCOPED_TRACE(row.name);
        if (row.readSettings) {
            ASSERT_NO_FATAL_FAILURE(ConnectUnit(row.node));
        }
        dialog->SetMessageHook({});
        std::optional<Look> during;
        QString shown;
        QTimer closer;
        closer.callOnTimeout([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || dialog->Core().RunningWorkers() != 0 ||
                dialog->Core().HeldResults() == 0)
                return;
            during = look();
            shown = box->text();
            box->accept();
        });
        closer.start(10);
        if (row.readSettings) {
            Click(IDC_READ_SETTINGS_BUTTON);
        } else {
            ClickConnect(row.node);
        }
        EXPECT_TRUE(WaitUntil([&] { return during && Inside().RunningWorkers() == 0; }, 10000));
        closer.stop();
        EXPECT_EQ(shown.toStdString(), row.message);
        EXPECT_EQ(during, row.during);
        EXPECT_EQ(look(), row.after);
        if (row.readSettings) Click(IDC_CONNECT_BUTTON);
    }
}

// A route click that lands before the connection worker's first step sees the connecting layout,
// never the connected one.
TEST_F(WindowFaults, RouteClickBeforeTheWorkersFirstStepKeepsTheConnectingLayout) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    std::atomic<bool> released{false};
    Inside().SetStepHook([&](WorkerStep step) {
        while (step == WorkerStep::ConnectStart && !released.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    ClickConnect(1);
    dialog->Core().UpdateControls();  // the radio's handler
    EXPECT_EQ(dialog->Text(IDC_CONNECT_BUTTON).toStdString(), texts::ABORT);
    EXPECT_FALSE(dialog->IsEnabled(IDC_USB_RADIO));
    EXPECT_FALSE(dialog->IsEnabled(IDC_READ_SETTINGS_BUTTON));
    EXPECT_TRUE(dialog->IsShown(IDC_COUNT_VALUE_DI5));
    released.store(true);
    EXPECT_TRUE(WaitForWorkers());
    EXPECT_EQ(Inside().ConnState().load(), Connected);
}

// No worker reaches a control: a connection, a settings read and a write only post.
TEST_F(WindowFaults, WorkersMakeNoCrossThreadCallButPosts) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(2));
    Click(IDC_READ_SETTINGS_BUTTON);
    ASSERT_TRUE(WaitForWorkers());
    Click(IDC_WRITE_SETTINGS_BUTTON);
    ASSERT_TRUE(WaitForWorkers());
    EXPECT_EQ(dialog->OffThreadCalls(), 0);
    EXPECT_GT(dialog->PostedTasks(), 6);
}

// Every count shows whole, the widest of both signs included.
TEST_F(DialogTest, CountsOfEitherSignShowEveryCharacter) {
    dialog->Core().SetConnStateForTest(Connected);
    for (int32_t value : {INT32_MIN, INT32_MAX, -1, 0}) {
        for (int32_t j = 0; j < 5; ++j) {
            dialog->Core().OnCountUpdate(j, value);
            auto* display = qobject_cast<QLabel*>(dialog->Control(IDC_COUNT_VALUE[j]));
            EXPECT_EQ(display->text(), QString::number(value));
            EXPECT_LE(display->fontMetrics().horizontalAdvance(display->text()),
                      display->contentsRect().width())
                << value;
        }
    }
    dialog->Core().SetConnStateForTest(Disconnected);
}

}  // namespace
