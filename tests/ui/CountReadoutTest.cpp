// The count readout and auto-update of the dialog against velkor-sim on loopback: which requests
// go out (from the simulator's log), what the displays show, and how auto-update starts, ticks and
// stops. A "second" of the interval is shortened through the dialog's timing.
#include <QElapsedTimer>
#include <array>
#include <climits>
#include <csignal>
#include <optional>
#include <ostream>

#include "SimFixture.h"
#include "dialog/ControlIds.h"
#include "dialog/UiTiming.h"

namespace {

// Default units of velkor-sim: node 1 has 5 pulse inputs, node 2 has 3, node 3 has 2.
constexpr int FIVE_INPUTS = 1;
constexpr int THREE_INPUTS = 2;
constexpr int TWO_INPUTS = 3;

const QString EMPTY_INTERVAL_TEXT = "自動更新時間を入力してください。";
const QString INTERVAL_RANGE_TEXT = "自動更新間隔は 1 - 3600 秒の範囲で設定してください。";
const QString PLACEHOLDER = "old";

using Texts = std::array<QString, 5>;

std::vector<std::string> CountRequests(std::initializer_list<int> parameters) {
    std::vector<std::string> commands;
    for (int parameter : parameters)
        commands.push_back(Command("PG", {parameter}));
    return commands;
}

// Presets the counts of a node's inputs to base+1, base+2, ...
std::vector<std::string> PresetCounts(int node, int base, int inputs) {
    std::vector<std::string> args;
    for (int i = 0; i < inputs; ++i) {
        args.push_back("--count");
        args.push_back(std::to_string(node) + ":" + std::to_string(i) + ":" +
                       std::to_string(base + i + 1));
    }
    return args;
}

class CountReadoutTest : public SimFixture {
protected:
    Texts Labels() {
        Texts texts;
        for (int j = 0; j < 5; ++j)
            texts[j] = dialog->Text(IDC_COUNT_LABEL[j]);
        return texts;
    }
    Texts Values() {
        Texts texts;
        for (int j = 0; j < 5; ++j)
            texts[j] = dialog->Text(IDC_COUNT_VALUE[j]);
        return texts;
    }
    void FillValues(const QString& text) {
        for (int j = 0; j < 5; ++j)
            dialog->SetText(IDC_COUNT_VALUE[j], text);
    }
    size_t CountRequestsSince(size_t mark) {
        size_t n = 0;
        for (const std::string& command : ReceivedCommands(mark))
            n += command.rfind("PG", 0) == 0 ? 1 : 0;
        return n;
    }
    // Puts the interval in (as pasted: the edit takes only digits from the keyboard) and clicks
    // the auto-update check box.
    void StartAutoUpdate(const QString& interval) {
        dialog->SetText(IDC_INTERVAL_EDIT, interval);
        Click(IDC_AUTO_UPDATE_CHECK);
    }
    // The count requests among the commands after the last "PP" (the end of a settings read).
    std::vector<std::string> RequestsAfterSettingsRead() {
        const std::vector<std::string> commands = ReceivedCommands();
        size_t start = 0;
        for (size_t i = 0; i < commands.size(); ++i)
            if (commands[i] == Command("PP")) start = i + 1;
        return std::vector<std::string>(commands.begin() + static_cast<long>(start),
                                        commands.end());
    }
    bool AutoUpdateOff() {
        return Inside().AutoUpdateSeconds().load() == 0 && !dialog->IsTimerRunning() &&
               !dialog->IsChecked(IDC_AUTO_UPDATE_CHECK);
    }
};

// ----- Requests and displays --------------------------------------------------------------------

struct RequestCase {
    const char* name;
    int node;
    const char* unitSettings;
    std::optional<int32_t> heldFourthEdge;  // set in the held record before the read
    std::vector<std::string> commands;
    Texts labels;
    Texts values;  // PLACEHOLDER: kept from before the read
};

void PrintTo(const RequestCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<RequestCase> RequestCases() {
    const QString o = PLACEHOLDER;
    return {
        {"SinglePhaseDi2AndDi4Off",
         FIVE_INPUTS,
         "mode=1,edges=10101",
         std::nullopt,
         CountRequests({0x20, 0x22, 0x24}),
         {"DI1", "", "DI3", "", "DI5"},
         {"101", "", "103", "", "105"}},
        {"SinglePhaseAllOnThreeInputs",
         THREE_INPUTS,
         "mode=1,edges=121",
         std::nullopt,
         CountRequests({0x20, 0x21, 0x22}),
         {"DI1", "DI2", "DI3", "", ""},
         {"201", "202", "203", "", ""}},
        // Counting off: read by the edges as in single-phase use.
        {"CountingOffReadsByEdges",
         FIVE_INPUTS,
         "mode=0,edges=01100",
         std::nullopt,
         CountRequests({0x21, 0x22}),
         {"", "DI2", "DI3", "", ""},
         {"", "102", "103", "", ""}},
        // Three inputs have no second pair, whatever the held record says for DI4.
        {"TwoPhaseThreeInputs",
         THREE_INPUTS,
         "mode=2,edges=111",
         1,
         CountRequests({0x20}),
         {"1-2", "", "", "", ""},
         {"201", "", "", "", ""}},
        {"TwoPhaseFiveInputsDi1Off",
         FIVE_INPUTS,
         "mode=3,edges=00011",
         std::nullopt,
         CountRequests({0x23}),
         {"", "4-5", "", "", ""},
         {"", "104", "", "", ""}},
        {"TwoPhaseFiveInputsBothPairs",
         FIVE_INPUTS,
         "mode=2,edges=11011",
         std::nullopt,
         CountRequests({0x20, 0x23}),
         {"1-2", "4-5", "", "", ""},
         {"101", "104", "", "", ""}},
        {"TwoPhaseNothingCounted",
         FIVE_INPUTS,
         "mode=2,edges=00100",
         std::nullopt,
         {},
         {"", "", "", "", ""},
         {"", "", "", "", ""}},
    };
}

class RequestCountsTest : public CountReadoutTest,
                          public testing::WithParamInterface<RequestCase> {};

TEST_P(RequestCountsTest, RequestsTheCountedInputsAndShowsTheirCounts) {
    const RequestCase& c = GetParam();
    std::vector<std::string> args{"--settings", std::to_string(c.node) + ":" + c.unitSettings};
    for (const auto& more : {PresetCounts(FIVE_INPUTS, 100, 5), PresetCounts(THREE_INPUTS, 200, 3)})
        args.insert(args.end(), more.begin(), more.end());
    ASSERT_NO_FATAL_FAILURE(StartSim(args));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(c.node));
    // Connecting ends with the same read.
    EXPECT_EQ(RequestsAfterSettingsRead(), c.commands) << ShownCommands(ReceivedCommands());
    EXPECT_EQ(Labels(), c.labels);
    if (c.heldFourthEdge) dialog->Core().HeldConfig().edge[3] = *c.heldFourthEdge;
    FillValues(PLACEHOLDER);
    for (int j = 0; j < 5; ++j)
        dialog->SetText(IDC_COUNT_LABEL[j], "?");
    const size_t mark = ReceivedFrames().size();

    // With counting off the button is disabled, while a running auto-update still reads.
    if (dialog->IsEnabled(IDC_READ_COUNTS_BUTTON)) {
        Click(IDC_READ_COUNTS_BUTTON);
    } else {
        dialog->Core().OnTimer();
    }
    ASSERT_TRUE(WaitForCountUpdates(static_cast<int32_t>(c.commands.size())));
    Settle(50);  // no further request or reply

    EXPECT_EQ(ReceivedCommands(mark), c.commands) << ShownCommands(ReceivedCommands(mark));
    EXPECT_EQ(Labels(), c.labels);
    EXPECT_EQ(Values(), c.values);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Settings, RequestCountsTest, testing::ValuesIn(RequestCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Until its reply arrives a value keeps what it showed.
TEST_F(CountReadoutTest, UnansweredRequestKeepsTheValueAndReportsNothing) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11", "--count", "3:1:7"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    ::kill(sim->Pid(), SIGSTOP);  // frames still reach the socket, nothing is answered
    FillValues(PLACEHOLDER);

    Click(IDC_READ_COUNTS_BUTTON);
    Settle(200);

    EXPECT_EQ(Values(), (Texts{PLACEHOLDER, PLACEHOLDER, "", "", ""}));
    EXPECT_TRUE(messages.empty());
    ::kill(sim->Pid(), SIGCONT);
}

struct SignedCase {
    const char* preset;
    const char* shown;
};

TEST_F(CountReadoutTest, CountsAreShownAsSigned32BitNumbers) {
    const std::array<SignedCase, 5> cases = {{{"0xFFFFFFFF", "-1"},
                                              {"0x80000000", "-2147483648"},
                                              {"0x7FFFFFFF", "2147483647"},
                                              {"0", "0"},
                                              {"0x80000001", "-2147483647"}}};
    std::vector<std::string> args{"--settings", "1:mode=1,edges=11111"};
    for (int j = 0; j < 5; ++j) {
        args.push_back("--count");
        args.push_back("1:" + std::to_string(j) + ":" + cases[j].preset);
    }
    ASSERT_NO_FATAL_FAILURE(StartSim(args));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(FIVE_INPUTS));
    FillValues(PLACEHOLDER);

    Click(IDC_READ_COUNTS_BUTTON);
    ASSERT_TRUE(WaitForCountUpdates(5));

    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(dialog->Text(IDC_COUNT_VALUE[j]), QString(cases[j].shown))
            << "preset " << cases[j].preset;
}

// The mode held when a reply is shown decides where it goes: the requests were made in
// single-phase use, then the settings became two-phase before the replies were handled.
TEST_F(CountReadoutTest, ReplyAfterSwitchToTwoPhaseLandsInTheTwoPhaseDisplays) {
    std::vector<std::string> args{"--settings", "1:mode=1,edges=11111"};
    const auto counts = PresetCounts(FIVE_INPUTS, 100, 5);
    args.insert(args.end(), counts.begin(), counts.end());
    ASSERT_NO_FATAL_FAILURE(StartSim(args));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(FIVE_INPUTS));
    FillValues(PLACEHOLDER);

