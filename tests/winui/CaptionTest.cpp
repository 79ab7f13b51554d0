// Each static text of the Windows window shows what the Qt window shows of it: the whole words
// from its start that fit its rectangle, or when even the first word is too wide, as many of its
// characters as fit. Each control is printed with its text and, for comparison, with only that
// part, which fits and so meets no line breaking at all.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"
#include "link/LinkSession.h"
#include "winui/VelkorDlg.h"
#include "winui/WideText.h"

namespace {

int Extent(HWND control, const std::wstring& text, size_t length) {
    const HDC dc = GetDC(control);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(length), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

// The Qt window's rule, measured in the control's font.
std::wstring ShownPart(HWND control, const std::wstring& text, int width) {
    std::wstring fitting;
    for (size_t end = 1; end <= text.size(); ++end) {
        if (end < text.size() && (text[end] != L' ' || text[end - 1] == L' ')) continue;
        if (Extent(control, text, end) <= width) fitting = text.substr(0, end);
    }
    for (size_t end = 1; fitting.empty() && end <= text.size(); ++end) {
        if (end == text.size() || Extent(control, text, end + 1) > width)
            fitting = text.substr(0, end);
    }
    return fitting;
}

// The client area's pixels as the control paints them.
std::vector<DWORD> Printed(HWND control, const std::wstring& text) {
    SetWindowTextW(control, text.c_str());
    RECT client;
    GetClientRect(control, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                 PRF_CLIENT | PRF_ERASEBKGND);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    std::vector<DWORD> copy(pixels, pixels + client.right * client.bottom);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return copy;
}

TEST(CaptionTest, EveryWrappingCaptionShowsWhatTheQtWindowShows) {
    CVelkorDlg dialog(TheLinkSession());
    const HWND window = dialog.Create();
    ASSERT_NE(window, nullptr);
    int shortened = 0;
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        // A vertically centred text is one line: it never breaks.
        if (entry.kind != ControlKind::StaticText || (entry.style & ALIGN_VCENTRE)) continue;
        SCOPED_TRACE(entry.role);
        const HWND control = GetDlgItem(window, entry.id);
        RECT client;
        GetClientRect(control, &client);
        const std::wstring caption = Widened(entry.caption);
        const std::wstring shown = ShownPart(control, caption, client.right);
        EXPECT_LE(Extent(control, shown, shown.size()), client.right);
        EXPECT_TRUE(Printed(control, caption) == Printed(control, shown))
            << "\"" << entry.caption << "\" should show as \"" << Narrowed(shown) << "\"";
        SetWindowTextW(control, caption.c_str());
        shortened += shown != caption ? 1 : 0;
    }
    // With these fonts some captions are longer than their rectangles; the comparison proves
    // something only if it met them.
    EXPECT_GE(shortened, 1);
}

}  // namespace
