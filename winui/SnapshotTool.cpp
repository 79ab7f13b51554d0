// Renders the Windows dialog into a PNG file: velkor-snapshot.exe <out.png>. The dialog is made
// as the program makes it, shown, painted into a bitmap, and the bitmap saved by GDI+.
#include <windows.h>

// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>

#include <gdiplus.h>

#include <cstdio>
#include <vector>

#include "link/LinkSession.h"
#include "winui/VelkorDlg.h"

namespace {

// Lets the dialog paint every control before it is captured.
void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PngEncoder(CLSID& encoder) {
    UINT count = 0;
    UINT bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, bytes, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// The whole window, frame and caption included, as the screen shows it.
HBITMAP CaptureWindow(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velkor-snapshot.exe <out.png>\n");
        return 2;
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int result = 1;
    {
        CVelkorDlg dialog(TheLinkSession());
        const HWND window = dialog.Create();
        if (window) {
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
            SetForegroundWindow(window);
            for (int i = 0; i < 20; ++i) {
                PumpMessages();
                Sleep(50);
            }
            const HBITMAP bitmap = CaptureWindow(window);
            CLSID encoder;
            Gdiplus::Bitmap image(bitmap, nullptr);
            if (PngEncoder(encoder) && image.Save(argv[1], &encoder, nullptr) == Gdiplus::Ok) {
                result = 0;
            }
            DeleteObject(bitmap);
        }
    }
    Gdiplus::GdiplusShutdown(token);
    if (result != 0) std::fprintf(stderr, "velkor-snapshot.exe: no picture written\n");
    return result;
}
