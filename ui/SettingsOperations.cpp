#include <QGuiApplication>

#include "device/SettingsRules.h"
#include "device/ValueTables.h"
#include "link/UnitCommands.h"
#include "dialog/ControlIds.h"
#include "device/OperatorTexts.h"
#include "ui/OperatorText.h"
#include "ui/VelkorDlg.h"

void CVelkorDlg::OnStartStop() {
    // A settings worker's or the connection's exchange may be waiting: a second one would share
    // its reply count.
    if (settingsWorkerActive.load() || ConnState.load() != Connected) return;
    const bool start = pulseConfig.countingOn == 0;
    // The window does not answer while it waits for the reply (up to 10 s): the cursor says so.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    workers.Reach(WorkerStep::StartStopWait);
    const int code = StartStopExchange(Session, *this, start);
    QGuiApplication::restoreOverrideCursor();
    if (code != 0) {
        ShowMessage(OperatorText(code, Session));
        return;
    }
    pulseConfig.countingOn = start ? 1 : 0;
    SetControlText(IDC_COUNT_STATUS_TEXT, start ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
}

// PeriodCombo: the chosen period goes into the held settings; no rule depends on it.
void CVelkorDlg::OnPeriodSelChange() {
    pulseConfig.period = Selection(IDC_PERIOD_COMBO);
    UpdateControls();
}

void CVelkorDlg::OnReadSettings() {
    StartSettingsWorker(&CVelkorDlg::ReadSettingsThread);
}

void CVelkorDlg::OnApplySettings() {
    StartSettingsWorker(&CVelkorDlg::ApplySettingsThread);
}

// One settings worker at a time, and none while a connection is still being made: its last
// steps already show the connected controls, but it may yet close the link. The worker's hold on
// the buttons is taken here, before it starts, so that no second click can start a second one;
// being one of the control-state rules, it keeps Start/Stop and ConnectButton disabled with them,
// so that no two waiting exchanges share the awaited-reply counter and the link stays open.
void CVelkorDlg::StartSettingsWorker(void (CVelkorDlg::*body)()) {
    if (ConnState.load() != Connected || settingsWorkerActive.load()) return;
    settingsWorkerActive.store(true);
    ApplySettingsWorkerLock();
    workers.Start([this, body] { (this->*body)(); });
}

// The hold ends in one step, so that no click lands while the worker is half done giving the
// buttons back: they become what the connected rules make them.
void CVelkorDlg::UnlockAfterSettingsWorker() {
    workers.Reach(WorkerStep::SettingsUnlock);
    OnGuiThread([this] {
        settingsWorkerActive.store(false);
        for (int32_t id : {IDC_CONNECT_BUTTON, IDC_WRITE_SETTINGS_BUTTON, IDC_READ_SETTINGS_BUTTON})
            EnableControl(id, true);
        EnableControl(IDC_START_STOP_BUTTON, IsChecked(IDC_ENABLE_CHECK));
    });
}

void CVelkorDlg::ReadSettingsThread() {
    workers.Reach(WorkerStep::SettingsExchange);
    QString errorText;
    if (ReadSettings(errorText) < 0) ShowMessage(errorText);
    UnlockAfterSettingsWorker();
}

void CVelkorDlg::ApplySettingsThread() {
    workers.Reach(WorkerStep::SettingsExchange);
    ApplySettings();
    UnlockAfterSettingsWorker();
}

int CVelkorDlg::ReadSettings(QString& errorText) {
    BeginProgress();
    const int code = ReadSettingsExchange(Session, *this, InputCount.load());
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

void CVelkorDlg::ApplySettings() {
    const PulseConfig next = SettingsFromControls();
    if (!EncoderInputsUsable(next)) return;
    BeginProgress();
    const int code = WriteSettingsExchange(Session, *this, next, InputCount.load());
    EndProgress();
    if (code != 0) {
        // Edges the unit already took stay set there; the held settings stay as they were.
        ShowMessage(OperatorText(code, Session));
        return;
    }
    // A fixed period counts from the moment it is set; START-STOP waits for a start.
    SetControlText(IDC_COUNT_STATUS_TEXT, next.period != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT);
    TakeWrittenSettings(pulseConfig, next, InputCount.load());
}
