// The count readout and auto-update of the core: which requests go out (from the simulator's
// log), what the displays show, and how auto-update starts and stops. The view's timer is a
// recorded period; a tick is the test's call of OnTimer.
#include <array>
#include <climits>
#include <csignal>
#include <optional>

#include "../support/Texts.h"
#include "CoreFixture.h"
#include "dialog/UiTiming.h"

namespace {

const std::string O = "old";  // a display's text before the read

using Texts = std::array<std::string, 5>;

Texts Labels(const RecordingView& v) {
    Texts texts;
    for (size_t j = 0; j < 5; ++j)
        texts[j] = v.ControlText(IDC_COUNT_LABEL[j]);
    return texts;
}

Texts Values(const RecordingView& v) {
    Texts texts;
    for (size_t j = 0; j < 5; ++j)
        texts[j] = v.ControlText(IDC_COUNT_VALUE[j]);
    return texts;
}

void FillValues(RecordingView& v, const std::string& text) {
    for (size_t j = 0; j < 5; ++j)
        v.SetControlText(IDC_COUNT_VALUE[j], text);
}

// Counts base+1, base+2, ... on every input.
SimUnit Preset(int node, int inputs, const std::string& settings, int base) {
    SimUnit unit{node, inputs, settings, {}};
    for (int i = 0; i < inputs; ++i)
        unit.counts.push_back({i, std::to_string(base + i + 1)});
    return unit;
}

bool AutoUpdateOff(const CoreOnLoopback& c) {
    return c.core.AutoUpdateSeconds() == 0 && c.view.timerMs == 0 &&
           !c.view.IsChecked(IDC_AUTO_UPDATE_CHECK);
}

// Puts the interval in and checks the auto-update check box.
void StartAutoUpdate(CoreOnLoopback& c, const std::string& interval) {
    c.view.SetControlText(IDC_INTERVAL_EDIT, interval);
    c.Click(IDC_AUTO_UPDATE_CHECK, true);
}

// ----- Requests and displays --------------------------------------------------------------------

struct RequestRow {
    const char* name;
    SimUnit unit;
    std::optional<int32_t> heldFourthEdge;  // set in the held record before the read
    std::vector<std::string> commands;
    Texts labels;
    Texts values;  // O: kept from before the read
};

const std::vector<RequestRow>& RequestRows() {
    using sequences::Counts;
    static const std::vector<RequestRow> rows = {
        {"single-phase, DI2 and DI4 off",
         Preset(70, 5, "mode=1,edges=10101", 100),
         std::nullopt,
         Counts({0, 2, 4}),
         {"DI1", "", "DI3", "", "DI5"},
         {"101", "", "103", "", "105"}},
        {"single-phase, all on, three inputs",
         Preset(71, 3, "mode=1,edges=121", 200),
         std::nullopt,
         Counts({0, 1, 2}),
         {"DI1", "DI2", "DI3", "", ""},
         {"201", "202", "203", "", ""}},
        // Counting off: read by the edges as in single-phase use.
        {"counting off reads by the edges",
         Preset(72, 5, "mode=0,edges=01100", 100),
         std::nullopt,
         Counts({1, 2}),
         {"", "DI2", "DI3", "", ""},
         {"", "102", "103", "", ""}},
        // Three inputs have no second pair, whatever the held record says for DI4.
        {"two-phase, three inputs",
         Preset(73, 3, "mode=2,edges=111", 200),
         1,
         Counts({0}),
         {"1-2", "", "", "", ""},
         {"201", "", "", "", ""}},
        {"two-phase, five inputs, DI1 off",
         Preset(74, 5, "mode=3,edges=00011", 100),
         std::nullopt,
         Counts({3}),
         {"", "4-5", "", "", ""},
         {"", "104", "", "", ""}},
        {"two-phase, five inputs, both pairs",
         Preset(75, 5, "mode=2,edges=11011", 100),
         std::nullopt,
         Counts({0, 3}),
         {"1-2", "4-5", "", "", ""},
         {"101", "104", "", "", ""}},
        // The counts are signed 32-bit numbers.
        {"signed 32-bit numbers",
         {77,
          5,
          "mode=1,edges=11111",
          {{0, "0xFFFFFFFF"}, {1, "0x80000000"}, {2, "0x7FFFFFFF"}, {3, "0"}, {4, "0x80000001"}}},
         std::nullopt,
         Counts({0, 1, 2, 3, 4}),
         {"DI1", "DI2", "DI3", "DI4", "DI5"},
         {"-1", "-2147483648", "2147483647", "0", "-2147483647"}},
        {"two-phase, nothing counted",
         Preset(76, 5, "mode=2,edges=00100", 100),
         std::nullopt,
         {},
         {"", "", "", "", ""},
         {"", "", "", "", ""}},
    };
    return rows;
}

constexpr int SWITCH_NODE = 78;  // five inputs, 101 to 105
constexpr int TWO_INPUTS_NODE = 3;

SharedSim& CountSim() {
    std::vector<SimUnit> units = {Preset(SWITCH_NODE, 5, "mode=1,edges=11111", 100),
                                  {TWO_INPUTS_NODE, 2, "mode=1,edges=11", {}}};
    for (const RequestRow& row : RequestRows())
        units.push_back(row.unit);
    return SharedSim::With(UnitOptions(units));
}

TEST(CountReadout, RequestsTheCountedInputsAndShowsTheirCounts) {
    SharedSim& sim = CountSim();
    for (const RequestRow& row : RequestRows()) {
        SCOPED_TRACE(row.name);
        CoreOnLoopback c(sim.Port());
        const size_t connected = sim.Frames().size() + 3 + static_cast<size_t>(row.unit.inputs);
        ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, row.unit.node));
        // Connecting ends with the same read, after the settings read.
        EXPECT_EQ(sim.CommandsSince(connected), row.commands)
            << ShownCommands(sim.CommandsSince(connected));
        EXPECT_EQ(Labels(c.view), row.labels);
        if (row.heldFourthEdge) c.core.HeldConfig().edge[3] = *row.heldFourthEdge;
        FillValues(c.view, O);
        for (size_t j = 0; j < 5; ++j)
            c.view.SetControlText(IDC_COUNT_LABEL[j], "?");
        const size_t mark = sim.Frames().size();
        const int32_t handled = c.core.CountUpdatesHandled();