    // The handler runs here, without the event loop, so no reply can be shown before the switch.
    dialog->Core().OnReadCounts();
    dialog->Core().HeldConfig().mode = MODE_TWO_PHASE_X2;
    ASSERT_TRUE(WaitForCountUpdates(5));

    EXPECT_EQ(ReceivedCommands(ReceivedFrames().size() - 5),
              CountRequests({0x20, 0x21, 0x22, 0x23, 0x24}));
    EXPECT_EQ(Values(), (Texts{"101", "104", PLACEHOLDER, PLACEHOLDER, PLACEHOLDER}));
    EXPECT_EQ(Labels(), (Texts{"DI1", "DI2", "DI3", "DI4", "DI5"}));
}

// Only a malformed reply could carry another index; nothing outside the five displays changes.
TEST_F(CountReadoutTest, NotificationWithIndexOutsideTheInputsIsIgnored) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "1:mode=1,edges=11111"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(FIVE_INPUTS));
    FillValues(PLACEHOLDER);
    for (int index : {5, -1, 7, 255, INT32_MIN}) {
        dialog->Core().CountBusy() = 1;
        dialog->Core().PostCountUpdate(index, 0);
        ASSERT_TRUE(WaitForCountUpdates(1));
        EXPECT_EQ(Inside().LastCountUpdateIndex(), index);
        EXPECT_EQ(Values(),
                  (Texts{PLACEHOLDER, PLACEHOLDER, PLACEHOLDER, PLACEHOLDER, PLACEHOLDER}))
            << "index " << index;
    }
    EXPECT_EQ(dialog->Core().CountBusy().load(), 0);
}

