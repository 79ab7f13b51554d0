// The connection, settings and count workflows of the core without a window: a view that records
// what the user-interface thread applied, against velkor-sim on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "../sim/SimLog.h"
#include "../sim/SimProcess.h"
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
    void SetChecked(int32_t id, bool checked) override {
        for (const auto& group : RADIO_GROUPS)
            if (checked && (group[0] == id || group[1] == id))
                values[group[0]] = values[group[1]] = 0;
        values[id] = checked ? 1 : 0;
    }
    void SetListEntries(int32_t id, const std::vector<std::string>&) override { values[id] = -1; }
    int32_t Selection(int32_t id) const override { return Find(values, id, -1); }
    void SetSelection(int32_t id, int32_t index) override { values[id] = index; }
    void ShowMessage(const std::string& text) override { trace.push_back(text); }
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

private:
    template <typename T>
    static T Find(const std::map<int32_t, T>& map, int32_t id, T absent) {
        const auto it = map.find(id);
        return it == map.end() ? absent : it->second;
    }
    static constexpr int32_t RADIO_GROUPS[3][2] = {{IDC_LAN_RADIO, IDC_USB_RADIO},
                                                   {IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO},
                                                   {IDC_X2_RADIO, IDC_X4_RADIO}};
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> tasks;
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
        RecordingView view;
        LinkSession session;
        session.timing.replyPollMs.store(5);
        session.timing.replyPolls.store(2000);
        DialogCore core(view, session);
        core.OnInitDialog("Version 1.00");
        view.trace.clear();
        view.SetChecked(IDC_LAN_RADIO, true);
        view.SetControlText(IDC_ADDRESS_EDIT, "127.0.0.1");
        view.SetControlText(IDC_TCP_PORT_EDIT,
                            std::to_string(row.node == 0 ? ClosedLoopbackPort() : sim.Port()));
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

}  // namespace
