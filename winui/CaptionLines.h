#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

// Where a static text's line ends, and where the next line begins (past a blank that breaks).
struct LineBreak {
    size_t end;
    size_t next;
};

// The first line of `text` when its first `fit` characters fit the line, broken as Windows'
// DrawText breaks words: at the blank after the last word that fits, or between two Japanese
// (CJK) characters unless the second is one that may not begin a line. A text without such a
// place breaks after its last character that fits, at least one, so that no glyph is cut.
LineBreak FirstLineOf(std::wstring_view text, size_t fit);

// Makes a static text of the template, drawn with word breaks, break its lines by that rule even
// where the system's DrawText breaks otherwise: Wine's takes its places from Unicode line
// breaking, which allows none before " :", so "アドレス :" would lose "ス" to a second line that
// its one-line rectangle never shows. A text that fits its line is drawn by the control itself.
void BreakCaptionLines(HWND control);