        // With counting off the button is disabled, while a running auto-update still reads.
        if (c.view.enabled[IDC_READ_COUNTS_BUTTON]) {
            c.Press(IDC_READ_COUNTS_BUTTON);
        } else {
            c.core.OnTimer();
        }
        ASSERT_TRUE(c.view.RunUntil([&] {
            return c.core.CountUpdatesHandled() - handled ==
                   static_cast<int32_t>(row.commands.size());
        }));
        c.view.Settle(50);  // no further request or reply

        EXPECT_EQ(sim.CommandsSince(mark), row.commands) << ShownCommands(sim.CommandsSince(mark));
        EXPECT_EQ(Labels(c.view), row.labels);
        EXPECT_EQ(Values(c.view), row.values);
        EXPECT_TRUE(c.view.trace.empty());  // neither a message nor the busy display
    }
}

// Until its reply arrives a value keeps what it showed.
TEST(CountReadout, UnansweredRequestKeepsTheValueAndReportsNothing) {
    // A simulator of its own: it is stopped, so frames still reach its socket but none is
    // answered.
    SharedSim& sim = SharedSim::With(UnitOptions({{3, 2, "mode=1,edges=11", {{1, "7"}}}}));
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, 3));
    ::kill(sim.Pid(), SIGSTOP);
    FillValues(c.view, O);

    c.Press(IDC_READ_COUNTS_BUTTON);
    c.view.Settle(200);

    EXPECT_EQ(Values(c.view), (Texts{O, O, "", "", ""}));
    EXPECT_TRUE(c.view.messages.empty());
    ::kill(sim.Pid(), SIGCONT);
}

