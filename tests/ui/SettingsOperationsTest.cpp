// Reading, writing, starting and stopping the unit's pulse counting through the dialog, against
// velkor-sim on loopback. The frames are taken from the simulator's log; the expected bytes and
// texts are written out here, never taken from the program's own tables.
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QTest>
#include <array>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>

#include "SimFixture.h"
#include "dialog/ControlIds.h"

namespace {

// Default units of velkor-sim: node 1 has 5 pulse inputs, node 2 has 3, node 3 has 2.
constexpr int FIVE_INPUTS = 1;
constexpr int THREE_INPUTS = 2;
constexpr int TWO_INPUTS = 3;

const QString TIMEOUT_TEXT = "通信エラー : 20003(タイムアウト)";
const QString FIRST_PAIR_TEXT = "エンコーダモードではDI1、DI2はセットで有効にする必要があります。";
const QString SECOND_PAIR_TEXT = "エンコーダモードではDI4、DI5はセットで有効にする必要があります。";
const QString Z_PHASE_TEXT = "Z相を有効にした場合、DI3を有効にする必要があります。";

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
    QString status;

    bool operator==(const ShownSettings&) const = default;
};

void PrintTo(const ShownSettings& s, std::ostream* out) {
    *out << "{enable " << s.enabled << ", single " << s.singlePhase << ", two " << s.twoPhase
         << ", x2 " << s.x2 << ", x4 " << s.x4 << ", clear " << s.clearSignal << ", period "
         << s.period << ", debounce " << s.debounce << ", edges";
    for (int e : s.edges)
        *out << ' ' << e;
    *out << ", \"" << s.status.toStdString() << "\"}";
}

// The held settings: mode, clear signal, five edges, period, debounce, counting on.
using HeldSettings = std::array<int32_t, 10>;

HeldSettings HeldOf(const PulseConfig& c) {
    return {c.mode,    c.clearSignal, c.edge[0], c.edge[1],  c.edge[2],
            c.edge[3], c.edge[4],     c.period,  c.debounce, c.countingOn};
}

class SettingsOperationsTest : public SimFixture {
public:
    // The operator's hand, for the steps of the test tables.
    CVelkorDlg& Dialog() { return *dialog; }

    // Checks or clears a check box (or checks a radio button) by clicking its indicator.
    void SetCheckByClick(int32_t id, bool checked) {
        if (dialog->IsChecked(id) != checked) Click(id);
        ASSERT_EQ(dialog->IsChecked(id), checked) << "control " << id;
    }

    void SelectEdges(const std::vector<int>& edges) {
        for (size_t i = 0; i < edges.size(); ++i)
            dialog->SetSelection(IDC_EDGE_COMBO[i], edges[i]);
    }

protected:
    ShownSettings Shown(int inputs) {
        CVelkorDlg& d = *dialog;
        ShownSettings s{d.IsChecked(IDC_ENABLE_CHECK),
                        d.IsChecked(IDC_SINGLE_PHASE_RADIO),
                        d.IsChecked(IDC_TWO_PHASE_RADIO),
                        d.IsChecked(IDC_X2_RADIO),
                        d.IsChecked(IDC_X4_RADIO),
                        d.IsChecked(IDC_CLEAR_SIGNAL_CHECK),
                        d.Selection(IDC_PERIOD_COMBO),
                        d.Selection(IDC_DEBOUNCE_COMBO),
                        {},
                        QString::fromStdString(d.ControlText(IDC_COUNT_STATUS_TEXT))};
        for (int i = 0; i < inputs; ++i)
            s.edges.push_back(d.Selection(IDC_EDGE_COMBO[i]));
        return s;
    }

    // Puts every settings control into a state that differs from `unlike`.
    void ShowOtherSettings(const ShownSettings& unlike) {
        CVelkorDlg& d = *dialog;
        d.SetChecked(IDC_ENABLE_CHECK, !unlike.enabled);
        d.SetChecked(unlike.twoPhase ? IDC_SINGLE_PHASE_RADIO : IDC_TWO_PHASE_RADIO, true);
        d.SetChecked(unlike.x4 ? IDC_X2_RADIO : IDC_X4_RADIO, true);
        d.SetChecked(IDC_CLEAR_SIGNAL_CHECK, !unlike.clearSignal);
        d.SetSelection(IDC_PERIOD_COMBO, (unlike.period + 1) % 5);
        d.SetSelection(IDC_DEBOUNCE_COMBO, unlike.debounce == 5 ? 6 : 5);
        for (size_t i = 0; i < unlike.edges.size(); ++i)
            d.SetSelection(IDC_EDGE_COMBO[i], (unlike.edges[i] + 1) % 3);
        d.SetControlText(IDC_COUNT_STATUS_TEXT, "?");
    }

