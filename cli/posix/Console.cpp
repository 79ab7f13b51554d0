#include <unistd.h>

#include <cstdio>

#include "cli/Console.h"

void PrepareConsole() {}

bool WriteOut(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return std::fflush(stdout) == 0 && written;
}

void WriteErr(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

bool ErrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}