// The mode held when a reply is shown decides where it goes: the requests were made in
// single-phase use, then the settings became two-phase before the replies were handled.
TEST(CountReadout, ReplyAfterSwitchToTwoPhaseLandsInTheTwoPhaseDisplays) {
    SharedSim& sim = CountSim();
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, SWITCH_NODE));
    FillValues(c.view, O);
    const size_t mark = sim.Frames().size();
    const int32_t handled = c.core.CountUpdatesHandled();

    // No reply is applied before the tasks run, so none can be shown before the switch.
    c.core.OnReadCounts();
    c.core.HeldConfig().mode = MODE_TWO_PHASE_X2;
    ASSERT_TRUE(c.view.RunUntil([&] { return c.core.CountUpdatesHandled() - handled == 5; }));

    EXPECT_EQ(sim.CommandsSince(mark), sequences::Counts({0, 1, 2, 3, 4}));
    EXPECT_EQ(Values(c.view), (Texts{"101", "104", O, O, O}));
    EXPECT_EQ(Labels(c.view), (Texts{"DI1", "DI2", "DI3", "DI4", "DI5"}));
}

// Only a malformed reply could carry another index; nothing outside the five displays changes.
TEST(CountReadout, NotificationWithIndexOutsideTheInputsIsIgnored) {
    SharedSim& sim = CountSim();
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, SWITCH_NODE));
    FillValues(c.view, O);
    for (int index : {5, -1, 7, 255, INT32_MIN}) {
        const int32_t handled = c.core.CountUpdatesHandled();
        c.core.CountBusy() = 1;
        c.core.PostCountUpdate(index, 0);
        ASSERT_TRUE(c.view.RunUntil([&] { return c.core.CountUpdatesHandled() == handled + 1; }));
        EXPECT_EQ(c.core.LastCountUpdateIndex(), index);
        EXPECT_EQ(Values(c.view), (Texts{O, O, O, O, O})) << "index " << index;
    }
    EXPECT_EQ(c.core.CountBusy().load(), 0);
}

// A tick while a count request is being written sends nothing; the next one reads as usual.
TEST(CountReadout, TickWhileCountBusySendsNothing) {
    SharedSim& sim = CountSim();
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, TWO_INPUTS_NODE));
    const size_t mark = sim.Frames().size();

    c.core.CountBusy() = 1;
    c.core.OnTimer();
    c.view.Settle(200);
    EXPECT_EQ(sim.Frames().size(), mark) << ShownCommands(sim.CommandsSince(mark));

    c.core.CountBusy() = 0;
    c.core.OnTimer();
    ASSERT_TRUE(c.view.RunUntil([&] { return sim.Frames().size() >= mark + 2; }));
    EXPECT_EQ(sim.CommandsSince(mark), sequences::Counts({0, 1}));
    EXPECT_TRUE(c.view.messages.empty());
}

// ----- Auto-update ------------------------------------------------------------------------------

// The check box with an interval (the text's own rules are AutoUpdateIntervalTest's): an accepted
// one starts the timer, whose first tick comes one interval later; a refused one shows its message
// and clears the box. Clearing the box stops the timer and gives the interval back.
TEST(AutoUpdate, CheckBoxStartsTheTimerWithoutAReadOrIsClearedWithTheMessage) {
    const struct {
        const char* typed;
        int32_t seconds;  // 0: refused
        std::vector<std::string> messages;
    } rows[] = {
        {" 15 ", 15, {}},
        {"", 0, {texts::INTERVAL_EMPTY}},
        {"0", 0, {texts::INTERVAL_RANGE}},
    };
    SharedSim& sim = CountSim();
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, TWO_INPUTS_NODE));
    const size_t mark = sim.Frames().size();
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("'") + row.typed + "'");
        c.view.messages.clear();
        StartAutoUpdate(c, row.typed);
        EXPECT_EQ(c.view.messages, row.messages);
        if (row.seconds != 0) {
            EXPECT_EQ(c.core.AutoUpdateSeconds(), row.seconds);
            EXPECT_EQ(c.view.timerMs, row.seconds * TheUiTiming().millisecondsPerSecond.load());
            EXPECT_TRUE(c.view.IsChecked(IDC_AUTO_UPDATE_CHECK));
            EXPECT_FALSE(c.view.enabled[IDC_INTERVAL_EDIT]);
            c.Click(IDC_AUTO_UPDATE_CHECK, false);
        }
        EXPECT_TRUE(AutoUpdateOff(c));
        EXPECT_TRUE(c.view.enabled[IDC_INTERVAL_EDIT]);
    }
    c.view.Settle(100);
    EXPECT_EQ(sim.CountRequestsSince(mark), 0u) << ShownCommands(sim.CommandsSince(mark));
}

