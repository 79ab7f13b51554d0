#pragma once

// The dialog core without a window: a view that records what the user-interface thread applied,
// the core over it with a session of its own, and velkor-sim processes shared by every case of
// the program, one per set of options. A simulator's faults apply to it as a whole and what is
// written to its units stays, so a case that changes a unit's settings has a node of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "../sim/SimLog.h"
#include "../sim/SimProcess.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogCore.h"

// Controls as maps; the trace keeps, in order, the messages, the captions of ConnectButton and
// the busy display coming and going.
class RecordingView final : public DialogView {
public:
    void EnableControl(int32_t id, bool enable) override { enabled[id] = enable; }
    void ShowControl(int32_t id, bool show) override;
    void SetControlText(int32_t id, const std::string& text) override;
    std::string ControlText(int32_t id) const override { return Find(texts, id, {}); }
    bool IsChecked(int32_t id) const override { return Find(values, id, 0) == 1; }
    // Exactly the button asked for, as a Win32 dialog does: a radio group clears nothing itself.
    void SetChecked(int32_t id, bool checked) override { values[id] = checked ? 1 : 0; }
    void SetListEntries(int32_t id, const std::vector<std::string>& entries) override;
    int32_t Selection(int32_t id) const override { return Find(values, id, -1); }
    void SetSelection(int32_t id, int32_t index) override { values[id] = index; }
    void ShowMessage(const std::string& text) override;
    void SetTimer(int32_t milliseconds) override { timerMs = milliseconds; }
    void KillTimer() override { timerMs = 0; }
    void BeginWaitCursor() override { ++waitCursors; }
    void EndWaitCursor() override { --waitCursors; }
    std::vector<SerialPortDescription> EnumerateSerialPorts() override { return ports; }
    void PostToUiThread(std::function<void()> task) override;

    // Runs posted tasks on this thread until `done` holds with none left, or the time is out.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000);
    // Runs posted tasks for a while (for "nothing more happens" checks).
    void Settle(int ms);
    // The entry a drop-down list shows.
    std::string SelectedText(int32_t id) const;
    std::map<int32_t, bool> enabled, shown;
    std::map<int32_t, std::string> texts;
    std::map<int32_t, int32_t> values;  // checked (1) or not (0), or the selected entry
    std::map<int32_t, std::vector<std::string>> lists;
    std::vector<std::string> trace;
    std::vector<std::string> messages;  // the message boxes alone
    int32_t timerMs = 0;                // the period of the running timer, 0 when none runs
    int32_t waitCursors = 0;
    std::vector<SerialPortDescription> ports;
    // Runs inside each message box, as the box's own event loop would.
    std::function<void()> whileBoxOpen;

private:
    template <typename T>
    static T Find(const std::map<int32_t, T>& map, int32_t id, T absent) {
        const auto it = map.find(id);
        return it == map.end() ? absent : it->second;
    }
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> tasks;
};

// A unit of the shared simulators: its node, its pulse inputs (5, 3 or 2: model codes 2, 3 and
// 4; 0: code 1), its settings (velkor-sim --settings) and preset counts (input, value).
struct SimUnit {
    int node;
    int inputs;
    std::string settings;
    std::vector<std::pair<int, std::string>> counts = {};
};
// The velkor-sim options that set up exactly these units.
std::vector<std::string> UnitOptions(const std::vector<SimUnit>& units);

// A velkor-sim started the first time a case asks for its options, kept until the program ends.
class SharedSim {
public:
    static SharedSim& With(const std::vector<std::string>& options);

    int Port() const { return process->Port(); }
    pid_t Pid() const { return process->Pid(); }
    const std::string& LogPath() const { return log; }
    // Frames received so far, as on the wire.
    std::vector<std::string> Frames() const;
    // The commands received from the `from`-th frame on.
    std::vector<std::string> CommandsSince(size_t from) const;
    size_t CountRequestsSince(size_t from) const;
    // Log lines with `marker`: " connected" for each connection, "connection closed" for each end.
    int LogLines(const std::string& marker) const;

private:
    std::unique_ptr<SimProcess> process;
    std::string log;
};

// A core over a recording view and a session of its own, the route to the simulator typed in.
struct CoreOnLoopback {
    // Each exchange waits `replyPolls` polls of 5 ms for its reply.
    explicit CoreOnLoopback(int port, int32_t replyPolls = 2000);
    // No worker left and nothing of one waiting to be applied.
    bool Idle() const;
    // Types the node and clicks 接続; true once the attempt has ended.
    bool Connect(int node);
    // Connects to `node` of `sim` and lets the count replies of the connection land, so that
    // they cannot be mistaken for replies to the case's own requests. Fails the case fatally when
    // the unit is not connected.
    void ConnectUnit(SharedSim& sim, int node);
    void SetReplyWaitMs(int32_t ms);
    // Workers whose operation has not ended: running, or with results still to be applied.
    int32_t Workers() const;
    // Busy display gone, version shown again.
    bool ProgressEnded();
    // The operator's click on a push button: it must be enabled; its handler runs.
    void Press(int32_t id);
    // The operator's click on a check box or radio button, which it checks or clears: the
    // control must be enabled, the other radio of a pair is cleared, the click's handler runs.
    void Click(int32_t id, bool checked);

    RecordingView view;
    LinkSession session;
    DialogCore core;
};
