#include "ui/DialogFonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>
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

// The first installed substitute of a template face, or nothing.
QString InstalledSubstitute(const QString& face) {
    const QStringList installed = QFontDatabase::families();
    for (const QString& substitute : QFont::substitutes(face)) {
        const auto found =
            std::find_if(installed.begin(), installed.end(), [&](const QString& name) {
                return name.compare(substitute, Qt::CaseInsensitive) == 0;
            });
        if (found != installed.end()) return *found;
    }
    return {};
}

// A template face is asked for by the name of its installed substitute: asked for by its own
// name, which no installed face has, Qt would first have fontconfig sort every installed face as
// fallbacks for it. Unless told otherwise Qt also asks fontconfig for fallback faces for each
// script of every text it lays out (Han, Hiragana, Katakana, Latin, per face and weight), a tenth
// of the window's start-up; a substitute holds every glyph the window shows, so there is nothing
// to fall back to. Without a substitute both stay, so that Japanese text still shows.
QFont FontOfTemplateFace(const char* face) {
    RegisterFontSubstitutions();
    QFont font(QString::fromUtf8(face));
    const QString substitute = InstalledSubstitute(font.family());
    if (!substitute.isEmpty()) {
        font.setFamily(substitute);
        font.setStyleStrategy(QFont::NoFontMerging);
    }
    return font;
}

}  // namespace

QFont MakeDialogFont() {
    QFont font = FontOfTemplateFace(DIALOG_FONT_FACE);
    font.setPointSize(DIALOG_FONT_POINTS);
    return font;
}

QFont MakePointFont(int tenthsOfPoint, const char* face) {
    QFont font = FontOfTemplateFace(face);
    font.setPointSizeF(tenthsOfPoint / 10.0);
    return font;
}
