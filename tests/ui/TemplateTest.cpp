// The dialog template, entry by entry, against the table in the code and the dialog built from it.
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
#include <QTest>
#include <QValidator>
#include <map>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"
#include "ui/VersionString.h"

namespace {

using K = ControlKind;

// Style columns of the expected table.
enum : int {
    TAB = 1 << 0,       // tab stop
    DIGITS = 1 << 1,    // digits only
    CENTRE = 1 << 2,    // centred text
    RIGHT = 1 << 3,     // right-aligned text
    VCENTRE = 1 << 4,   // vertically centred text
    HORZ = 1 << 5,      // horizontal etched line
    VERT = 1 << 6,      // vertical etched line
    MULTI = 1 << 7,     // multi-line caption
    STARTS = 1 << 8,    // starts a radio group
    BORDERED = 1 << 9,  // framed
};

// What the opening dialog shows where the template has a placeholder (or an edit its default).
constexpr const char* VERSION = "<version>";

struct Expected {
    int32_t id;
    K kind;
    const char* caption;  // in the template
    const char* role;
    DialogUnitRect rect;
    int style;
    int radioGroup;     // 1..3, 0: none
    int textLimit;      // 0: the edit's default
    const char* shown;  // text at opening when it differs from the template caption
};

// clang-format off
const Expected TEMPLATE[] = {
    {1022, K::StaticText, "接続先ノード (0-254) :", "NodeLabel", {10, 12, 64, 8}, 0, 0, 0, nullptr},
    {1000, K::Edit, nullptr, "NodeEdit", {80, 10, 40, 14}, TAB | BORDERED, 0, 3, ""},
    {1023, K::GroupBox, "ゲートウェイを選択", "RouteGroup", {10, 30, 290, 50}, 0, 0, 0, nullptr},
    {1003, K::RadioButton, "LAN接続", "LanRadio", {15, 45, 42, 10}, TAB | STARTS, 1, 0, nullptr},
    {1005, K::RadioButton, "USB接続", "UsbRadio", {15, 60, 43, 10}, 0, 1, 0, nullptr},
    {1010, K::Edit, nullptr, "AddressEdit", {91, 45, 124, 14}, TAB | BORDERED, 0, 64, ""},
    {1011, K::Edit, nullptr, "TcpPortEdit", {260, 45, 30, 14}, TAB | BORDERED | DIGITS, 0, 5, "10003"},
    {1004, K::DropDownList, nullptr, "PortCombo", {66, 60, 224, 290}, TAB, 0, 0, ""},
    {1001, K::PushButton, "接続", "ConnectButton", {255, 85, 50, 14}, TAB, 0, 0, nullptr},
    {1024, K::StaticText, "アドレス :", "AddressLabel", {65, 47, 25, 8}, 0, 0, 0, nullptr},
    {1025, K::StaticText, "ポート番号 :", "PortLabel", {225, 47, 34, 8}, 0, 0, 0, nullptr},
    {-1, K::Line, nullptr, "separator", {5, 110, 300, 1}, HORZ, 0, 0, nullptr},
    {1002, K::CheckBox, "有効", "EnableCheck", {20, 151, 30, 10}, TAB, 0, 0, nullptr},
    {1006, K::RadioButton, "単相(通常)カウント", "SinglePhaseRadio", {30, 165, 68, 10}, TAB | STARTS, 2, 0, nullptr},
    {1007, K::RadioButton, "2相カウント\n  DI1/DI2 : A相/B相 \n  DI4/DI5 : A相/B相", "TwoPhaseRadio", {30, 180, 85, 25}, MULTI, 2, 0, nullptr},
    {1008, K::RadioButton, "2逓倍カウント", "X2Radio", {45, 210, 53, 10}, TAB | STARTS, 3, 0, nullptr},
    {1009, K::RadioButton, "4逓倍カウント", "X4Radio", {45, 225, 53, 10}, 0, 3, 0, nullptr},
    {1012, K::CheckBox, "クリア信号有効 ( DI3 : Z相 )", "ClearSignalCheck", {45, 240, 95, 10}, TAB, 0, 0, nullptr},
    {1027, K::StaticText, "計数期間 :", "PeriodLabel", {20, 277, 32, 8}, 0, 0, 0, nullptr},
    {1013, K::DropDownList, nullptr, "PeriodCombo", {60, 275, 60, 175}, TAB, 0, 0, "START-STOP"},
    {1028, K::StaticText, "チャタリング除去 :", "DebounceLabel", {155, 277, 47, 8}, 0, 0, 0, nullptr},
    {1014, K::DropDownList, nullptr, "DebounceCombo", {205, 275, 60, 175}, TAB, 0, 0, "なし"},
    {1026, K::GroupBox, "パルスカウント設定", "SettingsGroup", {10, 135, 295, 165}, 0, 0, 0, nullptr},
    {1015, K::PushButton, "設定受信", "ReadSettingsButton", {195, 120, 50, 14}, TAB, 0, 0, nullptr},
    {1016, K::PushButton, "設定反映", "WriteSettingsButton", {255, 120, 50, 14}, TAB, 0, 0, nullptr},
    {1018, K::StaticText, "PULSE COUNT OFF", "CountStatusText", {15, 315, 185, 8}, CENTRE, 0, 0, nullptr},
    {1017, K::PushButton, "Start / Stop", "StartStopButton", {210, 305, 90, 30}, TAB, 0, 0, nullptr},
    {-1, K::Line, nullptr, "separator", {5, 345, 295, 1}, HORZ, 0, 0, nullptr},
    {1019, K::PushButton, "カウント値受信", "ReadCountsButton", {5, 355, 50, 14}, TAB, 0, 0, nullptr},
    {-1, K::Line, nullptr, "separator", {60, 355, 1, 59}, VERT, 0, 0, nullptr},
    {1020, K::CheckBox, "自動更新", "AutoUpdateCheck", {5, 380, 43, 10}, TAB, 0, 0, nullptr},
    {1029, K::StaticText, "更新間隔", "IntervalLabel", {5, 400, 28, 8}, 0, 0, 0, nullptr},
    {1021, K::Edit, nullptr, "IntervalEdit", {5, 410, 30, 14}, TAB | BORDERED | DIGITS, 0, 0, "10"},
    {1030, K::StaticText, "秒", "SecondsLabel", {40, 413, 15, 8}, 0, 0, 0, nullptr},
    {1046, K::StaticText, "DI1", "CountValue DI1", {95, 355, 75, 15}, RIGHT | VCENTRE, 0, 0, ""},
    {1052, K::StaticText, "DI1", "CountLabel DI1", {65, 355, 25, 15}, VCENTRE, 0, 0, nullptr},
    {1047, K::StaticText, "DI2", "CountValue DI2", {215, 355, 75, 15}, RIGHT | VCENTRE, 0, 0, ""},
    {1056, K::StaticText, "DI2", "CountLabel DI2", {185, 355, 23, 15}, VCENTRE, 0, 0, nullptr},
    {1050, K::StaticText, "DI3", "CountValue DI3", {95, 375, 75, 15}, RIGHT | VCENTRE, 0, 0, ""},
    {1057, K::StaticText, "DI3", "CountLabel DI3", {65, 375, 25, 15}, VCENTRE, 0, 0, nullptr},
    {1051, K::StaticText, "DI4", "CountValue DI4", {215, 375, 75, 15}, RIGHT | VCENTRE, 0, 0, ""},
    {1058, K::StaticText, "DI4", "CountLabel DI4", {185, 375, 23, 15}, VCENTRE, 0, 0, nullptr},
    {1053, K::StaticText, "DI5", "CountValue DI5", {95, 395, 75, 15}, RIGHT | VCENTRE, 0, 0, ""},
    {1059, K::StaticText, "DI5", "CountLabel DI5", {65, 395, 25, 15}, VCENTRE, 0, 0, nullptr},
    {1062, K::StaticText, "Static", "VersionText", {160, 435, 145, 8}, RIGHT, 0, 0, VERSION},
    {-1, K::Line, nullptr, "separator", {180, 355, 1, 59}, VERT, 0, 0, nullptr},
    {-1, K::Line, nullptr, "separator", {205, 165, 1, 95}, VERT, 0, 0, nullptr},
    {1032, K::StaticText, "DI1 :", "EdgeLabel DI1", {220, 165, 15, 13}, VCENTRE, 0, 0, nullptr},
    {1031, K::DropDownList, nullptr, "EdgeCombo DI1", {235, 165, 60, 80}, TAB, 0, 0, "無効"},
    {1033, K::StaticText, "DI2 :", "EdgeLabel DI2", {220, 185, 15, 13}, VCENTRE, 0, 0, nullptr},
    {1034, K::DropDownList, nullptr, "EdgeCombo DI2", {235, 185, 60, 80}, TAB, 0, 0, "無効"},
    {1035, K::StaticText, "DI3 :", "EdgeLabel DI3", {220, 205, 15, 13}, VCENTRE, 0, 0, nullptr},
    {1036, K::DropDownList, nullptr, "EdgeCombo DI3", {235, 205, 60, 80}, TAB, 0, 0, "無効"},
    {1037, K::StaticText, "DI4 :", "EdgeLabel DI4", {220, 225, 15, 13}, VCENTRE, 0, 0, nullptr},
    {1038, K::DropDownList, nullptr, "EdgeCombo DI4", {235, 225, 60, 80}, TAB, 0, 0, "無効"},
    {1039, K::StaticText, "DI5 :", "EdgeLabel DI5", {220, 245, 15, 13}, VCENTRE, 0, 0, nullptr},
    {1040, K::DropDownList, nullptr, "EdgeCombo DI5", {235, 245, 60, 80}, TAB, 0, 0, "無効"},
    {-1, K::Line, nullptr, "separator", {15, 265, 280, 1}, HORZ, 0, 0, nullptr},
    {1041, K::ProgressBar, nullptr, "ProgressBar", {5, 430, 295, 14}, BORDERED, 0, 0, nullptr},
    {1042, K::StaticText, "スタティック", "DeviceInfoText", {10, 120, 175, 8}, 0, 0, 0, ""},
};
// clang-format on

static_assert(std::size(TEMPLATE) == 60);

QString Utf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

// Dialog units to pixels, rounded to nearest: x by a quarter of baseX, y by an eighth of baseY.
int ToPixels(int dialogUnits, int base, int divisor) {
    return (dialogUnits * base + divisor / 2) / divisor;
}

QRect ExpectedPixels(const DialogUnitRect& rect, DialogBaseUnits base) {
    return QRect(ToPixels(rect.x, base.baseX, 4), ToPixels(rect.y, base.baseY, 8),
                 ToPixels(rect.width, base.baseX, 4), ToPixels(rect.height, base.baseY, 8));
}

const char* ClassOf(K kind) {
    switch (kind) {
        case K::StaticText:
            return "StaticText";  // a label that loses whole words only
        case K::Edit:
            return "QLineEdit";
        case K::GroupBox:
            return "QGroupBox";
        case K::RadioButton:
            return "QRadioButton";
        case K::CheckBox:
            return "QCheckBox";
        case K::PushButton:
            return "QPushButton";
        case K::DropDownList:
            return "QComboBox";
        case K::Line:
            return "QFrame";
        case K::ProgressBar:
            return "QProgressBar";
    }
    return "";
}

Qt::Alignment ExpectedAlignment(int style) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (style & CENTRE) horizontal = Qt::AlignHCenter;
    if (style & RIGHT) horizontal = Qt::AlignRight;
    return horizontal | ((style & VCENTRE) ? Qt::AlignVCenter : Qt::AlignTop);
}

