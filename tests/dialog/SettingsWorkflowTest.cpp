// Reading, writing, starting and stopping a unit's pulse counting through the core, against the
// shared velkor-sim processes. The frames are taken from the simulator's log; the expected bytes
// and texts are written out here and in Texts.h, never taken from the program's own tables.
#include <array>
#include <functional>
#include <optional>
#include <ostream>

#include "../support/Texts.h"
#include "CoreFixture.h"

namespace {

// A parameter character: the value plus 0x20.
constexpr int P(int value) {
    return 0x20 + value;
}

// The settings as the controls show them.
struct ShownSettings {
    bool enabled = false;
    bool singlePhase = false;
    bool twoPhase = false;
    bool x2 = false;
    bool x4 = false;
    bool clearSignal = false;
    int period = -1;
    int debounce = -1;
    std::vector<int> edges;
    std::string status;

    bool operator==(const ShownSettings&) const = default;
};

void PrintTo(const ShownSettings& s, std::ostream* out) {
    *out << "{enable " << s.enabled << ", single " << s.singlePhase << ", two " << s.twoPhase
         << ", x2 " << s.x2 << ", x4 " << s.x4 << ", clear " << s.clearSignal << ", period "
         << s.period << ", debounce " << s.debounce << ", edges";
    for (int e : s.edges)
        *out << ' ' << e;
    *out << ", \"" << s.status << "\"}";
}

ShownSettings Shown(const RecordingView& v, int inputs) {
    ShownSettings s{v.IsChecked(IDC_ENABLE_CHECK),
                    v.IsChecked(IDC_SINGLE_PHASE_RADIO),
                    v.IsChecked(IDC_TWO_PHASE_RADIO),
                    v.IsChecked(IDC_X2_RADIO),
                    v.IsChecked(IDC_X4_RADIO),
                    v.IsChecked(IDC_CLEAR_SIGNAL_CHECK),
                    v.Selection(IDC_PERIOD_COMBO),
                    v.Selection(IDC_DEBOUNCE_COMBO),
                    {},
                    v.ControlText(IDC_COUNT_STATUS_TEXT)};
    for (int i = 0; i < inputs; ++i)
        s.edges.push_back(v.Selection(IDC_EDGE_COMBO[i]));
    return s;
}

// Puts every settings control into a state that differs from `unlike`.
void ShowOtherSettings(RecordingView& v, const ShownSettings& unlike) {
    v.SetChecked(IDC_ENABLE_CHECK, !unlike.enabled);
    v.SetChecked(IDC_SINGLE_PHASE_RADIO, unlike.twoPhase);
    v.SetChecked(IDC_TWO_PHASE_RADIO, !unlike.twoPhase);
    v.SetChecked(IDC_X2_RADIO, unlike.x4);
    v.SetChecked(IDC_X4_RADIO, !unlike.x4);
    v.SetChecked(IDC_CLEAR_SIGNAL_CHECK, !unlike.clearSignal);
    v.SetSelection(IDC_PERIOD_COMBO, (unlike.period + 1) % 5);
    v.SetSelection(IDC_DEBOUNCE_COMBO, unlike.debounce == 5 ? 6 : 5);
    for (size_t i = 0; i < unlike.edges.size(); ++i)
        v.SetSelection(IDC_EDGE_COMBO[i], (unlike.edges[i] + 1) % 3);
    v.SetControlText(IDC_COUNT_STATUS_TEXT, "?");
}

void SelectEdges(RecordingView& v, const std::vector<int>& edges) {
    for (size_t i = 0; i < edges.size(); ++i)
        v.SetSelection(IDC_EDGE_COMBO[i], edges[i]);
}

// The held settings: mode, clear signal, five edges, period, debounce, counting on.
using HeldSettings = std::array<int32_t, 10>;

HeldSettings HeldOf(const PulseConfig& c) {
    return {c.mode,    c.clearSignal, c.edge[0], c.edge[1],  c.edge[2],
            c.edge[3], c.edge[4],     c.period,  c.debounce, c.countingOn};
}

// Presses a settings button and runs until its worker has ended; the commands it sent.
std::vector<std::string> RunSettingsButton(CoreOnLoopback& c, SharedSim& sim, int32_t id) {
    const size_t mark = sim.Frames().size();
    c.Press(id);
    EXPECT_TRUE(c.view.RunUntil([&] { return c.Idle(); }));
    return sim.CommandsSince(mark);
}

// ----- Reading --------------------------------------------------------------------------------

struct ReadRow {
    const char* name;
    SimUnit unit;
    ShownSettings expected;
};

const std::vector<ReadRow>& ReadRows() {
    using texts::COUNTING_OFF, texts::COUNTING_ON;
    static const std::vector<ReadRow> rows = {
        {"two inputs, single-phase",
         {10, 2, "mode=1,clear=0,period=2,debounce=3,edges=21,counting=1"},
         {true, true, false, true, false, false, 2, 2, {2, 1}, COUNTING_ON}},
        {"two-phase x4 with the Z phase",
         {11, 5, "mode=3,clear=1,period=4,debounce=0,edges=11011"},
         {true, false, true, false, true, true, 4, 0, {1, 1, 0, 1, 1}, COUNTING_OFF}},
        // Two-phase: the debounce list goes back to its first entry, whatever the unit holds.
        {"two-phase x2",
         {12, 3, "mode=2,clear=0,period=3,debounce=4,edges=110,counting=1"},
         {true, false, true, true, false, false, 3, 0, {1, 1, 0}, COUNTING_ON}},
        // Debounce value 1 has no entry of its own and shows as the first one, "なし".
        {"debounce 1 shows none",
         {13, 3, "mode=1,period=1,debounce=1,edges=012"},
         {true, true, false, true, false, false, 1, 0, {0, 1, 2}, COUNTING_OFF}},
        {"debounce 10 is the last entry",
         {14, 2, "mode=1,period=0,debounce=10,edges=12"},
         {true, true, false, true, false, false, 0, 9, {1, 2}, COUNTING_OFF}},
        // Counting off: the unit's debounce stays; a clear-signal bit without two-phase is no
        // clear signal.
        {"counting off ignores the clear bit",
         {15, 2, "flags=4,period=0,debounce=6,edges=00"},
         {false, true, false, true, false, false, 0, 5, {0, 0}, COUNTING_OFF}},
        // Values without an entry leave their list without a selection.
        {"values without an entry",
         {16, 2, "mode=1,period=7,debounce=12,edges=31"},
         {true, true, false, true, false, false, -1, -1, {-1, 1}, COUNTING_OFF}},
        // A negative debounce value shows as "なし", as 0 and 1 do.
        {"negative debounce shows none",
         {17, 2, "mode=1,period=1,rawdebounce=0x1F,edges=11"},
         {true, true, false, true, false, false, 1, 0, {1, 1}, COUNTING_OFF}},
    };
    return rows;
}

// ----- Applying ---------------------------------------------------------------------------------

struct ApplyRow {
    const char* name;
    SimUnit unit;
    // Clicks and selections of the operator; the dialog starts with the unit's settings.
    std::function<void(CoreOnLoopback&)> edit;
    std::vector<std::string> commands;  // empty: nothing may be sent
    std::vector<std::string> messages;
    std::string status;  // empty: unchanged
    // The held settings afterwards (mode, clear, edges 0-4, period, debounce, counting on);
    // nullopt: unchanged.
    std::optional<HeldSettings> held;
};

// Checks the radio buttons and check boxes `clicked`, then chooses the entries of the lists: the
// edges from DI1, the period and the debounce (-1: left alone).
std::function<void(CoreOnLoopback&)> Choose(std::vector<int> edges, int period = -1,
                                            int debounce = -1, std::vector<int32_t> clicked = {}) {
    return [=](CoreOnLoopback& c) {
        for (int32_t id : clicked)
            c.Click(id, true);
        SelectEdges(c.view, edges);
        if (period >= 0) c.view.SetSelection(IDC_PERIOD_COMBO, period);
        if (debounce >= 0) c.view.SetSelection(IDC_DEBOUNCE_COMBO, debounce);
    };
}

std::vector<std::string> Pc(std::initializer_list<int> edges) {
    std::vector<std::string> commands;
    int input = 0;
    for (int edge : edges)
        commands.push_back(Command("PC", {P(input++), edge}));
    return commands;
}

std::vector<std::string> Then(std::vector<std::string> commands, const std::string& last) {
    commands.push_back(last);
    return commands;
}

std::vector<std::string> Plus(std::vector<std::string> options,
                              const std::vector<std::string>& more) {
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

const std::vector<ApplyRow>& ApplyRows() {
    using texts::COUNTING_OFF, texts::COUNTING_ON;
    constexpr int32_t TWO = IDC_TWO_PHASE_RADIO, X4 = IDC_X4_RADIO, CLEAR = IDC_CLEAR_SIGNAL_CHECK;
    static const std::vector<ApplyRow> rows =
        {
            {"two inputs, single-phase",
             {20, 2, "mode=1,edges=11"},
             Choose({2, 1}, 3, 2),
             Then(Pc({0x22, 0x21}), Command("PU", {0x21, 0x23, 0x23})),
             {},
             COUNTING_ON,
             HeldSettings{1, 0, 2, 1, 0, 0, 0, 3, 3, 1}},
            // The clear signal stays checked (and disabled) after going back to single-phase.
            {"single-phase with the clear signal still checked",
             {21, 3, "mode=1,edges=111"},
             [](CoreOnLoopback& c) {
                 c.Click(IDC_TWO_PHASE_RADIO, true);
                 c.Click(IDC_CLEAR_SIGNAL_CHECK, true);
                 c.Click(IDC_SINGLE_PHASE_RADIO, true);
                 c.view.SetSelection(IDC_PERIOD_COMBO, 0);
             },
             Then(Pc({0x21, 0x21, 0x21}), Command("PU", {0x25, 0x20, 0x20})),
             {},
             COUNTING_OFF,
             HeldSettings{1, 1, 1, 1, 1, 0, 0, 0, 0, 0}},
            {"two-phase x4 with the Z phase on five inputs",
             {22, 5, "mode=1,edges=11111"},
             Choose({1, 1, 2, 2, 2}, 1, -1, {TWO, X4, CLEAR}),
             Then(Pc({0x21, 0x21, 0x22, 0x22, 0x22}), Command("PU", {0x2F, 0x21, 0x20})),
             {},
             COUNTING_ON,
             HeldSettings{3, 1, 1, 1, 2, 2, 2, 1, 0, 1}},
            // A fixed period counts at once, even with counting disabled.
            {"fixed period with counting disabled",
             {23, 2, "mode=1,edges=12,counting=0"},
             [](CoreOnLoopback& c) {
                 c.Click(IDC_ENABLE_CHECK, false);
                 c.view.SetSelection(IDC_PERIOD_COMBO, 4);
             },
             Then(Pc({0x21, 0x22}), Command("PU", {0x20, 0x24, 0x20})),
             {},
             COUNTING_ON,
             HeldSettings{0, 0, 1, 2, 0, 0, 0, 4, 0, 1}},
            {"START-STOP period shows counting off",
             {24, 2, "mode=1,period=2,edges=11,counting=1"},
             Choose({}, 0),
             Then(Pc({0x21, 0x21}), Command("PU", {0x21, 0x20, 0x20})),
             {},
             COUNTING_OFF,
             HeldSettings{1, 0, 1, 1, 0, 0, 0, 0, 0, 0}},
            // Values the lists have no entry for are sent back as the unit reported them.
            {"values without an entry sent unchanged",
             {25, 2, "mode=1,period=7,debounce=12,edges=31"},
             Choose({}),
             Then(Pc({0x23, 0x21}), Command("PU", {0x21, 0x27, 0x2C})),
             {},
             COUNTING_ON,
             HeldSettings{1, 0, 3, 1, 0, 0, 0, 7, 12, 1}},
            // Whatever byte the unit reported goes back as that byte, also one that no value OR
            // 0x20 gives: 0x40 is not START-STOP, 0x05 not 0xE5. A debounce below 0 (0x1F) is
            // "なし" and goes as 0x20.
            {"reported bytes above the lists sent unchanged",
             {26, 2, "mode=1,rawperiod=0x40,rawdebounce=0x1F,rawedge1=0x05,rawedge2=0x40"},
             Choose({}),
             Then(Pc({0x05, 0x40}), Command("PU", {0x21, 0x40, 0x20})),
             {},
             COUNTING_ON,
             HeldSettings{1, 0, -27, 32, 0, 0, 0, 32, 0, 1}},
            {"reported bytes below the base sent unchanged",
             {27, 2, "mode=1,rawperiod=0x1F,rawdebounce=0xFF,rawedge1=0xFF,rawedge2=0x01"},
             Choose({}),
             Then(Pc({0xFF, 0x01}), Command("PU", {0x21, 0x1F, 0xFF})),
             {},
             COUNTING_ON,
             HeldSettings{1, 0, 223, -31, 0, 0, 0, -1, 223, 1}},
            // Only what the operator left alone goes back as reported: a chosen entry is sent.
            {"chosen entries replace reported bytes",
             {28, 2, "mode=1,rawperiod=0x40,rawdebounce=0x1F,rawedge1=0x05,rawedge2=0x40"},
             Choose({2, 0}, -1, 9),
             Then(Pc({0x22, 0x20}), Command("PU", {0x21, 0x40, 0x2A})),
             {},
             COUNTING_ON,
             HeldSettings{1, 0, 2, 0, 0, 0, 0, 32, 10, 1}},
            // DI5 rising through the apply path: "PC" with 0x24 and 0x21.
            {"DI5 rising alone",
             {29, 5, "mode=1,edges=22222"},
             Choose({0, 0, 0, 0, 1}),
             Then(Pc({0x20, 0x20, 0x20, 0x20, 0x21}), Command("PU", {0x21, 0x20, 0x20})),
             {},
             COUNTING_OFF,
             HeldSettings{1, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
            // Single-phase: the encoder pairs are not checked.
            {"single-phase needs no pairs",
             {30, 5, "mode=1,edges=11111"},
             Choose({1, 0, 0, 2, 0}),
             Then(Pc({0x21, 0x20, 0x20, 0x22, 0x20}), Command("PU", {0x21, 0x20, 0x20})),
             {},
             COUNTING_OFF,
             HeldSettings{1, 0, 1, 0, 0, 2, 0, 0, 0, 0}},
            {"first pair half enabled",
             {31, 2, "mode=1,edges=11"},
             Choose({1, 0}, -1, -1, {TWO}),
             {},
             {texts::FIRST_PAIR},
             {},
             std::nullopt},
            {"first pair, the other half enabled",
             {32, 5, "mode=1,edges=11111"},
             Choose({0, 2, 1, 1, 1}, -1, -1, {TWO}),
             {},
             {texts::FIRST_PAIR},
             {},
             std::nullopt},
            {"second pair half enabled",
             {33, 5, "mode=1,edges=11111"},
             Choose({1, 1, 1, 0, 2}, -1, -1, {TWO, X4}),
             {},
             {texts::SECOND_PAIR},
             {},
             std::nullopt},
            // Both pairs wrong: the first check ends it.
            {"both pairs half enabled",
             {34, 5, "mode=1,edges=11111"},
             Choose({1, 0, 1, 1, 0}, -1, -1, {TWO}),
             {},
             {texts::FIRST_PAIR},
             {},
             std::nullopt},
            {"second pair both off passes",
             {35, 5, "mode=1,edges=11111"},
             Choose({2, 2, 1, 0, 0}, -1, -1, {TWO}),
             Then(Pc({0x22, 0x22, 0x21, 0x20, 0x20}), Command("PU", {0x23, 0x20, 0x20})),
             {},
             COUNTING_OFF,
             HeldSettings{2, 0, 2, 2, 1, 0, 0, 0, 0, 0}},
            // A unit with three inputs has no second pair: what the hidden lists and the held
            // record hold for DI4 and DI5 is not checked.
            {"three inputs have no second pair",
             {36, 3, "mode=1,edges=111"},
             [](CoreOnLoopback& c) {
                 c.Click(IDC_TWO_PHASE_RADIO, true);
                 c.view.SetSelection(IDC_EDGE_COMBO[3], 1);
                 c.view.SetSelection(IDC_EDGE_COMBO[4], 0);
                 c.core.HeldConfig().edge[3] = 1;
                 c.core.HeldConfig().edge[4] = 0;
             },
             Then(Pc({0x21, 0x21, 0x21}), Command("PU", {0x23, 0x20, 0x20})),
             {},
             COUNTING_OFF,
             HeldSettings{2, 0, 1, 1, 1, 1, 0, 0, 0, 0}},
            // From two-phase x4 over 10 s to x2 over 1 s: the mode character and the period change.
            {"two-phase x4 to x2 on five inputs",
             {38, 5, "mode=3,period=2"},
             Choose({}, 1, -1, {IDC_X2_RADIO}),
             Then(Pc({0x21, 0x21, 0x21, 0x21, 0x21}), Command("PU", {0x23, 0x21, 0x20})),
             {},
             COUNTING_ON,
             HeldSettings{2, 0, 1, 1, 1, 1, 1, 1, 0, 1}},
            // The Z phase without DI3 only warns; the settings are written after the message.
            {"Z phase without DI3 warns",
             {37, 3, "mode=1,edges=111"},
             Choose({1, 1, 0}, 2, -1, {TWO, CLEAR}),
             Then(Pc({0x21, 0x21, 0x20}), Command("PU", {0x27, 0x22, 0x20})),
             {texts::Z_PHASE},
             COUNTING_ON,
             HeldSettings{2, 1, 1, 1, 0, 0, 0, 2, 0, 1}},
        };
    return rows;
}

// Start/stop, and a unit for each state that a lost "PS" reply leaves as it was.
constexpr int START_STOP_NODE = 50;

std::vector<std::string> SettingsSim() {
    std::vector<SimUnit> units = {{START_STOP_NODE, 2, "mode=1,period=0,counting=0"}};
    for (const ReadRow& row : ReadRows())
        units.push_back(row.unit);
    for (const ApplyRow& row : ApplyRows())
        units.push_back(row.unit);
    return UnitOptions(units);
}

TEST(SettingsWorkflow, ReadSendsTheReadSequenceAndShowsWhatTheUnitHolds) {
    SharedSim& sim = SharedSim::With(SettingsSim());
    for (const ReadRow& row : ReadRows()) {
        SCOPED_TRACE(row.name);
        CoreOnLoopback c(sim.Port());
        ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, row.unit.node));
        const int inputs = row.unit.inputs;
        ASSERT_EQ(c.core.InputCount(), inputs);
        ASSERT_EQ(static_cast<int>(row.expected.edges.size()), inputs);

        ShowOtherSettings(c.view, row.expected);
        ASSERT_NE(Shown(c.view, inputs), row.expected);
        const std::vector<std::string> sent = RunSettingsButton(c, sim, IDC_READ_SETTINGS_BUTTON);

        EXPECT_EQ(sent, sequences::Read(inputs)) << ShownCommands(sent);
        EXPECT_EQ(c.view.trace, (std::vector<std::string>{"busy", "idle"}));
        EXPECT_EQ(Shown(c.view, inputs), row.expected);
        EXPECT_TRUE(c.view.messages.empty());
        EXPECT_TRUE(c.ProgressEnded());
        if (row.expected.debounce == 0) {
            EXPECT_EQ(c.view.SelectedText(IDC_DEBOUNCE_COMBO), texts::NO_DEBOUNCE);
        }
    }
}

TEST(SettingsWorkflow, ApplySendsTheSettingsOrStopsAtAnEncoderCheck) {
    SharedSim& sim = SharedSim::With(SettingsSim());
    for (const ApplyRow& row : ApplyRows()) {
        SCOPED_TRACE(row.name);
        CoreOnLoopback c(sim.Port());
        ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, row.unit.node));
        ASSERT_NO_FATAL_FAILURE(row.edit(c));
        const HeldSettings heldBefore = HeldOf(c.core.HeldConfig());
        const std::string statusBefore = c.view.ControlText(IDC_COUNT_STATUS_TEXT);

        const size_t mark = sim.Frames().size();
        RunSettingsButton(c, sim, IDC_WRITE_SETTINGS_BUTTON);
        c.view.Settle(50);  // nothing may follow late

        const std::vector<std::string> sent = sim.CommandsSince(mark);
        EXPECT_EQ(sent, row.commands) << ShownCommands(sent);
        EXPECT_EQ(c.view.messages, row.messages);
        // A check's message comes before the write, which the busy display shows.
        std::vector<std::string> trace = row.messages;
        if (!row.commands.empty()) trace.insert(trace.end(), {"busy", "idle"});
        EXPECT_EQ(c.view.trace, trace);
        EXPECT_EQ(c.view.ControlText(IDC_COUNT_STATUS_TEXT),
                  row.status.empty() ? statusBefore : row.status);
        EXPECT_EQ(HeldOf(c.core.HeldConfig()), row.held.value_or(heldBefore));
        EXPECT_TRUE(c.ProgressEnded());
    }
}