// ----- Auto-update ------------------------------------------------------------------------------

struct AcceptedInterval {
    const char* text;
    int32_t seconds;
};

void PrintTo(const AcceptedInterval& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class AcceptedIntervalTest : public CountReadoutTest,
                             public testing::WithParamInterface<AcceptedInterval> {};

TEST_P(AcceptedIntervalTest, StartsTheTimerWithoutAnImmediateRead) {
    const AcceptedInterval& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    // Long enough that no tick can fall inside the test.
    TheUiTiming().millisecondsPerSecond = 1000;
    const size_t mark = ReceivedFrames().size();

    StartAutoUpdate(c.text);
    Settle(100);

    EXPECT_EQ(Inside().AutoUpdateSeconds().load(), c.seconds);
    EXPECT_TRUE(dialog->IsTimerRunning());
    EXPECT_TRUE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
    EXPECT_FALSE(dialog->IsEnabled(IDC_INTERVAL_EDIT));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(CountRequestsSince(mark), 0u);

    // Clearing the check box stops it and gives the interval back.
    Click(IDC_AUTO_UPDATE_CHECK);
    EXPECT_TRUE(AutoUpdateOff());
    EXPECT_TRUE(dialog->IsEnabled(IDC_INTERVAL_EDIT));
}

INSTANTIATE_TEST_SUITE_P(Texts, AcceptedIntervalTest,
                         testing::Values(AcceptedInterval{" 15 ", 15},
                                         AcceptedInterval{"3600", 3600}, AcceptedInterval{"1", 1},
                                         AcceptedInterval{"12abc", 12},
                                         AcceptedInterval{"+20", 20}));

struct RejectedInterval {
    const char* text;
    const QString* message;
};

void PrintTo(const RejectedInterval& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class RejectedIntervalTest : public CountReadoutTest,
                             public testing::WithParamInterface<RejectedInterval> {};

TEST_P(RejectedIntervalTest, ShowsItsMessageAndClearsTheCheckBox) {
    const RejectedInterval& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 1;
    const size_t mark = ReceivedFrames().size();

    StartAutoUpdate(c.text);
    Settle(100);

    EXPECT_EQ(messages, std::vector<QString>{*c.message});
    EXPECT_TRUE(AutoUpdateOff());
    EXPECT_TRUE(dialog->IsEnabled(IDC_INTERVAL_EDIT));
    EXPECT_EQ(CountRequestsSince(mark), 0u);
}

INSTANTIATE_TEST_SUITE_P(Texts, RejectedIntervalTest,
                         testing::Values(RejectedInterval{"", &EMPTY_INTERVAL_TEXT},
                                         RejectedInterval{"   ", &EMPTY_INTERVAL_TEXT},
                                         RejectedInterval{"0", &INTERVAL_RANGE_TEXT},
                                         RejectedInterval{"3601", &INTERVAL_RANGE_TEXT},
                                         RejectedInterval{"abc", &INTERVAL_RANGE_TEXT},
                                         RejectedInterval{"-5", &INTERVAL_RANGE_TEXT},
                                         // Beyond 32 bits: never wraps into the range.
                                         RejectedInterval{"4294967311", &INTERVAL_RANGE_TEXT},
                                         RejectedInterval{"99999999999999999999999",
                                                          &INTERVAL_RANGE_TEXT}));

// " 15 " with a second shortened to 40 ms: the first read comes one interval (600 ms) after the
// click, not at once; then every interval again.
TEST_F(CountReadoutTest, TimerReadsOneIntervalAfterStartingAndThenAgain) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 40;
    const size_t mark = ReceivedFrames().size();
    QElapsedTimer elapsed;
    elapsed.start();

    StartAutoUpdate(" 15 ");
    ASSERT_TRUE(WaitUntil([&] { return CountRequestsSince(mark) >= 2; }, 10000));
    EXPECT_GE(elapsed.elapsed(), 600);  // never a tick before its interval
    const std::vector<std::string> first = ReceivedCommands(mark);
    EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 2),
              CountRequests({0x20, 0x21}));
    ASSERT_TRUE(WaitUntil([&] { return CountRequestsSince(mark) >= 4; }, 10000));
    EXPECT_GE(elapsed.elapsed(), 1200);
    EXPECT_TRUE(messages.empty());
}

