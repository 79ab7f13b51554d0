// The control-state rules over every combination of their inputs. The expected states come from
// the rule table below (data), never from the dialog's own code.
#include <QComboBox>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"

namespace {

// When a control is enabled (or shown), as the rules state it.
enum class Rule {
    Untouched,  // the rule set leaves it as it was
    Yes,
    No,
    L,         // LanRadio checked
    U,         // UsbRadio checked
    E,         // EnableCheck checked
    EandT,     // ... and TwoPhaseRadio checked
    EandS,     // ... and SinglePhaseRadio checked
    EandNotA,  // ... and AutoUpdateCheck clear
    Row,       // the control's input index is below the input count
    AtLeast3,  // the input count is 3 or more
};

struct ControlRule {
    int32_t id;
    int input;  // per-input controls: 0 for DI1; -1 otherwise
    Rule enabledDisconnected;
    Rule shownDisconnected;
    Rule enabledConnected;  // Connecting or Connected
    Rule shownConnected;
};

using R = Rule;
constexpr R X = R::Untouched;

std::vector<ControlRule> RuleTable() {
    std::vector<ControlRule> rules = {
        {IDC_NODE_LABEL, -1, R::Yes, X, R::No, X},
        {IDC_ROUTE_GROUP, -1, R::Yes, X, R::No, X},
        {IDC_ADDRESS_LABEL, -1, R::Yes, X, R::No, X},
        {IDC_PORT_LABEL, -1, R::Yes, X, R::No, X},
        {IDC_NODE_EDIT, -1, R::Yes, X, R::No, X},
        {IDC_LAN_RADIO, -1, R::Yes, X, R::No, X},
        {IDC_USB_RADIO, -1, R::Yes, X, R::No, X},
        {IDC_ADDRESS_EDIT, -1, R::L, X, R::No, X},
        {IDC_TCP_PORT_EDIT, -1, R::L, X, R::No, X},
        {IDC_PORT_COMBO, -1, R::U, X, R::No, X},
        {IDC_CONNECT_BUTTON, -1, X, X, X, X},
        {IDC_ENABLE_CHECK, -1, R::No, X, R::Yes, X},
        {IDC_SINGLE_PHASE_RADIO, -1, R::No, X, R::E, X},
        {IDC_TWO_PHASE_RADIO, -1, R::No, X, R::E, X},
        {IDC_X2_RADIO, -1, R::No, X, R::EandT, X},
        {IDC_X4_RADIO, -1, R::No, X, R::EandT, X},
        {IDC_CLEAR_SIGNAL_CHECK, -1, R::No, X, R::EandT, R::AtLeast3},
        {IDC_SETTINGS_GROUP, -1, R::No, X, R::E, X},
        {IDC_PERIOD_LABEL, -1, R::No, X, R::E, X},
        {IDC_PERIOD_COMBO, -1, R::No, X, R::E, X},
        {IDC_DEBOUNCE_LABEL, -1, R::No, X, R::EandS, X},
        {IDC_DEBOUNCE_COMBO, -1, R::No, X, R::EandS, X},
        {IDC_READ_SETTINGS_BUTTON, -1, R::No, X, R::Yes, X},
        {IDC_WRITE_SETTINGS_BUTTON, -1, R::No, X, R::Yes, X},
        {IDC_COUNT_STATUS_TEXT, -1, R::No, R::Yes, R::E, X},
        {IDC_START_STOP_BUTTON, -1, R::No, R::Yes, R::E, X},
        {IDC_READ_COUNTS_BUTTON, -1, R::No, X, R::E, X},
        {IDC_AUTO_UPDATE_CHECK, -1, R::No, X, R::E, X},
        {IDC_INTERVAL_EDIT, -1, R::No, X, R::EandNotA, X},
        {IDC_INTERVAL_LABEL, -1, R::No, X, R::EandNotA, X},
        {IDC_SECONDS_LABEL, -1, R::No, X, R::EandNotA, X},
        {IDC_DEVICE_INFO_TEXT, -1, X, X, X, X},
        {IDC_PROGRESS_BAR, -1, X, X, X, X},
        {IDC_VERSION_TEXT, -1, X, X, X, X},
    };
    for (int i = 0; i < 5; ++i) {
        rules.push_back({IDC_EDGE_COMBO[i], i, R::No, R::Yes, R::E, R::Row});
        rules.push_back({IDC_EDGE_LABEL[i], i, R::No, R::Yes, R::E, R::Row});
        rules.push_back({IDC_COUNT_LABEL[i], i, R::No, R::Yes, R::E, R::Row});
        rules.push_back({IDC_COUNT_VALUE[i], i, R::No, R::Yes, R::E, R::Row});
    }
    return rules;
}

struct Inputs {
    int32_t connState;
    int32_t n;
    bool e, t, a, l;