TEST(SettingsWorkflow, StartStopSendsStartThenStopAndFlipsTheState) {
    SharedSim& sim = SharedSim::With(SettingsSim());
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, START_STOP_NODE));
    ASSERT_EQ(c.view.ControlText(IDC_COUNT_STATUS_TEXT), texts::COUNTING_OFF);
    struct Step {
        int parameter;
        int32_t countingOn;
        const std::string& status;
    };
    for (const Step& step : {Step{0x28, 1, texts::COUNTING_ON}, Step{0x20, 0, texts::COUNTING_OFF},
                             Step{0x28, 1, texts::COUNTING_ON}}) {
        const size_t mark = sim.Frames().size();
        c.Press(IDC_START_STOP_BUTTON);  // returns once the reply came
        EXPECT_EQ(sim.CommandsSince(mark),
                  std::vector<std::string>{Command("PS", {step.parameter})});
        EXPECT_EQ(c.core.HeldConfig().countingOn.Load(), step.countingOn);
        EXPECT_EQ(c.view.ControlText(IDC_COUNT_STATUS_TEXT), step.status);
        EXPECT_EQ(c.view.waitCursors, 0);
    }
    EXPECT_TRUE(c.view.messages.empty());
}

// ----- Failed exchanges
// ---------------------------------------------------------------------------

