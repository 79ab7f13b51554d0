#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "device/PulseConfig.h"
#include "dialog/DialogState.h"
#include "dialog/DialogView.h"
#include "dialog/PortTable.h"
#include "dialog/WorkerSet.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"
#include "unit/UnitProtocol.h"

// What a worker reports to the user-interface thread. A worker only exchanges: it gets its inputs
// copied when it starts, never touches a control and never waits for the user-interface thread,
// which applies each result in the order the worker posted them.
struct WorkerResult {
    enum class Kind {
        LinkOpened,       // connecting: the link is open
        ProgressStarted,  // an exchange of settings begins: the busy display runs
        Identified,       // connecting: the unit answered "MD" (deviceInfo, inputCount)
        Refused,          // connecting: a model without pulse inputs; the link is closed
        SettingsRead,     // the unit's settings are in the held record
        Failed,           // an exchange failed (`failure`); a connection's link is closed
        Finished,         // the worker ends; `succeeded` when its operation did
    };
    explicit WorkerResult(Kind kind, bool succeeded = false) : kind(kind), succeeded(succeeded) {}
    // Failed: the busy display ends before the message (settings exchanges), not after it
    // (opening and identifying, whose message shows while the attempt is still running).
    static WorkerResult FailedWith(UnitFailure failure, bool endsProgress) {
        WorkerResult result(Kind::Failed);
        result.failure = std::move(failure);
        result.endsProgress = endsProgress;
        return result;
    }

    Kind kind;
    bool succeeded;
    UnitFailure failure;
    bool endsProgress = false;
    std::string deviceInfo;
    int32_t inputCount = 0;
};

// The window's behaviour without a toolkit: the dialog's state, the control-state rules, the
// connection, settings and count workflows and the port list, over a DialogView that shows them.
// It is the link's exchange host and reply target. Every member function is called on the
// user-interface thread, except those of the two link roles and the workers it starts itself.
class DialogCore : public ExchangeHost, public ReplyTarget {
public:
    DialogCore(DialogView& view, LinkSession& session);
    ~DialogCore();
    DialogCore(const DialogCore&) = delete;
    DialogCore& operator=(const DialogCore&) = delete;

    // ----- Initialisation: the defaults of an opening dialog, its lists and the rules --------
    // The view has created every control of the template.
    void OnInitDialog(const std::string& versionText);

    // ----- Events of the view ------------------------------------------------------------------
    // Clicks of LanRadio, UsbRadio, X2Radio, X4Radio, EnableCheck, SinglePhaseRadio and
    // TwoPhaseRadio, and the end of everything that changes what the operator may do next.
    void UpdateControls();
    void OnConnectButton();
    void OnReadSettings();
    void OnApplySettings();
    void OnStartStop();
    void OnPeriodSelChange();
    void OnReadCounts();
    void OnAutoUpdate();
    void OnTimer();
    // A port arrived or was removed (dialog/DeviceChange.h); always 0.
    int OnDeviceChange(uint32_t eventType, uint32_t deviceType);
    // The window closes: replies stop reaching the core, a running exchange is aborted, the
    // workers are joined, the link is closed. Results still queued are dropped.
    void ShutDown();

    // ----- The dialog's state ------------------------------------------------------------------
    int32_t ConnState() const { return connState.load(); }  // also safe from other threads
    Operation CurrentOperation() const { return operation; }
    int32_t InputCount() const { return inputCount; }
    int32_t NodeNumber() const { return nodeNumber; }
    int32_t AutoUpdateSeconds() const { return autoUpdateSeconds; }
    const PortTable& Ports() const { return ports; }
    // The rules' inputs as they stand now (check states read from the view).
    DialogState State() const;

