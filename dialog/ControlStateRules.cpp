#include "dialog/ControlStateRules.h"

#include <initializer_list>
#include <span>

#include "device/PulseConfig.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogTexts.h"

namespace {

class RuleSheet {
public:
    explicit RuleSheet(ControlStates& out) : out(out) {}

    void Enable(std::span<const int32_t> ids, bool enable) {
        for (int32_t id : ids)
            out.controls[id].enabled = enable;
    }
    void Enable(std::initializer_list<int32_t> ids, bool enable) {
        Enable(std::span<const int32_t>(ids.begin(), ids.size()), enable);
    }
    void Show(std::initializer_list<int32_t> ids, bool show) {
        for (int32_t id : ids)
            out.controls[id].shown = show;
    }
    // The edge row and the count row of one input.
    void ShowInputRows(int i, bool show) {
        Show({IDC_EDGE_COMBO[i], IDC_EDGE_LABEL[i], IDC_COUNT_LABEL[i], IDC_COUNT_VALUE[i]}, show);
    }

private:
    ControlStates& out;
};

// Untouched: ClearSignalCheck's visibility, the count label texts, TwoPhaseRadio's caption and the
// bottom strip (ProgressBar, VersionText).
void DisconnectedRules(const DialogState& s, RuleSheet& rules, ControlStates& out) {
    out.connectCaption = CONNECT_CAPTION;
    rules.Enable(IDC_ROUTE_TEXTS, true);
    rules.Enable(IDC_SETTINGS_TEXTS, false);
    rules.Enable({IDC_NODE_EDIT, IDC_LAN_RADIO, IDC_USB_RADIO}, true);
    rules.Enable({IDC_ADDRESS_EDIT, IDC_TCP_PORT_EDIT}, s.lan);
    rules.Enable({IDC_PORT_COMBO}, s.usb);
    rules.Enable({IDC_ENABLE_CHECK, IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO, IDC_X2_RADIO,
                  IDC_X4_RADIO, IDC_CLEAR_SIGNAL_CHECK, IDC_PERIOD_COMBO, IDC_DEBOUNCE_COMBO},
                 false);
    for (int i = 0; i < MAX_INPUTS; ++i)
        rules.ShowInputRows(i, true);
    for (const auto& ids : {IDC_EDGE_COMBO, IDC_EDGE_LABEL, IDC_COUNT_LABEL, IDC_COUNT_VALUE})
        rules.Enable(ids, false);
    out.clearDeviceInfo = true;
    rules.Enable(
        {IDC_WRITE_SETTINGS_BUTTON, IDC_READ_SETTINGS_BUTTON, IDC_COUNT_STATUS_TEXT,
         IDC_START_STOP_BUTTON, IDC_READ_COUNTS_BUTTON, IDC_AUTO_UPDATE_CHECK, IDC_INTERVAL_EDIT},
        false);
    rules.Show({IDC_COUNT_STATUS_TEXT, IDC_START_STOP_BUTTON}, true);
    out.clearCountValues = true;
}

// Untouched: the count label and value texts, DeviceInfoText and the bottom strip.
void ConnectedRules(const DialogState& s, RuleSheet& rules, ControlStates& out) {
    const bool E = s.enable, S = s.singlePhase, T = s.twoPhase, A = s.autoUpdate;
    const int32_t n = s.InputCount;
    rules.Enable({IDC_WRITE_SETTINGS_BUTTON, IDC_READ_SETTINGS_BUTTON}, true);
    for (int i = 0; i < MAX_INPUTS; ++i)
        rules.ShowInputRows(i, i < n);
    // The clear signal comes in on DI3.
    rules.Show({IDC_CLEAR_SIGNAL_CHECK}, n >= 3);
    rules.Enable(IDC_ROUTE_TEXTS, false);
    rules.Enable({IDC_NODE_EDIT, IDC_LAN_RADIO, IDC_USB_RADIO, IDC_ADDRESS_EDIT, IDC_TCP_PORT_EDIT,
                  IDC_PORT_COMBO},
                 false);
    out.connectCaption = DISCONNECT_CAPTION;
    rules.Enable({IDC_ENABLE_CHECK}, true);
    rules.Enable({IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO}, E);
    rules.Enable({IDC_X2_RADIO, IDC_X4_RADIO, IDC_CLEAR_SIGNAL_CHECK}, E && T);
    // The edges count in both modes; debounce applies to single-phase counting only.
    rules.Enable(IDC_EDGE_COMBO, E);
    rules.Enable(IDC_EDGE_LABEL, E);
    rules.Enable({IDC_PERIOD_COMBO, IDC_SETTINGS_GROUP, IDC_PERIOD_LABEL}, E);
    rules.Enable({IDC_DEBOUNCE_COMBO, IDC_DEBOUNCE_LABEL}, E && S);
    rules.Enable({IDC_COUNT_STATUS_TEXT, IDC_START_STOP_BUTTON, IDC_READ_COUNTS_BUTTON,
                  IDC_AUTO_UPDATE_CHECK},
                 E);
    // The interval is fixed while auto-update runs.
    rules.Enable({IDC_INTERVAL_EDIT, IDC_INTERVAL_LABEL, IDC_SECONDS_LABEL}, E && !A);
    rules.Enable(IDC_COUNT_LABEL, E);
    rules.Enable(IDC_COUNT_VALUE, E);
    // Two-phase counting runs without chatter removal.
    out.debounceToFirst = T;
    // The second encoder pair needs DI4 and DI5.
    out.twoPhaseCaption = n >= 4 ? TWO_PHASE_LONG_CAPTION : TWO_PHASE_SHORT_CAPTION;
}

// While the link is being opened and the unit identified, the route and node are locked and the
// button aborts; the rest stays as the disconnected rules left it.
void OpeningRules(RuleSheet& rules, ControlStates& out) {
    rules.Enable({IDC_NODE_EDIT, IDC_LAN_RADIO, IDC_USB_RADIO, IDC_ADDRESS_EDIT, IDC_TCP_PORT_EDIT,
                  IDC_PORT_COMBO},
                 false);
    out.connectCaption = ABORT_CAPTION;
    out.clearDeviceInfo = false;
    out.clearCountValues = false;
}

// A button that would start a second exchange under a running one, or close the link under a
// settings worker, is disabled: no two waiting exchanges share the awaited-reply counter.
void BusyRules(const DialogState& s, RuleSheet& rules) {
    switch (s.operation) {
        case Operation::ConnectSettingsShown:
            rules.Enable({IDC_READ_SETTINGS_BUTTON, IDC_WRITE_SETTINGS_BUTTON,
                          IDC_START_STOP_BUTTON, IDC_READ_COUNTS_BUTTON, IDC_AUTO_UPDATE_CHECK},
                         false);
            break;
        case Operation::ReadingSettings:
        case Operation::WritingSettings:
            rules.Enable({IDC_CONNECT_BUTTON, IDC_READ_SETTINGS_BUTTON, IDC_WRITE_SETTINGS_BUTTON,
                          IDC_START_STOP_BUTTON},
                         false);
            break;
        case Operation::None:
        case Operation::Connecting:
            break;
    }
}

}  // namespace

ControlState ControlStates::Of(int32_t id) const {
    const auto found = controls.find(id);
    return found == controls.end() ? ControlState{} : found->second;
}

ControlStates ControlStatesOf(const DialogState& state) {
    ControlStates out;
    RuleSheet rules(out);
    // ConnectButton acts in every state but under a settings worker.
    rules.Enable({IDC_CONNECT_BUTTON}, true);
    if (state.ConnState == Disconnected || state.operation == Operation::Connecting) {
        DisconnectedRules(state, rules, out);
        if (state.operation == Operation::Connecting) OpeningRules(rules, out);
    } else {
        ConnectedRules(state, rules, out);
    }
    BusyRules(state, rules);
    return out;
}
