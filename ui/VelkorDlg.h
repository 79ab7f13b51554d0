#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "dialog/DialogCore.h"
#include "dialog/DialogView.h"
#include "dialog/PostedTaskQueue.h"
#include "link/LinkSession.h"
#include "ui/DialogUnits.h"

class PortWatcher;

// The program's main window, the Qt view of the dialog core: it builds the widgets from the
// template, routes their events to the core and carries out what the core asks of a view. What
// the dialog does (state, rules, workflows, workers) is the core's.
class CVelkorDlg : public QDialog, public DialogView {
    Q_OBJECT

public:
    explicit CVelkorDlg(LinkSession& session = TheLinkSession(), QWidget* parent = nullptr);
    ~CVelkorDlg() override;

    // Ends the modal run: the core first lets go of the link and its workers.
    void done(int result) override;

    DialogCore& Core() { return core; }
    // The control of an identifier, the one way to a control; nullptr for one the template does
    // not have.
    QWidget* Control(int32_t id) const;
    // The separator lines, in template order (they have no identifier).
    const std::vector<QWidget*>& Separators() const { return separators; }
    // Base units of the dialog font, which convert the template's dialog units to pixels.
    DialogBaseUnits BaseUnits() const { return baseUnits; }
    const QFont& CountFont() const { return countFont; }
    const QIcon& AppIcon() const { return appIcon; }
    QTimer& DialogTimer() { return dialogTimer; }
    PortWatcher& Watcher() { return *portWatcher; }

    // Routes messages to the hook instead of a box (tests, the headless tour); an empty hook
    // restores the box.
    using MessageHook = std::function<void(const QString&)>;
    void SetMessageHook(MessageHook hook) { messageHook = std::move(hook); }

    // Control operations asked from a thread other than the window's (none is allowed), and tasks
    // posted to the window's thread, so far.
    int32_t OffThreadCalls() const { return offThreadCalls.load(); }
    int32_t PostedTasks() const { return postedTasks.load(); }

    // ----- DialogView (ViewControls.cpp) -------------------------------------------------------
    void EnableControl(int32_t id, bool enable) override;
    void ShowControl(int32_t id, bool show) override;
    void SetControlText(int32_t id, const std::string& text) override;
    std::string ControlText(int32_t id) const override;
    bool IsChecked(int32_t id) const override;
    void SetChecked(int32_t id, bool checked) override;
    void SetListEntries(int32_t id, const std::vector<std::string>& entries) override;
    int32_t Selection(int32_t id) const override;
    void SetSelection(int32_t id, int32_t index) override;
    void ShowMessage(const std::string& text) override;
    void SetTimer(int32_t milliseconds) override;
    void KillTimer() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::vector<SerialPortDescription> EnumerateSerialPorts() override;
    void PostToUiThread(std::function<void()> task) override;

signals:
    // A port arrived or was removed (eventType DEVICE_ARRIVAL or DEVICE_REMOVE_COMPLETE,
    // deviceType DEVICE_TYPE_PORT). The port watcher emits it.
    void DeviceChange(uint32_t eventType, uint32_t deviceType);

protected:
    // Return/Enter never presses a button or closes the dialog (PreTranslate.cpp).
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Runs the oldest posted task (ViewControls.cpp).
    void RunPostedTask();

private:
    // ControlsFromTemplate.cpp
    void CreateWindowFromTemplate();
    QWidget* CreateControl(const TemplateEntry& entry);
    void ArrangeTabOrder(const std::vector<QWidget*>& tabStops);
    // DialogInitialisation.cpp
    void RouteEvents();
    void WatchPorts();
    // ViewControls.cpp
    void NoteCallingThread() const;
    void FitCountText(QWidget* display, const QString& text);

    DialogBaseUnits baseUnits{};
    std::unordered_map<int32_t, QWidget*> controlsById;
    std::vector<QWidget*> separators;
    QFont countFont;
    QIcon appIcon;
    QTimer dialogTimer;
    MessageHook messageHook;
    PortWatcher* portWatcher = nullptr;
    mutable std::atomic<int32_t> offThreadCalls{0};
    std::atomic<int32_t> postedTasks{0};
    // Posted tasks travel through this queue, not inside Qt's queued event: the handover is then
    // guarded by a lock the whole program can see, a sanitizer's race checks included.
    PostedTaskQueue tasks;
    // Last: it is closed and destroyed before the widgets and the timer it uses.
    DialogCore core;
};
