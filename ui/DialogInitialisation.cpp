#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <set>

#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"
#include "ui/AppIcon.h"
#include "ui/DialogFonts.h"
#include "ui/PortSource.h"
#include "ui/PortWatcher.h"
#include "ui/VelkorDlg.h"
#include "ui/VersionString.h"

namespace {

// The buttons whose click only runs the control-state rules.
constexpr int32_t RULE_BUTTONS[] = {IDC_LAN_RADIO,      IDC_USB_RADIO,    IDC_X2_RADIO,
                                    IDC_X4_RADIO,       IDC_ENABLE_CHECK, IDC_SINGLE_PHASE_RADIO,
                                    IDC_TWO_PHASE_RADIO};

}  // namespace

CVelkorDlg::CVelkorDlg(LinkSession& session, QWidget* parent)
    : QDialog(parent), core(*this, session) {
    appIcon = LoadIconResource(IDI_APP_ICON);
    // A coarse timer may tick up to 5 % before its period is over.
    dialogTimer.setTimerType(Qt::PreciseTimer);
    CreateWindowFromTemplate();
    setWindowIcon(appIcon);
    // A progress bar without range runs as a marquee.
    qobject_cast<QProgressBar*>(Control(IDC_PROGRESS_BAR))->setRange(0, 0);
    for (const EditTextLimit& limit : EDIT_TEXT_LIMITS)
        qobject_cast<QLineEdit*>(Control(limit.id))->setMaxLength(limit.characters);
    countFont = MakePointFont(COUNT_FONT_TENTHS_OF_POINT, COUNT_FONT_FACE);
    for (int i = 0; i < MAX_INPUTS; ++i) {
        Control(IDC_COUNT_VALUE[i])->setFont(countFont);
        Control(IDC_COUNT_LABEL[i])->setFont(countFont);
    }
    RouteEvents();
    core.OnInitDialog(FormatVersionString(ProgramFileVersion()));
    WatchPorts();
}

CVelkorDlg::~CVelkorDlg() {
    core.ShutDown();
}

void CVelkorDlg::done(int result) {
    core.ShutDown();
    QDialog::done(result);
}

// Every event of the dialog goes to the core. Not routed: Return/Enter, swallowed before any
// control sees it (PreTranslate.cpp).
void CVelkorDlg::RouteEvents() {
    const auto onClick = [this](int32_t id, void (DialogCore::*handler)()) {
        connect(qobject_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this,
                [this, handler] { (core.*handler)(); });
    };
    for (int32_t id : RULE_BUTTONS)
        onClick(id, &DialogCore::UpdateControls);
    onClick(IDC_CONNECT_BUTTON, &DialogCore::OnConnectButton);
    onClick(IDC_READ_SETTINGS_BUTTON, &DialogCore::OnReadSettings);
    onClick(IDC_WRITE_SETTINGS_BUTTON, &DialogCore::OnApplySettings);
    onClick(IDC_READ_COUNTS_BUTTON, &DialogCore::OnReadCounts);
    onClick(IDC_START_STOP_BUTTON, &DialogCore::OnStartStop);
    onClick(IDC_AUTO_UPDATE_CHECK, &DialogCore::OnAutoUpdate);
    // Only the operator's choice, not a selection set by the program.
    connect(qobject_cast<QComboBox*>(Control(IDC_PERIOD_COMBO)), &QComboBox::activated, this,
            [this] { core.OnPeriodSelChange(); });
    connect(&dialogTimer, &QTimer::timeout, this, [this] { core.OnTimer(); });
    connect(this, &CVelkorDlg::DeviceChange, this, [this](uint32_t eventType, uint32_t deviceType) {
        core.OnDeviceChange(eventType, deviceType);
    });
}

// Port arrivals and removals reach the core through the DeviceChange signal. The watcher starts
// from the ports the list shows, so that it need not enumerate them again.
void CVelkorDlg::WatchPorts() {
    PortWatcher::Setup setup;
    setup.presentPorts = [] {
        std::set<std::string> paths;
        for (const SerialPortDescription& port : PresentSerialPorts())
            paths.insert(port.path);
        return paths;
    };
    for (const PortEntry& entry : core.Ports().Entries())
        setup.knownPorts.insert(entry.DevicePath);
    setup.mayCompare = [this] { return core.ConnState() == Disconnected; };
    setup.deviceDirectory = PortDeviceDirectory();
    portWatcher = new PortWatcher(std::move(setup), this);
    connect(portWatcher, &PortWatcher::DeviceChange, this, &CVelkorDlg::DeviceChange);
}
