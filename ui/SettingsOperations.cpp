#include "device/CommandEncoding.h"
#include "device/ValueTables.h"
#include "ui/ControlIds.h"
#include "ui/OperationTexts.h"
#include "ui/OperatorText.h"
#include "ui/VelkorDlg.h"

namespace {

// The buttons a settings worker locks for its whole run, in the order it locks them.
constexpr int32_t LOCKED_BY_SETTINGS_WORKER[] = {IDC_CONNECT_BUTTON, IDC_WRITE_SETTINGS_BUTTON,
                                                 IDC_READ_SETTINGS_BUTTON};

// Combo entry of a value, or -1 (no selection) for a value without an entry.
int EntryOf(int32_t value, size_t entries) {
    return value >= 0 && static_cast<size_t>(value) < entries ? value : -1;
}

}  // namespace

void CVelkorDlg::OnStartStop() {
    // A settings worker's or the connection's exchange may be waiting: a second one would share
    // its reply count.
    if (settingsWorkerActive.load() || ConnState.load() != Connected) return;
    const bool start = pulseConfig.countingOn == 0;
    const int code = SendCommand(Session, *this, "PS%c", start ? START_CHARACTER : STOP_CHARACTER);
    if (code != 0) {
        ShowMessage(OperatorText(code, Session));
        return;
    }
    pulseConfig.countingOn = start ? 1 : 0;
    SetControlText(IDC_COUNT_STATUS_TEXT, start ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
}

void CVelkorDlg::OnReadSettings() {
    if (!MaySettingsWorkerStart()) return;
    LockForSettingsWorker();
    StartWorker([this] { ReadSettingsThread(); });
}

void CVelkorDlg::OnApplySettings() {
    if (!MaySettingsWorkerStart()) return;
    LockForSettingsWorker();
    StartWorker([this] { ApplySettingsThread(); });
}

// One settings worker at a time, and none while a connection is still being made: its last
// steps already show the connected controls, but it may yet close the link.
bool CVelkorDlg::MaySettingsWorkerStart() {
    if (ConnState.load() != Connected) return false;
    return !settingsWorkerActive.exchange(true);
}

// Locked before the worker starts, so that a second click cannot start a second worker, and
// Start/Stop with them, so that no two waiting exchanges share the awaited-reply counter. The
// end of a connection may enable the buttons again while the worker runs; the flag still holds.
void CVelkorDlg::LockForSettingsWorker() {
    for (int32_t id : LOCKED_BY_SETTINGS_WORKER)
        EnableControl(id, false);
    EnableControl(IDC_START_STOP_BUTTON, false);
}

void CVelkorDlg::UnlockAfterSettingsWorker() {
    // Free again before the buttons are, so that no click on them is refused.
    settingsWorkerActive.store(false);
    for (int32_t id : LOCKED_BY_SETTINGS_WORKER)
        EnableControl(id, true);
    EnableControl(IDC_START_STOP_BUTTON, IsChecked(IDC_ENABLE_CHECK));
}

void CVelkorDlg::ReadSettingsThread() {
    for (int32_t id : LOCKED_BY_SETTINGS_WORKER)
        EnableControl(id, false);
    QString errorText;
    if (ReadSettings(errorText) < 0) ShowMessage(errorText);
    UnlockAfterSettingsWorker();
}

void CVelkorDlg::ApplySettingsThread() {
    for (int32_t id : LOCKED_BY_SETTINGS_WORKER)
        EnableControl(id, false);
    ApplySettings();
    UnlockAfterSettingsWorker();
}

int CVelkorDlg::ReadSettings(QString& errorText) {
    BeginProgress();
    int code = SendCommand(Session, *this, "PY");
    for (int32_t i = 0; code == 0 && i < InputCount.load(); ++i) {
        code = SendCommand(Session, *this, "PH%c", ParamChar(i));
    }
    if (code == 0) code = SendCommand(Session, *this, "PP");
    EndProgress();
    if (code != 0) {
        // The controls keep what they showed; the operator's abort needs no text.
        errorText = OperatorTextUnlessAborted(code, Session);
        return -1;
    }
    ShowHeldSettings();
    UpdateControls();
    return 0;
}

// Puts the settings the unit reported into the controls.
void CVelkorDlg::ShowHeldSettings() {
    const int32_t mode = pulseConfig.mode;
    SetChecked(IDC_ENABLE_CHECK, mode != MODE_OFF);
    const bool twoPhase = mode == MODE_TWO_PHASE_X2 || mode == MODE_TWO_PHASE_X4;
    SetChecked(twoPhase ? IDC_TWO_PHASE_RADIO : IDC_SINGLE_PHASE_RADIO, true);
    SetChecked(mode == MODE_TWO_PHASE_X4 ? IDC_X4_RADIO : IDC_X2_RADIO, true);
    SetChecked(IDC_CLEAR_SIGNAL_CHECK, pulseConfig.clearSignal == 1);
    SetSelection(IDC_PERIOD_COMBO, EntryOf(pulseConfig.period, PERIOD_TEXTS.size()));
    const int32_t debounce = pulseConfig.debounce;
    SetSelection(IDC_DEBOUNCE_COMBO,
                 debounce < 1 ? 0 : EntryOf(DebounceIndexOfValue(debounce), DEBOUNCE_TEXTS.size()));
    for (int32_t i = 0; i < InputCount.load(); ++i) {
        SetSelection(IDC_EDGE_COMBO[i], EntryOf(pulseConfig.edge[i], EDGE_TEXTS.size()));
    }
    SetControlText(IDC_COUNT_STATUS_TEXT,
                   pulseConfig.countingOn != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
}

void CVelkorDlg::ApplySettings() {
    PulseConfig next = SettingsFromControls();
    if (!EncoderInputsUsable(next)) return;
    const unsigned char modeCharacter = ModeCharacter(next.mode, next.clearSignal);
    BeginProgress();
    const int32_t inputs = InputCount.load();
    for (int32_t i = 0; i < inputs; ++i) {
        const int code =
            SendCommand(Session, *this, "PC%c%c", ParamChar(i), ParamChar(next.edge[i]));
        if (code != 0) {
            // Edges the unit already took stay set there; the held settings stay as they were.
            EndProgress();
            ShowMessage(OperatorText(code, Session));
            return;
        }
    }
    const int code = SendCommand(Session, *this, "PU%c%c%c", modeCharacter, ParamChar(next.period),
                                 ParamChar(next.debounce));
    EndProgress();
    if (code != 0) {
        ShowMessage(OperatorText(code, Session));
        return;
    }
    // A fixed period counts from the moment it is set; START-STOP waits for a start.
    next.countingOn = next.period != 0 ? 1 : 0;
    SetControlText(IDC_COUNT_STATUS_TEXT,
                   next.countingOn != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
    HoldAppliedSettings(next);
}

// The settings as the controls show them. A drop-down list without a selection (a value from the
// unit that has no entry) keeps the held value, so applying sends it back unchanged.
PulseConfig CVelkorDlg::SettingsFromControls() {
    PulseConfig next = pulseConfig;
    next.mode = MODE_OFF;
    if (IsChecked(IDC_ENABLE_CHECK)) {
        next.mode = MODE_SINGLE_PHASE;
        if (IsChecked(IDC_TWO_PHASE_RADIO)) {
            next.mode = IsChecked(IDC_X4_RADIO) ? MODE_TWO_PHASE_X4 : MODE_TWO_PHASE_X2;
        }
    }
    next.clearSignal = IsChecked(IDC_CLEAR_SIGNAL_CHECK) ? 1 : 0;
    const int period = Selection(IDC_PERIOD_COMBO);
    if (period >= 0) next.period = period;
    const int debounce = Selection(IDC_DEBOUNCE_COMBO);
    if (debounce >= 0) next.debounce = DebounceValueOfIndex(debounce);
    for (int32_t i = 0; i < InputCount.load(); ++i) {
        const int edge = Selection(IDC_EDGE_COMBO[i]);
        if (edge >= 0) next.edge[i] = edge;
    }
    return next;
}

// The encoder pairs must be enabled together; a Z phase without DI3 is only a warning.
bool CVelkorDlg::EncoderInputsUsable(const PulseConfig& next) {
    if (next.mode != MODE_TWO_PHASE_X2 && next.mode != MODE_TWO_PHASE_X4) return true;
    const int32_t inputs = InputCount.load();
    if ((next.edge[0] != 0) != (next.edge[1] != 0)) {
        ShowMessage(FIRST_PAIR_MESSAGE);
        return false;
    }
    if (inputs == MAX_INPUTS && (next.edge[3] != 0) != (next.edge[4] != 0)) {
        ShowMessage(SECOND_PAIR_MESSAGE);
        return false;
    }
    if (inputs >= 3 && next.clearSignal == 1 && next.edge[2] == 0) ShowMessage(Z_PHASE_MESSAGE);
    return true;
}

// The unit took the settings: they become the held ones. Counts and the edges of inputs the unit
// does not have keep their values.
void CVelkorDlg::HoldAppliedSettings(const PulseConfig& next) {
    pulseConfig.mode = next.mode;
    pulseConfig.clearSignal = next.clearSignal;
    for (int32_t i = 0; i < InputCount.load(); ++i)
        pulseConfig.edge[i] = next.edge[i];
    pulseConfig.period = next.period;
    pulseConfig.debounce = next.debounce;
    pulseConfig.countingOn = next.countingOn;
}
