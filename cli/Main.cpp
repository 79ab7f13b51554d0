#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Options.h"

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
    return RunCommand(parsed.options);
}
