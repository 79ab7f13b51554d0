// The connection, settings and count workflows of the core without a window: a view that records
// what the user-interface thread applied, against velkor-sim on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

#include "../sim/SimLog.h"
#include "../sim/SimProcess.h"
#include "MessageBoxRows.h"
#include "device/OperatorTexts.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogCore.h"

namespace {

// Controls as maps; the trace keeps, in order, the messages, the captions of ConnectButton and
// the busy display coming and going.
class RecordingView final : public DialogView {
public:
    void EnableControl(int32_t id, bool enable) override { enabled[id] = enable; }
    void ShowControl(int32_t id, bool show) override {
        if (id == IDC_PROGRESS_BAR && shown[id] != show) trace.push_back(show ? "busy" : "idle");
        shown[id] = show;
    }
    void SetControlText(int32_t id, const std::string& text) override {
        if (id == IDC_CONNECT_BUTTON && texts[id] != text) trace.push_back("[" + text + "]");
        texts[id] = text;
    }
    std::string ControlText(int32_t id) const override { return Find(texts, id, {}); }
    bool IsChecked(int32_t id) const override { return Find(values, id, 0) == 1; }
    // Exactly the button asked for, as a Win32 dialog does: a radio group clears nothing itself.
    void SetChecked(int32_t id, bool checked) override { values[id] = checked ? 1 : 0; }
    void SetListEntries(int32_t id, const std::vector<std::string>&) override { values[id] = -1; }
    int32_t Selection(int32_t id) const override { return Find(values, id, -1); }
    void SetSelection(int32_t id, int32_t index) override { values[id] = index; }
    void ShowMessage(const std::string& text) override {
        trace.push_back(text);
        if (whileBoxOpen) whileBoxOpen();
    }
    void SetTimer(int32_t) override {}
    void KillTimer() override {}
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    std::vector<SerialPortDescription> EnumerateSerialPorts() override { return {}; }
    void PostToUiThread(std::function<void()> task) override {
        const std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
        posted.notify_one();
    }

    // Runs posted tasks on this thread until `done` holds with none left, or the time is out.
    bool RunUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            std::unique_lock lock(mutex);
            if (tasks.empty() && done()) return true;
            posted.wait_for(lock, std::chrono::milliseconds(5), [this] { return !tasks.empty(); });
            if (tasks.empty()) continue;
            auto task = std::move(tasks.front());
            tasks.pop_front();
            lock.unlock();
            task();
        }
        return false;
    }

    std::map<int32_t, bool> enabled, shown;
    std::map<int32_t, std::string> texts;
    std::map<int32_t, int32_t> values;  // checked (1) or not (0), or the selected entry
    std::vector<std::string> trace;
    // Runs inside each message box, as the box's own event loop would.
    std::function<void()> whileBoxOpen;

private:
    template <typename T>
    static T Find(const std::map<int32_t, T>& map, int32_t id, T absent) {
        const auto it = map.find(id);
        return it == map.end() ? absent : it->second;
    }
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> tasks;
};

// A core over a recording view and a session of its own, the route to the simulator typed in.
struct CoreOnLoopback {
    explicit CoreOnLoopback(int port, int32_t replyPolls = 2000) : core(view, session) {
        session.Timing().replyPollMs.store(5);
        session.Timing().replyPolls.store(replyPolls);
        core.OnInitDialog("Version 1.00");
        view.trace.clear();
        view.SetControlText(IDC_ADDRESS_EDIT, "127.0.0.1");
        view.SetControlText(IDC_TCP_PORT_EDIT, std::to_string(port));
    }
    // No worker left and nothing of one waiting to be applied.
    bool Idle() const {
        return core.RunningWorkers() == 0 && core.HeldResults() == 0 &&
               core.CurrentOperation() == Operation::None;
    }
    bool Connect(int node) {
        view.SetControlText(IDC_NODE_EDIT, std::to_string(node));
        core.OnConnectButton();
        return view.RunUntil([this] { return Idle(); });
    }

    RecordingView view;
    LinkSession session;
    DialogCore core;
};

enum class Step { Connect, Read, Write, Counts };