// A lost reply: connecting to a 2-input unit takes 7 replies (MD, PY, PH x2, PP, PG x2), so
// --drop-every N loses the (N-7)-th reply of the step that follows. The step shows the timeout,
// and what the dialog shows and holds stays as it was before it.
TEST(SettingsWorkflow, LostReplyShowsTheTimeoutAndLeavesWhatIsShownAndHeld) {
    const auto edit = [](RecordingView& v) {
        SelectEdges(v, {2, 2});
        v.SetSelection(IDC_PERIOD_COMBO, 2);
    };
    const struct {
        const char* name;
        const char* dropEvery;
        const char* settings;  // of the unit at node 3
        std::function<void(RecordingView&)> before;
        int32_t button;
        std::vector<std::string> commands;
        const std::string& status;
    } rows[] = {
        // Every control shows something else than the unit holds, as after the operator's clicks.
        {"no reply to PP", "11", "mode=1,period=2,edges=21",
         [](RecordingView& v) { ShowOtherSettings(v, Shown(v, 2)); }, IDC_READ_SETTINGS_BUTTON,
         sequences::Read(2), "?"},
        {"second PC unanswered", "9", "mode=1,period=0,edges=11", edit, IDC_WRITE_SETTINGS_BUTTON,
         Pc({0x22, 0x22}), texts::COUNTING_OFF},
        {"PU unanswered", "10", "mode=1,period=0,edges=11", edit, IDC_WRITE_SETTINGS_BUTTON,
         Then(Pc({0x22, 0x22}), Command("PU", {0x21, 0x22, 0x20})), texts::COUNTING_OFF},
        {"start while stopped",
         "8",
         "mode=1,counting=0",
         nullptr,
         IDC_START_STOP_BUTTON,
         {Command("PS", {0x28})},
         texts::COUNTING_OFF},
        {"stop while counting",
         "8",
         "mode=1,counting=1",
         nullptr,
         IDC_START_STOP_BUTTON,
         {Command("PS", {0x20})},
         texts::COUNTING_ON},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SharedSim& sim = SharedSim::With(
            Plus(UnitOptions({{3, 2, row.settings}}), {"--drop-every", row.dropEvery}));
        CoreOnLoopback c(sim.Port());
        const size_t mark = sim.Frames().size();
        ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, 3));
        ASSERT_EQ(sim.Frames().size() - mark, 7u) << ShownCommands(sim.CommandsSince(mark));
        c.SetReplyWaitMs(300);
        if (row.before) row.before(c.view);
        c.core.UpdateControls();  // as the operator's next click leaves them
        const ShownSettings shownBefore = Shown(c.view, 2);
        const HeldSettings heldBefore = HeldOf(c.core.HeldConfig());

        c.Press(row.button);
        ASSERT_TRUE(c.view.RunUntil([&] { return c.Idle(); }));
        c.view.Settle(50);

        EXPECT_EQ(sim.CommandsSince(mark + 7), row.commands)
            << ShownCommands(sim.CommandsSince(mark + 7));
        EXPECT_EQ(c.view.messages, std::vector<std::string>{texts::TIMEOUT});
        EXPECT_EQ(Shown(c.view, 2), shownBefore);
        EXPECT_EQ(c.view.ControlText(IDC_COUNT_STATUS_TEXT), row.status);
        // The replies before the failure were stored; they were the unit's unchanged settings.
        EXPECT_EQ(HeldOf(c.core.HeldConfig()), heldBefore);
        EXPECT_TRUE(c.ProgressEnded());
        EXPECT_EQ(c.view.waitCursors, 0);
        EXPECT_TRUE(c.view.enabled[row.button]);
        EXPECT_TRUE(c.view.enabled[IDC_CONNECT_BUTTON]);
    }
}

