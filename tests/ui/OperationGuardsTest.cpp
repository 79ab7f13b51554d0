// Operations that must not start while a connection is still being made or already gone.
#include <QCoreApplication>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "ui/CountUpdateEvent.h"

namespace {

class OperationGuards : public DialogTest {
protected:
    // The connected controls as the end of a settings read shows them while connecting.
    void ShowConnectedControls(CVelkorDlg::ConnectionState state) {
        Inside().InputCount() = 2;
        dialog->SetChecked(IDC_ENABLE_CHECK, true);
        Inside().ConnState() = state;
        dialog->UpdateControls();
    }
};

TEST_F(OperationGuards, NoSettingsExchangeOrAutoUpdateBeforeTheConnectionIsMade) {
    ShowConnectedControls(CVelkorDlg::Connecting);
    ASSERT_TRUE(dialog->IsEnabled(IDC_READ_SETTINGS_BUTTON));
    ASSERT_TRUE(dialog->IsEnabled(IDC_START_STOP_BUTTON));

    dialog->OnReadSettings();
    dialog->OnApplySettings();
    dialog->OnStartStop();
    EXPECT_EQ(Inside().RunningWorkers(), 0);
    EXPECT_TRUE(dialog->IsEnabled(IDC_READ_SETTINGS_BUTTON)) << "nothing was locked either";
    EXPECT_EQ(dialog->HeldConfig().countingOn, 0);

    dialog->SetChecked(IDC_AUTO_UPDATE_CHECK, true);
    dialog->OnAutoUpdate();
    EXPECT_FALSE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
    EXPECT_FALSE(dialog->IsTimerRunning(AUTO_UPDATE_TIMER_ID));
    EXPECT_EQ(Inside().AutoUpdateSeconds().load(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(OperationGuards, CountPostedBeforeADisconnectLeavesTheEmptiedDisplay) {
    ShowConnectedControls(CVelkorDlg::Connected);
    dialog->HeldConfig().count[0] = 42;
    QCoreApplication::postEvent(dialog.get(), new CountUpdateEvent(0));
    Inside().ConnState() = CVelkorDlg::Disconnected;
    dialog->UpdateControls();
    QCoreApplication::processEvents();
    EXPECT_EQ(Inside().CountUpdatesHandled(), 1);
    EXPECT_EQ(dialog->ControlText(IDC_COUNT_VALUE[0]), "");

    Inside().ConnState() = CVelkorDlg::Connected;
    QCoreApplication::postEvent(dialog.get(), new CountUpdateEvent(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->ControlText(IDC_COUNT_VALUE[0]), "42");
}

}  // namespace
