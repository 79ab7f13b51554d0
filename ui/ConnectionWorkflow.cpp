#include <cstdlib>

#include "device/ModelCatalogue.h"
#include "link/HandleReply.h"
#include "link/UnitCommands.h"
#include "ui/AsciiTrim.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogTexts.h"
#include "device/OperatorTexts.h"
#include "ui/OperatorText.h"
#include "ui/VelkorDlg.h"

namespace {

// Controls of the route and node, locked while a connection is made.
constexpr int32_t CONNECTION_CONTROLS[] = {IDC_NODE_EDIT,    IDC_LAN_RADIO,     IDC_USB_RADIO,
                                           IDC_ADDRESS_EDIT, IDC_TCP_PORT_EDIT, IDC_PORT_COMBO};

}  // namespace

void CVelkorDlg::OnConnectButton() {
    // From the click that started a connection worker to the end of the attempt, a click is the
    // operator's abort: never a second connection (the worker may not have reached its first
    // step yet), nor a disconnection under the feet of the worker. A reply wait of the attempt
    // ends on it; a click after the last wait, when the button already reads "切断", is carried
    // out as a disconnection once the attempt has ended (FinishConnecting).
    if (connectWorkerActive.load() || ConnState.load() == Connecting) {
        AbortRequestedFlag.store(1);
        return;
    }
    if (ConnState.load() == Connected) {
        Disconnect();
        return;
    }
    if (!TakeRoute() || !TakeNode()) return;
    Session.userData = ReplyUserData();
    Session.handler = &HandleReply;
    connectWorkerActive.store(true);
    workers.Start([this] { ConnectWorker(); });
}

// The route of the link from the route controls; the fields are written as each check passes.
bool CVelkorDlg::TakeRoute() {
    if (IsChecked(IDC_LAN_RADIO)) {
        Session.kind = Tcp;
        const std::string address = TrimmedAscii(ControlText(IDC_ADDRESS_EDIT));
        if (address.empty()) {
            ShowMessage(ADDRESS_MISSING_MESSAGE);
            return false;
        }
        Session.host = address;
        const std::string port = TrimmedAscii(ControlText(IDC_TCP_PORT_EDIT));
        if (port.empty()) {
            ShowMessage(PORT_MISSING_MESSAGE);
            return false;
        }
        Session.service = port;
    }
    if (IsChecked(IDC_USB_RADIO)) {
        Session.kind = Serial;
        const int selected = Selection(IDC_PORT_COMBO);
        if (selected < 0 || selected >= PortCount) {
            ShowMessage(SERIAL_PORT_MISSING_MESSAGE);
            return false;
        }
        Session.comPort = PortTable[static_cast<size_t>(selected)].ComNumber;
        Session.portPath = PortTable[static_cast<size_t>(selected)].DevicePath;
    }
    return true;
}

// The node: leading decimal digits after an optional sign; a text without digits reads as 0.
bool CVelkorDlg::TakeNode() {
    const std::string text = TrimmedAscii(ControlText(IDC_NODE_EDIT));
    const long node = std::strtol(text.c_str(), nullptr, 10);  // at most 3 characters
    NodeNumber.store(static_cast<int32_t>(node));
    if (text.empty() || node < 0 || node > MAX_NODE) {
        ShowMessage(NODE_INVALID_MESSAGE);
        return false;
    }
    return true;
}

void CVelkorDlg::Disconnect() {
    Session.userData = nullptr;  // no reply reaches the dialog from here on
    CloseLink(Session);
    if (AutoUpdateSeconds.load() != 0) {
        SetChecked(IDC_AUTO_UPDATE_CHECK, false);
        KillTimer(AUTO_UPDATE_TIMER_ID);
        AutoUpdateSeconds.store(0);
    }
    ConnState.store(Disconnected);
    UpdateControls();
}

void CVelkorDlg::ConnectWorker() {
    const int result = ConnectUnit();
    workers.Reach(WorkerStep::ConnectEnd);
    OnGuiThread([this, result] { FinishConnecting(result); });
}

// The end of an attempt, in one step on the user-interface thread, so that no click falls between
// the state and the controls that show it.
void CVelkorDlg::FinishConnecting(int result) {
    EndProgress();
    // An abort that no reply wait took: the operator pressed the button after the last wait of
    // the attempt (or while an opening that failed anyway was under way). The operator's last
    // click wins over the attempt: it is a disconnection. Nothing of it is left for the next
    // command or connection.
    const bool disconnectRequested = AbortRequestedFlag.exchange(0) != 0;
    connectWorkerActive.store(false);
    if (result < 0) {
        SetControlText(IDC_CONNECT_BUTTON, CONNECT_CAPTION);
        ConnState.store(Disconnected);
        UpdateControls();
        return;
    }
    ConnState.store(Connected);
    if (disconnectRequested) {
        Disconnect();
    } else {
        UpdateControls();
    }
}

// Opens the link, identifies the unit and reads its settings and counts; every failure has been
// shown to the operator when it returns negative.
int CVelkorDlg::ConnectUnit() {
    ConnState.store(Connecting);
    ShowConnecting();
    if (OpenLink(Session) < 0) {
        ShowMessage(OperatorText(-1, Session));
        return -1;
    }
    Session.node = NodeNumber.load();
    OnGuiThread([this] {
        SetChecked(IDC_AUTO_UPDATE_CHECK, false);
        SetControlText(IDC_INTERVAL_EDIT, DEFAULT_INTERVAL);
    });

    const int code = IdentifyExchange(Session, *this);
    if (code != 0) {
        DropLink(OperatorTextUnlessAborted(code, Session));
        return -1;
    }
    if (!IdentifyUnit()) return -1;

    QString errorText;
    if (ReadSettings(errorText) < 0) {
        DropLink(errorText);
        return -1;
    }
    workers.Reach(WorkerStep::ConnectCounts);
    if (RequestCounts(errorText) < 0) {
        DropLink(errorText);
        return -1;
    }
    return 0;
}

// The route and node are locked, the button aborts, the busy display runs.
void CVelkorDlg::ShowConnecting() {
    OnGuiThread([this] {
        for (int32_t id : CONNECTION_CONTROLS)
            EnableControl(id, false);
        SetControlText(IDC_CONNECT_BUTTON, ABORT_CAPTION);
        BeginProgress();
    });
}

// Names the unit and takes its input count; a model without pulse inputs is refused.
bool CVelkorDlg::IdentifyUnit() {
    const DeviceState unit = DeviceStateOf(Session);
    const std::string name = ModelNameOf(unit.modelCode, unit.subCode);
    SetControlText(IDC_DEVICE_INFO_TEXT,
                   QString::asprintf(DEVICE_INFO_FORMAT, name.c_str(), unit.unitId));
    InputCount.store(CapabilitiesOf(unit.modelCode).pulseInputCount);
    if (InputCount.load() != 0) return true;
    DropLink(NO_PULSE_INPUTS_MESSAGE);
    return false;
}

// Ends a failed connection: no reply reaches the dialog any more, the link is closed, and the
// reason is shown unless it is the operator's own abort.
void CVelkorDlg::DropLink(const QString& message) {
    Session.userData = nullptr;
    CloseLink(Session);
    if (!message.isEmpty()) ShowMessage(message);
}
