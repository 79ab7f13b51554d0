#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <type_traits>

#include "ui/ControlIds.h"
#include "ui/MessageBox.h"
#include "ui/VelkorDlg.h"

namespace {

// Runs a call on the receiver's thread and waits until it has run (or was dropped because the
// receiver went away). The blocking call orders the caller's arguments before the call and its
// results after it; the two atomics state that order where race checkers can see it (inside the
// framework they cannot).
void CallBlocking(QObject* receiver, const std::function<void()>& call) {
    std::atomic<bool> handedOver{false};
    std::atomic<bool> carriedOut{false};
    handedOver.store(true, std::memory_order_release);
    QMetaObject::invokeMethod(
        receiver,
        [&] {
            handedOver.load(std::memory_order_acquire);
            call();
            carriedOut.store(true, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    carriedOut.load(std::memory_order_acquire);
}

}  // namespace

// Widgets may only be touched on the user-interface thread. A call from another thread waits
// there until the user-interface thread has carried it out, so the steps of a worker keep their
// order. A blocking call made on the user-interface thread itself would never return: that
// thread calls directly.
template <typename Fn>
auto CVelkorDlg::OnGuiThread(Fn&& fn) {
    using Result = std::invoke_result_t<Fn&>;
    if (QThread::currentThread() == thread()) return fn();
    if constexpr (std::is_void_v<Result>) {
        CallBlocking(this, [&fn] { fn(); });
    } else {
        // Keeps its default when the dialog went away before the call ran.
        Result result{};
        CallBlocking(this, [&fn, &result] { result = fn(); });
        return result;
    }
}

namespace {

QString TextOf(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
    if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
    return control ? control->windowTitle() : QString();
}

void SetTextOf(QWidget* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    } else if (control) {
        control->setWindowTitle(text);
    }
}

// A radio button of an exclusive group refuses to be cleared; the group lets go for that moment.
void SetButtonChecked(QAbstractButton* button, bool checked) {
    QButtonGroup* group = button->group();
    if (!checked && group && group->exclusive()) {
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
        return;
    }
    button->setChecked(checked);
}

}  // namespace

void CVelkorDlg::EnableControl(int32_t id, bool enable) {
    OnGuiThread([this, id, enable] {
        if (QWidget* control = Control(id)) control->setEnabled(enable);
    });
}

void CVelkorDlg::ShowControl(int32_t id, bool show) {
    OnGuiThread([this, id, show] {
        if (QWidget* control = Control(id)) control->setVisible(show);
    });
}

void CVelkorDlg::SetControlText(int32_t id, const QString& text) {
    OnGuiThread([this, id, &text] { SetTextOf(Control(id), text); });
}

QString CVelkorDlg::ControlText(int32_t id) {
    return OnGuiThread([this, id] { return TextOf(Control(id)); });
}

bool CVelkorDlg::IsChecked(int32_t id) {
    return OnGuiThread([this, id] {
        auto* button = qobject_cast<QAbstractButton*>(Control(id));
        return button != nullptr && button->isChecked();
    });
}

void CVelkorDlg::SetChecked(int32_t id, bool checked) {
    OnGuiThread([this, id, checked] {
        if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
            SetButtonChecked(button, checked);
        }
    });
}

int CVelkorDlg::Selection(int32_t id) {
    return OnGuiThread([this, id] {
        auto* combo = qobject_cast<QComboBox*>(Control(id));
        return combo ? combo->currentIndex() : -1;
    });
}

void CVelkorDlg::SetSelection(int32_t id, int index) {
    OnGuiThread([this, id, index] {
        if (auto* combo = qobject_cast<QComboBox*>(Control(id))) combo->setCurrentIndex(index);
    });
}

// The control's own state, whatever the dialog's visibility.
bool CVelkorDlg::IsEnabled(int32_t id) {
    return OnGuiThread([this, id] {
        QWidget* control = Control(id);
        return control != nullptr && control->isEnabledTo(this);
    });
}

bool CVelkorDlg::IsShown(int32_t id) {
    return OnGuiThread([this, id] {
        QWidget* control = Control(id);
        return control != nullptr && !control->isHidden();
    });
}

void CVelkorDlg::SetTimer(int32_t timerId, int32_t milliseconds) {
    if (timerId != AUTO_UPDATE_TIMER_ID) return;
    OnGuiThread([this, milliseconds] { AutoUpdateTimer.start(milliseconds); });
}

void CVelkorDlg::KillTimer(int32_t timerId) {
    if (timerId != AUTO_UPDATE_TIMER_ID) return;
    OnGuiThread([this] { AutoUpdateTimer.stop(); });
}

bool CVelkorDlg::IsTimerRunning(int32_t timerId) {
    if (timerId != AUTO_UPDATE_TIMER_ID) return false;
    return OnGuiThread([this] { return AutoUpdateTimer.isActive(); });
}

void CVelkorDlg::ShowMessage(const QString& text) {
    // Nobody is left to read a message once the window closes.
    if (closing.load()) return;
    OnGuiThread([this, &text] {
        // A worker's message may reach this thread only after the close has begun.
        if (closing.load()) return;
        if (messageHook) {
            messageHook(text);
        } else {
            ShowMessageBox(this, text);
        }
    });
}

void CVelkorDlg::SetMessageHook(MessageHook hook) {
    OnGuiThread([this, &hook] { messageHook = std::move(hook); });
}