// The unit is lost right after it took the first "PC" (the connection ends after its 8th frame
// has been answered): the second "PC" fails, and what the unit took stays taken. Connecting again
// reads DI1's new edge and DI2's old one.
TEST(SettingsWorkflow, SecondPcFailingLeavesTheFirstEdgeInTheUnit) {
    SharedSim& sim = SharedSim::With(
        Plus(UnitOptions({{3, 2, "mode=1,period=0,edges=11"}}), {"--close-after", "8"}));
    CoreOnLoopback c(sim.Port());
    const size_t mark = sim.Frames().size() + 7;
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, 3));
    c.SetReplyWaitMs(300);
    SelectEdges(c.view, {2, 2});
    const HeldSettings heldBefore = HeldOf(c.core.HeldConfig());

    RunSettingsButton(c, sim, IDC_WRITE_SETTINGS_BUTTON);

    const std::vector<std::string> sent = sim.CommandsSince(mark);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.at(0), Command("PC", {0x20, 0x22})) << ShownCommands(sent);
    for (const std::string& command : sent)
        EXPECT_NE(command.substr(0, 2), "PU");
    ASSERT_EQ(c.view.messages.size(), 1u);
    EXPECT_EQ(c.view.messages[0].rfind(texts::COMMUNICATION_ERROR, 0), 0u) << c.view.messages[0];
    EXPECT_EQ(HeldOf(c.core.HeldConfig()), heldBefore);
    EXPECT_TRUE(c.ProgressEnded());

    c.Press(IDC_CONNECT_BUTTON);  // 切断
    ASSERT_EQ(c.core.ConnState(), Disconnected);
    c.view.messages.clear();
    ASSERT_TRUE(c.Connect(3));
    ASSERT_EQ(c.core.ConnState(), Connected);
    EXPECT_EQ(Shown(c.view, 2).edges, (std::vector<int>{2, 1}));
    EXPECT_TRUE(c.view.messages.empty());
}