    bool ProgressEnded() {
        return !dialog->IsShown(IDC_PROGRESS_BAR) && dialog->IsShown(IDC_VERSION_TEXT);
    }

    // Clicks a settings button and waits for its worker; the commands it sent.
    std::vector<std::string> RunSettingsButton(int32_t id) {
        const size_t mark = ReceivedFrames().size();
        Click(id);
        EXPECT_TRUE(WaitForWorkers());
        return ReceivedCommands(mark);
    }
};

// ----- Reading --------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    int node;
    const char* unitSettings;  // velkor-sim --settings
    ShownSettings expected;
    std::vector<std::string> commands;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<std::string> ReadCommands(int inputs) {
    std::vector<std::string> commands{Command("PY")};
    for (int i = 0; i < inputs; ++i)
        commands.push_back(Command("PH", {P(i)}));
    commands.push_back(Command("PP"));
    return commands;
}

std::vector<ReadCase> ReadCases() {
    return {
        {"TwoInputsSinglePhase",
         TWO_INPUTS,
         "mode=1,clear=0,period=2,debounce=3,edges=21,counting=1",
         {true, true, false, true, false, false, 2, 2, {2, 1}, "PULSE COUNT ON"},
         {Command("PY"), Command("PH", {0x20}), Command("PH", {0x21}), Command("PP")}},
        {"TwoPhaseX4WithZPhase",
         FIVE_INPUTS,
         "mode=3,clear=1,period=4,debounce=0,edges=11011",
         {true, false, true, false, true, true, 4, 0, {1, 1, 0, 1, 1}, "PULSE COUNT OFF"},
         ReadCommands(5)},
        // Two-phase: the debounce list goes back to its first entry, whatever the unit holds.
        {"TwoPhaseX2",
         THREE_INPUTS,
         "mode=2,clear=0,period=3,debounce=4,edges=110,counting=1",
         {true, false, true, true, false, false, 3, 0, {1, 1, 0}, "PULSE COUNT ON"},
         ReadCommands(3)},
        // Debounce value 1 has no entry of its own and shows as the first one, "なし".
        {"DebounceOneShowsNone",
         THREE_INPUTS,
         "mode=1,period=1,debounce=1,edges=012",
         {true, true, false, true, false, false, 1, 0, {0, 1, 2}, "PULSE COUNT OFF"},
         ReadCommands(3)},
        {"DebounceTenIsLastEntry",
         TWO_INPUTS,
         "mode=1,period=0,debounce=10,edges=12",
         {true, true, false, true, false, false, 0, 9, {1, 2}, "PULSE COUNT OFF"},
         ReadCommands(2)},
        // Counting off: the unit's debounce stays; a clear-signal bit without two-phase is no
        // clear signal.
        {"CountingOffIgnoresClearBit",
         TWO_INPUTS,
         "flags=4,period=0,debounce=6,edges=00",
         {false, true, false, true, false, false, 0, 5, {0, 0}, "PULSE COUNT OFF"},
         ReadCommands(2)},
        // Values without an entry leave their list without a selection.
        {"ValuesWithoutEntry",
         TWO_INPUTS,
         "mode=1,period=7,debounce=12,edges=31",
         {true, true, false, true, false, false, -1, -1, {-1, 1}, "PULSE COUNT OFF"},
         ReadCommands(2)},
        // A negative debounce value shows as "なし", as 0 and 1 do.
        {"NegativeDebounceShowsNone",
         TWO_INPUTS,
         "mode=1,period=1,rawdebounce=0x1F,edges=11",
         {true, true, false, true, false, false, 1, 0, {1, 1}, "PULSE COUNT OFF"},
         ReadCommands(2)},
    };
}

