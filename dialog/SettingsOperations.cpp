#include "device/OperatorTexts.h"
#include "device/SettingsRules.h"
#include "device/ValueTables.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogCore.h"
#include "dialog/OperatorText.h"

namespace {

// Combo entry of a value, or -1 (no selection) for a value without an entry.
int32_t EntryOf(int32_t value, size_t entries) {
    return value >= 0 && static_cast<size_t>(value) < entries ? value : -1;
}

}  // namespace

// Start/Stop waits for its reply here, on the user-interface thread, with the wait cursor.
void DialogCore::OnStartStop() {
    // The rules disable the button while another exchange may be waiting.
    if (operation != Operation::None || connState.load() != Connected) return;
    const bool start = pulseConfig.countingOn == 0;
    view.BeginWaitCursor();
    workers.Reach(WorkerStep::StartStopWait);
    const Result<Done> done = unit.StartStop(start);
    view.EndWaitCursor();
    if (!done) {
        ShowMessage(OperatorText(done.Failure()));
        return;
    }
    pulseConfig.countingOn = start ? 1 : 0;
    view.SetControlText(IDC_COUNT_STATUS_TEXT, start ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
}

// PeriodCombo: the chosen period goes into the held settings; no rule depends on it.
void DialogCore::OnPeriodSelChange() {
    pulseConfig.period = view.Selection(IDC_PERIOD_COMBO);
    UpdateControls();
}

void DialogCore::OnReadSettings() {
    if (operation != Operation::None || connState.load() != Connected) return;
    const int32_t inputs = inputCount;
    StartWorker(Operation::ReadingSettings,
                [this, inputs](int32_t attempt) { ReadSettingsThread(attempt, inputs); });
    UpdateControls();
}

// The settings are taken from the controls and checked here; the worker only writes them.
void DialogCore::OnApplySettings() {
    if (operation != Operation::None || connState.load() != Connected) return;
    const PulseConfig next = SettingsFromControls();
    const EncoderVerdict verdict = CheckEncoderInputs(next, inputCount);
    // The Z-phase verdict only warns: the settings are written after the message.
    if (verdict != EncoderVerdict::Accepted) ShowMessage(EncoderVerdictText(verdict));
    // The box's own event loop may have run a disconnection.
    if (RefusesWrite(verdict) || operation != Operation::None || connState.load() != Connected)
        return;
    ApplySettings(next, inputCount);
}

void DialogCore::ApplySettings(const PulseConfig& next, int32_t inputs) {
    written = next;
    writtenInputs = inputs;
    StartWorker(Operation::WritingSettings, [this, next, inputs](int32_t attempt) {
        ApplySettingsThread(attempt, next, inputs);
    });
    UpdateControls();
}

// ----- Workers -----------------------------------------------------------------------------------

void DialogCore::ReadSettingsThread(int32_t attempt, int32_t inputs) {
    workers.Reach(WorkerStep::SettingsExchange);
    ReadSettings(attempt, inputs);
    workers.Reach(WorkerStep::WorkerEnd);
    Post(attempt, WorkerResult(WorkerResult::Kind::Finished));
}

// "PY", "PH" per input, "PP" into the held record; 0, or negative once the failure is posted.
int DialogCore::ReadSettings(int32_t attempt, int32_t inputs) {
    using Kind = WorkerResult::Kind;
    Post(attempt, WorkerResult(Kind::ProgressStarted));
    const Result<Done> done = unit.ReadSettings(inputs);
    if (!done) {
        Post(attempt, WorkerResult::FailedWith(done.Failure(), true));
        return -1;
    }
    Post(attempt, WorkerResult(Kind::SettingsRead));
    return 0;
}

void DialogCore::ApplySettingsThread(int32_t attempt, PulseConfig next, int32_t inputs) {
    using Kind = WorkerResult::Kind;
    workers.Reach(WorkerStep::SettingsExchange);
    Post(attempt, WorkerResult(Kind::ProgressStarted));
    std::vector<PlannedFrame> frames = PlanWrite(BytesOfSettings(next, inputs));
    const Result<Done> done = unit.Write(frames);
    workers.Reach(WorkerStep::WorkerEnd);
    if (!done) Post(attempt, WorkerResult::FailedWith(done.Failure(), true));
    Post(attempt, WorkerResult(Kind::Finished, static_cast<bool>(done)));
}

// ----- Results -----------------------------------------------------------------------------------

void DialogCore::ApplySettingsResult(const WorkerResult& result) {
    using Kind = WorkerResult::Kind;
    const bool writing = operation == Operation::WritingSettings;
    switch (result.kind) {
        case Kind::ProgressStarted:
            BeginProgress();
            break;
        case Kind::SettingsRead:
            EndProgress();
            ShowHeldSettings();
            break;
        case Kind::Failed:
            EndProgress();
            // A read aborted by the operator still shows its (empty) message; a write shows
            // every code. Edges the unit already took stay set there.
            ShowMessage(writing ? OperatorText(result.failure)
                                : OperatorTextUnlessAborted(result.failure));
            break;
        case Kind::Finished:
            EndProgress();
            if (writing && result.succeeded) {
                // A fixed period counts from the moment it is set; START-STOP waits for a start.
                view.SetControlText(IDC_COUNT_STATUS_TEXT,
                                    written.period != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
                TakeWrittenSettings(pulseConfig, written, writtenInputs);
            }
            operation = Operation::None;
            break;
        case Kind::LinkOpened:
        case Kind::Identified:
        case Kind::Refused:
            break;
    }
    UpdateControls();
}

// Puts the settings the unit reported into the controls.
void DialogCore::ShowHeldSettings() {
    const int32_t mode = pulseConfig.mode;
    view.SetChecked(IDC_ENABLE_CHECK, mode != MODE_OFF);
    const bool twoPhase = mode == MODE_TWO_PHASE_X2 || mode == MODE_TWO_PHASE_X4;
    if (twoPhase) {
        CheckRadio(IDC_TWO_PHASE_RADIO, IDC_SINGLE_PHASE_RADIO);
    } else {
        CheckRadio(IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO);
    }
    if (mode == MODE_TWO_PHASE_X4) {
        CheckRadio(IDC_X4_RADIO, IDC_X2_RADIO);
    } else {
        CheckRadio(IDC_X2_RADIO, IDC_X4_RADIO);
    }
    view.SetChecked(IDC_CLEAR_SIGNAL_CHECK, pulseConfig.clearSignal == 1);
    view.SetSelection(IDC_PERIOD_COMBO, EntryOf(pulseConfig.period, PERIOD_TEXTS.size()));
    // A value of 1 or below shows as "なし" and is written back as 0; one above the list has no
    // entry and goes back as it was read.
    view.SetSelection(IDC_DEBOUNCE_COMBO,
                      pulseConfig.debounce < 1 ? 0 : DebounceIndexOfValue(pulseConfig.debounce));
    for (int32_t i = 0; i < inputCount; ++i) {
        view.SetSelection(IDC_EDGE_COMBO[i], EntryOf(pulseConfig.edge[i], EDGE_TEXTS.size()));
    }
    view.SetControlText(IDC_COUNT_STATUS_TEXT,
                        pulseConfig.countingOn != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
}

// The settings as the controls show them. A drop-down list without a selection (a value from the
// unit that has no entry) keeps the held value, so applying sends it back unchanged.
PulseConfig DialogCore::SettingsFromControls() const {
    PulseConfig next = pulseConfig;
    next.mode = MODE_OFF;
    if (view.IsChecked(IDC_ENABLE_CHECK)) {
        next.mode = MODE_SINGLE_PHASE;
        if (view.IsChecked(IDC_TWO_PHASE_RADIO)) {
            next.mode = view.IsChecked(IDC_X4_RADIO) ? MODE_TWO_PHASE_X4 : MODE_TWO_PHASE_X2;
        }
    }
    next.clearSignal = view.IsChecked(IDC_CLEAR_SIGNAL_CHECK) ? 1 : 0;
    const int32_t period = view.Selection(IDC_PERIOD_COMBO);
    if (period >= 0) next.period = period;
    const int32_t debounce = view.Selection(IDC_DEBOUNCE_COMBO);
    if (debounce >= 0) next.debounce = DebounceValueOfIndex(debounce);
    for (int32_t i = 0; i < inputCount; ++i) {
        const int32_t edge = view.Selection(IDC_EDGE_COMBO[i]);
        if (edge >= 0) next.edge[i] = edge;
    }
    return next;
}
