#include "winui/ConsoleText.h"

#include <windows.h>

#include "winui/WideText.h"

namespace {

// A handle that was passed in redirected: a file or a pipe. A window program has none otherwise.
bool IsRedirected(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

// Line ends of the console and of files on this system.
std::wstring WithCarriageReturns(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

bool WriteRedirected(HANDLE handle, const std::wstring& text) {
    const std::string bytes = Narrowed(text);
    DWORD written = 0;
    return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The parent's console, when the program was started from one. The program prints after the
// prompt has come back, since a window program is not waited for.
bool WriteToParentConsole(const std::wstring& text) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    bool written = false;
    if (console != INVALID_HANDLE_VALUE) {
        const std::wstring shown = L"\r\n" + WithCarriageReturns(text);
        DWORD count = 0;
        written =
            WriteConsoleW(console, shown.data(), static_cast<DWORD>(shown.size()), &count, nullptr);
        CloseHandle(console);
    }
    FreeConsole();
    return written;
}

}  // namespace

void ShowCommandLineText(const std::wstring& text, bool error, const std::wstring& caption) {
    const HANDLE handle = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (IsRedirected(handle) && WriteRedirected(handle, WithCarriageReturns(text))) return;
    if (WriteToParentConsole(text)) return;
    MessageBoxW(nullptr, text.c_str(), caption.c_str(),
                MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}
