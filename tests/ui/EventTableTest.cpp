// The event table: its rows, and the rows that run the control-state rules, clicked for real.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <thread>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "dialog/DeviceChange.h"
#include "ui/EventTable.h"

namespace {

using N = Notification;
using D = CVelkorDlg;

struct ExpectedRow {
    N notification;
    int32_t source;
    EventHandler handler;
};

// clang-format off
const ExpectedRow ROWS[] = {
    {N::WM_DEVICECHANGE, 0, &D::OnDeviceChange},
    {N::BN_CLICKED, 1003, &D::UpdateControls},
    {N::BN_CLICKED, 1005, &D::UpdateControls},
    {N::BN_CLICKED, 1008, &D::UpdateControls},
    {N::BN_CLICKED, 1009, &D::UpdateControls},
    {N::BN_CLICKED, 1002, &D::UpdateControls},
    {N::BN_CLICKED, 1001, &D::OnConnectButton},
    {N::BN_CLICKED, 1015, &D::OnReadSettings},
    {N::BN_CLICKED, 1016, &D::OnApplySettings},
    {N::BN_CLICKED, 1019, &D::OnReadCounts},
    {N::BN_CLICKED, 1017, &D::OnStartStop},
    {N::WM_TIMER, 1000, &D::OnTimer},
    {N::BN_CLICKED, 1020, &D::OnAutoUpdate},
    {N::CBN_SELCHANGE, 1013, &D::OnPeriodSelChange},
    {N::BN_CLICKED, 1006, &D::UpdateControls},
    {N::BN_CLICKED, 1007, &D::UpdateControls},
};
// clang-format on

TEST(EventTable, HoldsEveryRowWithItsHandler) {
    ASSERT_EQ(EVENT_TABLE.size(), std::size(ROWS));
    for (size_t i = 0; i < std::size(ROWS); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(EVENT_TABLE[i].notification, ROWS[i].notification);
        EXPECT_EQ(EVENT_TABLE[i].source, ROWS[i].source);
        EXPECT_TRUE(EVENT_TABLE[i].handler == ROWS[i].handler);
    }
}

class EventRows : public DialogTest {};

TEST_F(EventRows, SourcesAreControlsOfTheMatchingKind) {
    for (const EventEntry& entry : EVENT_TABLE) {
        if (entry.notification == N::BN_CLICKED) {
            EXPECT_NE(qobject_cast<QAbstractButton*>(dialog->Control(entry.source)), nullptr)
                << entry.source;
        }
        if (entry.notification == N::CBN_SELCHANGE) {
            EXPECT_NE(qobject_cast<QComboBox*>(dialog->Control(entry.source)), nullptr)
                << entry.source;
        }
    }
}

// Every button whose click runs the rules, clicked on its indicator in a state where it is
// enabled: a stale caption on ConnectButton shows whether the rules ran.
TEST_F(EventRows, ClicksOnRouteAndModeButtonsRunTheRules) {
    ShowAndActivate();
    struct Click {
        int32_t id;
        int32_t connState;
        const char* caption;
    };
    const Click clicks[] = {
        {IDC_USB_RADIO, D::Disconnected, "接続"},       {IDC_LAN_RADIO, D::Disconnected, "接続"},
        {IDC_ENABLE_CHECK, D::Connected, "切断"},       {IDC_TWO_PHASE_RADIO, D::Connected, "切断"},
        {IDC_X4_RADIO, D::Connected, "切断"},           {IDC_X2_RADIO, D::Connected, "切断"},
        {IDC_SINGLE_PHASE_RADIO, D::Connected, "切断"},
    };
    for (const Click& click : clicks) {
        SCOPED_TRACE(click.id);
        Inside().ConnState() = click.connState;
        Inside().InputCount() = 5;
        dialog->UpdateControls();
        ASSERT_TRUE(dialog->IsEnabled(click.id));
        dialog->SetControlText(IDC_CONNECT_BUTTON, "stale");
        ClickIndicator(qobject_cast<QAbstractButton*>(dialog->Control(click.id)));
        EXPECT_EQ(dialog->ControlText(IDC_CONNECT_BUTTON), click.caption);
    }
    // The clicks took effect: USB then LAN again, counting enabled, two-phase then single-phase.
    EXPECT_TRUE(dialog->IsChecked(IDC_LAN_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_ENABLE_CHECK));
    EXPECT_TRUE(dialog->IsChecked(IDC_SINGLE_PHASE_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_X2_RADIO));
}

// Choosing USB while disconnected moves the enabled state from the address pair to the port list.
TEST_F(EventRows, RouteChoiceMovesTheEnabledFields) {
    ShowAndActivate();
    ClickIndicator(qobject_cast<QAbstractButton*>(dialog->Control(IDC_USB_RADIO)));
    EXPECT_FALSE(dialog->IsEnabled(IDC_ADDRESS_EDIT));
    EXPECT_FALSE(dialog->IsEnabled(IDC_TCP_PORT_EDIT));
    EXPECT_TRUE(dialog->IsEnabled(IDC_PORT_COMBO));
    EXPECT_TRUE(dialog->IsEnabled(IDC_ADDRESS_LABEL));
    EXPECT_TRUE(dialog->IsEnabled(IDC_PORT_LABEL));
    ClickIndicator(qobject_cast<QAbstractButton*>(dialog->Control(IDC_LAN_RADIO)));
    EXPECT_TRUE(dialog->IsEnabled(IDC_ADDRESS_EDIT));
    EXPECT_FALSE(dialog->IsEnabled(IDC_PORT_COMBO));
}

// The operator's choice of a period is stored and changes no enabled state; a selection set by
// the program is not the operator's choice.
TEST_F(EventRows, PeriodChoiceIsStoredAndEnablesNothing) {
    Inside().ConnState() = D::Connected;
    Inside().InputCount() = 5;
    dialog->SetChecked(IDC_ENABLE_CHECK, true);
    dialog->UpdateControls();
    ShowAndActivate();
    auto* combo = qobject_cast<QComboBox*>(dialog->Control(IDC_PERIOD_COMBO));
    dialog->SetControlText(IDC_CONNECT_BUTTON, "stale");
    const bool debounceEnabled = dialog->IsEnabled(IDC_DEBOUNCE_COMBO);

    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(dialog->Selection(IDC_PERIOD_COMBO), 1);
    EXPECT_EQ(dialog->HeldConfig().period, 1);
    EXPECT_EQ(dialog->ControlText(IDC_CONNECT_BUTTON), "切断");  // the rules ran
    EXPECT_EQ(dialog->IsEnabled(IDC_DEBOUNCE_COMBO), debounceEnabled);

    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(dialog->HeldConfig().period, 0);

    dialog->SetSelection(IDC_PERIOD_COMBO, 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->HeldConfig().period, 0);
}

std::vector<QString> capturedWarnings;

void CaptureWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg) capturedWarnings.push_back(text);
}

// The port watcher reports from its own thread; the notification crosses to the dialog's thread.
TEST_F(EventRows, DeviceChangeFromAnotherThreadIsDelivered) {
    capturedWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(CaptureWarnings);
    std::thread watcher([this] { emit dialog->DeviceChange(DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT); });
    watcher.join();
    QCoreApplication::processEvents();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(capturedWarnings.empty()) << capturedWarnings.front().toStdString();
}

}  // namespace
