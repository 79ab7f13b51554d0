#pragma once

#include "cli/Options.h"

// Exit statuses of velkorctl.
enum ExitStatus : int {
    EXIT_SUCCESS_ALL = 0,
    EXIT_LINK_FAILURE = 1,
    EXIT_BAD_USAGE = 2,
    EXIT_REFUSED = 3,
    EXIT_INTERRUPTED = 130,
};

// Opens the route, runs the command on every node and closes the link; the exit status.
int RunCommand(const CliOptions& options);
