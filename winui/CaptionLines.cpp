#include "winui/CaptionLines.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

constexpr UINT_PTR CAPTION_SUBCLASS_ID = 1;

bool IsCjk(wchar_t c) {
    return (c >= 0x0E00 && c <= 0x0E7F) || (c >= 0x3000 && c <= 0x9FFF) ||
           (c >= 0xAC00 && c <= 0xD7FF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Closing brackets, punctuation, small kana and the prolonged sound mark stay with the
// character before them.
bool MayNotBeginLine(wchar_t c) {
    static constexpr std::wstring_view NO_LINE_START =
        L"、。，．・：；？！゛゜ヽヾゝゞ々ー’”）〕］｝〉》」』】ぁぃぅぇぉっゃゅょゎァィゥェォッャ"
        L"ュョヮヵヶ"
        L"｡｣､･ｧｨｩｪｫｬｭｮｯｰﾞﾟ";
    return NO_LINE_START.find(c) != std::wstring_view::npos;
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Only a text wider than its line meets the breaking; line ends and tabs the control keeps
// to itself.
bool NeedsBreaking(HWND control, const std::wstring& text) {
    if (text.find_first_of(L"\r\n\t") != std::wstring::npos) return false;
    RECT client;
    GetClientRect(control, &client);
    const HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx > client.right - client.left;
}

UINT Alignment(HWND control) {
    const LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_CENTER) return DT_CENTER;
    if (type == SS_RIGHT) return DT_RIGHT;
    return DT_LEFT;
}

// As the static control paints itself: its parent's background and colours, grey when disabled,
// then the lines one below the other while they reach into the rectangle.
void PaintLines(HWND control, HDC dc, std::wstring_view text) {
    RECT client;
    GetClientRect(control, &client);
    const HWND parent = GetParent(control);
    const auto dcParam = reinterpret_cast<WPARAM>(dc);
    const auto controlParam = reinterpret_cast<LPARAM>(control);
    auto brush =
        reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC, dcParam, controlParam));
    if (!brush)
        brush = reinterpret_cast<HBRUSH>(
            DefWindowProcW(parent, WM_CTLCOLORSTATIC, dcParam, controlParam));
    FillRect(dc, &client, brush);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    if (!IsWindowEnabled(control)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const UINT format = Alignment(control) | DT_SINGLELINE | DT_NOPREFIX | DT_TOP;
    for (LONG y = client.top; !text.empty() && y < client.bottom; y += metrics.tmHeight) {
        int fit = 0;
        SIZE size{};
        GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()),
                              client.right - client.left, &fit, nullptr, &size);
        const LineBreak line = FirstLineOf(text, static_cast<size_t>(std::max(fit, 0)));
        RECT area{client.left, y, client.right, std::min(client.bottom, y + metrics.tmHeight)};
        DrawTextW(dc, text.data(), static_cast<int>(line.end), &area, format);
        text.remove_prefix(line.next);
    }
    SelectObject(dc, old);
}

LRESULT CALLBACK CaptionProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR) {
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        const std::wstring text = TextOf(control);
        if (NeedsBreaking(control, text)) {
            if (message == WM_PRINTCLIENT) {
                PaintLines(control, reinterpret_cast<HDC>(wParam), text);
            } else {
                PAINTSTRUCT paint;
                PaintLines(control, BeginPaint(control, &paint), text);
                EndPaint(control, &paint);
            }
            return 0;
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(control, &CaptionProc, CAPTION_SUBCLASS_ID);
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

LineBreak FirstLineOf(std::wstring_view text, size_t fit) {
    if (fit >= text.size()) return {text.size(), text.size()};
    if (text[fit] == L' ') return {fit, fit + 1};
    for (size_t at = fit; at > 0; --at) {
        if (text[at - 1] == L' ') return {at - 1, at};
        if (IsCjk(text[at]) && !MayNotBeginLine(text[at])) return {at, at};
    }
    const size_t end = std::max<size_t>(fit, 1);
    return {end, end};
}

void BreakCaptionLines(HWND control) {
    SetWindowSubclass(control, &CaptionProc, CAPTION_SUBCLASS_ID, 0);
}
