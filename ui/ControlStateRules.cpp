#include <initializer_list>
#include <span>

#include "dialog/ControlIds.h"
#include "dialog/DialogTexts.h"
#include "ui/VelkorDlg.h"

namespace {

void EnableEach(ControlDialog& dialog, std::span<const int32_t> ids, bool enable) {
    for (int32_t id : ids)
        dialog.EnableControl(id, enable);
}

void EnableEach(ControlDialog& dialog, std::initializer_list<int32_t> ids, bool enable) {
    EnableEach(dialog, std::span<const int32_t>(ids.begin(), ids.size()), enable);
}

// The edge row and the count row of one input.
void ShowInputRows(ControlDialog& dialog, int i, bool show) {
    for (int32_t id :
         {IDC_EDGE_COMBO[i], IDC_EDGE_LABEL[i], IDC_COUNT_LABEL[i], IDC_COUNT_VALUE[i]})
        dialog.ShowControl(id, show);
}

}  // namespace

// Which controls are enabled and shown follows from the connection state, the unit's input count,
// the route and mode buttons and whether a settings worker runs, read at each step; the rules
// keep no state of their own, so running them again changes nothing. The check states themselves
// are never changed here. The rules run whole on the user-interface thread: no click lands
// between two of them.
void CVelkorDlg::UpdateControls() {
    OnGuiThread([this] {
        if (ConnState.load() == Disconnected) {
            ApplyDisconnectedRules();
        } else {
            ApplyConnectedRules();
        }
        ApplySettingsWorkerLock();
    });
}

// Untouched: ClearSignalCheck's visibility, the count label texts, TwoPhaseRadio's caption and the
// bottom strip (ProgressBar, VersionText).
void CVelkorDlg::ApplyDisconnectedRules() {
    // 1.
    SetControlText(IDC_CONNECT_BUTTON, QString::fromUtf8(CONNECT_CAPTION));
    // 2.
    EnableEach(*this, IDC_ROUTE_TEXTS, true);
    EnableEach(*this, IDC_SETTINGS_TEXTS, false);
    // 3.
    EnableEach(*this, {IDC_NODE_EDIT, IDC_LAN_RADIO, IDC_USB_RADIO}, true);
    EnableControl(IDC_ADDRESS_EDIT, IsChecked(IDC_LAN_RADIO));
    EnableControl(IDC_TCP_PORT_EDIT, IsChecked(IDC_LAN_RADIO));
    EnableControl(IDC_PORT_COMBO, IsChecked(IDC_USB_RADIO));
    // 4.
    EnableEach(*this,
               {IDC_ENABLE_CHECK, IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO, IDC_X2_RADIO,
                IDC_X4_RADIO, IDC_CLEAR_SIGNAL_CHECK, IDC_PERIOD_COMBO, IDC_DEBOUNCE_COMBO},
               false);
    // 5. and 9. Every row shown and disabled.
    for (int i = 0; i < MAX_INPUTS; ++i)
        ShowInputRows(*this, i, true);
    EnableEach(*this, IDC_EDGE_COMBO, false);
    EnableEach(*this, IDC_EDGE_LABEL, false);
    EnableEach(*this, IDC_COUNT_LABEL, false);
    EnableEach(*this, IDC_COUNT_VALUE, false);
    // 6.
    SetControlText(IDC_DEVICE_INFO_TEXT, QString());
    // 7.
    EnableEach(*this,
               {IDC_WRITE_SETTINGS_BUTTON, IDC_READ_SETTINGS_BUTTON, IDC_COUNT_STATUS_TEXT,
                IDC_START_STOP_BUTTON},
               false);
    ShowControl(IDC_COUNT_STATUS_TEXT, true);
    ShowControl(IDC_START_STOP_BUTTON, true);
    // 8.
    EnableEach(*this, {IDC_READ_COUNTS_BUTTON, IDC_AUTO_UPDATE_CHECK, IDC_INTERVAL_EDIT}, false);
    // 10.
    for (int32_t id : IDC_COUNT_VALUE)
        SetControlText(id, QString());
}

