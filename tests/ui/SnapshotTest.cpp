// The dialog rendered without a display, and every text of it covered by the glyphs of its font.
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QTemporaryDir>

#include "DialogTestSupport.h"
#include "device/ValueTables.h"
#include "dialog/DialogTemplate.h"
#include "dialog/DialogTexts.h"
#include "ui/DialogSnapshot.h"

namespace {

using Snapshot = DialogTest;

// Characters the font cannot draw would come out as empty boxes.
void ExpectDrawable(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    for (const char32_t character : text.toUcs4()) {
        if (character == U'\n') continue;
        EXPECT_TRUE(metrics.inFontUcs4(character))
            << "U+" << std::hex << static_cast<uint32_t>(character) << " in " << text.toStdString();
    }
}

TEST_F(Snapshot, RendersTheWholeDialogToAPng) {
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath("dialog.png");
    ASSERT_TRUE(SaveWindowSnapshot(*dialog, path));
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), dialog->size());
    // Not a blank picture: the texts and frames leave dark pixels.
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 96;
    }
    EXPECT_GT(dark, 500);
    EXPECT_FALSE(SaveWindowSnapshot(*dialog, directory.filePath("missing/dialog.png")));
}

TEST_F(Snapshot, EveryTextHasItsGlyphs) {
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        if (entry.caption) ExpectDrawable(dialog->font(), QString::fromUtf8(entry.caption));
    }
    for (const char* text :
         {TWO_PHASE_SHORT_CAPTION, TWO_PHASE_LONG_CAPTION, DISCONNECT_CAPTION, ABORT_CAPTION}) {
        ExpectDrawable(dialog->font(), QString::fromUtf8(text));
    }
    for (const char* text : DEBOUNCE_TEXTS)
        ExpectDrawable(dialog->font(), QString::fromUtf8(text));
    for (const char* text : PERIOD_TEXTS)
        ExpectDrawable(dialog->font(), QString::fromUtf8(text));
    for (const char* text : EDGE_TEXTS)
        ExpectDrawable(dialog->font(), QString::fromUtf8(text));
    ExpectDrawable(Inside().CountFont(), "DI1-2-4-5 0123456789");
}

}  // namespace
