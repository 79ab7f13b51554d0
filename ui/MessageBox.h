#pragma once

#include <QString>

class QWidget;

// The program's one kind of message box: the text alone, the application name as caption, one OK
// button, modal to its owner (none before the main window exists).
void ShowMessageBox(QWidget* owner, const QString& text);
