#include "device/SettingsRules.h"
#include "device/ValueTables.h"
#include "dialog/ControlIds.h"
#include "device/OperatorTexts.h"
#include "ui/VelkorDlg.h"

// The settings controls and the held record: what the unit reported goes into the controls, what
// the controls show goes to the unit, and what the unit took becomes the held record.

namespace {

// Combo entry of a value, or -1 (no selection) for a value without an entry.
int EntryOf(int32_t value, size_t entries) {
    return value >= 0 && static_cast<size_t>(value) < entries ? value : -1;
}

}  // namespace

// Puts the settings the unit reported into the controls, in one step on the user-interface
// thread.
void CVelkorDlg::ShowHeldSettings() {
    OnGuiThread([this] {
        const int32_t mode = pulseConfig.mode;
        SetChecked(IDC_ENABLE_CHECK, mode != MODE_OFF);
        const bool twoPhase = mode == MODE_TWO_PHASE_X2 || mode == MODE_TWO_PHASE_X4;
        SetChecked(twoPhase ? IDC_TWO_PHASE_RADIO : IDC_SINGLE_PHASE_RADIO, true);
        SetChecked(mode == MODE_TWO_PHASE_X4 ? IDC_X4_RADIO : IDC_X2_RADIO, true);
        SetChecked(IDC_CLEAR_SIGNAL_CHECK, pulseConfig.clearSignal == 1);
        SetSelection(IDC_PERIOD_COMBO, EntryOf(pulseConfig.period, PERIOD_TEXTS.size()));
        // 0 and 1 show as "なし"; a negative value, like one above 10, has no entry.
        SetSelection(IDC_DEBOUNCE_COMBO, DebounceIndexOfValue(pulseConfig.debounce));
        for (int32_t i = 0; i < InputCount.load(); ++i) {
            SetSelection(IDC_EDGE_COMBO[i], EntryOf(pulseConfig.edge[i], EDGE_TEXTS.size()));
        }
        SetControlText(IDC_COUNT_STATUS_TEXT,
                       pulseConfig.countingOn != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
    });
}

// The settings as the controls show them. A drop-down list without a selection (a value from the
// unit that has no entry) keeps the held value, so applying sends it back unchanged. Read in one
// step on the user-interface thread, so that no click changes the controls half way.
PulseConfig CVelkorDlg::SettingsFromControls() {
    return OnGuiThread([this] {
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
    });
}

// The encoder pairs must be enabled together; a Z phase without DI3 is only a warning.
bool CVelkorDlg::EncoderInputsUsable(const PulseConfig& next) {
    const EncoderVerdict verdict = CheckEncoderInputs(next, InputCount.load());
    // The Z-phase verdict only warns: the settings are written after the message.
    if (verdict != EncoderVerdict::Accepted) ShowMessage(EncoderVerdictText(verdict));
    return !RefusesWrite(verdict);
}
