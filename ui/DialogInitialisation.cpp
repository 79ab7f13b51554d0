#include "ui/VelkorDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "device/ValueTables.h"
#include "ui/AppIcon.h"
#include "ui/ControlIds.h"
#include "ui/DialogFonts.h"
#include "ui/DialogTexts.h"
#include "ui/VersionString.h"

namespace {

// Text limits of the edits, in characters.
constexpr int ADDRESS_TEXT_LIMIT = 64;
constexpr int TCP_PORT_TEXT_LIMIT = 5;
constexpr int NODE_TEXT_LIMIT = 3;

template <typename T>
T* As(QWidget* widget) {
    return qobject_cast<T*>(widget);
}

}  // namespace

// ----- Construction --------------------------------------------------------------------------

CVelkorDlg::CVelkorDlg(LinkSession& session, QWidget* parent)
    : ControlDialog(parent), Session(session) {
    // 1. The icon resource.
    AppIcon = LoadIconResource(IDI_APP_ICON);
    // 2.-3. The program's own file version.
    const FileVersion version = ProgramFileVersion();
    FileVersionMajor = version.major;
    FileVersionMinor = version.minor;
    FileVersionThird = version.third;
    FileVersionFourth = version.fourth;
    // 4. The version text.
    VersionString = QString::fromStdString(FormatVersionString(version));

    CreateWindowFromTemplate();
    ConnectEventTable();
    OnInitDialog();
    WatchPorts();
}

CVelkorDlg::~CVelkorDlg() {
    ShutDown();
}

// ----- Dialog initialisation -----------------------------------------------------------------

void CVelkorDlg::OnInitDialog() {
    // 1. Bind the control objects.
    BindControls();
    // 2. Window icon (the window system takes its large and small images from the one icon).
    setWindowIcon(AppIcon);
    // 3.
    SetControlText(IDC_VERSION_TEXT, VersionString);
    // 4.
    AutoUpdateSeconds = 0;
    AbortRequestedFlag = 0;
    // 5. A progress bar without range runs as a marquee.
    ProgressBar->setRange(0, 0);
    ShowControl(IDC_PROGRESS_BAR, false);
    // 6.
    RefreshPortList();
    // 7.
    AddressEdit->setMaxLength(ADDRESS_TEXT_LIMIT);
    TcpPortEdit->setMaxLength(TCP_PORT_TEXT_LIMIT);
    NodeEdit->setMaxLength(NODE_TEXT_LIMIT);
    // 8.
    ConnState = Disconnected;
    // 9. The other check boxes stay clear and NodeEdit and AddressEdit stay empty.
    SetChecked(IDC_LAN_RADIO, true);
    SetChecked(IDC_SINGLE_PHASE_RADIO, true);
    SetChecked(IDC_X2_RADIO, true);
    // 10.
    SetControlText(IDC_TCP_PORT_EDIT, QString::fromUtf8(DEFAULT_TCP_PORT));
    // 11.
    CountFont = MakePointFont(COUNT_FONT_TENTHS_OF_POINT, COUNT_FONT_FACE);
    // 12. The count labels keep their texts.
    for (int i = 0; i < MAX_INPUTS; ++i) {
        CountValue[i]->setFont(CountFont);
        SetControlText(IDC_COUNT_VALUE[i], QString::fromUtf8(WIDEST_COUNT_TEXT));
        CountLabel[i]->setFont(CountFont);
    }
    // 13.-14.
    FillComboBoxes();
    // 15.
    SetControlText(IDC_DEVICE_INFO_TEXT, QString());
    // 16.
    SetControlText(IDC_INTERVAL_EDIT, QString::fromUtf8(DEFAULT_INTERVAL));
    // 17.
    InputCount = 0;
    CountBusyFlag = 0;
    // 18.
    UpdateControls();
}