class ReadSettingsTest : public SettingsOperationsTest,
                         public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadSettingsTest, SendsTheReadSequenceAndShowsWhatTheUnitHolds) {
    const ReadCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(
        StartSim({"--settings", std::to_string(c.node) + ":" + c.unitSettings}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(c.node));
    const int inputs = static_cast<int>(c.expected.edges.size());
    ASSERT_EQ(Inside().InputCount().load(), inputs);

    ShowOtherSettings(c.expected);
    ASSERT_NE(Shown(inputs), c.expected);
    const std::vector<std::string> sent = RunSettingsButton(IDC_READ_SETTINGS_BUTTON);

    EXPECT_EQ(sent, c.commands) << ShownCommands(sent);
    EXPECT_EQ(Shown(inputs), c.expected);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(ProgressEnded());
    if (c.expected.debounce == 0) {
        EXPECT_EQ(dialog->Text(IDC_DEBOUNCE_COMBO), QString("なし"));
    }
}

INSTANTIATE_TEST_SUITE_P(Units, ReadSettingsTest, testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Connecting to a 2-input unit takes 7 replies (MD, PY, PH x2, PP, PG x2); the read that follows
// loses its 4th, the one to "PP".
TEST_F(SettingsOperationsTest, NoReplyToPpShowsTimeoutAndKeepsTheControls) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,period=2,edges=21",  //
                                      "--drop-every", "11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    ASSERT_EQ(ReceivedFrames().size(), 7u) << ShownCommands(ReceivedCommands());
    SetReplyWaitMs(300);

    ShowOtherSettings(Shown(2));
    // As the operator's next click leaves them: the rules run after every result.
    dialog->Core().UpdateControls();
    const ShownSettings before = Shown(2);
    const HeldSettings heldBefore = HeldOf(dialog->Core().HeldConfig());
    const std::vector<std::string> sent = RunSettingsButton(IDC_READ_SETTINGS_BUTTON);

    EXPECT_EQ(sent, ReadCommands(2)) << ShownCommands(sent);
    EXPECT_EQ(messages, std::vector<QString>{TIMEOUT_TEXT});
    EXPECT_EQ(Shown(2), before);
    // The replies before the failure were stored; they were the unit's unchanged settings.
    EXPECT_EQ(HeldOf(dialog->Core().HeldConfig()), heldBefore);
    EXPECT_TRUE(ProgressEnded());
    EXPECT_TRUE(dialog->IsEnabled(IDC_READ_SETTINGS_BUTTON));
    EXPECT_TRUE(dialog->IsEnabled(IDC_CONNECT_BUTTON));
}

// ----- Applying ---------------------------------------------------------------------------------

struct ApplyCase {
    const char* name;
    int node;
    const char* unitSettings;
    // Clicks and selections of the operator; the dialog starts with the unit's settings.
    std::function<void(SettingsOperationsTest&)> edit;
    std::vector<std::string> commands;  // empty: nothing may be sent
    std::vector<QString> messages;
    QString status;  // empty: unchanged
    // The held settings afterwards (mode, clear, edges 0-4, period, debounce, counting on);
    // nullopt: unchanged.
    std::optional<HeldSettings> held;
};

void PrintTo(const ApplyCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<ApplyCase> ApplyCases() {
    return {
        {"TwoInputsSinglePhase",
         TWO_INPUTS,
         "mode=1,edges=11",
         [](auto& t) {
             t.SelectEdges({2, 1});
             t.Dialog().SetSelection(IDC_PERIOD_COMBO, 3);
             t.Dialog().SetSelection(IDC_DEBOUNCE_COMBO, 2);
         },
         {Command("PC", {0x20, 0x22}), Command("PC", {0x21, 0x21}),
          Command("PU", {0x21, 0x23, 0x23})},
         {},
         "PULSE COUNT ON",
         HeldSettings{1, 0, 2, 1, 0, 0, 0, 3, 3, 1}},
        // The clear signal stays checked (and disabled) after going back to single-phase.
        {"SinglePhaseWithClearSignalStillChecked",
         THREE_INPUTS,
         "mode=1,edges=111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SetCheckByClick(IDC_CLEAR_SIGNAL_CHECK, true);
             t.SetCheckByClick(IDC_SINGLE_PHASE_RADIO, true);
             t.Dialog().SetSelection(IDC_PERIOD_COMBO, 0);
         },
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}), Command("PC", {0x22, 0x21}),
          Command("PU", {0x25, 0x20, 0x20})},
         {},
         "PULSE COUNT OFF",
         HeldSettings{1, 1, 1, 1, 1, 0, 0, 0, 0, 0}},
        {"TwoPhaseX4WithZPhaseOnFiveInputs",
         FIVE_INPUTS,
         "mode=1,edges=11111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SetCheckByClick(IDC_X4_RADIO, true);
             t.SetCheckByClick(IDC_CLEAR_SIGNAL_CHECK, true);
             t.SelectEdges({1, 1, 2, 2, 2});
             t.Dialog().SetSelection(IDC_PERIOD_COMBO, 1);
         },
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}), Command("PC", {0x22, 0x22}),
          Command("PC", {0x23, 0x22}), Command("PC", {0x24, 0x22}),
          Command("PU", {0x2F, 0x21, 0x20})},
         {},
         "PULSE COUNT ON",
         HeldSettings{3, 1, 1, 1, 2, 2, 2, 1, 0, 1}},
        // A fixed period counts at once, even with counting disabled.
        {"FixedPeriodWithCountingDisabled",
         TWO_INPUTS,
         "mode=1,edges=12,counting=0",
         [](auto& t) {
             t.SetCheckByClick(IDC_ENABLE_CHECK, false);
             t.Dialog().SetSelection(IDC_PERIOD_COMBO, 4);
         },
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x22}),
          Command("PU", {0x20, 0x24, 0x20})},
         {},
         "PULSE COUNT ON",
         HeldSettings{0, 0, 1, 2, 0, 0, 0, 4, 0, 1}},
        {"StartStopPeriodShowsCountingOff",
         TWO_INPUTS,
         "mode=1,period=2,edges=11,counting=1",
         [](auto& t) { t.Dialog().SetSelection(IDC_PERIOD_COMBO, 0); },
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}),
          Command("PU", {0x21, 0x20, 0x20})},
         {},
         "PULSE COUNT OFF",
         HeldSettings{1, 0, 1, 1, 0, 0, 0, 0, 0, 0}},
        // Values the lists have no entry for are sent back as the unit reported them.
        {"ValuesWithoutEntrySentUnchanged",
         TWO_INPUTS,
         "mode=1,period=7,debounce=12,edges=31",
         [](auto&) {},
         {Command("PC", {0x20, 0x23}), Command("PC", {0x21, 0x21}),
          Command("PU", {0x21, 0x27, 0x2C})},
         {},
         "PULSE COUNT ON",
         HeldSettings{1, 0, 3, 1, 0, 0, 0, 7, 12, 1}},
        // Whatever byte the unit reported goes back as that byte, also one that no value OR
        // 0x20 gives: 0x40 is not START-STOP, 0x05 not 0xE5. A debounce below 0 (0x1F) is
        // "なし" and goes as 0x20.
        {"ReportedBytesAboveTheListsSentUnchanged",
         TWO_INPUTS,
         "mode=1,rawperiod=0x40,rawdebounce=0x1F,rawedge1=0x05,rawedge2=0x40",
         [](auto&) {},
         {Command("PC", {0x20, 0x05}), Command("PC", {0x21, 0x40}),
          Command("PU", {0x21, 0x40, 0x20})},
         {},
         "PULSE COUNT ON",
         HeldSettings{1, 0, -27, 32, 0, 0, 0, 32, 0, 1}},
        {"ReportedBytesBelowTheBaseSentUnchanged",
         TWO_INPUTS,
         "mode=1,rawperiod=0x1F,rawdebounce=0xFF,rawedge1=0xFF,rawedge2=0x01",
         [](auto&) {},
         {Command("PC", {0x20, 0xFF}), Command("PC", {0x21, 0x01}),
          Command("PU", {0x21, 0x1F, 0xFF})},
         {},
         "PULSE COUNT ON",
         HeldSettings{1, 0, 223, -31, 0, 0, 0, -1, 223, 1}},
        // Only what the operator left alone goes back as reported: a chosen entry is sent.
        {"ChosenEntriesReplaceReportedBytes",
         TWO_INPUTS,
         "mode=1,rawperiod=0x40,rawdebounce=0x1F,rawedge1=0x05,rawedge2=0x40",
         [](auto& t) {
             t.SelectEdges({2, 0});
             t.Dialog().SetSelection(IDC_DEBOUNCE_COMBO, 9);
         },
         {Command("PC", {0x20, 0x22}), Command("PC", {0x21, 0x20}),
          Command("PU", {0x21, 0x40, 0x2A})},
         {},
         "PULSE COUNT ON",
         HeldSettings{1, 0, 2, 0, 0, 0, 0, 32, 10, 1}},
        // DI5 rising through the apply path: "PC" with 0x24 and 0x21.
        {"Di5RisingAlone",
         FIVE_INPUTS,
         "mode=1,edges=22222",
         [](auto& t) {
             t.SelectEdges({0, 0, 0, 0, 1});
         },
         {Command("PC", {0x20, 0x20}), Command("PC", {0x21, 0x20}), Command("PC", {0x22, 0x20}),
          Command("PC", {0x23, 0x20}), Command("PC", {0x24, 0x21}),
          Command("PU", {0x21, 0x20, 0x20})},
         {},
         "PULSE COUNT OFF",
         HeldSettings{1, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
        // Single-phase: the encoder pairs are not checked.
        {"SinglePhaseNeedsNoPairs",
         FIVE_INPUTS,
         "mode=1,edges=11111",
         [](auto& t) {
             t.SelectEdges({1, 0, 0, 2, 0});
         },
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x20}), Command("PC", {0x22, 0x20}),
          Command("PC", {0x23, 0x22}), Command("PC", {0x24, 0x20}),
          Command("PU", {0x21, 0x20, 0x20})},
         {},
         "PULSE COUNT OFF",
         HeldSettings{1, 0, 1, 0, 0, 2, 0, 0, 0, 0}},
        {"FirstPairHalfEnabled",
         TWO_INPUTS,
         "mode=1,edges=11",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SelectEdges({1, 0});
         },
         {},
         {FIRST_PAIR_TEXT},
         {},
         std::nullopt},
        {"FirstPairOtherHalfEnabled",
         FIVE_INPUTS,
         "mode=1,edges=11111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SelectEdges({0, 2, 1, 1, 1});
         },
         {},
         {FIRST_PAIR_TEXT},
         {},
         std::nullopt},
        {"SecondPairHalfEnabled",
         FIVE_INPUTS,
         "mode=1,edges=11111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SetCheckByClick(IDC_X4_RADIO, true);
             t.SelectEdges({1, 1, 1, 0, 2});
         },
         {},
         {SECOND_PAIR_TEXT},
         {},
         std::nullopt},
        // Both pairs wrong: the first check ends it.
        {"BothPairsHalfEnabled",
         FIVE_INPUTS,
         "mode=1,edges=11111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SelectEdges({1, 0, 1, 1, 0});
         },
         {},
         {FIRST_PAIR_TEXT},
         {},
         std::nullopt},
        {"SecondPairBothOffPasses",
         FIVE_INPUTS,
         "mode=1,edges=11111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SelectEdges({2, 2, 1, 0, 0});
         },
         {Command("PC", {0x20, 0x22}), Command("PC", {0x21, 0x22}), Command("PC", {0x22, 0x21}),
          Command("PC", {0x23, 0x20}), Command("PC", {0x24, 0x20}),
          Command("PU", {0x23, 0x20, 0x20})},
         {},
         "PULSE COUNT OFF",
         HeldSettings{2, 0, 2, 2, 1, 0, 0, 0, 0, 0}},
        // A unit with three inputs has no second pair: what the hidden lists and the held record
        // hold for DI4 and DI5 is not checked.
        {"ThreeInputsHaveNoSecondPair",
         THREE_INPUTS,
         "mode=1,edges=111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.Dialog().SetSelection(IDC_EDGE_COMBO[3], 1);
             t.Dialog().SetSelection(IDC_EDGE_COMBO[4], 0);
             t.Dialog().Core().HeldConfig().edge[3] = 1;
             t.Dialog().Core().HeldConfig().edge[4] = 0;
         },
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}), Command("PC", {0x22, 0x21}),
          Command("PU", {0x23, 0x20, 0x20})},
         {},
         "PULSE COUNT OFF",
         HeldSettings{2, 0, 1, 1, 1, 1, 0, 0, 0, 0}},
        // The Z phase without DI3 only warns; the settings are written after the message.
        {"ZPhaseWithoutDi3Warns",
         THREE_INPUTS,
         "mode=1,edges=111",
         [](auto& t) {
             t.SetCheckByClick(IDC_TWO_PHASE_RADIO, true);
             t.SetCheckByClick(IDC_CLEAR_SIGNAL_CHECK, true);
             t.SelectEdges({1, 1, 0});
             t.Dialog().SetSelection(IDC_PERIOD_COMBO, 2);
         },
         {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}), Command("PC", {0x22, 0x20}),
          Command("PU", {0x27, 0x22, 0x20})},
         {Z_PHASE_TEXT},
         "PULSE COUNT ON",
         HeldSettings{2, 1, 1, 1, 0, 0, 0, 2, 0, 1}},
    };
}

