#include "ui/ControlIds.h"
#include "ui/DialogTexts.h"
#include "ui/VelkorDlg.h"

// Which controls are enabled and shown follows from the connection state, the unit's input count
// and the route and mode buttons alone, read at each step; the rules keep no state of their own,
// so running them again changes nothing. The check states themselves are never changed here.
void CVelkorDlg::UpdateControls() {
    if (ConnState.load() == Disconnected) {
        ApplyDisconnectedRules();
    } else {
        ApplyConnectedRules();
    }
}

// Untouched: ClearSignalCheck's visibility, the count label texts, TwoPhaseRadio's caption,
// whether ConnectButton is enabled, and the bottom strip (ProgressBar, VersionText).
void CVelkorDlg::ApplyDisconnectedRules() {
    // 1.
    SetControlText(IDC_CONNECT_BUTTON, QString::fromUtf8(CONNECT_CAPTION));
    // 2.
    for (int32_t id : IDC_ROUTE_TEXTS)
        EnableControl(id, true);
    for (int32_t id : IDC_SETTINGS_TEXTS)
        EnableControl(id, false);
    // 3.
    EnableControl(IDC_NODE_EDIT, true);
    EnableControl(IDC_LAN_RADIO, true);
    EnableControl(IDC_USB_RADIO, true);
    EnableControl(IDC_ADDRESS_EDIT, IsChecked(IDC_LAN_RADIO));
    EnableControl(IDC_TCP_PORT_EDIT, IsChecked(IDC_LAN_RADIO));
    EnableControl(IDC_PORT_COMBO, IsChecked(IDC_USB_RADIO));
    // 4.
    for (int32_t id :
         {IDC_ENABLE_CHECK, IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO, IDC_X2_RADIO, IDC_X4_RADIO,
          IDC_CLEAR_SIGNAL_CHECK, IDC_PERIOD_COMBO, IDC_DEBOUNCE_COMBO}) {
        EnableControl(id, false);
    }
    // 5.
    for (int i = 0; i < MAX_INPUTS; ++i) {
        ShowControl(IDC_EDGE_COMBO[i], true);
        ShowControl(IDC_EDGE_LABEL[i], true);
        EnableControl(IDC_EDGE_COMBO[i], false);
        EnableControl(IDC_EDGE_LABEL[i], false);
    }
    // 6.
    SetControlText(IDC_DEVICE_INFO_TEXT, QString());
    // 7.
    for (int32_t id : {IDC_WRITE_SETTINGS_BUTTON, IDC_READ_SETTINGS_BUTTON, IDC_COUNT_STATUS_TEXT,
                       IDC_START_STOP_BUTTON}) {
        EnableControl(id, false);
    }
    ShowControl(IDC_COUNT_STATUS_TEXT, true);
    ShowControl(IDC_START_STOP_BUTTON, true);
    // 8.
    for (int32_t id : {IDC_READ_COUNTS_BUTTON, IDC_AUTO_UPDATE_CHECK, IDC_INTERVAL_EDIT}) {
        EnableControl(id, false);
    }
    // 9.
    for (int i = 0; i < MAX_INPUTS; ++i) {
        ShowControl(IDC_COUNT_LABEL[i], true);
        ShowControl(IDC_COUNT_VALUE[i], true);
        EnableControl(IDC_COUNT_LABEL[i], false);
        EnableControl(IDC_COUNT_VALUE[i], false);
    }
    // 10.
    for (int32_t id : IDC_COUNT_VALUE)
        SetControlText(id, QString());
}

