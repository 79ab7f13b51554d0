// Clicks that land while a worker is held at a chosen step: the settings worker's hold on the
// buttons, and the end of a connection attempt. Each worker is stopped at its step through the
// worker set's seam, so the moment is the same on every run.
#include <QComboBox>
#include <atomic>
#include <future>
#include <vector>

#include "SimFixture.h"
#include "dialog/ControlIds.h"

namespace {

// Default units of velkor-sim: node 1 has 5 pulse inputs, node 3 has 2; every input counts.
constexpr int FIVE_INPUTS = 1;
constexpr int TWO_INPUTS = 3;

// The commands of connecting to the five-input unit and of reading a two-input unit's settings,
// parameters with their 0x20 offset.
const std::vector<std::string> CONNECT_FIVE_INPUTS = {
    Command("MD"),         Command("PY"),         Command("PH", {0x20}), Command("PH", {0x21}),
    Command("PH", {0x22}), Command("PH", {0x23}), Command("PH", {0x24}), Command("PP"),
    Command("PG", {0x20}), Command("PG", {0x21}), Command("PG", {0x22}), Command("PG", {0x23}),
    Command("PG", {0x24})};
const std::vector<std::string> READ_TWO_INPUTS = {Command("PY"), Command("PH", {0x20}),
                                                  Command("PH", {0x21}), Command("PP")};

// The buttons a settings worker holds for its whole run.
constexpr int32_t HELD_BUTTONS[] = {IDC_CONNECT_BUTTON, IDC_READ_SETTINGS_BUTTON,
                                    IDC_WRITE_SETTINGS_BUTTON, IDC_START_STOP_BUTTON};

// Holds the first worker that reaches the armed step until it is released.
class StepGate {
public:
    void Arm(WorkerStep step) { armed = step; }
    WorkerSet::StepHook Hook() {
        return [this](WorkerStep reached) {
            if (reached != armed || held.exchange(true)) return;
            released.wait();
        };
    }
    bool WaitUntilHeld() {
        return WaitUntil([this] { return held.load(); }, 10000);
    }
    void Release() {
        if (!opened.exchange(true)) opener.set_value();
    }

private:
    WorkerStep armed{};
    std::atomic<bool> held{false};
    std::atomic<bool> opened{false};
    std::promise<void> opener;
    std::shared_future<void> released = opener.get_future().share();
};

class WorkerSteps : public SimFixture {
protected:
    void TearDown() override {
        gate.Release();
        SimFixture::TearDown();
    }
    // Set before the worker starts.
    void HoldAt(WorkerStep step) {
        gate.Arm(step);
        Inside().SetStepHook(gate.Hook());
    }
    void ExpectButtonsHeld(const std::string& when) {
        for (int32_t id : HELD_BUTTONS)
            EXPECT_FALSE(dialog->IsEnabled(id)) << when << ": control " << id;
    }
    void ExpectDisconnected() {
        EXPECT_EQ(Inside().ConnState().load(), CVelkorDlg::Disconnected);
        EXPECT_EQ(session.state.load(), Idle);
        EXPECT_EQ(dialog->ControlText(IDC_CONNECT_BUTTON), "接続");
        EXPECT_TRUE(dialog->IsEnabled(IDC_NODE_EDIT));
        EXPECT_EQ(dialog->AbortRequested().load(), 0);
    }