// Clearing EnableCheck disables the count controls but leaves a running auto-update alone: the
// check box stays checked (disabled) and the timer keeps reading.
TEST_F(CountReadoutTest, ClearingEnableCheckKeepsTheTimerReading) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 40;
    StartAutoUpdate("2");
    ASSERT_TRUE(Inside().DialogTimer().isActive());

    Click(IDC_ENABLE_CHECK);
    ASSERT_FALSE(dialog->IsChecked(IDC_ENABLE_CHECK));
    const size_t mark = ReceivedFrames().size();

    EXPECT_FALSE(dialog->IsEnabled(IDC_AUTO_UPDATE_CHECK));
    EXPECT_FALSE(dialog->IsEnabled(IDC_READ_COUNTS_BUTTON));
    EXPECT_TRUE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
    EXPECT_EQ(Inside().AutoUpdateSeconds().load(), 2);
    EXPECT_TRUE(Inside().DialogTimer().isActive());
    EXPECT_TRUE(WaitUntil([&] { return CountRequestsSince(mark) >= 4; }, 10000));
    EXPECT_TRUE(messages.empty());
}

// The one realistic timing: a real second.
TEST_F(CountReadoutTest, OneSecondIntervalReadsAboutEverySecond) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=10"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 1000;
    const size_t mark = ReceivedFrames().size();
    QElapsedTimer elapsed;
    elapsed.start();

    StartAutoUpdate("1");
    ASSERT_TRUE(WaitUntil([&] { return CountRequestsSince(mark) >= 1; }, 5000));

    EXPECT_GE(elapsed.elapsed(), 1000);
    EXPECT_EQ(ReceivedCommands(mark), CountRequests({0x20}));
}

