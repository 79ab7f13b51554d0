// The control layer from the user-interface thread and from other threads, the count
// notification, message boxes and the busy display.
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "ui/CountUpdateEvent.h"

namespace {

using ControlLayer = DialogTest;

bool OnUserInterfaceThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Joins a worker that needs the event loop; a worker that hangs ends the test program.
void JoinWhilePumping(std::thread& worker, const std::atomic<bool>& done) {
    if (!WaitUntil([&done] { return done.load(); }, 20000)) {
        std::fprintf(stderr, "worker thread did not finish: control layer deadlock\n");
        std::abort();
    }
    worker.join();
}

// Ends the test program if the guarded block does not finish in time (a deadlock).
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : thread([this, seconds] {
              std::unique_lock lock(mutex);
              if (!ended.wait_for(lock, std::chrono::seconds(seconds), [this] { return done; })) {
                  std::fprintf(stderr, "deadlock on the user-interface thread\n");
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        ended.notify_one();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread thread;
};

struct SeenByWorker {
    bool connectEnabled = true;
    bool progressShown = false;
    bool lanChecked = true;
    QString deviceInfo;
    int period = -1;
    bool timerRunning = false;
};

TEST_F(ControlLayer, WorkerDrivesControlsWhileTheUserInterfaceThreadRunsItsLoop) {
    dialog->show();
    bool hookOnUserInterfaceThread = false;
    dialog->SetMessageHook([&](const QString& text) {
        messages.push_back(text);
        hookOnUserInterfaceThread = OnUserInterfaceThread();
    });
    SeenByWorker seen;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        dialog->EnableControl(IDC_CONNECT_BUTTON, false);
        dialog->SetControlText(IDC_DEVICE_INFO_TEXT, "Model     ID : 7");
        dialog->SetChecked(IDC_USB_RADIO, true);
        dialog->SetSelection(IDC_PERIOD_COMBO, 3);
        dialog->BeginProgress();
        dialog->SetTimer(AUTO_UPDATE_TIMER_ID, 60000);
        seen = {
            dialog->IsEnabled(IDC_CONNECT_BUTTON), dialog->IsShown(IDC_PROGRESS_BAR),
            dialog->IsChecked(IDC_LAN_RADIO),      dialog->ControlText(IDC_DEVICE_INFO_TEXT),
            dialog->Selection(IDC_PERIOD_COMBO),   dialog->IsTimerRunning(AUTO_UPDATE_TIMER_ID)};
        dialog->KillTimer(AUTO_UPDATE_TIMER_ID);
        dialog->EndProgress();
        dialog->ShowMessage("from the worker");
        Inside().ConnState() = CVelkorDlg::Connected;
        Inside().InputCount() = 3;
        dialog->UpdateControls();
        done = true;
    });
    JoinWhilePumping(worker, done);

    EXPECT_FALSE(seen.connectEnabled);
    EXPECT_TRUE(seen.progressShown);
    EXPECT_FALSE(seen.lanChecked);
    EXPECT_EQ(seen.deviceInfo, "Model     ID : 7");
    EXPECT_EQ(seen.period, 3);
    EXPECT_TRUE(seen.timerRunning);
    EXPECT_FALSE(dialog->IsTimerRunning(AUTO_UPDATE_TIMER_ID));

    EXPECT_FALSE(dialog->IsEnabled(IDC_CONNECT_BUTTON));
    EXPECT_TRUE(dialog->IsChecked(IDC_USB_RADIO));
    EXPECT_FALSE(dialog->IsShown(IDC_PROGRESS_BAR));
    EXPECT_TRUE(dialog->IsShown(IDC_VERSION_TEXT));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "from the worker");
    EXPECT_TRUE(hookOnUserInterfaceThread);
    // The rules ran from the worker: connected layout of a three-input unit.
    EXPECT_EQ(dialog->ControlText(IDC_CONNECT_BUTTON), "切断");
    EXPECT_TRUE(dialog->IsShown(IDC_EDGE_COMBO[2]));
    EXPECT_FALSE(dialog->IsShown(IDC_EDGE_COMBO[3]));
    EXPECT_TRUE(dialog->IsShown(IDC_CLEAR_SIGNAL_CHECK));
    EXPECT_EQ(dialog->ControlText(IDC_DEVICE_INFO_TEXT), "Model     ID : 7");
}

// A worker's run of the control-state rules is one step on the user-interface thread, however many
// controls it sets, in either rule set.
TEST_F(ControlLayer, RulesFromAWorkerCostOneCrossThreadCall) {
    const std::pair<CVelkorDlg::ConnectionState, const char*> cases[] = {
        {CVelkorDlg::Connected, "切断"}, {CVelkorDlg::Disconnected, "接続"}};
    Inside().InputCount() = 5;
    dialog->SetChecked(IDC_ENABLE_CHECK, true);
    for (const auto& [state, caption] : cases) {
        Inside().ConnState() = state;
        const int32_t before = Inside().CrossThreadCalls();
        std::atomic<bool> done{false};
        std::thread worker([&] {
            dialog->UpdateControls();
            done = true;
        });
        JoinWhilePumping(worker, done);
        EXPECT_EQ(Inside().CrossThreadCalls() - before, 1) << "state " << state;
        EXPECT_EQ(dialog->ControlText(IDC_CONNECT_BUTTON), caption);
    }
}

