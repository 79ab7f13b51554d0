#pragma once

#include <string>
#include <vector>

// The environment variable that asks for the frame trace when the window is started from a
// shortcut, where no option can be given.
inline constexpr wchar_t TRACE_VARIABLE[] = L"VELKOR_TRACE";

// What the command line asks for: the window (with a trace file or none), a text to print and
// end (--help, --version), or a usage error to report and end with.
struct CommandLine {
    enum class Action { Run, Print, Fail } action = Action::Run;
    std::wstring traceFile;  // --trace before VELKOR_TRACE; empty for none
    std::wstring text;       // what Print and Fail write
};

// `arguments` without the program name; `program` is the name the texts use.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments,
                             const std::wstring& program, const std::wstring& version);