// Untouched: the count label and value texts, DeviceInfoText, whether ConnectButton is enabled,
// and the bottom strip (ProgressBar, VersionText).
void CVelkorDlg::ApplyConnectedRules() {
    const auto E = [this] { return IsChecked(IDC_ENABLE_CHECK); };
    const auto S = [this] { return IsChecked(IDC_SINGLE_PHASE_RADIO); };
    const auto T = [this] { return IsChecked(IDC_TWO_PHASE_RADIO); };
    const auto A = [this] { return IsChecked(IDC_AUTO_UPDATE_CHECK); };

    // 1.
    EnableControl(IDC_WRITE_SETTINGS_BUTTON, true);
    EnableControl(IDC_READ_SETTINGS_BUTTON, true);
    // 2. The rows of the unit's inputs only.
    for (int i = 0; i < MAX_INPUTS; ++i) {
        const bool present = i < InputCount.load();
        ShowControl(IDC_EDGE_COMBO[i], present);
        ShowControl(IDC_EDGE_LABEL[i], present);
        ShowControl(IDC_COUNT_LABEL[i], present);
        ShowControl(IDC_COUNT_VALUE[i], present);
    }
    // 3. The clear signal comes in on DI3.
    ShowControl(IDC_CLEAR_SIGNAL_CHECK, InputCount.load() >= 3);
    // 4.
    for (int32_t id : IDC_ROUTE_TEXTS)
        EnableControl(id, false);
    for (int32_t id : {IDC_NODE_EDIT, IDC_LAN_RADIO, IDC_USB_RADIO, IDC_ADDRESS_EDIT,
                       IDC_TCP_PORT_EDIT, IDC_PORT_COMBO}) {
        EnableControl(id, false);
    }
    // 5.
    SetControlText(IDC_CONNECT_BUTTON, QString::fromUtf8(DISCONNECT_CAPTION));
    // 6.
    EnableControl(IDC_ENABLE_CHECK, true);
    EnableControl(IDC_SINGLE_PHASE_RADIO, E());
    EnableControl(IDC_TWO_PHASE_RADIO, E());
    EnableControl(IDC_X2_RADIO, E() && T());
    EnableControl(IDC_X4_RADIO, E() && T());
    EnableControl(IDC_CLEAR_SIGNAL_CHECK, E() && T());
    // 7. The edges count in both modes; debounce applies to single-phase counting only.
    for (int i = 0; i < MAX_INPUTS; ++i) {
        EnableControl(IDC_EDGE_COMBO[i], E());
        EnableControl(IDC_EDGE_LABEL[i], E());
    }
    EnableControl(IDC_PERIOD_COMBO, E());
    EnableControl(IDC_DEBOUNCE_COMBO, E() && S());
    // 8. The interval is fixed while auto-update runs.
    EnableControl(IDC_COUNT_STATUS_TEXT, E());
    EnableControl(IDC_START_STOP_BUTTON, E());
    EnableControl(IDC_READ_COUNTS_BUTTON, E());
    EnableControl(IDC_AUTO_UPDATE_CHECK, E());
    EnableControl(IDC_INTERVAL_EDIT, E() && !A());
    // 9.
    EnableControl(IDC_SETTINGS_GROUP, E());
    EnableControl(IDC_PERIOD_LABEL, E());
    EnableControl(IDC_DEBOUNCE_LABEL, E() && S());
    EnableControl(IDC_INTERVAL_LABEL, E() && !A());
    EnableControl(IDC_SECONDS_LABEL, E() && !A());
    // 10.
    for (int i = 0; i < MAX_INPUTS; ++i) {
        EnableControl(IDC_COUNT_LABEL[i], E());
        EnableControl(IDC_COUNT_VALUE[i], E());
    }
    // 11. Two-phase counting runs without chatter removal.
    if (T()) SetSelection(IDC_DEBOUNCE_COMBO, 0);
    // 12. The second encoder pair needs DI4 and DI5.
    SetControlText(IDC_TWO_PHASE_RADIO,
                   QString::fromUtf8(InputCount.load() >= 4 ? TWO_PHASE_LONG_CAPTION
                                                            : TWO_PHASE_SHORT_CAPTION));
}

// PeriodCombo: the chosen period goes into the held settings; no rule depends on it.
void CVelkorDlg::OnPeriodSelChange() {
    pulseConfig.period = Selection(IDC_PERIOD_COMBO);
    UpdateControls();
}
