#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "link/FrameTrace.h"
#include "link/TraceFile.h"

int main(int argc, char** argv) {
    const ParsedCommandLine parsed =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.help.empty()) {
        std::fputs(parsed.help.c_str(), stdout);
        return EXIT_SUCCESS_ALL;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "velkorctl: %s\nTry 'velkorctl --help'.\n", parsed.error.c_str());
        return EXIT_BAD_USAGE;
    }
    std::unique_ptr<TraceFile> trace;
    if (!parsed.options.traceFile.empty()) {
        std::string error;
        trace = TraceFile::Open(parsed.options.traceFile, error);
        if (!trace) {
            std::fprintf(stderr, "velkorctl: %s\n", error.c_str());
            return EXIT_BAD_USAGE;
        }
        SetFrameTrace(trace.get());
    }
    const int status = RunCommand(parsed.options);
    // Every link of the command has closed by now.
    SetFrameTrace(nullptr);
    return status;
}
