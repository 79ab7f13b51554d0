// velkor.exe: the window on Windows.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "link/FrameTrace.h"
#include "link/LinkPlatform.h"
#include "link/LinkSession.h"
#include "link/TraceFile.h"
#include "winui/CommandLine.h"
#include "winui/ConsoleText.h"
#include "winui/Resources.h"
#include "winui/VelkorDlg.h"
#include "winui/VersionResource.h"
#include "winui/WideText.h"

namespace {

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// The file's name as the C library opens it: in the system's code page.
std::string SystemCodePagePath(const std::wstring& path) {
    const int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(narrow.empty() ? 0 : narrow.size() - 1);
    return narrow;
}

// Kept for the whole run: the link session, which traces its closing, lives until exit. A file
// that cannot be written ends the program before anything is sent.
bool StartFrameTrace(const std::wstring& path, const std::wstring& program) {
    if (path.empty()) return true;
    std::string error;
    std::unique_ptr<TraceFile> trace = TraceFile::Open(SystemCodePagePath(path), error);
    if (!trace) {
        ShowCommandLineText(program + L": " + Widened(error) + L"\n", true, program);
        return false;
    }
    SetFrameTrace(trace.release());
    return true;
}

std::wstring FileVersionWords() {
    return Widened(VELKOR_VERSION_TEXT);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The link session exists before the window and is destroyed at exit.
    TheLinkSession();
    const std::wstring program = ApplicationName();
    const std::vector<std::wstring> arguments(__wargv + 1, __wargv + __argc);
    const CommandLine line = ParseCommandLine(arguments, program, FileVersionWords());
    if (line.action != CommandLine::Action::Run) {
        ShowCommandLineText(line.text, line.action == CommandLine::Action::Fail, program);
        return line.action == CommandLine::Action::Fail ? 1 : 0;
    }
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // Without sockets the message is the only window the program shows.
    if (StartSocketLibrary() != 0) {
        MessageBoxW(nullptr, LoadText(IDS_SOCKET_INIT_FAILED).c_str(), program.c_str(), MB_OK);
        return 1;
    }
    if (!StartFrameTrace(line.traceFile, program)) return 1;
    CVelkorDlg dialog(TheLinkSession());
    if (!dialog.Create()) return 1;
    dialog.RunMessageLoop();
    return 0;
}