    StepGate gate;
};

// ----- The settings worker's hold on the buttons ------------------------------------------------

// What the operator can do while a settings worker runs, as the clicks it takes; each click runs
// the control-state rules.
struct OperatorAction {
    const char* what;
    std::vector<int32_t> clicks;
};

const OperatorAction ACTIONS[] = {
    {"EnableCheck off and on", {IDC_ENABLE_CHECK, IDC_ENABLE_CHECK}},
    {"two-phase, then single-phase", {IDC_TWO_PHASE_RADIO, IDC_SINGLE_PHASE_RADIO}},
    {"auto-update on and off", {IDC_AUTO_UPDATE_CHECK, IDC_AUTO_UPDATE_CHECK}},
};

struct HoldCase {
    const char* name;
    int32_t button;
    WorkerStep step;
};

class SettingsWorkerHold : public WorkerSteps, public testing::WithParamInterface<HoldCase> {
protected:
    // The operator's choice in the period list (a selection set by the program is no choice).
    void ChoosePeriod(int index) {
        auto* combo = ControlAs<QComboBox>(IDC_PERIOD_COMBO);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
};

// Whatever the operator does meanwhile, and after the read's own run of the rules, the buttons
// stay held until the worker has ended; then they are free again.
TEST_P(SettingsWorkerHold, NoRunOfTheRulesGivesTheButtonsBack) {
    const HoldCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    HoldAt(c.step);
    Click(c.button);
    ASSERT_TRUE(gate.WaitUntilHeld());
    ExpectButtonsHeld("held");
    for (const OperatorAction& action : ACTIONS) {
        for (int32_t id : action.clicks)
            Click(id);
        ExpectButtonsHeld(action.what);
    }
    ChoosePeriod(2);
    ExpectButtonsHeld("a period chosen");
    gate.Release();
    ASSERT_TRUE(WaitForWorkers());
    for (int32_t id : HELD_BUTTONS)
        EXPECT_TRUE(dialog->IsEnabled(id)) << "control " << id;
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SettingsWorkerHold,
    testing::Values(
        HoldCase{"ReadBeforeItsExchange", IDC_READ_SETTINGS_BUTTON, WorkerStep::SettingsExchange},
        HoldCase{"ReadAfterItsOwnRules", IDC_READ_SETTINGS_BUTTON, WorkerStep::SettingsUnlock},
        HoldCase{"WriteBeforeItsExchange", IDC_WRITE_SETTINGS_BUTTON, WorkerStep::SettingsExchange},
        HoldCase{"WriteAfterItsExchange", IDC_WRITE_SETTINGS_BUTTON, WorkerStep::SettingsUnlock}),
    [](const auto& info) { return std::string(info.param.name); });

// The worker gives the buttons back: a click on 設定受信 at that moment starts no second worker,
// and nothing the first one does afterwards frees a button under another exchange.
TEST_F(WorkerSteps, ReadClickedWhileTheWorkerGivesTheButtonsBackStartsNoSecondWorker) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--settings", "3:mode=1,edges=11"}));
    ASSERT_NO_FATAL_FAILURE(ConnectUnit(TWO_INPUTS));
    const size_t mark = ReceivedFrames().size();
    HoldAt(WorkerStep::SettingsUnlock);
    Click(IDC_READ_SETTINGS_BUTTON);
    ASSERT_TRUE(gate.WaitUntilHeld());

    Click(IDC_READ_SETTINGS_BUTTON);
    dialog->OnReadSettings();  // as a click that reached the button however it stood
    EXPECT_EQ(Inside().RunningWorkers(), 1);
    gate.Release();
    ASSERT_TRUE(WaitForWorkers());
    ASSERT_TRUE(WaitForFrames(mark + READ_TWO_INPUTS.size()));
    EXPECT_EQ(ReceivedCommands(mark), READ_TWO_INPUTS) << ShownCommands(ReceivedCommands(mark));
    EXPECT_TRUE(messages.empty());
}

// ----- The end of a connection attempt ----------------------------------------------------------

// The settings are read and the connected controls shown, so カウント値受信 is enabled; until the
// connection is made a click on it sends nothing beside the connection's own requests.
TEST_F(WorkerSteps, ReadCountsIsRefusedUntilConnected) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    HoldAt(WorkerStep::ConnectCounts);
    ClickConnect(FIVE_INPUTS);
    ASSERT_TRUE(gate.WaitUntilHeld());
    ASSERT_TRUE(dialog->IsEnabled(IDC_READ_COUNTS_BUTTON));

    Click(IDC_READ_COUNTS_BUTTON);
    gate.Release();
    ASSERT_TRUE(WaitForWorkers());
    EXPECT_EQ(Inside().ConnState().load(), CVelkorDlg::Connected);
    // A click's requests would have gone out before the connection's own.
    ASSERT_TRUE(WaitForFrames(CONNECT_FIVE_INPUTS.size()));
    EXPECT_EQ(ReceivedCommands(), CONNECT_FIVE_INPUTS) << ShownCommands(ReceivedCommands());
    EXPECT_TRUE(messages.empty());
}

class LateDisconnect : public WorkerSteps, public testing::WithParamInterface<WorkerStep> {};

// After the last reply wait of the attempt the button already reads 切断, and no wait is left to
// take an abort: the click is kept and carried out as a disconnection once the attempt has ended.
TEST_P(LateDisconnect, ClickAfterTheLastReplyWaitDisconnectsWhenTheAttemptEnds) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    HoldAt(GetParam());
    ClickConnect(FIVE_INPUTS);
    ASSERT_TRUE(gate.WaitUntilHeld());
    ASSERT_EQ(dialog->ControlText(IDC_CONNECT_BUTTON), "切断");

    Click(IDC_CONNECT_BUTTON);
    gate.Release();
    ASSERT_TRUE(WaitForWorkers());
    ExpectDisconnected();
    EXPECT_EQ(session.userData.load(), nullptr);
    EXPECT_TRUE(messages.empty());

    // Nothing of it is left for the next connection.
    EXPECT_EQ(ConnectThroughUi(FIVE_INPUTS), CVelkorDlg::Connected);
}

INSTANTIATE_TEST_SUITE_P(Steps, LateDisconnect,
                         testing::Values(WorkerStep::ConnectCounts, WorkerStep::ConnectEnd),
                         [](const auto& info) {
                             return info.param == WorkerStep::ConnectCounts ? "BeforeTheCounts"
                                                                            : "AtTheEnd";
                         });

}  // namespace
