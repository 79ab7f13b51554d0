#include "ui/DialogFonts.h"

#include <QFontInfo>
#include <QStringList>
#include <mutex>

#include "dialog/DialogTemplate.h"
#include "ui/FontPrefetch.h"

void RegisterFontSubstitutions() {
    // Before the toolkit reads the font configuration itself.
    AwaitFontConfiguration();
    static std::once_flag registered;
    std::call_once(registered, [] {
        // The dialog face is proportional, so its substitute is the proportional IPAPGothic; with
        // the fixed-pitch IPAGothic many more captions would be longer than their rectangles.
        // Even with IPAPGothic a few are (so were some of the original's): a static text then
        // shows the whole words that fit and loses the rest.
        // The count face is fixed-pitch, and so is its substitute.
        QFont::insertSubstitutions(
            QString::fromUtf8(DIALOG_FONT_FACE),
            {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
             QStringLiteral("Noto Sans JP")});
        QFont::insertSubstitutions(
            QString::fromUtf8(COUNT_FONT_FACE),
            {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
             QStringLiteral("Noto Sans CJK JP")});
    });
}

namespace {

// Unless told otherwise Qt asks fontconfig for fallback faces for each script of every text it
// lays out (Han, Hiragana, Katakana, Latin, per face and weight), a tenth of the window's
// start-up. A substitute holds every glyph the window shows, so where one was found there is
// nothing to fall back to; without one the fallbacks stay, so that Japanese text still shows.
QFont WithoutFallbacksWhereSubstituted(QFont font) {
    font.setStyleStrategy(QFont::NoFontMerging);
    if (!QFont::substitutes(font.family()).contains(QFontInfo(font).family(), Qt::CaseInsensitive))
        font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

}  // namespace

QFont MakeDialogFont() {
    RegisterFontSubstitutions();
    return WithoutFallbacksWhereSubstituted(
        QFont(QString::fromUtf8(DIALOG_FONT_FACE), DIALOG_FONT_POINTS));
}

QFont MakePointFont(int tenthsOfPoint, const char* face) {
    RegisterFontSubstitutions();
    QFont font(QString::fromUtf8(face));
    font.setPointSizeF(tenthsOfPoint / 10.0);
    return WithoutFallbacksWhereSubstituted(font);
}
