#pragma once

#include <windows.h>

#include <map>
#include <string>

// The font of the count labels and values, "ＭＳ ゴシック" 18 pt, and for a value display whose
// number would not fit its rectangle in it, the same face drawn narrower, so that every digit and
// the sign stay visible: a display never shows a number other than the one read.
class CountFont {
public:
    // For a screen of `dpi` dots per inch.
    explicit CountFont(int dpi);
    ~CountFont();
    CountFont(const CountFont&) = delete;
    CountFont& operator=(const CountFont&) = delete;

    HFONT Font() const { return font_; }
    // The font in which `text` fits the client width of `control`.
    HFONT Fitting(HWND control, const std::wstring& text);

private:
    HFONT Narrowed(LONG width);

    LOGFONTW face_{};
    HFONT font_;
    std::map<LONG, HFONT> narrowed_;  // by average character width
};
