#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QThread>
#include <algorithm>

#include "dialog/ControlIds.h"
#include "ui/MessageBox.h"
#include "ui/PortSource.h"
#include "ui/VelkorDlg.h"

namespace {

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

bool IsCountValue(int32_t id) {
    return std::find(IDC_COUNT_VALUE.begin(), IDC_COUNT_VALUE.end(), id) != IDC_COUNT_VALUE.end();
}

}  // namespace

// Widgets belong to the window's thread; the core's workers only post. A call from elsewhere is
// a fault that the counter shows to the tests.
void CVelkorDlg::NoteCallingThread() const {
    if (QThread::currentThread() != thread()) offThreadCalls.fetch_add(1);
}

void CVelkorDlg::EnableControl(int32_t id, bool enable) {
    NoteCallingThread();
    if (QWidget* control = Control(id)) control->setEnabled(enable);
}

void CVelkorDlg::ShowControl(int32_t id, bool show) {
    NoteCallingThread();
    if (QWidget* control = Control(id)) control->setVisible(show);
}

void CVelkorDlg::SetControlText(int32_t id, const std::string& text) {
    NoteCallingThread();
    QWidget* control = Control(id);
    const QString shown = Utf8(text);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        if (IsCountValue(id)) FitCountText(label, shown);
        label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(shown);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(shown);
    }
}

// A count display shows every character of its number: one wider than the display is drawn in
// a smaller size of the count font, for that display only.
void CVelkorDlg::FitCountText(QWidget* display, const QString& text) {
    QFont font = countFont;
    const int room = display->contentsRect().width();
    for (qreal points = font.pointSizeF();
         points > 1 && QFontMetrics(font).horizontalAdvance(text) > room; points -= 0.5) {
        font.setPointSizeF(points - 0.5);
    }
    display->setFont(font);
}

std::string CVelkorDlg::ControlText(int32_t id) const {
    NoteCallingThread();
    QWidget* control = Control(id);
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text().toStdString();
    if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title().toStdString();
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText().toStdString();
    return {};
}

bool CVelkorDlg::IsChecked(int32_t id) const {
    NoteCallingThread();
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    return button != nullptr && button->isChecked();
}

// A radio button of an exclusive group refuses to be cleared; the group lets go for that moment.
void CVelkorDlg::SetChecked(int32_t id, bool checked) {
    NoteCallingThread();
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    if (button == nullptr) return;
    QButtonGroup* group = button->group();
    if (!checked && group && group->exclusive()) {
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
        return;
    }
    button->setChecked(checked);
}

void CVelkorDlg::SetListEntries(int32_t id, const std::vector<std::string>& entries) {
    NoteCallingThread();
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    if (combo == nullptr) return;
    combo->clear();
    for (const std::string& entry : entries)
        combo->addItem(Utf8(entry));
    combo->setCurrentIndex(-1);
}

int32_t CVelkorDlg::Selection(int32_t id) const {
    NoteCallingThread();
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    return combo ? combo->currentIndex() : -1;
}

void CVelkorDlg::SetSelection(int32_t id, int32_t index) {
    NoteCallingThread();
    if (auto* combo = qobject_cast<QComboBox*>(Control(id))) combo->setCurrentIndex(index);
}

void CVelkorDlg::ShowMessage(const std::string& text) {
    NoteCallingThread();
    if (messageHook) {
        messageHook(Utf8(text));
    } else {
        ShowMessageBox(this, Utf8(text));
    }
}

void CVelkorDlg::SetTimer(int32_t milliseconds) {
    NoteCallingThread();
    dialogTimer.start(milliseconds);
}

void CVelkorDlg::KillTimer() {
    NoteCallingThread();
    dialogTimer.stop();
}

// The window does not answer while Start/Stop waits for the reply (up to 10 s): the cursor says
// so.
void CVelkorDlg::BeginWaitCursor() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void CVelkorDlg::EndWaitCursor() {
    QGuiApplication::restoreOverrideCursor();
}

std::vector<SerialPortDescription> CVelkorDlg::EnumerateSerialPorts() {
    return PresentSerialPorts();
}

// One queued call per task, by name so that the call carries nothing of the worker's: a task
// still queued is dropped with the window.
void CVelkorDlg::PostToUiThread(std::function<void()> task) {
    postedTasks.fetch_add(1);
    tasks.Post(std::move(task),
               [this] { QMetaObject::invokeMethod(this, "RunPostedTask", Qt::QueuedConnection); });
}

void CVelkorDlg::RunPostedTask() {
    tasks.RunNext();
}
