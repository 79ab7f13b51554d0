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
#include "dialog/ControlIds.h"
#include "ui/DialogFonts.h"
#include "dialog/DialogTexts.h"
#include "ui/VersionString.h"

namespace {

// Text limits of the edits, in characters.
constexpr int ADDRESS_TEXT_LIMIT = 64;
constexpr int TCP_PORT_TEXT_LIMIT = 5;
constexpr int NODE_TEXT_LIMIT = 3;

// Binds a control object, or an array of them, to the controls of the identifiers.
class Binder {
public:
    explicit Binder(const ControlDialog& dialog) : dialog(dialog) {}
    template <typename T>
    void operator()(T*& object, int32_t id) const {
        object = qobject_cast<T*>(dialog.Control(id));
    }
    template <typename T, size_t N>
    void operator()(std::array<T*, N>& objects, const std::array<int32_t, N>& ids) const {
        for (size_t i = 0; i < N; ++i)
            (*this)(objects[i], ids[i]);
    }

private:
    const ControlDialog& dialog;
};

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
    const Binder bind(*this);
    bind(RouteTexts, IDC_ROUTE_TEXTS);
    bind(SettingsTexts, IDC_SETTINGS_TEXTS);
    bind(NodeEdit, IDC_NODE_EDIT);
    bind(RouteRadios, {IDC_LAN_RADIO, IDC_USB_RADIO});
    bind(AddressEdit, IDC_ADDRESS_EDIT);
    bind(TcpPortEdit, IDC_TCP_PORT_EDIT);
    bind(PortCombo, IDC_PORT_COMBO);
    bind(ConnectButton, IDC_CONNECT_BUTTON);
    bind(EnableCheck, IDC_ENABLE_CHECK);
    bind(PhaseRadios, {IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO});
    bind(MultiplierRadios, {IDC_X2_RADIO, IDC_X4_RADIO});
    bind(ClearSignalCheck, IDC_CLEAR_SIGNAL_CHECK);
    bind(PeriodCombo, IDC_PERIOD_COMBO);
    bind(DebounceCombo, IDC_DEBOUNCE_COMBO);
    bind(ReadSettingsButton, IDC_READ_SETTINGS_BUTTON);
    bind(WriteSettingsButton, IDC_WRITE_SETTINGS_BUTTON);
    bind(CountStatusText, IDC_COUNT_STATUS_TEXT);
    bind(StartStopButton, IDC_START_STOP_BUTTON);
    bind(ReadCountsButton, IDC_READ_COUNTS_BUTTON);
    bind(AutoUpdateCheck, IDC_AUTO_UPDATE_CHECK);
    bind(IntervalEdit, IDC_INTERVAL_EDIT);
    bind(CountLabel, IDC_COUNT_LABEL);
    bind(CountValue, IDC_COUNT_VALUE);
    bind(VersionText, IDC_VERSION_TEXT);
    bind(EdgeCombo, IDC_EDGE_COMBO);
    bind(EdgeLabel, IDC_EDGE_LABEL);
    bind(ProgressBar, IDC_PROGRESS_BAR);
    bind(DeviceInfoText, IDC_DEVICE_INFO_TEXT);
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
