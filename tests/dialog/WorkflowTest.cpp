// The order in which the core applies what its workers post, against velkor-sim on loopback: the
// trace of the recording view keeps the messages, the captions of 接続 and the busy display.
#include <gtest/gtest.h>

#include <optional>

#include "../support/Texts.h"
#include "CoreFixture.h"
#include "MessageBoxRows.h"

namespace {

// Node 1 two-phase x4 over 10 s, with the counts at the ends of the 32-bit range; node 11 the
// same for the write; node 2 the default three inputs; node 4 without pulse inputs.
std::vector<std::string> Units() {
    const std::vector<std::pair<int, std::string>> counts = {{0, "0x80000000"}, {3, "2147483647"}};
    std::vector<std::string> options = UnitOptions({{1, 5, "mode=3,period=2", counts},
                                                    {11, 5, "mode=3,period=2", counts},
                                                    {2, 3, "", {}},
                                                    {4, 0, "", {}}});
    return options;
}

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

TEST(DialogWorkflows, ResultsAreAppliedInTheOrderOfTheSteps) {
    using texts::ABORT, texts::CONNECT, texts::DISCONNECT;
    // Two-phase x2 and a period: unlike the unit's x4 and 10 s.
    const auto choose = [](int32_t period) {
        return [period](RecordingView& v) {
            v.SetChecked(IDC_X4_RADIO, false);  // the operator's click clears the other one
            v.SetChecked(IDC_X2_RADIO, true);
            v.SetSelection(IDC_PERIOD_COMBO, period);
        };
    };
    const std::vector<std::string> counts = sequences::Counts({0, 3});
    const Row rows[] = {
        {"connect a unit with five inputs",
         1,
         Step::Connect,
         nullptr,
         {"busy", "[" + ABORT + "]", "idle", "[" + DISCONNECT + "]"},
         Concat(Concat({"MD"}, sequences::Read(5)), counts),
         {{IDC_DEVICE_INFO_TEXT, texts::DeviceInfo("KV-420", 1)},
          {IDC_COUNT_LABEL_DI1, "1-2"},
          {IDC_COUNT_VALUE_DI1, "-2147483648"},
          {IDC_COUNT_VALUE_DI2, "2147483647"}},
         {{IDC_TWO_PHASE_RADIO, 1}, {IDC_X4_RADIO, 1}, {IDC_PERIOD_COMBO, 2}},
         true},
        {"connect a unit without pulse inputs",
         4,
         Step::Connect,
         nullptr,
         {"busy", "[" + ABORT + "]", texts::NO_PULSE_INPUTS, "idle", "[" + CONNECT + "]"},
         {"MD"},
         {},
         {},
         false},
        {"connect to a closed port",
         0,
         Step::Connect,
         nullptr,
         {"busy", "[" + ABORT + "]", texts::CommunicationError(111), "idle", "[" + CONNECT + "]"},
         {},
         {},
         {},
         false},
        {"read settings",
         1,
         Step::Read,
         choose(0),
         {"busy", "idle"},
         sequences::Read(5),
         {},
         {{IDC_X4_RADIO, 1}, {IDC_PERIOD_COMBO, 2}},
         true},
        {"write settings",
         11,
         Step::Write,
         choose(1),
         {"busy", "idle"},
         {"PC !", "PC!!", "PC\"!", "PC#!", "PC$!", Command("PU", {0x23, 0x21, 0x20})},
         {{IDC_COUNT_STATUS_TEXT, texts::COUNTING_ON}},
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
    SharedSim& sim = SharedSim::With(Units());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CoreOnLoopback loopback(row.node == 0 ? ClosedLoopbackPort() : sim.Port());
        RecordingView& view = loopback.view;
        DialogCore& core = loopback.core;
        view.SetControlText(IDC_NODE_EDIT, std::to_string(row.node));
        size_t sent = sim.Frames().size();
        int32_t counted = 0;
        // Settled: no worker left, every command of the step logged, each count reply shown.
        const auto settled = [&] {
            return core.RunningWorkers() == 0 &&
                   sim.Frames().size() - sent >= row.commands.size() &&
                   static_cast<size_t>(core.CountUpdatesHandled() - counted) ==
                       sim.CountRequestsSince(sent);
        };
        if (row.step != Step::Connect) {
            core.OnConnectButton();
            ASSERT_TRUE(
                view.RunUntil([&] { return settled() && core.CountUpdatesHandled() == 2; }));
            if (row.before) row.before(view);
            view.trace.clear();
            sent = sim.Frames().size();
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
        EXPECT_EQ(ShownCommands(sim.CommandsSince(sent)), ShownCommands(row.commands));
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
    SharedSim& sim = SharedSim::With(Units());
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
    const size_t sent = sim.Frames().size();
    loopback.core.OnApplySettings();
    ASSERT_TRUE(view.RunUntil([&] { return loopback.Idle(); }));
    const auto frames = sim.Frames();
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
    SharedSim& sim = SharedSim::With({"--drop-every", "14"});
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