QString TextOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return {};
}

class TemplateTest : public DialogTest {
protected:
    // The built widget of each expected entry, separators by their order.
    std::vector<QWidget*> BuiltControls() {
        std::vector<QWidget*> built;
        size_t separator = 0;
        for (const Expected& expected : TEMPLATE) {
            built.push_back(expected.id == -1 ? dialog->Separators().at(separator++)
                                              : dialog->Control(expected.id));
        }
        return built;
    }
};

TEST(TemplateTable, HoldsTheSixtyEntriesInTemplateOrder) {
    ASSERT_EQ(DIALOG_TEMPLATE.size(), std::size(TEMPLATE));
    const std::map<int, uint32_t> styleBits = {{TAB, TAB_STOP},          {DIGITS, DIGITS_ONLY},
                                               {CENTRE, ALIGN_CENTRE},   {RIGHT, ALIGN_RIGHT},
                                               {VCENTRE, ALIGN_VCENTRE}, {HORZ, ETCHED_HORZ},
                                               {VERT, ETCHED_VERT},      {MULTI, MULTI_LINE},
                                               {STARTS, GROUP_START},    {BORDERED, BORDER}};
    for (size_t i = 0; i < std::size(TEMPLATE); ++i) {
        const Expected& expected = TEMPLATE[i];
        const TemplateEntry& entry = DIALOG_TEMPLATE[i];
        SCOPED_TRACE(expected.role);
        EXPECT_EQ(entry.id, expected.id);
        EXPECT_EQ(entry.kind, expected.kind);
        EXPECT_EQ(Utf8(entry.caption), Utf8(expected.caption));
        EXPECT_STREQ(entry.role, expected.role);
        EXPECT_EQ(entry.rect.x, expected.rect.x);
        EXPECT_EQ(entry.rect.y, expected.rect.y);
        EXPECT_EQ(entry.rect.width, expected.rect.width);
        EXPECT_EQ(entry.rect.height, expected.rect.height);
        for (const auto& [column, flag] : styleBits) {
            EXPECT_EQ((expected.style & column) != 0, (entry.style & flag) != 0) << "flag " << flag;
        }
    }
}