// The auto-update timer never ticks before its period is over. A coarse timer aims at a whole
// second of the clock when that lies within 5 % of its period: started just after one, a 1 s
// timer would tick up to 50 ms early. The test starts it at such moments.
TEST_F(ControlLayer, TimerNeverTicksEarly) {
    constexpr int PERIOD_MS = 1000;
    // The tick itself does nothing: a count request is being written.
    dialog->CountBusy() = 1;
    QElapsedTimer sinceStart;
    qint64 tickNs = -1;
    QObject::connect(&Inside().DialogTimer(), &QTimer::timeout, dialog.get(),
                     [&] { tickNs = sinceStart.nsecsElapsed(); });
    for (const int offsetMs : {5, 20, 40}) {
        const auto millisecondOfSecond = [] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return std::chrono::duration_cast<std::chrono::milliseconds>(now).count() % 1000;
        };
        while (millisecondOfSecond() < offsetMs || millisecondOfSecond() > offsetMs + 4) {
        }
        tickNs = -1;
        sinceStart.start();
        dialog->SetTimer(AUTO_UPDATE_TIMER_ID, PERIOD_MS);
        ASSERT_TRUE(WaitUntil([&] { return tickNs >= 0; }, 5000));
        dialog->KillTimer(AUTO_UPDATE_TIMER_ID);
        EXPECT_GE(tickNs, qint64{PERIOD_MS} * 1000000)
            << "started " << offsetMs << " ms into a second";
    }
}

// Two workers at once, each step a round trip to the user-interface thread.
TEST_F(ControlLayer, TwoWorkersAtOnceKeepEveryStep) {
    std::atomic<int> finished{0};
    std::atomic<bool> done{false};
    const auto work = [&](int32_t editId, int32_t checkId) {
        for (int i = 0; i < 200; ++i) {
            dialog->SetControlText(editId, QString::number(i));
            EXPECT_EQ(dialog->ControlText(editId), QString::number(i));
            dialog->SetChecked(checkId, i % 2);
            EXPECT_EQ(dialog->IsChecked(checkId), i % 2 == 1);
        }
        if (++finished == 2) done = true;
    };
    std::thread first(work, IDC_NODE_EDIT, IDC_ENABLE_CHECK);
    std::thread second(work, IDC_ADDRESS_EDIT, IDC_AUTO_UPDATE_CHECK);
    JoinWhilePumping(first, done);
    second.join();
    EXPECT_EQ(dialog->ControlText(IDC_NODE_EDIT), "199");
    EXPECT_EQ(dialog->ControlText(IDC_ADDRESS_EDIT), "199");
}

// On the user-interface thread every member acts at once: no event loop runs here, and a
// blocking call to this thread would never return.
TEST_F(ControlLayer, CallsOnTheUserInterfaceThreadDoNotDeadlock) {
    Watchdog watchdog(20);
    dialog->EnableControl(IDC_NODE_EDIT, false);
    EXPECT_FALSE(dialog->IsEnabled(IDC_NODE_EDIT));
    dialog->ShowControl(IDC_NODE_EDIT, false);
    EXPECT_FALSE(dialog->IsShown(IDC_NODE_EDIT));
    dialog->SetControlText(IDC_NODE_EDIT, "12");
    EXPECT_EQ(dialog->ControlText(IDC_NODE_EDIT), "12");
    dialog->SetChecked(IDC_ENABLE_CHECK, true);
    EXPECT_TRUE(dialog->IsChecked(IDC_ENABLE_CHECK));
    dialog->SetSelection(IDC_DEBOUNCE_COMBO, 9);
    EXPECT_EQ(dialog->Selection(IDC_DEBOUNCE_COMBO), 9);
    dialog->SetTimer(AUTO_UPDATE_TIMER_ID, 60000);
    EXPECT_TRUE(dialog->IsTimerRunning(AUTO_UPDATE_TIMER_ID));
    dialog->KillTimer(AUTO_UPDATE_TIMER_ID);
    dialog->ShowMessage("here");
    dialog->UpdateControls();
    dialog->BeginProgress();
    dialog->ResetProgress();
    EXPECT_EQ(messages, std::vector<QString>{"here"});
}

