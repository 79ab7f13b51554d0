#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QString>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "link/LinkSession.h"
#include "ui/DialogTestAccess.h"
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

// A dialog of its own session, with message boxes recorded instead of shown.
class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        dialog = std::make_unique<CVelkorDlg>(session);
        dialog->SetMessageHook([this](const QString& text) { messages.push_back(text); });
    }
    void TearDown() override { dialog.reset(); }

    // Shows the dialog and waits until it is the active window.
    void ShowAndActivate();

    // The dialog's private fields and the machinery's counters and seams.
    DialogTestAccess Inside() { return DialogTestAccess(*dialog); }

    template <typename T>
    T* ControlAs(int32_t id) {
        return qobject_cast<T*>(dialog->Control(id));
    }

    LinkSession session;
    std::unique_ptr<CVelkorDlg> dialog;
    std::vector<QString> messages;
};