TEST(TemplateTable, IdentifiersAreUniqueAndFoundById) {
    std::map<int32_t, int> seen;
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        if (entry.id == IDC_STATIC) continue;
        EXPECT_EQ(++seen[entry.id], 1) << entry.id;
        EXPECT_EQ(TemplateEntryOf(entry.id), &entry);
    }
    EXPECT_EQ(seen.size(), 54u);
    EXPECT_EQ(TemplateEntryOf(IDC_STATIC), nullptr);
    EXPECT_EQ(TemplateEntryOf(4711), nullptr);
}

TEST_F(TemplateTest, EveryControlHasItsKindRoleAndCaption) {
    const std::vector<QWidget*> built = BuiltControls();
    const QString version = QString::fromStdString(FormatVersionString(ProgramFileVersion()));
    for (size_t i = 0; i < std::size(TEMPLATE); ++i) {
        const Expected& expected = TEMPLATE[i];
        SCOPED_TRACE(expected.role);
        QWidget* widget = built[i];
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), dialog.get());
        EXPECT_STREQ(widget->metaObject()->className(), ClassOf(expected.kind));
        EXPECT_EQ(widget->objectName(), Utf8(expected.role));
        const QString shown = expected.shown == nullptr   ? Utf8(expected.caption)
                              : expected.shown == VERSION ? version
                                                          : Utf8(expected.shown);
        EXPECT_EQ(TextOf(widget), shown);
    }
}