    std::string Describe() const {
        std::ostringstream text;
        text << "ConnState " << connState << " N " << n << " E " << e << (t ? " T" : " S") << " A "
             << a << (l ? " L" : " U");
        return text.str();
    }
};

std::optional<bool> Evaluate(Rule rule, const Inputs& in, int input) {
    switch (rule) {
        case R::Untouched:
            return std::nullopt;
        case R::Yes:
            return true;
        case R::No:
            return false;
        case R::L:
            return in.l;
        case R::U:
            return !in.l;
        case R::E:
            return in.e;
        case R::EandT:
            return in.e && in.t;
        case R::EandS:
            return in.e && !in.t;
        case R::EandNotA:
            return in.e && !in.a;
        case R::Row:
            return input < in.n;
        case R::AtLeast3:
            return in.n >= 3;
    }
    return std::nullopt;
}

const QString SHORT_CAPTION = QString::fromUtf8("2相カウント\n  DI1/DI2 : A相/B相");
const QString LONG_CAPTION =
    QString::fromUtf8("2相カウント\n  DI1/DI2 : A相/B相\n  DI4/DI5 : A相/B相");

// Everything the rules could change, for comparing one run with the next.
struct ControlState {
    bool enabled, shown, checked;
    QString text;
    int selection;
    bool operator==(const ControlState&) const = default;
};

class UpdateControlsRules : public DialogTest {
protected:
    void SetInputs(const Inputs& in) {
        Inside().ConnState() = in.connState;
        Inside().InputCount() = in.n;
        dialog->SetChecked(IDC_ENABLE_CHECK, in.e);
        dialog->SetChecked(IDC_SINGLE_PHASE_RADIO, !in.t);
        dialog->SetChecked(IDC_TWO_PHASE_RADIO, in.t);
        dialog->SetChecked(IDC_AUTO_UPDATE_CHECK, in.a);
        dialog->SetChecked(IDC_LAN_RADIO, in.l);
        dialog->SetChecked(IDC_USB_RADIO, !in.l);
    }

    // Puts every state the rules might touch into a pattern that varies per control and run, so
    // that "left untouched" is visible as the pattern surviving.
    void ApplySentinels(const std::vector<ControlRule>& rules, int run) {
        for (size_t k = 0; k < rules.size(); ++k) {
            const int32_t id = rules[k].id;
            dialog->EnableControl(id, (k + run) % 2 == 0);
            dialog->ShowControl(id, (k + 2 * run) % 3 != 0);
            if (!qobject_cast<QComboBox*>(dialog->Control(id))) {
                dialog->SetControlText(id, SentinelText(id, run));
            }
        }
        dialog->SetSelection(IDC_DEBOUNCE_COMBO, 1 + run % 9);
        dialog->SetSelection(IDC_PERIOD_COMBO, 1 + run % 4);
        dialog->SetChecked(IDC_X4_RADIO, run % 2);
        dialog->SetChecked(IDC_X2_RADIO, !(run % 2));
        dialog->SetChecked(IDC_CLEAR_SIGNAL_CHECK, run % 3 == 0);
    }

    static QString SentinelText(int32_t id, int run) {
        return QStringLiteral("~%1/%2").arg(id).arg(run);
    }

    std::map<int32_t, ControlState> Snapshot(const std::vector<ControlRule>& rules) {
        std::map<int32_t, ControlState> states;
        for (const ControlRule& rule : rules) {
            states[rule.id] = {dialog->IsEnabled(rule.id), dialog->IsShown(rule.id),
                               dialog->IsChecked(rule.id), dialog->ControlText(rule.id),
                               dialog->Selection(rule.id)};
        }
        return states;
    }

    void ExpectRules(const std::vector<ControlRule>& rules, const Inputs& in,
                     const std::map<int32_t, ControlState>& before) {
        const bool off = in.connState == CVelkorDlg::Disconnected;
        for (const ControlRule& rule : rules) {
            SCOPED_TRACE(dialog->Control(rule.id)->objectName().toStdString());
            const ControlState& old = before.at(rule.id);
            const std::optional<bool> enabled =
                Evaluate(off ? rule.enabledDisconnected : rule.enabledConnected, in, rule.input);
            const std::optional<bool> shown =
                Evaluate(off ? rule.shownDisconnected : rule.shownConnected, in, rule.input);
            EXPECT_EQ(dialog->IsEnabled(rule.id), enabled.value_or(old.enabled));
            EXPECT_EQ(dialog->IsShown(rule.id), shown.value_or(old.shown));
            EXPECT_EQ(dialog->IsChecked(rule.id), old.checked);  // checks are never changed
            // A drop-down list's text is its selection, checked below.
            if (!qobject_cast<QComboBox*>(dialog->Control(rule.id))) {
                EXPECT_EQ(dialog->ControlText(rule.id), ExpectedText(rule, in, old.text));
            }
        }
        const int debounce = (!off && in.t) ? 0 : before.at(IDC_DEBOUNCE_COMBO).selection;
        EXPECT_EQ(dialog->Selection(IDC_DEBOUNCE_COMBO), debounce);
        EXPECT_EQ(dialog->Selection(IDC_PERIOD_COMBO), before.at(IDC_PERIOD_COMBO).selection);
    }

