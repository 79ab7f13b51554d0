#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "FrameLog.h"
#include "Server.h"
#include "Signals.h"
#include "SimOptions.h"

int main(int argc, char** argv) {
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << "velkor-sim: " << parsed.error << "\nTry 'velkor-sim --help'.\n";
        return 2;
    }
    const SimOptions& options = parsed.options;
    if (options.help) {
        std::cout << HelpText();
        return 0;
    }
    if (options.version) {
        std::cout << "velkor-sim " VELKOR_SIM_VERSION "\n";
        return 0;
    }

    FrameLog log;
    if (!options.quiet) {
        if (options.logFile.empty()) {
            log.ToStderr();
        } else if (!log.ToFile(options.logFile)) {
            std::cerr << "velkor-sim: cannot write the log " << options.logFile << "\n";
            return 1;
        }
    }
    // Before anything that needs cleaning up exists, so no signal can skip the clean-up.
    SignalPipe signals;
    if (!signals.Install()) {
        std::cerr << "velkor-sim: cannot install signal handlers\n";
        return 1;
    }

    UnitTable units = BuildUnits(options, MonotonicNow());
    Server server(options, units, log);
    if (const std::string error = server.Start(); !error.empty()) {
        std::cerr << "velkor-sim: " << error << "\n";
        return 1;
    }
    std::printf("%d\n", server.Port());
    std::fflush(stdout);

    const int signal = server.Run(signals);
    if (signal < 0) return 1;
    log.Note("sim", "stopping on signal " + std::to_string(signal));
    return 0;
}