class ApplySettingsTest : public SettingsOperationsTest,
                          public testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplySettingsTest, SendsTheSettingsOrStopsAtAnEncoderCheck) {
    const ApplyCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(
        StartSim({"--settings", std::to_string(c.node) + ":" + c.unitSettings}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(c.node));
    ASSERT_NO_FATAL_FAILURE(c.edit(*this));
    const HeldSettings heldBefore = HeldOf(dialog->Core().HeldConfig());
    const QString statusBefore = dialog->Text(IDC_COUNT_STATUS_TEXT);

    const size_t mark = ReceivedFrames().size();
    Click(IDC_WRITE_SETTINGS_BUTTON);
    ASSERT_TRUE(WaitForWorkers());
    Settle(50);  // nothing may follow late

    const std::vector<std::string> sent = ReceivedCommands(mark);
    EXPECT_EQ(sent, c.commands) << ShownCommands(sent);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(dialog->Text(IDC_COUNT_STATUS_TEXT), c.status.isEmpty() ? statusBefore : c.status);
    EXPECT_EQ(HeldOf(dialog->Core().HeldConfig()), c.held.value_or(heldBefore));
    EXPECT_TRUE(ProgressEnded());
}

INSTANTIATE_TEST_SUITE_P(Settings, ApplySettingsTest, testing::ValuesIn(ApplyCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A failed exchange in the middle of writing: the replies of a 2-input unit's connection are 7,
// so the 9th is the second "PC" and the 10th the "PU".
struct WriteFailureCase {
    const char* name;
    const char* dropEvery;
    std::vector<std::string> commands;
};

void PrintTo(const WriteFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class WriteFailureTest : public SettingsOperationsTest,
                         public testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailureTest, ShowsTheErrorAndKeepsTheHeldSettings) {
    const WriteFailureCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(
        StartSim({"--settings", "3:mode=1,period=0,edges=11", "--drop-every", c.dropEvery}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    ASSERT_EQ(ReceivedFrames().size(), 7u) << ShownCommands(ReceivedCommands());
    SetReplyWaitMs(300);
    SelectEdges({2, 2});
    dialog->SetSelection(IDC_PERIOD_COMBO, 2);
    const HeldSettings heldBefore = HeldOf(dialog->Core().HeldConfig());

    const std::vector<std::string> sent = RunSettingsButton(IDC_WRITE_SETTINGS_BUTTON);
    Settle(50);

    EXPECT_EQ(ReceivedCommands(7), c.commands) << ShownCommands(sent);
    EXPECT_EQ(messages, std::vector<QString>{TIMEOUT_TEXT});
    EXPECT_EQ(HeldOf(dialog->Core().HeldConfig()), heldBefore);
    EXPECT_EQ(dialog->Text(IDC_COUNT_STATUS_TEXT), QString("PULSE COUNT OFF"));
    EXPECT_TRUE(ProgressEnded());
    EXPECT_TRUE(dialog->IsEnabled(IDC_WRITE_SETTINGS_BUTTON));
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, WriteFailureTest,
    testing::Values(WriteFailureCase{"SecondPcUnanswered",
                                     "9",
                                     {Command("PC", {0x20, 0x22}), Command("PC", {0x21, 0x22})}},
                    WriteFailureCase{"PuUnanswered",
                                     "10",
                                     {Command("PC", {0x20, 0x22}), Command("PC", {0x21, 0x22}),
                                      Command("PU", {0x21, 0x22, 0x20})}}),
    [](const auto& info) { return std::string(info.param.name); });

// The unit is lost right after it took the first "PC" (the connection ends after its 8th frame
// has been answered): the second "PC" fails, and what the unit took stays taken. Connecting again
// reads DI1's new edge and DI2's old one.
TEST_F(SettingsOperationsTest, SecondPcFailingLeavesTheFirstEdgeInTheUnit) {
    ASSERT_NO_FATAL_FAILURE(
        StartSim({"--settings", "3:mode=1,period=0,edges=11", "--close-after", "8"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    SetReplyWaitMs(300);
    SelectEdges({2, 2});
    const HeldSettings heldBefore = HeldOf(dialog->Core().HeldConfig());

    RunSettingsButton(IDC_WRITE_SETTINGS_BUTTON);

    EXPECT_EQ(ReceivedCommands(7).at(0), Command("PC", {0x20, 0x22}))
        << ShownCommands(ReceivedCommands(7));
    for (const std::string& command : ReceivedCommands(7))
        EXPECT_NE(command.substr(0, 2), "PU");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("通信エラー : ")) << messages[0].toStdString();
    EXPECT_EQ(HeldOf(dialog->Core().HeldConfig()), heldBefore);
    EXPECT_TRUE(ProgressEnded());

    Click(IDC_CONNECT_BUTTON);  // 切断
    ASSERT_EQ(Inside().ConnState().load(), Disconnected);
    messages.clear();
    ASSERT_EQ(ConnectThroughUi(TWO_INPUTS), Connected);
    EXPECT_EQ(Shown(2).edges, (std::vector<int>{2, 1}));
    EXPECT_TRUE(messages.empty());
}

// ----- Start/stop -------------------------------------------------------------------------------

TEST_F(SettingsOperationsTest, StartStopSendsStartThenStopAndFlipsTheState) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,period=0,counting=0"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    ASSERT_EQ(dialog->Text(IDC_COUNT_STATUS_TEXT), QString("PULSE COUNT OFF"));

    struct Step {
        int parameter;
        int32_t countingOn;
        const char* status;
    };
    for (const Step& step : {Step{0x28, 1, "PULSE COUNT ON"}, Step{0x20, 0, "PULSE COUNT OFF"},
                             Step{0x28, 1, "PULSE COUNT ON"}}) {
        const size_t mark = ReceivedFrames().size();
        Click(IDC_START_STOP_BUTTON);  // returns once the reply came: the wait blocks the click
        EXPECT_EQ(ReceivedCommands(mark),
                  std::vector<std::string>{Command("PS", {step.parameter})});
        EXPECT_EQ(dialog->Core().HeldConfig().countingOn.Load(), step.countingOn);
        EXPECT_EQ(dialog->Text(IDC_COUNT_STATUS_TEXT), QString(step.status));
    }
    EXPECT_TRUE(messages.empty());
}

// The wait blocks the window for up to 10 s: the cursor tells the operator so, and only then.
TEST_F(SettingsOperationsTest, StartStopShowsTheWaitCursorWhileItWaits) {
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

struct StartStopFailureCase {
    const char* name;
    const char* counting;
    int parameter;
    const char* status;
};

void PrintTo(const StartStopFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class StartStopFailureTest : public SettingsOperationsTest,
                             public testing::WithParamInterface<StartStopFailureCase> {};

// The 8th reply, the one to "PS", is lost.
TEST_P(StartStopFailureTest, ErrorLeavesStateAndTextAsTheyWere) {
    const StartStopFailureCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSim(
        {"--settings", std::string("3:mode=1,counting=") + c.counting, "--drop-every", "8"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    ASSERT_EQ(ReceivedFrames().size(), 7u);
    SetReplyWaitMs(300);
    const int32_t countingBefore = dialog->Core().HeldConfig().countingOn;

    Click(IDC_START_STOP_BUTTON);

    EXPECT_EQ(ReceivedCommands(7), std::vector<std::string>{Command("PS", {c.parameter})});
    EXPECT_EQ(messages, std::vector<QString>{TIMEOUT_TEXT});
    EXPECT_EQ(dialog->Core().HeldConfig().countingOn.Load(), countingBefore);
    EXPECT_EQ(dialog->Text(IDC_COUNT_STATUS_TEXT), QString(c.status));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    States, StartStopFailureTest,
    testing::Values(StartStopFailureCase{"WhileStopped", "0", 0x28, "PULSE COUNT OFF"},
                    StartStopFailureCase{"WhileCounting", "1", 0x20, "PULSE COUNT ON"}),
    [](const auto& info) { return std::string(info.param.name); });

// ----- One settings worker at a time ------------------------------------------------------------

struct WorkerCase {
    const char* name;
    const char* unitSettings;  // of the 2-input unit
    int32_t button;
    bool countingEnabled;  // EnableCheck while the worker runs and afterwards
    std::vector<std::string> commands;
};

void PrintTo(const WorkerCase& c, std::ostream* out) {
    *out << c.name;
}

class SettingsWorkerTest : public SettingsOperationsTest,
                           public testing::WithParamInterface<WorkerCase> {};

constexpr int32_t LOCKED_BUTTONS[] = {IDC_START_STOP_BUTTON, IDC_CONNECT_BUTTON,
                                      IDC_READ_SETTINGS_BUTTON, IDC_WRITE_SETTINGS_BUTTON};

// Every reply comes late, so the worker is still running while the dialog is looked at.
TEST_P(SettingsWorkerTest, LocksTheButtonsAndStartsOnceOnADoubleClick) {
    const WorkerCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSim(
        {"--settings", std::string("3:") + c.unitSettings + ",edges=11", "--delay-ms", "60"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    ASSERT_NO_FATAL_FAILURE(SetCheckByClick(IDC_ENABLE_CHECK, c.countingEnabled));
    ASSERT_EQ(dialog->IsEnabled(IDC_START_STOP_BUTTON), c.countingEnabled);
    const size_t mark = ReceivedFrames().size();

    auto* button = ControlAs<QAbstractButton>(c.button);
    QTest::mouseDClick(button, Qt::LeftButton);
    Click(c.button);
    EXPECT_EQ(Inside().RunningWorkers(), 1);

    // Until the unit has the worker's last command, the worker is still waiting for a reply.
    bool everUnlocked = false;
    bool progressShown = false;
    const bool lastCommandSent = WaitUntil(
        [&] {
            for (int32_t id : LOCKED_BUTTONS)
                everUnlocked = everUnlocked || dialog->IsEnabled(id);
            progressShown = progressShown || dialog->IsShown(IDC_PROGRESS_BAR);
            return ReceivedFrames().size() >= mark + c.commands.size();
        },
        10000);
    EXPECT_TRUE(lastCommandSent);
    for (int32_t id : LOCKED_BUTTONS)
        EXPECT_FALSE(dialog->IsEnabled(id)) << "control " << id;
    ASSERT_TRUE(WaitForWorkers());
    Settle(200);  // a second worker would have sent its first frame by now

    EXPECT_FALSE(everUnlocked);
    EXPECT_TRUE(progressShown);
    EXPECT_EQ(ReceivedCommands(mark), c.commands) << ShownCommands(ReceivedCommands(mark));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(dialog->IsEnabled(IDC_CONNECT_BUTTON));
    EXPECT_TRUE(dialog->IsEnabled(IDC_READ_SETTINGS_BUTTON));
    EXPECT_TRUE(dialog->IsEnabled(IDC_WRITE_SETTINGS_BUTTON));
    EXPECT_EQ(dialog->IsEnabled(IDC_START_STOP_BUTTON), c.countingEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, SettingsWorkerTest,
    testing::Values(WorkerCase{"Read", "mode=1", IDC_READ_SETTINGS_BUTTON, true, ReadCommands(2)},
                    // The unit's counting is off, so after the read StartStopButton stays disabled.
                    WorkerCase{"ReadWithCountingOff", "mode=0", IDC_READ_SETTINGS_BUTTON, false,
                               ReadCommands(2)},
                    WorkerCase{"Write",
                               "mode=1",
                               IDC_WRITE_SETTINGS_BUTTON,
                               true,
                               {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}),
                                Command("PU", {0x21, 0x20, 0x20})}},
                    WorkerCase{"WriteWithCountingDisabled",
                               "mode=1",
                               IDC_WRITE_SETTINGS_BUTTON,
                               false,
                               {Command("PC", {0x20, 0x21}), Command("PC", {0x21, 0x21}),
                                Command("PU", {0x20, 0x20, 0x20})}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The end of a connection may enable the settings buttons again while a settings worker runs; a
// click that gets through then must still not start a second exchange.
TEST_F(SettingsOperationsTest, HandlersStartNothingWhileASettingsWorkerRuns) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11", "--delay-ms", "60"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    const size_t mark = ReceivedFrames().size();
    dialog->Core().OnReadSettings();
    ASSERT_EQ(Inside().RunningWorkers(), 1);
    dialog->Core().OnReadSettings();
    dialog->Core().OnApplySettings();
    dialog->Core().OnStartStop();
    EXPECT_EQ(Inside().RunningWorkers(), 1);
    ASSERT_TRUE(WaitForWorkers());
    Settle(200);
    EXPECT_EQ(ReceivedCommands(mark), ReadCommands(2)) << ShownCommands(ReceivedCommands(mark));
    EXPECT_TRUE(messages.empty());
    dialog->Core().OnReadSettings();  // free again once the worker has ended
    ASSERT_TRUE(WaitForWorkers());
    EXPECT_EQ(ReceivedCommands(mark).size(), 2 * ReadCommands(2).size())
        << ShownCommands(ReceivedCommands(mark));
}

}  // namespace