    // ----- Seams for tests ---------------------------------------------------------------------
    // Holds a worker (or the user-interface thread before the Start/Stop wait) at a step.
    void SetStepHook(WorkerSet::StepHook hook) { workers.SetStepHook(std::move(hook)); }
    int32_t RunningWorkers() const { return workers.Running(); }
    // Results posted by workers that wait for an open message box to be closed.
    int32_t HeldResults() const { return static_cast<int32_t>(held.size()); }
    // The connection state alone, without a link (the port list's tests).
    void SetConnStateForTest(int32_t state) { connState.store(state); }
    // Count replies shown so far (whatever their index), and the index of the last one.
    int32_t CountUpdatesHandled() const { return countUpdatesHandled; }
    int32_t LastCountUpdateIndex() const { return lastCountUpdateIndex; }

    // ----- ExchangeHost ------------------------------------------------------------------------
    std::atomic<int32_t>& CountBusy() override { return countBusy; }
    std::atomic<int32_t>& AbortRequested() override { return abortRequested; }
    void ResetProgress() override {}

    // ----- ReplyTarget (receive thread) ----------------------------------------------------------
    LinkSession& Link() override { return session; }
    PulseConfig& HeldConfig() override { return pulseConfig; }
    void PostCountUpdate(int32_t index, int32_t value) override;
    // A count reply's value into its display (WM_COUNT_UPDATE).
    void OnCountUpdate(int32_t index, int32_t value);

private:
    // Connection workflow (ConnectionWorkflow.cpp)
    bool TakeRoute();
    bool TakeNode();
    void Disconnect();
    void ConnectWorker(int32_t attempt, const LinkRoute& route, int32_t node);
    int ConnectUnit(int32_t attempt, const LinkRoute& route, int32_t node);
    void DropLink();
    void ApplyConnectResult(const WorkerResult& result);
    void FinishConnecting(bool succeeded);
    // Settings operations (SettingsOperations.cpp)
    int ReadSettings(int32_t attempt, int32_t inputs);
    void ReadSettingsThread(int32_t attempt, int32_t inputs);
    void ApplySettings(const PulseConfig& next, int32_t inputs);
    void ApplySettingsThread(int32_t attempt, PulseConfig next, int32_t inputs);
    void ApplySettingsResult(const WorkerResult& result);
    void ShowHeldSettings();
    PulseConfig SettingsFromControls() const;
    void BeginProgress();
    void EndProgress();
    // Count readout (CountReadout.cpp)
    int RequestCounts(std::string& errorText);
    void StopAutoUpdate();
    // Port list (PortList.cpp)
    void RefreshPortList();
    // Workers and results
    void StartWorker(Operation op, std::function<void(int32_t attempt)> body);
    void Post(int32_t attempt, WorkerResult result);
    void Receive(int32_t attempt, WorkerResult result);
    void ApplyHeld();
    void Apply(int32_t attempt, const WorkerResult& result);
    // Sets one radio button of a pair and clears the other: a Win32 group clears nothing itself.
    void CheckRadio(int32_t checkedId, int32_t clearedId);
    // A modal message, then the rules: the box's own event loop may have run other events.
    void ShowMessage(const std::string& text);

    DialogView& view;
    LinkSession& session;
    // The window takes a reply that decodes nothing as the answer to its command.
    UnitProtocol unit{session, *this, MalformedReplies::Answer};
    std::atomic<int32_t> connState{Disconnected};
    Operation operation = Operation::None;
    int32_t inputCount = 0;
    int32_t nodeNumber = 0;
    LinkRoute route;  // as the route controls gave it at the last connect
    PulseConfig pulseConfig;
    int32_t autoUpdateSeconds = 0;
    std::atomic<int32_t> countBusy{0};
    std::atomic<int32_t> abortRequested{0};
    PortTable ports;
    // The settings a write worker sends; the held record takes them once the unit accepted them.
    PulseConfig written;
    int32_t writtenInputs = 0;
    // Results of a worker apply while its attempt is the current one; closing ends it.
    int32_t currentAttempt = 0;
    bool closing = false;
    // Message boxes open now. While one is, what workers post waits in `held`, oldest first:
    // the box comes before every later step of its worker.
    int32_t messageDepth = 0;
    std::deque<std::pair<int32_t, WorkerResult>> held;
    int32_t countUpdatesHandled = 0;
    int32_t lastCountUpdateIndex = -1;
    WorkerSet workers;
};
