// The dialog as the operator finds it right after start.
#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

#include "../support/Texts.h"
#include "DialogTestSupport.h"
#include "device/ValueTables.h"
#include "dialog/ControlIds.h"
#include "ui/AppIconPainter.h"
#include "ui/VersionString.h"

namespace {

using OpeningState = DialogTest;

QStringList Items(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

template <size_t N>
QStringList Texts(const std::array<const char*, N>& table) {
    QStringList texts;
    for (const char* text : table)
        texts << QString::fromUtf8(text);
    return texts;
}

TEST_F(OpeningState, RouteAndModeDefaults) {
    EXPECT_TRUE(dialog->IsChecked(IDC_LAN_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_USB_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_SINGLE_PHASE_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_TWO_PHASE_RADIO));
    EXPECT_TRUE(dialog->IsChecked(IDC_X2_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_X4_RADIO));
    EXPECT_FALSE(dialog->IsChecked(IDC_ENABLE_CHECK));
    EXPECT_FALSE(dialog->IsChecked(IDC_CLEAR_SIGNAL_CHECK));
    EXPECT_FALSE(dialog->IsChecked(IDC_AUTO_UPDATE_CHECK));
}

TEST_F(OpeningState, EditAndDisplayTexts) {
    EXPECT_EQ(dialog->Text(IDC_TCP_PORT_EDIT), "10003");
    EXPECT_EQ(dialog->Text(IDC_NODE_EDIT), "");
    EXPECT_EQ(dialog->Text(IDC_ADDRESS_EDIT), "");
    EXPECT_EQ(dialog->Text(IDC_INTERVAL_EDIT), "10");
    EXPECT_EQ(dialog->Text(IDC_DEVICE_INFO_TEXT), "");
    EXPECT_EQ(dialog->Text(IDC_CONNECT_BUTTON).toStdString(), texts::CONNECT);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(dialog->Text(IDC_COUNT_VALUE[i]), "") << i;
        EXPECT_EQ(dialog->Text(IDC_COUNT_LABEL[i]), QStringLiteral("DI%1").arg(i + 1));
    }
}

TEST_F(OpeningState, VersionShownAndProgressHidden) {
    EXPECT_FALSE(dialog->IsShown(IDC_PROGRESS_BAR));
    EXPECT_TRUE(dialog->IsShown(IDC_VERSION_TEXT));
    EXPECT_EQ(dialog->Text(IDC_VERSION_TEXT),
              QString::fromStdString(FormatVersionString(ProgramFileVersion())));
    // A progress bar without a range runs as a marquee.
    auto* bar = ControlAs<QProgressBar>(IDC_PROGRESS_BAR);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 0);
}

TEST_F(OpeningState, ComboListsFilledInOrderWithTheFirstEntrySelected) {
    EXPECT_EQ(Items(ControlAs<QComboBox>(IDC_DEBOUNCE_COMBO)), Texts(DEBOUNCE_TEXTS));
    EXPECT_EQ(Items(ControlAs<QComboBox>(IDC_PERIOD_COMBO)), Texts(PERIOD_TEXTS));
    EXPECT_EQ(dialog->Selection(IDC_DEBOUNCE_COMBO), 0);
    EXPECT_EQ(dialog->Selection(IDC_PERIOD_COMBO), 0);
    EXPECT_EQ(dialog->Text(IDC_DEBOUNCE_COMBO), "なし");
    EXPECT_EQ(dialog->Text(IDC_PERIOD_COMBO), "START-STOP");
    for (int32_t id : IDC_EDGE_COMBO) {
        EXPECT_EQ(Items(ControlAs<QComboBox>(id)), Texts(EDGE_TEXTS));
        EXPECT_EQ(dialog->Selection(id), 0);
    }
}

TEST_F(OpeningState, CountDisplaysUseTheEighteenPointFont) {
    EXPECT_EQ(Inside().CountFont().family(), "IPAGothic");
    EXPECT_DOUBLE_EQ(Inside().CountFont().pointSizeF(), 18.0);
    for (int i = 0; i < 5; ++i) {
        for (int32_t id : {IDC_COUNT_VALUE[i], IDC_COUNT_LABEL[i]}) {
            const QFont font = dialog->Control(id)->font();
            EXPECT_EQ(font.family(), Inside().CountFont().family()) << id;
            EXPECT_DOUBLE_EQ(font.pointSizeF(), 18.0) << id;
        }
    }
    // Every other control keeps the dialog font.
    EXPECT_EQ(dialog->Control(IDC_NODE_LABEL)->font().family(), "IPAPGothic");
    EXPECT_EQ(dialog->Control(IDC_NODE_LABEL)->font().pointSize(), 9);
}