// Clearing EnableCheck disables the count controls but leaves a running auto-update alone: the
// check box stays checked (disabled) and the timer keeps reading.
TEST(AutoUpdate, ClearingEnableCheckKeepsTheTimerReading) {
    SharedSim& sim = CountSim();
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, TWO_INPUTS_NODE));
    StartAutoUpdate(c, "2");
    ASSERT_EQ(c.view.timerMs, 2 * TheUiTiming().millisecondsPerSecond.load());

    c.Click(IDC_ENABLE_CHECK, false);
    ASSERT_FALSE(c.view.IsChecked(IDC_ENABLE_CHECK));
    const size_t mark = sim.Frames().size();

    EXPECT_FALSE(c.view.enabled[IDC_AUTO_UPDATE_CHECK]);
    EXPECT_FALSE(c.view.enabled[IDC_READ_COUNTS_BUTTON]);
    EXPECT_TRUE(c.view.IsChecked(IDC_AUTO_UPDATE_CHECK));
    EXPECT_EQ(c.core.AutoUpdateSeconds(), 2);
    EXPECT_EQ(c.view.timerMs, 2 * TheUiTiming().millisecondsPerSecond.load());
    for (size_t ticks = 1; ticks <= 2; ++ticks) {
        c.core.OnTimer();
        EXPECT_TRUE(c.view.RunUntil([&] {
            return sim.CountRequestsSince(mark) == 2 * ticks && c.core.CountBusy().load() == 0;
        }));
    }
    EXPECT_TRUE(c.view.messages.empty());
}

// A read whose request cannot be written: the unit dropped the connection after the 7 replies
// of connecting. The first write may still go out before the peer's reset arrives. A failed
// read stops a running auto-update before its one message, from a tick as from the button.
TEST(AutoUpdate, FailedReadStopsAutoUpdateWithOneMessage) {
    SharedSim& sim = SharedSim::With([] {
        std::vector<std::string> options = UnitOptions({{3, 2, "mode=1,edges=11", {}}});
        options.insert(options.end(), {"--close-after", "7"});
        return options;
    }());
    for (const bool fromTimer : {true, false}) {
        SCOPED_TRACE(fromTimer ? "tick" : "button");
        CoreOnLoopback c(sim.Port());
        ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, 3));
        StartAutoUpdate(c, fromTimer ? "1" : "10");
        ASSERT_NE(c.view.timerMs, 0);
        // Ticks come while the timer runs.
        for (int attempt = 0; attempt < 20 && c.view.messages.empty() && c.view.timerMs != 0;
             ++attempt) {
            if (fromTimer) {
                c.core.OnTimer();
            } else {
                c.Press(IDC_READ_COUNTS_BUTTON);
            }
            c.view.Settle(20);
        }
        c.view.Settle(100);

        ASSERT_EQ(c.view.messages.size(), 1u);
        EXPECT_EQ(c.view.messages[0].rfind(texts::COMMUNICATION_ERROR, 0), 0u)
            << c.view.messages[0];
        EXPECT_TRUE(AutoUpdateOff(c));
        EXPECT_TRUE(c.view.enabled[IDC_INTERVAL_EDIT]);
        EXPECT_EQ(c.core.ConnState(), Connected);
    }
}

}  // namespace
