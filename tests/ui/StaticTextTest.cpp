// Static texts break between words as the original's do: a caption longer than its rectangle
// loses whole words below its one line, never half a glyph. Each control is painted with its text
// and, for comparison, with only the part of it that fits.
#include <QFontMetrics>
#include <QImage>
#include <QLabel>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"

namespace {

// What a line of `width` shows of `text`: the longest run of whole words from its start (the text
// up to a blank, or all of it) that fits; when even the first word is too wide, as many of its
// characters as fit.
QString ShownPart(const QString& text, const QFontMetrics& metrics, int width) {
    QString fitting;
    for (qsizetype end = 1; end <= text.size(); ++end) {
        if (end < text.size() && (text[end] != u' ' || text[end - 1] == u' ')) continue;
        if (metrics.horizontalAdvance(text.left(end)) <= width) fitting = text.left(end);
    }
    for (qsizetype end = 1; fitting.isEmpty() && end <= text.size(); ++end) {
        if (metrics.horizontalAdvance(text.left(end + 1)) > width) fitting = text.left(end);
    }
    return fitting;
}

QImage Rendered(QWidget* widget) {
    return widget->grab().toImage();
}

class StaticTextTest : public DialogTest {
protected:
    // Shows `text` in the control and checks that what is painted is its whole words that fit.
    // True when words were lost.
    bool ExpectWholeWordsShown(int32_t id, const QString& text) {
        auto* label = qobject_cast<QLabel*>(dialog->Control(id));
        const QString shown = ShownPart(text, label->fontMetrics(), label->width());
        EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->width());
        label->setText(shown);
        const QImage expected = Rendered(label);
        label->setText(text);
        EXPECT_EQ(Rendered(label), expected)
            << "\"" << text.toStdString() << "\" should show as \"" << shown.toStdString() << "\"";
        return shown != text;
    }
};

TEST_F(StaticTextTest, EveryCaptionFitsOrLosesWholeWordsOnly) {
    ShowAndActivate();
    int shortened = 0;
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        if (entry.kind != ControlKind::StaticText) continue;
        SCOPED_TRACE(entry.role);
        shortened += ExpectWholeWordsShown(entry.id, QString::fromUtf8(entry.caption)) ? 1 : 0;
    }
    // With these fonts some captions are longer than their rectangles (the original's were too);
    // the comparison proves something only if it met them.
    EXPECT_GE(shortened, 1);
}

// The texts the program puts into static texts while it runs, the widest of each kind.
TEST_F(StaticTextTest, TextsSetWhileRunningFitOrLoseWholeWordsOnly) {
    ShowAndActivate();
    const struct {
        int32_t id;
        const char* text;
    } texts[] = {
        {IDC_DEVICE_INFO_TEXT, "(EX223)     ID : 15"},
        {IDC_COUNT_STATUS_TEXT, "PULSE COUNT OFF"},
        {IDC_VERSION_TEXT, "Version 1.00"},
        {IDC_COUNT_VALUE[0], "4294967295"},
        {IDC_COUNT_LABEL[1], "4-5"},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.text);
        ExpectWholeWordsShown(t.id, QString::fromUtf8(t.text));
    }
}

}  // namespace
