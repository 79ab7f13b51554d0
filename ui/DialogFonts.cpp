#include "ui/DialogFonts.h"

#include <QStringList>
#include <mutex>

#include "dialog/DialogTemplate.h"

void RegisterFontSubstitutions() {
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

QFont MakeDialogFont() {
    RegisterFontSubstitutions();
    return QFont(QString::fromUtf8(DIALOG_FONT_FACE), DIALOG_FONT_POINTS);
}

QFont MakePointFont(int tenthsOfPoint, const char* face) {
    RegisterFontSubstitutions();
    QFont font(QString::fromUtf8(face));
    font.setPointSizeF(tenthsOfPoint / 10.0);
    return font;
}
