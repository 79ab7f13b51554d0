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

#include "ui/ControlDialog.h"
#include "dialog/ControlIds.h"
#include "ui/MessageBox.h"

// Runs a call on the user-interface thread and waits until it has run (or was dropped because the
// dialog went away). The blocking call orders the caller's arguments before the call and its
// results after it; the two atomics state that order where race checkers can see it (inside the
// framework they cannot).
void ControlDialog::CallBlocking(const std::function<void()>& call) {
    crossThreadCalls.fetch_add(1);
    std::atomic<bool> handedOver{false};
    std::atomic<bool> carriedOut{false};
    handedOver.store(true, std::memory_order_release);
    QMetaObject::invokeMethod(
        this,
        [&] {
            handedOver.load(std::memory_order_acquire);
            call();
            carriedOut.store(true, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    carriedOut.load(std::memory_order_acquire);
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

void ControlDialog::EnableControl(int32_t id, bool enable) {
    OnGuiThread([this, id, enable] {
        if (QWidget* control = Control(id)) control->setEnabled(enable);
    });
}

void ControlDialog::ShowControl(int32_t id, bool show) {
    OnGuiThread([this, id, show] {
        if (QWidget* control = Control(id)) control->setVisible(show);
    });
}

void ControlDialog::SetControlText(int32_t id, const QString& text) {
    OnGuiThread([this, id, &text] { SetTextOf(Control(id), text); });
}

QString ControlDialog::ControlText(int32_t id) {
    return OnGuiThread([this, id] { return TextOf(Control(id)); });
}

bool ControlDialog::IsChecked(int32_t id) {
    return OnGuiThread([this, id] {
        auto* button = qobject_cast<QAbstractButton*>(Control(id));
        return button != nullptr && button->isChecked();
    });
}

void ControlDialog::SetChecked(int32_t id, bool checked) {
    OnGuiThread([this, id, checked] {
        if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
            SetButtonChecked(button, checked);
        }
    });
}

int ControlDialog::Selection(int32_t id) {
    return OnGuiThread([this, id] {
        auto* combo = qobject_cast<QComboBox*>(Control(id));
        return combo ? combo->currentIndex() : -1;
    });
}

void ControlDialog::SetSelection(int32_t id, int index) {
    OnGuiThread([this, id, index] {
        if (auto* combo = qobject_cast<QComboBox*>(Control(id))) combo->setCurrentIndex(index);
    });
}

// The control's own state, whatever the dialog's visibility.
bool ControlDialog::IsEnabled(int32_t id) {
    return OnGuiThread([this, id] {
        QWidget* control = Control(id);
        return control != nullptr && control->isEnabledTo(this);
    });
}

bool ControlDialog::IsShown(int32_t id) {
    return OnGuiThread([this, id] {
        QWidget* control = Control(id);
        return control != nullptr && !control->isHidden();
    });
}

void ControlDialog::SetTimer(int32_t timerId, int32_t milliseconds) {
    if (timerId != AUTO_UPDATE_TIMER_ID) return;
    OnGuiThread([this, milliseconds] { dialogTimer.start(milliseconds); });
}

void ControlDialog::KillTimer(int32_t timerId) {
    if (timerId != AUTO_UPDATE_TIMER_ID) return;
    OnGuiThread([this] { dialogTimer.stop(); });
}

bool ControlDialog::IsTimerRunning(int32_t timerId) {
    if (timerId != AUTO_UPDATE_TIMER_ID) return false;
    return OnGuiThread([this] { return dialogTimer.isActive(); });
}

void ControlDialog::ShowMessage(const QString& text) {
    // Nobody is left to read a message once the window closes.
    if (messagesMuted.load()) return;
    OnGuiThread([this, &text] {
        // A worker's message may reach this thread only after the close has begun.
        if (messagesMuted.load()) return;
        if (messageHook) {
            messageHook(text);
        } else {
            ShowMessageBox(this, text);
        }
    });
}

void ControlDialog::SetMessageHook(MessageHook hook) {
    OnGuiThread([this, &hook] { messageHook = std::move(hook); });
}

void ControlDialog::OnDialogTimer(std::function<void()> onTick) {
    connect(&dialogTimer, &QTimer::timeout, this, std::move(onTick));
}
