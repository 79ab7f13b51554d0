#include <QKeyEvent>

#include "ui/VelkorDlg.h"

namespace {

bool IsReturnKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

// Everything that is not swallowed here goes on to the default dialog handling, which gives
// Tab, the arrow keys and Escape their dialog meaning.
bool CVelkorDlg::event(QEvent* event) {
    if (IsReturnKey(event)) return true;
    return QDialog::event(event);
}

// Installed on every control of the template: Return/Enter in a control is swallowed before the
// control sees it, so it neither presses a button nor closes the dialog.
bool CVelkorDlg::eventFilter(QObject* watched, QEvent* event) {
    if (IsReturnKey(event)) return true;
    return QDialog::eventFilter(watched, event);
}