TEST_F(OpeningState, FieldsStartCleared) {
    EXPECT_EQ(Inside().ConnState().load(), Disconnected);
    EXPECT_EQ(Inside().InputCount().load(), 0);
    EXPECT_EQ(dialog->Core().CountBusy().load(), 0);
    EXPECT_EQ(dialog->Core().AbortRequested().load(), 0);
    EXPECT_EQ(Inside().AutoUpdateSeconds().load(), 0);
    EXPECT_EQ(&dialog->Core().Link(), &session);
    EXPECT_EQ(&dialog->Core().HeldConfig(), &dialog->Core().HeldConfig());
    EXPECT_FALSE(dialog->IsTimerRunning());
}

// LAN chosen: the connection area is usable except the port list; the rest waits for a unit.
TEST_F(OpeningState, OnlyTheConnectionAreaIsEnabled) {
    for (int32_t id :
         {IDC_NODE_LABEL, IDC_ROUTE_GROUP, IDC_ADDRESS_LABEL, IDC_PORT_LABEL, IDC_NODE_EDIT,
          IDC_LAN_RADIO, IDC_USB_RADIO, IDC_ADDRESS_EDIT, IDC_TCP_PORT_EDIT, IDC_CONNECT_BUTTON}) {
        EXPECT_TRUE(dialog->IsEnabled(id)) << id;
    }
    for (int32_t id : {IDC_PORT_COMBO, IDC_ENABLE_CHECK, IDC_READ_SETTINGS_BUTTON,
                       IDC_WRITE_SETTINGS_BUTTON, IDC_START_STOP_BUTTON, IDC_READ_COUNTS_BUTTON,
                       IDC_AUTO_UPDATE_CHECK, IDC_INTERVAL_EDIT, IDC_SETTINGS_GROUP}) {
        EXPECT_FALSE(dialog->IsEnabled(id)) << id;
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(dialog->IsShown(IDC_EDGE_COMBO[i]));
        EXPECT_TRUE(dialog->IsShown(IDC_COUNT_VALUE[i]));
        EXPECT_FALSE(dialog->IsEnabled(IDC_COUNT_VALUE[i]));
    }
}

TEST_F(OpeningState, WindowTitleIconAndFixedSize) {
    EXPECT_EQ(dialog->windowTitle(), "Velkor");
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    // The embedded pixels are the drawn icon's, whatever their byte order on disk.
    const QList<QSize> sizes = dialog->windowIcon().availableSizes();
    EXPECT_EQ(sizes.size(), 3);
    for (int size : {16, 32, 48}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        const QImage shown = dialog->windowIcon()
                                 .pixmap(size, size)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(shown, PaintAppIcon(size)) << size;
    }
    EXPECT_EQ(dialog->AppIcon().cacheKey(), dialog->windowIcon().cacheKey());
}

TEST_F(OpeningState, FocusStartsInNodeEdit) {
    ShowAndActivate();
    EXPECT_EQ(QApplication::focusWidget(), dialog->Control(IDC_NODE_EDIT));
}

// The window's faces take no glyph from another face, so each must hold every character shown.
TEST_F(OpeningState, EveryTextShownHasItsGlyphsInItsOwnFace) {
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        QStringList texts;
        if (auto* label = qobject_cast<QLabel*>(widget)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts << button->text();
        if (auto* group = qobject_cast<QGroupBox*>(widget)) texts << group->title();
        if (auto* combo = qobject_cast<QComboBox*>(widget)) texts << Items(combo);
        if (texts.isEmpty()) continue;
        const QFontMetrics metrics(widget->font());
        EXPECT_EQ(widget->font().styleStrategy() & QFont::NoFontMerging, QFont::NoFontMerging)
            << widget->metaObject()->className() << " " << texts.join(",").toStdString();
        for (const QString& text : texts)
            for (const char32_t character : text.toUcs4())
                EXPECT_TRUE(character < ' ' || character == '&' || metrics.inFontUcs4(character))
                    << text.toStdString() << " U+" << std::hex << uint32_t(character);
    }
    const QFontMetrics counts(Inside().CountFont());
    for (const char32_t character : QStringLiteral("-0123456789DI").toUcs4())
        EXPECT_TRUE(counts.inFontUcs4(character)) << char(character);
}

}  // namespace