// ----- One settings worker at a time ------------------------------------------------------------

// Every reply comes late, so the worker is still running while the dialog is looked at.
std::vector<std::string> LateSim() {
    return Plus(UnitOptions({{3, 2, "mode=1,edges=11"},
                             {60, 2, "mode=1,edges=11"},
                             {61, 2, "mode=0,edges=11"},
                             {62, 2, "mode=1,edges=11"},
                             {63, 2, "mode=1,edges=11"}}),
                {"--delay-ms", "60"});
}

TEST(SettingsWorkflow, WorkerLocksTheButtonsAndStartsOnce) {
    const struct {
        const char* name;
        int node;
        int32_t button;
        bool countingEnabled;  // EnableCheck while the worker runs and afterwards
        std::vector<std::string> commands;
    } rows[] = {
        {"read", 60, IDC_READ_SETTINGS_BUTTON, true, sequences::Read(2)},
        // The unit's counting is off, so after the read StartStopButton stays disabled.
        {"read with counting off", 61, IDC_READ_SETTINGS_BUTTON, false, sequences::Read(2)},
        {"write", 62, IDC_WRITE_SETTINGS_BUTTON, true,
         Then(Pc({0x21, 0x21}), Command("PU", {0x21, 0x20, 0x20}))},
        {"write with counting disabled", 63, IDC_WRITE_SETTINGS_BUTTON, false,
         Then(Pc({0x21, 0x21}), Command("PU", {0x20, 0x20, 0x20}))},
    };
    constexpr int32_t LOCKED_BUTTONS[] = {IDC_START_STOP_BUTTON, IDC_CONNECT_BUTTON,
                                          IDC_READ_SETTINGS_BUTTON, IDC_WRITE_SETTINGS_BUTTON};
    SharedSim& sim = SharedSim::With(LateSim());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CoreOnLoopback c(sim.Port());
        ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, row.node));
        ASSERT_NO_FATAL_FAILURE(c.Click(IDC_ENABLE_CHECK, row.countingEnabled));
        ASSERT_EQ(c.view.enabled[IDC_START_STOP_BUTTON], row.countingEnabled);
        const size_t mark = sim.Frames().size();

        c.Press(row.button);
        // The rules refuse a second click; the handler would not start a second worker either.
        EXPECT_FALSE(c.view.enabled[row.button]);
        (c.core.*(row.button == IDC_READ_SETTINGS_BUTTON ? &DialogCore::OnReadSettings
                                                         : &DialogCore::OnApplySettings))();
        EXPECT_EQ(c.Workers(), 1);

        // Until the unit has the worker's last command, the worker is still waiting for a reply.
        bool everUnlocked = false;
        EXPECT_TRUE(c.view.RunUntil([&] {
            for (int32_t id : LOCKED_BUTTONS)
                everUnlocked = everUnlocked || c.view.enabled[id];
            return sim.Frames().size() >= mark + row.commands.size();
        }));
        for (int32_t id : LOCKED_BUTTONS)
            EXPECT_FALSE(c.view.enabled[id]) << "control " << id;
        ASSERT_TRUE(c.view.RunUntil([&] { return c.Idle(); }));
        c.view.Settle(200);  // a second worker would have sent its first frame by now

        EXPECT_FALSE(everUnlocked);
        EXPECT_EQ(c.view.trace, (std::vector<std::string>{"busy", "idle"}));
        EXPECT_EQ(sim.CommandsSince(mark), row.commands) << ShownCommands(sim.CommandsSince(mark));
        EXPECT_TRUE(c.view.messages.empty());
        EXPECT_TRUE(c.view.enabled[IDC_CONNECT_BUTTON]);
        EXPECT_TRUE(c.view.enabled[IDC_READ_SETTINGS_BUTTON]);
        EXPECT_TRUE(c.view.enabled[IDC_WRITE_SETTINGS_BUTTON]);
        EXPECT_EQ(c.view.enabled[IDC_START_STOP_BUTTON], row.countingEnabled);
    }
}

