#include "ui/EventTable.h"

#include <QAbstractButton>
#include <QComboBox>

#include "dialog/ControlIds.h"

using N = Notification;
using D = CVelkorDlg;

// clang-format off
const std::array<EventEntry, 16> EVENT_TABLE = {{
    {N::WM_DEVICECHANGE, 0, &D::OnDeviceChange},
    {N::BN_CLICKED, IDC_LAN_RADIO, &D::UpdateControls},
    {N::BN_CLICKED, IDC_USB_RADIO, &D::UpdateControls},
    {N::BN_CLICKED, IDC_X2_RADIO, &D::UpdateControls},
    {N::BN_CLICKED, IDC_X4_RADIO, &D::UpdateControls},
    {N::BN_CLICKED, IDC_ENABLE_CHECK, &D::UpdateControls},
    {N::BN_CLICKED, IDC_CONNECT_BUTTON, &D::OnConnectButton},
    {N::BN_CLICKED, IDC_READ_SETTINGS_BUTTON, &D::OnReadSettings},
    {N::BN_CLICKED, IDC_WRITE_SETTINGS_BUTTON, &D::OnApplySettings},
    {N::BN_CLICKED, IDC_READ_COUNTS_BUTTON, &D::OnReadCounts},
    {N::BN_CLICKED, IDC_START_STOP_BUTTON, &D::OnStartStop},
    {N::WM_TIMER, AUTO_UPDATE_TIMER_ID, &D::OnTimer},
    {N::BN_CLICKED, IDC_AUTO_UPDATE_CHECK, &D::OnAutoUpdate},
    {N::CBN_SELCHANGE, IDC_PERIOD_COMBO, &D::OnPeriodSelChange},
    {N::BN_CLICKED, IDC_SINGLE_PHASE_RADIO, &D::UpdateControls},
    {N::BN_CLICKED, IDC_TWO_PHASE_RADIO, &D::UpdateControls},
}};
// clang-format on

namespace {

void ConnectSimple(D* dialog, const EventEntry& entry, void (D::*handler)()) {
    const auto call = [dialog, handler] { (dialog->*handler)(); };
    switch (entry.notification) {
        case N::BN_CLICKED:
            QObject::connect(qobject_cast<QAbstractButton*>(dialog->Control(entry.source)),
                             &QAbstractButton::clicked, dialog, call);
            break;
        case N::CBN_SELCHANGE:
            // Only the operator's choice, not a selection set by the program.
            QObject::connect(qobject_cast<QComboBox*>(dialog->Control(entry.source)),
                             &QComboBox::activated, dialog, call);
            break;
        case N::WM_TIMER:
        case N::WM_DEVICECHANGE:
            break;
    }
}

}  // namespace

void CVelkorDlg::ConnectEventTable() {
    for (const EventEntry& entry : EVENT_TABLE) {
        if (const auto* handler = std::get_if<void (D::*)()>(&entry.handler)) {
            if (entry.notification == N::WM_TIMER) {
                OnDialogTimer([this, h = *handler] { (this->*h)(); });
            } else {
                ConnectSimple(this, entry, *handler);
            }
        } else if (const auto* onDevice =
                       std::get_if<int (D::*)(uint32_t, uint32_t)>(&entry.handler)) {
            connect(this, &CVelkorDlg::DeviceChange, this,
                    [this, h = *onDevice](uint32_t eventType, uint32_t deviceType) {
                        (this->*h)(eventType, deviceType);
                    });
        }
    }
}