TEST_F(TemplateTest, EveryRectangleIsConvertedWithTheDialogBaseUnits) {
    const DialogBaseUnits base = dialog->BaseUnits();
    EXPECT_EQ(dialog->size(), QSize(ToPixels(311, base.baseX, 4), ToPixels(447, base.baseY, 8)));
    const std::vector<QWidget*> built = BuiltControls();
    for (size_t i = 0; i < std::size(TEMPLATE); ++i) {
        const Expected& expected = TEMPLATE[i];
        SCOPED_TRACE(expected.role);
        const QRect pixels = ExpectedPixels(expected.rect, base);
        const QRect geometry = built[i]->geometry();
        if (expected.kind != K::DropDownList) {
            EXPECT_EQ(geometry, pixels);
            continue;
        }
        // A drop-down list's rectangle includes its opened list; closed it is one line high.
        auto* combo = qobject_cast<QComboBox*>(built[i]);
        EXPECT_EQ(geometry.topLeft(), pixels.topLeft());
        EXPECT_EQ(geometry.width(), pixels.width());
        EXPECT_EQ(geometry.height(), combo->sizeHint().height());
        EXPECT_LT(geometry.height(), pixels.height());
        if (combo->count() > 0) {
            EXPECT_GE(combo->maxVisibleItems(), combo->count());
        }
    }
}

