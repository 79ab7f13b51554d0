#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>

#include "ui/PortWatcher.h"
#include "ui/VelkorDlg.h"

// The one way in for the tests and the headless tour: the dialog's private fields and the
// machinery's counters and seams, which the program itself never reaches from outside.
class DialogTestAccess {
public:
    explicit DialogTestAccess(CVelkorDlg& dialog) : dialog(dialog) {}

    std::atomic<int32_t>& ConnState() { return dialog.ConnState; }
    std::atomic<int32_t>& InputCount() { return dialog.InputCount; }
    std::atomic<int32_t>& NodeNumber() { return dialog.NodeNumber; }
    std::atomic<int32_t>& AutoUpdateSeconds() { return dialog.AutoUpdateSeconds; }
    int32_t& PortCount() { return dialog.PortCount; }
    const PortEntry& Port(int32_t index) const { return dialog.PortTable.at(index); }
    const QFont& CountFont() const { return dialog.CountFont; }
    const QString& VersionString() const { return dialog.VersionString; }
    const QIcon& AppIcon() const { return dialog.AppIcon; }
    void* ReplyUserData() { return dialog.ReplyUserData(); }

    // Count notifications handled so far and the index of the last one.
    int32_t CountUpdatesHandled() const { return dialog.countUpdatesHandled.load(); }
    int32_t LastCountUpdateIndex() const { return dialog.lastCountUpdateIndex.load(); }

    // Worker threads (connection attempt, settings read or write) that have not yet ended, and
    // the seam that can hold one at a step (set it before the worker starts).
    int32_t RunningWorkers() const { return dialog.workers.Running(); }
    void SetStepHook(WorkerSet::StepHook hook) { dialog.workers.SetStepHook(std::move(hook)); }

    // Blocking calls made on the user-interface thread from other threads so far.
    int32_t CrossThreadCalls() const {
        return static_cast<const ControlDialog&>(dialog).crossThreadCalls.load();
    }
    // The watcher of the port list.
    PortWatcher& Watcher() { return *dialog.portWatcher; }
    // The dialog's one timer.
    QTimer& DialogTimer() { return static_cast<ControlDialog&>(dialog).dialogTimer; }

private:
    CVelkorDlg& dialog;
};
