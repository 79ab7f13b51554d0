#include "DialogTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QThread>

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > timeoutMs) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

QPoint IndicatorCentre(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    const QStyle::SubElement element = qobject_cast<QCheckBox*>(button)
                                           ? QStyle::SE_CheckBoxIndicator
                                           : QStyle::SE_RadioButtonIndicator;
    return button->style()->subElementRect(element, &option, button).center();
}

void ClickIndicator(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, IndicatorCentre(button));
}

void DialogTest::ShowAndActivate() {
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
}