TEST_F(TemplateTest, StylesOfTextsEditsLinesAndButtons) {
    const std::vector<QWidget*> built = BuiltControls();
    for (size_t i = 0; i < std::size(TEMPLATE); ++i) {
        const Expected& expected = TEMPLATE[i];
        SCOPED_TRACE(expected.role);
        if (auto* label = qobject_cast<QLabel*>(built[i])) {
            EXPECT_EQ(label->alignment(), ExpectedAlignment(expected.style));
        }
        if (auto* edit = qobject_cast<QLineEdit*>(built[i])) {
            EXPECT_TRUE(edit->hasFrame());
            EXPECT_EQ(edit->maxLength(), expected.textLimit ? expected.textLimit : 32767);
            int position = 0;
            QString letters = QStringLiteral("1a");
            const bool refused =
                edit->validator() != nullptr &&
                edit->validator()->validate(letters, position) == QValidator::Invalid;
            EXPECT_EQ(refused, (expected.style & DIGITS) != 0);
        }
        if (expected.kind == K::Line) {
            auto* line = qobject_cast<QFrame*>(built[i]);
            EXPECT_EQ(line->frameShape(), (expected.style & VERT) ? QFrame::VLine : QFrame::HLine);
            EXPECT_EQ(line->frameShadow(), QFrame::Sunken);
        }
        if (auto* button = qobject_cast<QPushButton*>(built[i])) {
            EXPECT_FALSE(button->autoDefault());
            EXPECT_FALSE(button->isDefault());
        }
    }
}

TEST_F(TemplateTest, RadioGroupsAreTheListedPairs) {
    const std::vector<QWidget*> built = BuiltControls();
    std::map<int, QButtonGroup*> groups;
    for (size_t i = 0; i < std::size(TEMPLATE); ++i) {
        const Expected& expected = TEMPLATE[i];
        auto* radio = qobject_cast<QRadioButton*>(built[i]);
        if (expected.radioGroup == 0) {
            EXPECT_EQ(radio, nullptr);
            continue;
        }
        ASSERT_NE(radio, nullptr);
        ASSERT_NE(radio->group(), nullptr) << expected.role;
        EXPECT_TRUE(radio->group()->exclusive());
        auto [known, inserted] = groups.emplace(expected.radioGroup, radio->group());
        EXPECT_EQ(known->second, radio->group()) << expected.role;
        EXPECT_EQ(radio->group()->buttons().size(), 2);
    }
    EXPECT_EQ(groups.size(), 3u);
    EXPECT_NE(groups[1], groups[2]);
    EXPECT_NE(groups[2], groups[3]);
    EXPECT_NE(groups[1], groups[3]);
}