// A timed read whose request cannot be written: the unit dropped the connection after the 7
// replies of connecting. The first write may still go out before the peer's reset arrives.
TEST_F(CountReadoutTest, FailedTimedReadStopsAutoUpdateWithOneMessage) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11", "--close-after", "7"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 20;

    StartAutoUpdate("1");
    ASSERT_TRUE(dialog->IsTimerRunning());
    ASSERT_TRUE(WaitUntil([&] { return !messages.empty(); }, 5000));
    Settle(300);  // several periods: no further tick, no further message

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("通信エラー : ")) << messages[0].toStdString();
    EXPECT_TRUE(AutoUpdateOff());
    EXPECT_TRUE(dialog->IsEnabled(IDC_INTERVAL_EDIT));
    EXPECT_EQ(Inside().ConnState().load(), Connected);
}

// The same from the button: a failed read stops a running auto-update before the message.
TEST_F(CountReadoutTest, FailedButtonReadStopsAutoUpdateWithOneMessage) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11", "--close-after", "7"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    TheUiTiming().millisecondsPerSecond = 100000;  // no tick during the test
    StartAutoUpdate("10");
    ASSERT_TRUE(dialog->IsTimerRunning());

    for (int attempt = 0; attempt < 20 && messages.empty(); ++attempt) {
        Click(IDC_READ_COUNTS_BUTTON);
        Settle(20);
    }

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("通信エラー : ")) << messages[0].toStdString();
    EXPECT_TRUE(AutoUpdateOff());
    EXPECT_TRUE(dialog->IsEnabled(IDC_INTERVAL_EDIT));
}

// A tick while a count request is being written sends nothing; the next one reads as usual.
TEST_F(CountReadoutTest, TickWhileCountBusySendsNothing) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    const size_t mark = ReceivedFrames().size();

    dialog->Core().CountBusy() = 1;
    dialog->Core().OnTimer();
    Settle(200);
    EXPECT_EQ(ReceivedFrames().size(), mark) << ShownCommands(ReceivedCommands(mark));

    dialog->Core().CountBusy() = 0;
    dialog->Core().OnTimer();
    ASSERT_TRUE(WaitForFrames(mark + 2));
    EXPECT_EQ(ReceivedCommands(mark), CountRequests({0x20, 0x21}));
    EXPECT_TRUE(messages.empty());
}

}  // namespace
