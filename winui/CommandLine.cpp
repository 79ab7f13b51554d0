#include "winui/CommandLine.h"

#include <cstdlib>

namespace {

constexpr wchar_t TRACE_OPTION[] = L"--trace";

std::wstring HelpText(const std::wstring& program) {
    return L"Usage: " + program +
           L" [options]\n"
           L"Configures and reads the pulse counters of networked digital-I/O units.\n\n"
           L"Options:\n"
           L"  -h, --help      Displays help on commandline options.\n"
           L"  -v, --version   Displays version information.\n"
           L"  --trace <file>  Write every frame sent and received to <file> (appended).\n"
           L"                  Without this option the file named by " +
           std::wstring(TRACE_VARIABLE) + L" is written,\n                  if it is set.\n";
}

CommandLine Failed(const std::wstring& program, const std::wstring& reason) {
    return {CommandLine::Action::Fail, {}, program + L": " + reason + L"\n"};
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments,
                             const std::wstring& program, const std::wstring& version) {
    CommandLine line;
    bool traceGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"-h" || argument == L"--help" || argument == L"/?") {
            return {CommandLine::Action::Print, {}, HelpText(program)};
        }
        if (argument == L"-v" || argument == L"--version") {
            return {CommandLine::Action::Print, {}, program + L" " + version + L"\n"};
        }
        if (argument == TRACE_OPTION) {
            if (i + 1 == arguments.size())
                return Failed(program, L"Missing value after '--trace'.");
            line.traceFile = arguments[++i];
            traceGiven = true;
        } else if (argument.rfind(std::wstring(TRACE_OPTION) + L"=", 0) == 0) {
            line.traceFile = argument.substr(std::wstring(TRACE_OPTION).size() + 1);
            traceGiven = true;
        } else {
            return Failed(program, L"Unknown option '" + argument + L"'.");
        }
    }
    if (!traceGiven) {
        const wchar_t* variable = _wgetenv(TRACE_VARIABLE);
        if (variable) line.traceFile = variable;
    }
    return line;
}
