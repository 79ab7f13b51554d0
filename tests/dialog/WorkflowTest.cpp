// The order in which the core applies what its workers post, against velkor-sim on loopback: the
// trace of the recording view keeps the messages, the captions of 接続 and the busy display.
#include <gtest/gtest.h>

#include <optional>

#include "../support/Texts.h"
#include "CoreFixture.h"
#include "MessageBoxRows.h"

namespace {

// Node 1 two-phase x4 over 10 s, with the counts at the ends of the 32-bit range; node 2 the
// default three inputs.
std::vector<std::string> Units() {
    return UnitOptions(
        {{1, 5, "mode=3,period=2", {{0, "0x80000000"}, {3, "2147483647"}}}, {2, 3, "", {}}});
}

// The settings of the connection are shown before its counts are asked for; the other steps'
// order is in the tables of the workflows.
TEST(DialogWorkflows, ConnectingShowsTheUnitItsSettingsThenItsCounts) {
    SharedSim& sim = SharedSim::With(Units());
    CoreOnLoopback loopback(sim.Port());
    RecordingView& view = loopback.view;
    const size_t sent = sim.Frames().size();
    ASSERT_TRUE(loopback.Connect(1));
    ASSERT_TRUE(view.RunUntil([&] { return loopback.core.CountUpdatesHandled() == 2; }));
    EXPECT_EQ(view.trace, (std::vector<std::string>{"busy", "[" + texts::ABORT + "]", "idle",
                                                    "[" + texts::DISCONNECT + "]"}));
    EXPECT_EQ(
        ShownCommands(sim.CommandsSince(sent)),
        ShownCommands(sequences::Joined({{"MD"}, sequences::Read(5), sequences::Counts({0, 3})})));
    EXPECT_EQ(view.texts[IDC_DEVICE_INFO_TEXT], texts::DeviceInfo("KV-420", 1));
    EXPECT_EQ(view.texts[IDC_COUNT_LABEL_DI1], "1-2");
    EXPECT_EQ(view.texts[IDC_COUNT_VALUE_DI1], "-2147483648");
    EXPECT_EQ(view.texts[IDC_COUNT_VALUE_DI2], "2147483647");
    EXPECT_EQ(view.values[IDC_TWO_PHASE_RADIO], 1);
    EXPECT_EQ(view.values[IDC_X4_RADIO], 1);
    EXPECT_EQ(view.values[IDC_PERIOD_COMBO], 2);
    EXPECT_EQ(loopback.core.ConnState(), Connected);
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
