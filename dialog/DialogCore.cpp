#include "dialog/DialogCore.h"

#include <span>

#include "device/ValueTables.h"
#include "dialog/ControlIds.h"
#include "dialog/ControlStateRules.h"
#include "dialog/DialogTexts.h"

namespace {

std::vector<std::string> Texts(std::span<const char* const> texts) {
    return {texts.begin(), texts.end()};
}

}  // namespace

DialogCore::DialogCore(DialogView& view, LinkSession& session) : view(view), session(session) {}

DialogCore::~DialogCore() {
    ShutDown();
}

void DialogCore::OnInitDialog(const std::string& versionText) {
    view.SetControlText(IDC_VERSION_TEXT, versionText);
    autoUpdateSeconds = 0;
    abortRequested.store(0);
    view.ShowControl(IDC_PROGRESS_BAR, false);
    RefreshPortList();
    connState.store(Disconnected);
    CheckRadio(IDC_LAN_RADIO, IDC_USB_RADIO);
    CheckRadio(IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO);
    CheckRadio(IDC_X2_RADIO, IDC_X4_RADIO);
    view.SetControlText(IDC_TCP_PORT_EDIT, DEFAULT_TCP_PORT);
    // The rules empty them again: the widest text sizes nothing here, but shows it would fit.
    for (int32_t id : IDC_COUNT_VALUE)
        view.SetControlText(id, WIDEST_COUNT_TEXT);
    view.SetListEntries(IDC_DEBOUNCE_COMBO, Texts(DEBOUNCE_TEXTS));
    view.SetListEntries(IDC_PERIOD_COMBO, Texts(PERIOD_TEXTS));
    view.SetSelection(IDC_DEBOUNCE_COMBO, 0);
    view.SetSelection(IDC_PERIOD_COMBO, 0);
    for (int32_t id : IDC_EDGE_COMBO) {
        view.SetListEntries(id, Texts(EDGE_TEXTS));
        view.SetSelection(id, 0);
    }
    view.SetControlText(IDC_DEVICE_INFO_TEXT, "");
    view.SetControlText(IDC_INTERVAL_EDIT, DEFAULT_INTERVAL);
    inputCount = 0;
    countBusy.store(0);
    UpdateControls();
}

DialogState DialogCore::State() const {
    DialogState state;
    state.ConnState = connState.load();
    state.operation = operation;
    state.InputCount = inputCount;
    state.lan = view.IsChecked(IDC_LAN_RADIO);
    state.usb = view.IsChecked(IDC_USB_RADIO);
    state.enable = view.IsChecked(IDC_ENABLE_CHECK);
    state.singlePhase = view.IsChecked(IDC_SINGLE_PHASE_RADIO);
    state.twoPhase = view.IsChecked(IDC_TWO_PHASE_RADIO);
    state.autoUpdate = view.IsChecked(IDC_AUTO_UPDATE_CHECK);
    return state;
}

void DialogCore::UpdateControls() {
    const ControlStates states = ControlStatesOf(State());
    for (const auto& [id, control] : states.controls) {
        if (control.enabled) view.EnableControl(id, *control.enabled);
        if (control.shown) view.ShowControl(id, *control.shown);
    }
    if (states.connectCaption) view.SetControlText(IDC_CONNECT_BUTTON, states.connectCaption);
    if (states.twoPhaseCaption) view.SetControlText(IDC_TWO_PHASE_RADIO, states.twoPhaseCaption);
    if (states.clearDeviceInfo) view.SetControlText(IDC_DEVICE_INFO_TEXT, "");
    if (states.clearCountValues) {
        for (int32_t id : IDC_COUNT_VALUE)
            view.SetControlText(id, "");
    }
    if (states.debounceToFirst) view.SetSelection(IDC_DEBOUNCE_COMBO, 0);
}

void DialogCore::CheckRadio(int32_t checkedId, int32_t clearedId) {
    view.SetChecked(clearedId, false);
    view.SetChecked(checkedId, true);
}

void DialogCore::ShowMessage(const std::string& text) {
    // Nobody is left to read a message once the window closes.
    if (closing) return;
    ++messageDepth;
    view.ShowMessage(text);
    --messageDepth;
    UpdateControls();
    // What was held applies once the code after the box, which called this, has run too.
    if (messageDepth == 0 && !held.empty()) view.PostToUiThread([this] { ApplyHeld(); });
}

// ProgressBar and VersionText share the bottom strip: one of them is shown at a time.
void DialogCore::BeginProgress() {
    view.ShowControl(IDC_VERSION_TEXT, false);
    view.ShowControl(IDC_PROGRESS_BAR, true);
}

void DialogCore::EndProgress() {
    view.ShowControl(IDC_PROGRESS_BAR, false);
    view.ShowControl(IDC_VERSION_TEXT, true);
}

// The operation is written here, on the user-interface thread, before the worker exists: no
// event can see the worker running under an older state.
void DialogCore::StartWorker(Operation op, std::function<void(int32_t attempt)> body) {
    operation = op;
    const int32_t attempt = ++currentAttempt;
    workers.Start([body = std::move(body), attempt] { body(attempt); });
}

void DialogCore::Post(int32_t attempt, WorkerResult result) {
    view.PostToUiThread([this, attempt, result = std::move(result)]() mutable {
        Receive(attempt, std::move(result));
    });
}

// A box's own event loop runs the tasks posted meanwhile; their results wait for the box, and
// whatever arrives after them waits its turn behind them.
void DialogCore::Receive(int32_t attempt, WorkerResult result) {
    if (messageDepth > 0 || !held.empty()) {
        held.emplace_back(attempt, std::move(result));
        return;
    }
    Apply(attempt, result);
}

void DialogCore::ApplyHeld() {
    while (messageDepth == 0 && !held.empty()) {
        const auto [attempt, result] = std::move(held.front());
        held.pop_front();
        Apply(attempt, result);
    }
}

// A result of an attempt that closing (or a newer attempt) has ended is dropped.
void DialogCore::Apply(int32_t attempt, const WorkerResult& result) {
    if (attempt != currentAttempt || closing) return;
    switch (operation) {
        case Operation::Connecting:
        case Operation::ConnectSettingsShown:
            ApplyConnectResult(result);
            break;
        case Operation::ReadingSettings:
        case Operation::WritingSettings:
            ApplySettingsResult(result);
            break;
        case Operation::None:
            break;
    }
}

// Closing in any state. The link may outlive the dialog (it is the program's one session).
void DialogCore::ShutDown() {
    if (closing) return;
    closing = true;
    DetachReplyTarget(session, static_cast<ReplyTarget*>(this));
    view.KillTimer();
    autoUpdateSeconds = 0;
    // An opening link does not heed the operator's abort, but it must not hold up the program's
    // end: a name being resolved or a connection being waited for ends at once.
    CancelOpening(session);
    // Each wait of a worker's command sequence consumes the abort; keep it raised until all of
    // them are done.
    workers.JoinAll([this] { abortRequested.store(1); });
    abortRequested.store(0);
    CloseLink(session);
    ResumeOpening(session);  // no worker is left to open it; the session may serve again
    ++currentAttempt;
    held.clear();
    operation = Operation::None;
    connState.store(Disconnected);
    closing = false;
}