// The end of a connection may enable the settings buttons again while a settings worker runs; a
// click that gets through then must still not start a second exchange.
TEST(SettingsWorkflow, HandlersStartNothingWhileASettingsWorkerRuns) {
    SharedSim& sim = SharedSim::With(LateSim());
    CoreOnLoopback c(sim.Port());
    ASSERT_NO_FATAL_FAILURE(c.ConnectUnit(sim, 3));
    const size_t mark = sim.Frames().size();
    c.core.OnReadSettings();
    ASSERT_EQ(c.Workers(), 1);
    c.core.OnReadSettings();
    c.core.OnApplySettings();
    c.core.OnStartStop();
    EXPECT_EQ(c.Workers(), 1);
    ASSERT_TRUE(c.view.RunUntil([&] { return c.Idle(); }));
    c.view.Settle(200);
    EXPECT_EQ(sim.CommandsSince(mark), sequences::Read(2))
        << ShownCommands(sim.CommandsSince(mark));
    EXPECT_TRUE(c.view.messages.empty());
    c.core.OnReadSettings();  // free again once the worker has ended
    ASSERT_TRUE(c.view.RunUntil([&] { return c.Idle(); }));
    EXPECT_EQ(sim.CommandsSince(mark).size(), 2 * sequences::Read(2).size())
        << ShownCommands(sim.CommandsSince(mark));
}

}  // namespace