TEST_F(ControlLayer, UnknownIdentifiersAreIgnored) {
    for (int32_t id : {int32_t{IDC_STATIC}, 0, 999, 1043, 4711}) {
        dialog->EnableControl(id, false);
        dialog->ShowControl(id, false);
        dialog->SetControlText(id, "x");
        dialog->SetChecked(id, true);
        dialog->SetSelection(id, 1);
        EXPECT_FALSE(dialog->IsChecked(id));
        EXPECT_FALSE(dialog->IsEnabled(id));
        EXPECT_FALSE(dialog->IsShown(id));
        EXPECT_EQ(dialog->Selection(id), -1);
        EXPECT_EQ(dialog->ControlText(id), "");
    }
    // Only the dialog's one timer exists.
    dialog->SetTimer(1001, 10);
    EXPECT_FALSE(dialog->IsTimerRunning(1001));
    EXPECT_FALSE(dialog->IsTimerRunning(AUTO_UPDATE_TIMER_ID));
}

// Like a button's own check state, a radio button can be cleared: both of a pair may be clear.
TEST_F(ControlLayer, SetCheckedSetsExactlyOneButton) {
    dialog->SetChecked(IDC_LAN_RADIO, false);
    EXPECT_FALSE(dialog->IsChecked(IDC_LAN_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_USB_RADIO));
    dialog->SetChecked(IDC_USB_RADIO, true);
    EXPECT_TRUE(dialog->IsChecked(IDC_USB_RADIO));
    dialog->SetChecked(IDC_LAN_RADIO, true);
    EXPECT_TRUE(dialog->IsChecked(IDC_LAN_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_USB_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_SINGLE_PHASE_RADIO));
}

TEST_F(ControlLayer, ProgressAndVersionShareTheBottomStrip) {
    dialog->BeginProgress();
    EXPECT_TRUE(dialog->IsShown(IDC_PROGRESS_BAR));
    EXPECT_FALSE(dialog->IsShown(IDC_VERSION_TEXT));
    dialog->ResetProgress();
    EXPECT_FALSE(dialog->IsShown(IDC_PROGRESS_BAR));
    EXPECT_TRUE(dialog->IsShown(IDC_VERSION_TEXT));
    dialog->BeginProgress();
    dialog->EndProgress();
    EXPECT_FALSE(dialog->IsShown(IDC_PROGRESS_BAR));
    EXPECT_TRUE(dialog->IsShown(IDC_VERSION_TEXT));
}

// Without a hook the text appears in a modal box: application name as caption, one OK button,
// the dialog as owner.
TEST_F(ControlLayer, MessageBoxWithoutHook) {
    dialog->SetMessageHook(nullptr);
    dialog->show();
    QString caption, text;
    QWidget* owner = nullptr;
    int buttons = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        caption = box->windowTitle();
        text = box->text();
        owner = box->parentWidget();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start(10);
    dialog->ShowMessage("通信エラー : 20003");
    EXPECT_EQ(caption, QCoreApplication::applicationName());
    EXPECT_EQ(caption, "ui_tests");
    EXPECT_EQ(text, "通信エラー : 20003");
    EXPECT_EQ(owner, dialog.get());
    EXPECT_EQ(buttons, 1);
}

// The receive thread posts; the user-interface thread handles the notification from its queue.
TEST_F(ControlLayer, PostedCountUpdatesReachTheDialogInOrder) {
    std::thread receiver([this] {
        for (int32_t index = 0; index < 5; ++index)
            dialog->PostCountUpdate(index);
    });
    receiver.join();  // posting never waits for the user-interface thread
    EXPECT_EQ(Inside().CountUpdatesHandled(), 0);
    EXPECT_TRUE(WaitUntil([this] { return Inside().CountUpdatesHandled() == 5; }));
    EXPECT_EQ(Inside().LastCountUpdateIndex(), 4);
}

TEST_F(ControlLayer, EventOfType0x8001CarriesItsIndex) {
    EXPECT_EQ(static_cast<int>(CountUpdateEvent::TYPE), 0x8001);
    QCoreApplication::postEvent(dialog.get(), new CountUpdateEvent(3));
    EXPECT_TRUE(WaitUntil([this] { return Inside().CountUpdatesHandled() == 1; }));
    EXPECT_EQ(Inside().LastCountUpdateIndex(), 3);
    // Other user events are left to the default handling.
    QCoreApplication::postEvent(dialog.get(), new QEvent(static_cast<QEvent::Type>(0x8002)));
    QCoreApplication::processEvents();
    EXPECT_EQ(Inside().CountUpdatesHandled(), 1);
}

// A closed dialog is no longer the reply target, and a notification still queued for it is
// dropped with it.
TEST(DialogLifetime, ClosingTheDialogDetachesItFromTheLink) {
    LinkSession session;
    auto dialog = std::make_unique<CVelkorDlg>(session);
    session.userData = DialogTestAccess(*dialog).ReplyUserData();
    dialog->PostCountUpdate(1);
    dialog.reset();
    EXPECT_EQ(session.userData.load(), nullptr);
    QCoreApplication::processEvents();

    // Someone else's user data is left alone.
    int other = 0;
    dialog = std::make_unique<CVelkorDlg>(session);
    session.userData = &other;
    dialog.reset();
    EXPECT_EQ(session.userData.load(), &other);
}

}  // namespace