// Untouched: the count label and value texts, DeviceInfoText and the bottom strip (ProgressBar,
// VersionText).
void CVelkorDlg::ApplyConnectedRules() {
    const bool E = IsChecked(IDC_ENABLE_CHECK);
    const bool S = IsChecked(IDC_SINGLE_PHASE_RADIO);
    const bool T = IsChecked(IDC_TWO_PHASE_RADIO);
    const bool A = IsChecked(IDC_AUTO_UPDATE_CHECK);
    const int32_t inputs = InputCount.load();

    // 1.
    EnableEach(*this, {IDC_WRITE_SETTINGS_BUTTON, IDC_READ_SETTINGS_BUTTON}, true);
    // 2. The rows of the unit's inputs only.
    for (int i = 0; i < MAX_INPUTS; ++i)
        ShowInputRows(*this, i, i < inputs);
    // 3. The clear signal comes in on DI3.
    ShowControl(IDC_CLEAR_SIGNAL_CHECK, inputs >= 3);
    // 4.
    EnableEach(*this, IDC_ROUTE_TEXTS, false);
    EnableEach(*this,
               {IDC_NODE_EDIT, IDC_LAN_RADIO, IDC_USB_RADIO, IDC_ADDRESS_EDIT, IDC_TCP_PORT_EDIT,
                IDC_PORT_COMBO},
               false);
    // 5.
    SetControlText(IDC_CONNECT_BUTTON, QString::fromUtf8(DISCONNECT_CAPTION));
    // 6.
    EnableControl(IDC_ENABLE_CHECK, true);
    EnableEach(*this, {IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO}, E);
    EnableEach(*this, {IDC_X2_RADIO, IDC_X4_RADIO, IDC_CLEAR_SIGNAL_CHECK}, E && T);
    // 7. The edges count in both modes; debounce applies to single-phase counting only.
    EnableEach(*this, IDC_EDGE_COMBO, E);
    EnableEach(*this, IDC_EDGE_LABEL, E);
    EnableControl(IDC_PERIOD_COMBO, E);
    EnableControl(IDC_DEBOUNCE_COMBO, E && S);
    // 8. The interval is fixed while auto-update runs.
    EnableEach(*this,
               {IDC_COUNT_STATUS_TEXT, IDC_START_STOP_BUTTON, IDC_READ_COUNTS_BUTTON,
                IDC_AUTO_UPDATE_CHECK},
               E);
    EnableControl(IDC_INTERVAL_EDIT, E && !A);
    // 9.
    EnableEach(*this, {IDC_SETTINGS_GROUP, IDC_PERIOD_LABEL}, E);
    EnableControl(IDC_DEBOUNCE_LABEL, E && S);
    EnableEach(*this, {IDC_INTERVAL_LABEL, IDC_SECONDS_LABEL}, E && !A);
    // 10.
    EnableEach(*this, IDC_COUNT_LABEL, E);
    EnableEach(*this, IDC_COUNT_VALUE, E);
    // 11. Two-phase counting runs without chatter removal.
    if (T) SetSelection(IDC_DEBOUNCE_COMBO, 0);
    // 12. The second encoder pair needs DI4 and DI5.
    SetControlText(IDC_TWO_PHASE_RADIO, QString::fromUtf8(inputs >= 4 ? TWO_PHASE_LONG_CAPTION
                                                                      : TWO_PHASE_SHORT_CAPTION));
}

// A running settings worker holds ConnectButton, the settings buttons and StartStopButton. The
// hold is one of the rules, so no run of them (a click on a mode button, the end of the worker's
// own read) gives a button back under the worker.
void CVelkorDlg::ApplySettingsWorkerLock() {
    if (!settingsWorkerActive.load()) return;
    EnableEach(*this,
               {IDC_CONNECT_BUTTON, IDC_WRITE_SETTINGS_BUTTON, IDC_READ_SETTINGS_BUTTON,
                IDC_START_STOP_BUTTON},
               false);
}