struct Row {
    const char* name;
    int node;  // 0: a closed loopback port
    Step step;
    std::function<void(RecordingView&)> before;  // controls changed after connecting
    std::vector<std::string> trace;
    std::vector<std::string> commands;  // received by the unit during the step
    std::map<int32_t, std::string> texts;
    std::map<int32_t, int32_t> values;
    bool connectedAfter;
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> READ5 = {"PY", "PH ", "PH!", "PH\"", "PH#", "PH$", "PP"};

TEST(DialogWorkflows, ResultsAreAppliedInTheOrderOfTheSteps) {
    // Two-phase x2 and a period: unlike the unit's x4 and 10 s.
    const auto choose = [](int32_t period) {
        return [period](RecordingView& v) {
            v.SetChecked(IDC_X4_RADIO, false);  // the operator's click clears the other one
            v.SetChecked(IDC_X2_RADIO, true);
            v.SetSelection(IDC_PERIOD_COMBO, period);
        };
    };
    const std::vector<std::string> counts = {Command("PG", {0x20}), "PG#"};
    const Row rows[] = {
        {"connect a unit with five inputs",
         1,
         Step::Connect,
         nullptr,
         {"busy", "[中断]", "idle", "[切断]"},
         Concat(Concat({"MD"}, READ5), counts),
         {{IDC_DEVICE_INFO_TEXT, "KV-420     ID : 1"},
          {IDC_COUNT_LABEL_DI1, "1-2"},
          {IDC_COUNT_VALUE_DI1, "-2147483648"},
          {IDC_COUNT_VALUE_DI2, "2147483647"}},
         {{IDC_TWO_PHASE_RADIO, 1}, {IDC_X4_RADIO, 1}, {IDC_PERIOD_COMBO, 2}},
         true},
        {"connect a unit without pulse inputs",
         4,
         Step::Connect,
         nullptr,
         {"busy", "[中断]", NO_PULSE_INPUTS_MESSAGE, "idle", "[接続]"},
         {"MD"},
         {},
         {},
         false},
        {"connect to a closed port",
         0,
         Step::Connect,
         nullptr,
         {"busy", "[中断]", "通信エラー : 111", "idle", "[接続]"},
         {},
         {},
         {},
         false},
        {"read settings",
         1,
         Step::Read,
         choose(0),
         {"busy", "idle"},
         READ5,
         {},
         {{IDC_X4_RADIO, 1}, {IDC_PERIOD_COMBO, 2}},
         true},
        {"write settings",
         1,
         Step::Write,
         choose(1),
         {"busy", "idle"},
         {"PC !", "PC!!", "PC\"!", "PC#!", "PC$!", Command("PU", {0x23, 0x21, 0x20})},
         {{IDC_COUNT_STATUS_TEXT, COUNTING_ON_TEXT}},
         {},
         true},
        {"read counts",
         1,
         Step::Counts,
         nullptr,
         {},
         counts,
         {{IDC_COUNT_VALUE_DI1, "-2147483648"}, {IDC_COUNT_VALUE_DI2, "2147483647"}},
         {},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string log = TempPath("sim.log");
        SimProcess sim({"--listen", "127.0.0.1:0", "--log", log, "--settings", "1:mode=3,period=2",
                        "--count", "1:0:0x80000000", "--count", "1:3:2147483647"});
        ASSERT_TRUE(sim.Started());
        const auto commands = [&log] {
            std::vector<std::string> out;
            for (const std::string& frame : ReceivedFramesOfLog(FileText(log)))
                out.push_back(CommandOf(frame));
            return out;
        };
        CoreOnLoopback loopback(row.node == 0 ? ClosedLoopbackPort() : sim.Port());
        RecordingView& view = loopback.view;
        DialogCore& core = loopback.core;
        view.SetControlText(IDC_NODE_EDIT, std::to_string(row.node));
        size_t sent = 0;
        int32_t counted = 0;
        // Settled: no worker left, every command of the step logged, each count reply shown.
        const auto settled = [&] {
            const auto all = commands();
            int32_t requests = 0;
            for (size_t i = sent; i < all.size(); ++i)
                requests += all[i].rfind("PG", 0) == 0 ? 1 : 0;
            return core.RunningWorkers() == 0 && all.size() - sent >= row.commands.size() &&
                   core.CountUpdatesHandled() - counted == requests;
        };
        if (row.step != Step::Connect) {
            core.OnConnectButton();
            ASSERT_TRUE(
                view.RunUntil([&] { return settled() && core.CountUpdatesHandled() == 2; }));
            if (row.before) row.before(view);
            view.trace.clear();
            sent = commands().size();
            counted = core.CountUpdatesHandled();
        }
        switch (row.step) {
            case Step::Connect:
                core.OnConnectButton();
                break;
            case Step::Read:
                core.OnReadSettings();
                break;
            case Step::Write:
                core.OnApplySettings();
                break;
            case Step::Counts:
                core.OnReadCounts();
                break;
        }
        ASSERT_TRUE(view.RunUntil(settled));
        EXPECT_EQ(view.trace, row.trace);
        const auto all = commands();
        EXPECT_EQ(ShownCommands({all.begin() + static_cast<ptrdiff_t>(sent), all.end()}),
                  ShownCommands(row.commands));
        for (const auto& [id, text] : row.texts)
            EXPECT_EQ(view.texts[id], text) << id;
        for (const auto& [id, value] : row.values)
            EXPECT_EQ(view.values[id], value) << id;
        EXPECT_EQ(core.ConnState() == Connected, row.connectedAfter);
    }
}

// After a two-phase x4 unit, a single-phase one shows one radio of each group checked, and
// writing its settings untouched sends the mode it reported, not the one before.
TEST(DialogWorkflows, RadioGroupsShowTheReportedModeAlone) {
    const std::string log = TempPath("radios.log");
    SimProcess sim({"--listen", "127.0.0.1:0", "--log", log, "--settings", "1:mode=3"});
    ASSERT_TRUE(sim.Started());
    CoreOnLoopback loopback(sim.Port());
    RecordingView& view = loopback.view;
    ASSERT_TRUE(loopback.Connect(1));
    EXPECT_EQ(view.values[IDC_X4_RADIO], 1);
    loopback.core.OnConnectButton();
    ASSERT_TRUE(loopback.Connect(2));
    const std::map<int32_t, int32_t> radios = {{IDC_SINGLE_PHASE_RADIO, 1},
                                               {IDC_TWO_PHASE_RADIO, 0},
                                               {IDC_X2_RADIO, 1},
                                               {IDC_X4_RADIO, 0}};
    for (const auto& [id, checked] : radios)
        EXPECT_EQ(view.values[id], checked) << id;
    const size_t sent = ReceivedFramesOfLog(FileText(log)).size();
    loopback.core.OnApplySettings();
    ASSERT_TRUE(view.RunUntil([&] { return loopback.Idle(); }));
    const auto frames = ReceivedFramesOfLog(FileText(log));
    ASSERT_GT(frames.size(), sent);
    EXPECT_EQ(CommandOf(frames.back()), Command("PU", {0x21, 0x20, 0x20}));
}

Look LookOf(RecordingView& view) {
    return {view.texts[IDC_CONNECT_BUTTON],         view.texts[IDC_DEVICE_INFO_TEXT],
            view.shown[IDC_PROGRESS_BAR],           view.enabled[IDC_CONNECT_BUTTON],
            view.enabled[IDC_READ_SETTINGS_BUTTON], view.enabled[IDC_WRITE_SETTINGS_BUTTON]};
}

// A worker's message box is closed only once the worker has ended and posted all it had; until
// then the operation is still under way behind the box.
TEST(DialogWorkflows, WorkersMessageBoxComesBeforeItsNextSteps) {
    SimProcess sim({"--listen", "127.0.0.1:0", "--quiet", "--drop-every", "14"});
    ASSERT_TRUE(sim.Started());
    for (const BoxRow& row : BOX_ROWS) {
        SCOPED_TRACE(row.name);
        CoreOnLoopback loopback(sim.Port(), 200);
        RecordingView& view = loopback.view;
        std::optional<Look> during;
        view.whileBoxOpen = [&] {
            EXPECT_TRUE(view.RunUntil([&] {
                return loopback.core.RunningWorkers() == 0 && loopback.core.HeldResults() > 0;
            }));
            during = LookOf(view);
        };
        ASSERT_TRUE(loopback.Connect(row.node));
        if (row.readSettings) {
            loopback.core.OnReadSettings();
            ASSERT_TRUE(view.RunUntil([&] { return loopback.Idle(); }));
        }
        EXPECT_NE(std::find(view.trace.begin(), view.trace.end(), row.message), view.trace.end());
        EXPECT_EQ(during, row.during);
        EXPECT_EQ(LookOf(view), row.after);
    }
}

}  // namespace
