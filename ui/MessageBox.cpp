#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

void ShowMessageBox(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    owner);
    box.exec();
}