void CVelkorDlg::BindControls() {
    RouteTexts = {Control(IDC_NODE_LABEL), Control(IDC_ROUTE_GROUP), Control(IDC_ADDRESS_LABEL),
                  Control(IDC_PORT_LABEL)};
    SettingsTexts = {Control(IDC_SETTINGS_GROUP), Control(IDC_PERIOD_LABEL),
                     Control(IDC_DEBOUNCE_LABEL), Control(IDC_INTERVAL_LABEL),
                     Control(IDC_SECONDS_LABEL)};
    NodeEdit = As<QLineEdit>(Control(IDC_NODE_EDIT));
    RouteRadios = {As<QRadioButton>(Control(IDC_LAN_RADIO)),
                   As<QRadioButton>(Control(IDC_USB_RADIO))};
    AddressEdit = As<QLineEdit>(Control(IDC_ADDRESS_EDIT));
    TcpPortEdit = As<QLineEdit>(Control(IDC_TCP_PORT_EDIT));
    PortCombo = As<QComboBox>(Control(IDC_PORT_COMBO));
    ConnectButton = As<QPushButton>(Control(IDC_CONNECT_BUTTON));
    EnableCheck = As<QCheckBox>(Control(IDC_ENABLE_CHECK));
    PhaseRadios = {As<QRadioButton>(Control(IDC_SINGLE_PHASE_RADIO)),
                   As<QRadioButton>(Control(IDC_TWO_PHASE_RADIO))};
    MultiplierRadios = {As<QRadioButton>(Control(IDC_X2_RADIO)),
                        As<QRadioButton>(Control(IDC_X4_RADIO))};
    ClearSignalCheck = As<QCheckBox>(Control(IDC_CLEAR_SIGNAL_CHECK));
    PeriodCombo = As<QComboBox>(Control(IDC_PERIOD_COMBO));
    DebounceCombo = As<QComboBox>(Control(IDC_DEBOUNCE_COMBO));
    ReadSettingsButton = As<QPushButton>(Control(IDC_READ_SETTINGS_BUTTON));
    WriteSettingsButton = As<QPushButton>(Control(IDC_WRITE_SETTINGS_BUTTON));
    CountStatusText = As<QLabel>(Control(IDC_COUNT_STATUS_TEXT));
    StartStopButton = As<QPushButton>(Control(IDC_START_STOP_BUTTON));
    ReadCountsButton = As<QPushButton>(Control(IDC_READ_COUNTS_BUTTON));
    AutoUpdateCheck = As<QCheckBox>(Control(IDC_AUTO_UPDATE_CHECK));
    IntervalEdit = As<QLineEdit>(Control(IDC_INTERVAL_EDIT));
    for (int i = 0; i < MAX_INPUTS; ++i)
        CountLabel[i] = As<QLabel>(Control(IDC_COUNT_LABEL[i]));
    for (int i = 0; i < MAX_INPUTS; ++i)
        CountValue[i] = As<QLabel>(Control(IDC_COUNT_VALUE[i]));
    VersionText = As<QLabel>(Control(IDC_VERSION_TEXT));
    for (int i = 0; i < MAX_INPUTS; ++i)
        EdgeCombo[i] = As<QComboBox>(Control(IDC_EDGE_COMBO[i]));
    for (int i = 0; i < MAX_INPUTS; ++i)
        EdgeLabel[i] = As<QLabel>(Control(IDC_EDGE_LABEL[i]));
    ProgressBar = As<QProgressBar>(Control(IDC_PROGRESS_BAR));
    DeviceInfoText = As<QLabel>(Control(IDC_DEVICE_INFO_TEXT));
}

void CVelkorDlg::FillComboBoxes() {
    // 13. Debounce texts, then period texts; the first entry of each selected.
    for (const char* text : DEBOUNCE_TEXTS)
        DebounceCombo->addItem(QString::fromUtf8(text));
    for (const char* text : PERIOD_TEXTS)
        PeriodCombo->addItem(QString::fromUtf8(text));
    SetSelection(IDC_DEBOUNCE_COMBO, 0);
    SetSelection(IDC_PERIOD_COMBO, 0);
    // 14. The edge texts for every input, "無効" selected.
    for (int i = 0; i < MAX_INPUTS; ++i) {
        for (const char* text : EDGE_TEXTS)
            EdgeCombo[i]->addItem(QString::fromUtf8(text));
        SetSelection(IDC_EDGE_COMBO[i], 0);
    }
}
