#include <windows.h>

#include <cstdio>

#include "cli/Console.h"

namespace {

// Text for a console goes as UTF-16, which every console shows whatever its code page.
bool WriteConsoleText(HANDLE console, const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring converted(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, converted.data(), wide);
    DWORD written = 0;
    return WriteConsoleW(console, converted.data(), static_cast<DWORD>(wide), &written, nullptr) !=
           0;
}

// The console behind a standard stream, or null when the stream is redirected.
HANDLE ConsoleOf(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

bool WriteTo(DWORD stream, FILE* file, const std::string& text) {
    if (const HANDLE console = ConsoleOf(stream)) {
        std::fflush(file);
        return WriteConsoleText(console, text);
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fflush(file) == 0 && written;
}

}  // namespace

void PrepareConsole() {
    // Output that still reaches the console as bytes (the C library's) is read as UTF-8.
    SetConsoleOutputCP(CP_UTF8);
}

bool WriteOut(const std::string& text) {
    return WriteTo(STD_OUTPUT_HANDLE, stdout, text);
}

void WriteErr(const std::string& text) {
    WriteTo(STD_ERROR_HANDLE, stderr, text);
}

bool ErrIsTerminal() {
    return ConsoleOf(STD_ERROR_HANDLE) != nullptr;
}
