#include <cstdlib>

#include "device/InputText.h"
#include "device/OperatorTexts.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogCore.h"
#include "dialog/DialogTexts.h"
#include "dialog/OperatorText.h"
#include "link/HandleReply.h"

void DialogCore::OnConnectButton() {
    // From the click that started a connection worker to the end of the attempt, a click is the
    // operator's abort. A reply wait of the attempt ends on it; a click after the last wait is
    // carried out as a disconnection once the attempt has ended (FinishConnecting).
    if (connState.load() == Connecting) {
        abortRequested.store(1);
        return;
    }
    // The rules disable the button under a settings worker: it must not close the link.
    if (operation != Operation::None) return;
    if (connState.load() == Connected) {
        Disconnect();
        return;
    }
    if (!TakeRoute() || !TakeNode()) return;
    connState.store(Connecting);
    BeginProgress();
    const int32_t node = nodeNumber;
    StartWorker(Operation::Connecting, [this, node, route = route](int32_t attempt) {
        ConnectWorker(attempt, route, node);
    });
    UpdateControls();
}

// The route of the link from the route controls, as each check passes.
bool DialogCore::TakeRoute() {
    if (view.IsChecked(IDC_LAN_RADIO)) {
        route.kind = Tcp;
        const std::string address = TrimmedAscii(view.ControlText(IDC_ADDRESS_EDIT));
        if (address.empty()) {
            ShowMessage(ADDRESS_MISSING_MESSAGE);
            return false;
        }
        route.host = address;
        const std::string port = TrimmedAscii(view.ControlText(IDC_TCP_PORT_EDIT));
        if (port.empty()) {
            ShowMessage(PORT_MISSING_MESSAGE);
            return false;
        }
        route.service = port;
    }
    if (view.IsChecked(IDC_USB_RADIO)) {
        route.kind = Serial;
        const PortEntry* port = ports.At(view.Selection(IDC_PORT_COMBO));
        if (port == nullptr) {
            ShowMessage(SERIAL_PORT_MISSING_MESSAGE);
            return false;
        }
        route.comPort = port->ComNumber;
        route.portPath = port->DevicePath;
    }
    return true;
}

// The node: leading decimal digits after an optional sign; a text without digits reads as 0.
bool DialogCore::TakeNode() {
    const std::string text = TrimmedAscii(view.ControlText(IDC_NODE_EDIT));
    const long node = std::strtol(text.c_str(), nullptr, 10);  // at most 3 characters
    nodeNumber = static_cast<int32_t>(node);
    if (text.empty() || node < 0 || node > MAX_NODE) {
        ShowMessage(NODE_INVALID_MESSAGE);
        return false;
    }
    return true;
}

void DialogCore::Disconnect() {
    DetachReplyTarget(session, static_cast<ReplyTarget*>(this));  // no reply reaches it now
    CloseLink(session);
    if (autoUpdateSeconds != 0) {
        view.SetChecked(IDC_AUTO_UPDATE_CHECK, false);
        view.KillTimer();
        autoUpdateSeconds = 0;
    }
    connState.store(Disconnected);
    UpdateControls();
}

// ----- The worker: it only exchanges and posts ---------------------------------------------------

void DialogCore::ConnectWorker(int32_t attempt, const LinkRoute& route, int32_t node) {
    workers.Reach(WorkerStep::ConnectStart);
    const int result = ConnectUnit(attempt, route, node);
    workers.Reach(WorkerStep::WorkerEnd);
    Post(attempt, WorkerResult(WorkerResult::Kind::Finished, result == 0));
}

// Opens the link, identifies the unit and reads its settings; a failure has been posted, and the
// link closed, when it returns negative. The counts are requested on the user-interface thread.
int DialogCore::ConnectUnit(int32_t attempt, const LinkRoute& route, int32_t node) {
    using Kind = WorkerResult::Kind;
    if (OpenLink(session, route, &HandleReply, static_cast<ReplyTarget*>(this)) < 0) {
        Post(attempt, WorkerResult::FailedWith(FailureOfCode(-1, session), false));
        return -1;
    }
    SelectNode(session, node);
    Post(attempt, WorkerResult(Kind::LinkOpened));
    const Result<UnitIdentity> unitIdentity = unit.Identify();
    if (!unitIdentity) {
        DropLink();
        Post(attempt, WorkerResult::FailedWith(unitIdentity.Failure(), false));
        return -1;
    }
    WorkerResult identified(Kind::Identified);
    identified.inputCount = unitIdentity->inputCount;
    identified.deviceInfo.resize(unitIdentity->model.size() + 32);
    identified.deviceInfo.resize(static_cast<size_t>(
        std::snprintf(identified.deviceInfo.data(), identified.deviceInfo.size(),
                      DEVICE_INFO_FORMAT, unitIdentity->model.c_str(), unitIdentity->unitId)));
    Post(attempt, std::move(identified));
    if (RefusalOf(*unitIdentity)) {
        DropLink();
        Post(attempt, WorkerResult(Kind::Refused));
        return -1;
    }
    if (ReadSettings(attempt, unitIdentity->inputCount) < 0) {
        DropLink();
        return -1;
    }
    return 0;
}

// Ends a failed connection: no reply reaches the dialog any more and the link is closed.
void DialogCore::DropLink() {
    DetachReplyTarget(session, static_cast<ReplyTarget*>(this));
    CloseLink(session);
}

// ----- The user-interface thread applies, in the order of the steps ------------------------------

void DialogCore::ApplyConnectResult(const WorkerResult& result) {
    using Kind = WorkerResult::Kind;
    switch (result.kind) {
        case Kind::LinkOpened:
            view.SetChecked(IDC_AUTO_UPDATE_CHECK, false);
            view.SetControlText(IDC_INTERVAL_EDIT, DEFAULT_INTERVAL);
            break;
        case Kind::ProgressStarted:
            BeginProgress();
            break;
        case Kind::Identified:
            view.SetControlText(IDC_DEVICE_INFO_TEXT, result.deviceInfo);
            inputCount = result.inputCount;
            break;
        case Kind::Refused:
            ShowMessage(NO_PULSE_INPUTS_MESSAGE);
            break;
        case Kind::SettingsRead:
            EndProgress();
            ShowHeldSettings();
            operation = Operation::ConnectSettingsShown;
            break;
        case Kind::Failed:
            if (result.endsProgress) EndProgress();
            // The operator's own abort needs no explanation.
            if (result.failure.kind != FailureKind::Aborted)
                ShowMessage(OperatorText(result.failure));
            break;
        case Kind::Finished:
            FinishConnecting(result.succeeded);
            return;
    }
    UpdateControls();
}

// The end of an attempt. A successful one requests the counts here, where the count displays
// are.
void DialogCore::FinishConnecting(bool succeeded) {
    if (succeeded) {
        std::string errorText;
        if (RequestCounts(errorText) < 0) {
            DropLink();
            if (!errorText.empty()) ShowMessage(errorText);
            succeeded = false;
        }
    }
    EndProgress();
    // An abort that no reply wait took: the operator pressed the button after the last wait of
    // the attempt (or while an opening that failed anyway was under way). The operator's last
    // click wins over the attempt: it is a disconnection. Nothing of it is left for the next
    // command or connection.
    const bool disconnectRequested = abortRequested.exchange(0) != 0;
    operation = Operation::None;
    if (!succeeded) {
        connState.store(Disconnected);
        UpdateControls();
        return;
    }
    connState.store(Connected);
    if (disconnectRequested) {
        Disconnect();
    } else {
        UpdateControls();
    }
}
