// Keys the dialog treats specially: Return/Enter swallowed everywhere, Escape and the close box
// end the modal run, digits-only edits refuse letters, the text limits hold.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"

namespace {

class Keyboard : public DialogTest {
protected:
    // Keys reach only enabled controls; the rules would keep most of them disabled.
    void EnableEverything() {
        for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
            if (entry.id != IDC_STATIC) dialog->Control(entry.id)->setEnabled(true);
        }
    }

    std::vector<QWidget*> Controls(ControlKind kind) {
        std::vector<QWidget*> found;
        for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
            if (entry.kind == kind) found.push_back(dialog->Control(entry.id));
        }
        return found;
    }

    // The edits, every kind of button and the drop-down lists.
    std::vector<QWidget*> KeyTargets() {
        std::vector<QWidget*> targets;
        for (ControlKind kind : {ControlKind::Edit, ControlKind::PushButton, ControlKind::CheckBox,
                                 ControlKind::RadioButton, ControlKind::DropDownList}) {
            for (QWidget* control : Controls(kind))
                targets.push_back(control);
        }
        return targets;
    }

    // Counts every click of every button of the dialog.
    void CountClicks(int& clicks) {
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
            QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
        }
    }

    void PressReturnAndEnter(QWidget* target) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
    }

    // Runs the dialog modally; `during` runs inside the run. A run that does not end within
    // 10 s is ended with 99.
    int ExecWith(const std::function<void()>& during) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, dialog.get(), [this] { dialog->done(99); });
        watchdog.start(10000);
        QTimer::singleShot(0, dialog.get(), during);
        return dialog->exec();
    }
};

TEST_F(Keyboard, ReturnAndEnterDoNothingInAnyEditOrOnAnyButton) {
    EnableEverything();
    ShowAndActivate();
    int clicks = 0;
    CountClicks(clicks);
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    // Swallowed before the control: an edit never even reports the key.
    int editReturns = 0;
    for (QWidget* edit : Controls(ControlKind::Edit)) {
        QObject::connect(qobject_cast<QLineEdit*>(edit), &QLineEdit::returnPressed,
                         [&editReturns] { ++editReturns; });
    }
    std::map<QWidget*, std::pair<bool, QString>> before;
    for (QWidget* target : KeyTargets()) {
        const int32_t id = target->property("controlId").toInt();
        before[target] = {dialog->IsChecked(id), dialog->Text(id)};
    }
    ASSERT_EQ(KeyTargets().size(), 4u + 5u + 3u + 6u + 8u);

    for (QWidget* target : KeyTargets()) {
        SCOPED_TRACE(target->objectName().toStdString());
        PressReturnAndEnter(target);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(clicks, 0);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(editReturns, 0);
    for (QWidget* target : KeyTargets()) {
        const int32_t id = target->property("controlId").toInt();
        EXPECT_EQ(dialog->IsChecked(id), before[target].first) << id;
        EXPECT_EQ(dialog->Text(id), before[target].second) << id;
    }
}

TEST_F(Keyboard, ReturnDuringTheModalRunKeepsItRunningAndEscapeEndsIt) {
    EnableEverything();
    int clicks = 0;
    CountClicks(clicks);
    bool openAfterReturns = false;
    const int result = ExecWith([&] {
        for (QWidget* target : KeyTargets())
            PressReturnAndEnter(target);
        QTest::keyClick(dialog.get(), Qt::Key_Return);
        openAfterReturns = dialog->isVisible();
        QTest::keyClick(dialog->Control(IDC_NODE_EDIT), Qt::Key_Escape);
    });
    EXPECT_TRUE(openAfterReturns);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(result, QDialog::Rejected);
}

// Escape ends the run from wherever the focus is.
TEST_F(Keyboard, EscapeEndsTheRunFromAnyControl) {
    EnableEverything();
    for (QWidget* target : KeyTargets()) {
        SCOPED_TRACE(target->objectName().toStdString());
        const int result = ExecWith([target] {
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Escape);
        });
        EXPECT_EQ(result, QDialog::Rejected);
    }
}

TEST_F(Keyboard, CloseBoxEndsTheRun) {
    const int result = ExecWith([this] { dialog->close(); });
    EXPECT_EQ(result, QDialog::Rejected);
}

// Only Return is swallowed: Space still presses the focused button.
TEST_F(Keyboard, SpaceStillPressesTheFocusedButton) {
    EnableEverything();
    ShowAndActivate();
    auto* check = ControlAs<QCheckBox>(IDC_ENABLE_CHECK);
    QSignalSpy clicked(check, &QAbstractButton::clicked);
    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(check->isChecked());
}

struct Typing {
    int32_t id;
    const char* typed;
    const char* result;
};

TEST_F(Keyboard, EditsTakeOnlyWhatTheyAllow) {
    const QString seventyLetters(70, QLatin1Char('a'));
    const Typing cases[] = {
        {IDC_TCP_PORT_EDIT, "1a2b3", "123"},
        {IDC_TCP_PORT_EDIT, "port", ""},
        {IDC_TCP_PORT_EDIT, "1234567", "12345"},
        {IDC_TCP_PORT_EDIT, "-1", "1"},
        {IDC_INTERVAL_EDIT, "x9y9", "99"},
        {IDC_INTERVAL_EDIT, " 15 ", "15"},
        {IDC_INTERVAL_EDIT, "3600", "3600"},
        {IDC_NODE_EDIT, "a1bc", "a1b"},
        {IDC_NODE_EDIT, " 7", " 7"},
        {IDC_ADDRESS_EDIT, "gw-1.local", "gw-1.local"},
    };
    EnableEverything();
    ShowAndActivate();
    for (const Typing& typing : cases) {
        SCOPED_TRACE(typing.typed);
        auto* edit = ControlAs<QLineEdit>(typing.id);
        edit->clear();
        edit->setFocus();
        QTest::keyClicks(edit, QString::fromUtf8(typing.typed));
        EXPECT_EQ(edit->text(), QString::fromUtf8(typing.result));
    }
    auto* address = ControlAs<QLineEdit>(IDC_ADDRESS_EDIT);
    address->clear();
    QTest::keyClicks(address, seventyLetters);
    EXPECT_EQ(address->text(), seventyLetters.left(64));

    // Pasted text is held to the same rule as typed text.
    auto* port = ControlAs<QLineEdit>(IDC_TCP_PORT_EDIT);
    port->setText("10");
    port->end(false);
    port->insert("0x3");
    EXPECT_EQ(port->text(), "10");
    port->insert("03");
    EXPECT_EQ(port->text(), "1003");
}

}  // namespace
