#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "link/FrameTrace.h"
#include "link/TraceFile.h"

int main(int argc, char** argv) {
    PrepareConsole();
    const ParsedCommandLine parsed =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.help.empty()) {
        if (WriteOut(parsed.help)) return EXIT_SUCCESS_ALL;
        WriteErr("velkorctl: cannot write to standard output\n");
        return EXIT_LINK_FAILURE;
    }
    if (!parsed.error.empty()) {
        WriteErr("velkorctl: " + parsed.error + "\nTry 'velkorctl --help'.\n");
        return EXIT_BAD_USAGE;
    }
    std::unique_ptr<TraceFile> trace;
    if (!parsed.options.traceFile.empty()) {
        std::string error;
        trace = TraceFile::Open(parsed.options.traceFile, error);
        if (!trace) {
            WriteErr("velkorctl: " + error + "\n");
            return EXIT_BAD_USAGE;
        }
        SetFrameTrace(trace.get());
    }
    const int status = RunCommand(parsed.options);
    // Every link of the command has closed by now.
    SetFrameTrace(nullptr);
    return status;
}
