#include "winui/CountFont.h"

#include "dialog/DialogTemplate.h"
#include "winui/WideText.h"

namespace {

constexpr int POINTS_PER_INCH = 72;

int TextWidth(HDC dc, HFONT font, const std::wstring& text) {
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size.cx;
}

LONG AverageWidth(HDC dc, HFONT font) {
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmAveCharWidth;
}

}  // namespace

// A point font: its height in pixels from the screen's resolution.
CountFont::CountFont(int dpi) {
    face_.lfHeight = -MulDiv(COUNT_FONT_TENTHS_OF_POINT, dpi, POINTS_PER_INCH * 10);
    face_.lfWeight = FW_NORMAL;
    face_.lfCharSet = SHIFTJIS_CHARSET;
    face_.lfQuality = DEFAULT_QUALITY;
    const std::wstring name = Widened(COUNT_FONT_FACE);
    name.copy(face_.lfFaceName, LF_FACESIZE - 1);
    font_ = CreateFontIndirectW(&face_);
}

CountFont::~CountFont() {
    for (const auto& entry : narrowed_)
        DeleteObject(entry.second);
    DeleteObject(font_);
}

HFONT CountFont::Fitting(HWND control, const std::wstring& text) {
    RECT client{};
    GetClientRect(control, &client);
    const int room = client.right - client.left;
    const HDC dc = GetDC(control);
    HFONT font = font_;
    int width = TextWidth(dc, font, text);
    if (width > room && width > 0) {
        // Narrowed in proportion, then step by step until it fits: glyph widths round.
        LONG average = AverageWidth(dc, font_) * room / width;
        for (; average > 1; --average) {
            font = Narrowed(average);
            if (TextWidth(dc, font, text) <= room) break;
        }
    }
    ReleaseDC(control, dc);
    return font;
}

HFONT CountFont::Narrowed(LONG width) {
    const auto found = narrowed_.find(width);
    if (found != narrowed_.end()) return found->second;
    LOGFONTW narrow = face_;
    narrow.lfWidth = width;
    const HFONT font = CreateFontIndirectW(&narrow);
    narrowed_.emplace(width, font);
    return font;
}
