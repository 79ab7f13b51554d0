#pragma once

#include <QDialog>
#include <QString>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "dialog/DialogTemplate.h"
#include "ui/DialogUnits.h"

// The machinery under the main dialog: the controls built from the template and found by
// identifier, the separator lines, the control layer that reaches them from any thread, the
// message box with its hook, and the dialog's one timer. It knows nothing of what the controls
// mean.
//
// Widgets belong to the user-interface thread. Another thread reaches them through one blocking
// call per step (OnGuiThread): a single control operation below, or a whole compound step of the
// dialog, so that no click can land in the middle of it.
class ControlDialog : public QDialog {
    Q_OBJECT

public:
    explicit ControlDialog(QWidget* parent = nullptr);

    // ----- Controls (ControlsFromTemplate.cpp) ---------------------------------------------
    // The control of an identifier; nullptr for an identifier the template does not have.
    QWidget* Control(int32_t id) const;
    // The separator lines, in template order (they have no identifier).
    const std::vector<QWidget*>& Separators() const { return separators; }
    // Base units of the dialog font, which convert the template's dialog units to pixels.
    DialogBaseUnits BaseUnits() const { return baseUnits; }

    // ----- Control layer: safe from any thread (ControlLayer.cpp) ---------------------------
    // Called on the user-interface thread they act at once; from any other thread they run on
    // the user-interface thread while the caller waits, so that thread must keep its event loop
    // running. Unknown identifiers are ignored (reads give false, -1 or an empty text).
    void EnableControl(int32_t id, bool enable);
    void ShowControl(int32_t id, bool show);
    void SetControlText(int32_t id, const QString& text);
    QString ControlText(int32_t id);
    bool IsChecked(int32_t id);
    // Sets exactly this button; a radio button can also be cleared.
    void SetChecked(int32_t id, bool checked);
    // Selected entry of a drop-down list, -1 for none.
    int Selection(int32_t id);
    void SetSelection(int32_t id, int index);
    bool IsEnabled(int32_t id);
    bool IsShown(int32_t id);
    // The dialog's one timer (AUTO_UPDATE_TIMER_ID): start with a period, or stop. It never
    // ticks before its period is over.
    void SetTimer(int32_t timerId, int32_t milliseconds);
    void KillTimer(int32_t timerId);
    bool IsTimerRunning(int32_t timerId);
    // The modal message box of every operation (see MessageBox.h), or the hook if one is set.
    void ShowMessage(const QString& text);
    using MessageHook = std::function<void(const QString&)>;
    // Routes messages to the hook instead of a box (tests, the headless tour); the hook runs on
    // the user-interface thread. An empty hook restores the box.
    void SetMessageHook(MessageHook hook);

protected:
    // Builds the window and its controls from the template; every control reports its keys to
    // the dialog's eventFilter first.
    void CreateWindowFromTemplate();
    // Runs `fn` whole on the user-interface thread and returns its result; another thread waits
    // for it. This is the one way across threads.
    template <typename Fn>
    auto OnGuiThread(Fn&& fn);
    // The timer's ticks go to `onTick` on the user-interface thread.
    void OnDialogTimer(std::function<void()> onTick);
    // While muted (the window is closing) no message is shown, not even one already on its way.
    void MuteMessages(bool mute) { messagesMuted.store(mute); }

private:
    friend class DialogTestAccess;

    QWidget* CreateControl(const TemplateEntry& entry);
    void ArrangeTabOrder(const std::vector<QWidget*>& tabStops);
    void CallBlocking(const std::function<void()>& call);

    DialogBaseUnits baseUnits{};
    std::unordered_map<int32_t, QWidget*> controlsById;
    std::vector<QWidget*> separators;
    QTimer dialogTimer;
    MessageHook messageHook;
    std::atomic<bool> messagesMuted{false};
    // Blocking calls made from other threads so far.
    std::atomic<int32_t> crossThreadCalls{0};
};

// A blocking call made on the user-interface thread itself would never return: that thread calls
// directly.
template <typename Fn>
auto ControlDialog::OnGuiThread(Fn&& fn) {
    using Result = std::invoke_result_t<Fn&>;
    if (QThread::currentThread() == thread()) return fn();
    if constexpr (std::is_void_v<Result>) {
        CallBlocking([&fn] { fn(); });
    } else {
        // Keeps its default when the dialog went away before the call ran.
        Result result{};
        CallBlocking([&fn, &result] { result = fn(); });
        return result;
    }
}