    static QString ExpectedText(const ControlRule& rule, const Inputs& in, const QString& old) {
        const bool off = in.connState == CVelkorDlg::Disconnected;
        if (rule.id == IDC_CONNECT_BUTTON) return off ? "接続" : "切断";
        if (rule.id == IDC_TWO_PHASE_RADIO && !off) {
            return in.n >= 4 ? LONG_CAPTION : SHORT_CAPTION;
        }
        if (off && rule.id == IDC_DEVICE_INFO_TEXT) return "";
        if (off && rule.input >= 0 && rule.id == IDC_COUNT_VALUE[rule.input]) return "";
        return old;
    }
};

TEST_F(UpdateControlsRules, TableCoversEveryControlWithAnIdentifier) {
    const std::vector<ControlRule> rules = RuleTable();
    std::set<int32_t> ids;
    for (const ControlRule& rule : rules) {
        EXPECT_NE(dialog->Control(rule.id), nullptr) << rule.id;
        ids.insert(rule.id);
    }
    EXPECT_EQ(ids.size(), 54u);
    EXPECT_EQ(rules.size(), 54u);
}

TEST_F(UpdateControlsRules, EveryCombinationOfInputsOnceAndTwice) {
    const std::vector<ControlRule> rules = RuleTable();
    int run = 0;
    for (int32_t connState : {0, 1, 2}) {
        for (int32_t n : {0, 2, 3, 4, 5}) {
            for (bool e : {false, true}) {
                for (bool t : {false, true}) {
                    for (bool a : {false, true}) {
                        for (bool l : {false, true}) {
                            const Inputs in{connState, n, e, t, a, l};
                            SCOPED_TRACE(in.Describe());
                            SetInputs(in);
                            ApplySentinels(rules, ++run);
                            const auto before = Snapshot(rules);
                            dialog->UpdateControls();
                            ExpectRules(rules, in, before);
                            const auto once = Snapshot(rules);
                            dialog->UpdateControls();
                            EXPECT_TRUE(Snapshot(rules) == once) << "second run changed state";
                            if (HasFailure()) return;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(run, 3 * 5 * 2 * 2 * 2 * 2);
}

// The rows of inputs beyond N come back on disconnect; ClearSignalCheck keeps the visibility the
// connected rules last gave it; the count labels keep the texts of the last read.
TEST_F(UpdateControlsRules, DisconnectAfterATwoInputUnit) {
    SetInputs({CVelkorDlg::Connected, 2, true, false, false, true});
    dialog->UpdateControls();
    dialog->SetControlText(IDC_COUNT_LABEL[0], "1-2");
    dialog->SetControlText(IDC_COUNT_VALUE[0], "123");
    EXPECT_FALSE(dialog->IsShown(IDC_CLEAR_SIGNAL_CHECK));
    EXPECT_FALSE(dialog->IsShown(IDC_EDGE_COMBO[2]));

    Inside().ConnState() = CVelkorDlg::Disconnected;
    dialog->UpdateControls();
    EXPECT_FALSE(dialog->IsShown(IDC_CLEAR_SIGNAL_CHECK));
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(dialog->IsShown(IDC_EDGE_COMBO[i]));
        EXPECT_TRUE(dialog->IsShown(IDC_COUNT_VALUE[i]));
    }
    EXPECT_EQ(dialog->ControlText(IDC_COUNT_LABEL[0]), "1-2");
    EXPECT_EQ(dialog->ControlText(IDC_COUNT_VALUE[0]), "");
    EXPECT_EQ(dialog->ControlText(IDC_CONNECT_BUTTON), "接続");
}

// Choosing two-phase counting puts the debounce back to "なし"; single-phase again keeps it.
TEST_F(UpdateControlsRules, TwoPhaseResetsDebounceAndSinglePhaseKeepsIt) {
    SetInputs({CVelkorDlg::Connected, 5, true, false, false, true});
    dialog->SetSelection(IDC_DEBOUNCE_COMBO, 4);
    dialog->UpdateControls();
    EXPECT_EQ(dialog->Selection(IDC_DEBOUNCE_COMBO), 4);
    EXPECT_TRUE(dialog->IsEnabled(IDC_DEBOUNCE_COMBO));

    SetInputs({CVelkorDlg::Connected, 5, true, true, false, true});
    dialog->UpdateControls();
    EXPECT_EQ(dialog->ControlText(IDC_DEBOUNCE_COMBO), "なし");
    EXPECT_FALSE(dialog->IsEnabled(IDC_DEBOUNCE_COMBO));
    EXPECT_TRUE(dialog->IsEnabled(IDC_X2_RADIO));

    SetInputs({CVelkorDlg::Connected, 5, true, false, false, true});
    dialog->UpdateControls();
    EXPECT_EQ(dialog->Selection(IDC_DEBOUNCE_COMBO), 0);
    EXPECT_TRUE(dialog->IsEnabled(IDC_DEBOUNCE_COMBO));
}

}  // namespace