// Checking one radio button clears its partner and nothing in the other groups.
TEST_F(TemplateTest, ClickingARadioButtonMovesTheCheckWithinItsGroupOnly) {
    ShowAndActivate();
    for (QWidget* control : BuiltControls())
        control->setEnabled(true);
    ClickIndicator(ControlAs<QRadioButton>(IDC_USB_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_USB_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_LAN_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_SINGLE_PHASE_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_X2_RADIO));
    // The click ran the rules, which disable the multiplier while disconnected.
    for (QWidget* control : BuiltControls())
        control->setEnabled(true);
    ClickIndicator(ControlAs<QRadioButton>(IDC_X4_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_X4_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_X2_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_USB_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_SINGLE_PHASE_RADIO));
}

TEST_F(TemplateTest, TabOrderIsTemplateOrderOverTheTabStops) {
    std::vector<QWidget*> expectedStops;
    const std::vector<QWidget*> built = BuiltControls();
    for (size_t i = 0; i < std::size(TEMPLATE); ++i) {
        const bool tabStop = (TEMPLATE[i].style & TAB) != 0;
        EXPECT_EQ((built[i]->focusPolicy() & Qt::TabFocus) != 0, tabStop) << TEMPLATE[i].role;
        if (tabStop) expectedStops.push_back(built[i]);
    }
    ASSERT_EQ(expectedStops.size(), 23u);

    // Walk the focus chain once around, from the first tab stop.
    std::vector<QWidget*> chain;
    QWidget* widget = expectedStops.front();
    do {
        if (widget->focusPolicy() & Qt::TabFocus) chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != expectedStops.front());
    EXPECT_EQ(chain, expectedStops);
}

// With every control enabled, Tab visits the tab stops in template order, starting in NodeEdit.
TEST_F(TemplateTest, TabKeyVisitsTheTabStopsInOrder) {
    for (QWidget* control : BuiltControls())
        control->setEnabled(true);
    ShowAndActivate();
    ASSERT_EQ(QApplication::focusWidget(), dialog->Control(IDC_NODE_EDIT));
    std::vector<QString> visited;
    for (int i = 0; i < 23; ++i) {
        visited.push_back(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    std::vector<QString> expected;
    for (const Expected& entry : TEMPLATE) {
        if (entry.style & TAB) expected.push_back(Utf8(entry.role));
    }
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(QApplication::focusWidget(), dialog->Control(IDC_NODE_EDIT));
}

// The arrow keys move the check between the radio buttons of a group, as a click would.
TEST_F(TemplateTest, ArrowKeyMovesTheCheckWithinARadioGroup) {
    ShowAndActivate();
    QWidget* lan = dialog->Control(IDC_LAN_RADIO);
    lan->setFocus();
    QTest::keyClick(lan, Qt::Key_Down);
    EXPECT_TRUE(dialog->IsChecked(IDC_USB_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_LAN_RADIO));
    EXPECT_EQ(QApplication::focusWidget(), dialog->Control(IDC_USB_RADIO));
}

// A group box lies behind the controls it frames, so a click inside it reaches the control.
TEST_F(TemplateTest, GroupBoxesStayBehindTheControlsTheyFrame) {
    int framed = 0;
    for (int32_t groupId : {IDC_ROUTE_GROUP, IDC_SETTINGS_GROUP}) {
        const QRect frame = dialog->Control(groupId)->geometry();
        for (const Expected& entry : TEMPLATE) {
            QWidget* control = entry.id == -1 ? nullptr : dialog->Control(entry.id);
            if (control == nullptr || entry.id == groupId) continue;
            if (!frame.contains(control->geometry())) continue;
            ++framed;
            QWidget* hit = dialog->childAt(control->geometry().center());
            while (hit && hit->parentWidget() != dialog.get())
                hit = hit->parentWidget();
            EXPECT_EQ(hit, control) << entry.role;
        }
    }
    EXPECT_GE(framed, 20);
}

}  // namespace
