#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QString>
#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "link/LinkSession.h"
#include "ui/PortWatcher.h"
#include "ui/VelkorDlg.h"

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Runs the event loop until the condition holds or the time is up; the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Where a click selects a radio button or check box: the centre of its indicator.
QPoint IndicatorCentre(QAbstractButton* button);
void ClickIndicator(QAbstractButton* button);

// The window with what its tests read of it: texts as QString, enabled and shown states, the
// timer, and the core's state.
class TestDialog : public CVelkorDlg {
public:
    using CVelkorDlg::CVelkorDlg;
    // The workers end before this class's part of the window goes: a worker posting a result
    // must never meet a window half destroyed.
    ~TestDialog() override { Core().ShutDown(); }
    QString Text(int32_t id) const { return QString::fromStdString(ControlText(id)); }
    void SetText(int32_t id, const QString& text) { SetControlText(id, text.toStdString()); }
    // The control's own state, whatever the dialog's visibility.
    bool IsEnabled(int32_t id) const { return Control(id)->isEnabledTo(this); }
    bool IsShown(int32_t id) const { return !Control(id)->isHidden(); }
    bool IsTimerRunning() { return DialogTimer().isActive(); }
};

// A value read once, for tests written against atomics.
struct ReadValue {
    int32_t value;
    int32_t load() const { return value; }
    // Sets the connection state without a connection (port list tests only).
    void store(int32_t state) const { core->SetConnStateForTest(state); }
    DialogCore* core = nullptr;
    operator int32_t() const { return value; }
};

class DialogTestAccess {
public:
    explicit DialogTestAccess(TestDialog& dialog) : dialog(dialog), core(dialog.Core()) {}
    ReadValue ConnState() const { return {core.ConnState(), &core}; }
    ReadValue InputCount() const { return {core.InputCount()}; }
    ReadValue AutoUpdateSeconds() const { return {core.AutoUpdateSeconds()}; }
    int32_t PortCount() const { return static_cast<int32_t>(core.Ports().Entries().size()); }
    const PortEntry& Port(int32_t index) const { return core.Ports().Entries().at(index); }
    int32_t CountUpdatesHandled() const { return core.CountUpdatesHandled(); }
    // Workers whose operation has not ended: running, or with results still to be applied.
    int32_t RunningWorkers() const {
        return std::max(core.RunningWorkers(), core.CurrentOperation() != Operation::None ? 1 : 0);
    }
    void SetStepHook(WorkerSet::StepHook hook) { core.SetStepHook(std::move(hook)); }
    PortWatcher& Watcher() { return dialog.Watcher(); }
    const QFont& CountFont() const { return dialog.CountFont(); }

private:
    TestDialog& dialog;
    DialogCore& core;
};

// A dialog of its own session, with message boxes recorded instead of shown.
class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        dialog = std::make_unique<TestDialog>(session);
        dialog->SetMessageHook([this](const QString& text) { messages.push_back(text); });
    }
    void TearDown() override { dialog.reset(); }

    // Shows the dialog and waits until it is the active window.
    void ShowAndActivate();

    DialogTestAccess Inside() { return DialogTestAccess(*dialog); }

    template <typename T>
    T* ControlAs(int32_t id) {
        return qobject_cast<T*>(dialog->Control(id));
    }

    LinkSession session;
    std::unique_ptr<TestDialog> dialog;
    std::vector<QString> messages;
};
