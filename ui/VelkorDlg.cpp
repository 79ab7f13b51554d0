#include "ui/VelkorDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>

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

Qt::Alignment StaticTextAlignment(uint32_t style) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (style & ALIGN_CENTRE) horizontal = Qt::AlignHCenter;
    if (style & ALIGN_RIGHT) horizontal = Qt::AlignRight;
    return horizontal | ((style & ALIGN_VCENTRE) ? Qt::AlignVCenter : Qt::AlignTop);
}

QString CaptionOf(const TemplateEntry& entry) {
    return entry.caption ? QString::fromUtf8(entry.caption) : QString();
}

}  // namespace

// ----- Construction --------------------------------------------------------------------------

CVelkorDlg::CVelkorDlg(LinkSession& session, QWidget* parent) : QDialog(parent), Session(session) {
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

// ----- Window creation from the template -----------------------------------------------------

void CVelkorDlg::CreateWindowFromTemplate() {
    setWindowTitle(QString::fromUtf8(DIALOG_TITLE));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(MakeDialogFont());
    baseUnits = BaseUnitsOf(font());
    setFixedSize(HorizontalPixels(DIALOG_WIDTH_DU, baseUnits),
                 VerticalPixels(DIALOG_HEIGHT_DU, baseUnits));

    std::vector<QWidget*> tabStops;
    std::vector<QWidget*> groupBoxes;
    QButtonGroup* radioGroup = nullptr;
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        QWidget* control = CreateControl(entry);
        control->setObjectName(QString::fromUtf8(entry.role));
        control->setProperty("controlId", entry.id);
        control->setGeometry(DialogUnitsToPixels(entry.rect, baseUnits));
        control->installEventFilter(this);
        if (entry.id == IDC_STATIC) {
            separators.push_back(control);
        } else {
            controlsById[entry.id] = control;
        }
        if (entry.kind == ControlKind::RadioButton) {
            if ((entry.style & GROUP_START) || radioGroup == nullptr) {
                radioGroup = new QButtonGroup(this);
            }
            radioGroup->addButton(As<QAbstractButton>(control), entry.id);
        }
        if (entry.kind == ControlKind::GroupBox) groupBoxes.push_back(control);
        if (entry.style & TAB_STOP) tabStops.push_back(control);
    }
    // A group box frames controls created before it as well: keep it behind all of them.
    for (QWidget* groupBox : groupBoxes)
        groupBox->lower();
    ArrangeTabOrder(tabStops);
}

QWidget* CVelkorDlg::CreateControl(const TemplateEntry& entry) {
    const QString caption = CaptionOf(entry);
    switch (entry.kind) {
        case ControlKind::StaticText: {
            auto* label = new QLabel(caption, this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(StaticTextAlignment(entry.style));
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setFrame(entry.style & BORDER);
            if (entry.style & DIGITS_ONLY) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            }
            return edit;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(caption, this);
        case ControlKind::RadioButton:
            return new QRadioButton(caption, this);
        case ControlKind::CheckBox:
            return new QCheckBox(caption, this);
        case ControlKind::PushButton: {
            // Return never presses a button: no button is ever the default one.
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case ControlKind::DropDownList: {
            // The rectangle's height is the opened list's; the closed box keeps its own height.
            auto* combo = new QComboBox(this);
            const int listHeight = VerticalPixels(entry.rect.height, baseUnits);
            const int closedHeight = combo->sizeHint().height();
            const int itemHeight = combo->fontMetrics().height() + 4;
            combo->setMaxVisibleItems(std::max(1, (listHeight - closedHeight) / itemHeight));
            combo->setFixedHeight(std::min(closedHeight, listHeight));
            return combo;
        }
        case ControlKind::Line: {
            auto* line = new QFrame(this);
            line->setFrameShape((entry.style & ETCHED_VERT) ? QFrame::VLine : QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            return line;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(this);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return new QWidget(this);
}

// Tab order is template order; controls that are not tab stops take the focus only by click
// (the other radio buttons of a group) or not at all (texts, frames, lines).
void CVelkorDlg::ArrangeTabOrder(const std::vector<QWidget*>& tabStops) {
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        QWidget* control = entry.id == IDC_STATIC ? nullptr : controlsById.at(entry.id);
        if (control == nullptr || (entry.style & TAB_STOP)) continue;
        const bool button = entry.kind == ControlKind::RadioButton;
        control->setFocusPolicy(button ? Qt::ClickFocus : Qt::NoFocus);
    }
    for (QWidget* separator : separators)
        separator->setFocusPolicy(Qt::NoFocus);
    for (size_t i = 0; i < tabStops.size(); ++i)
        tabStops[i]->setFocusPolicy(Qt::StrongFocus);
    for (size_t i = 1; i < tabStops.size(); ++i)
        setTabOrder(tabStops[i - 1], tabStops[i]);
}

QWidget* CVelkorDlg::Control(int32_t id) const {
    const auto found = controlsById.find(id);
    return found == controlsById.end() ? nullptr : found->second;
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
