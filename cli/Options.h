#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/PulseConfig.h"
#include "unit/RouteText.h"
#include "unit/SettingsFile.h"

// What the operator asked for on the command line.

enum class Command { Identify, Settings, Set, Start, Stop, Counts, Scan };

struct Route {
    int32_t kind = -1;    // LinkKind; -1 until --host or --serial is given
    std::string host;     // address as typed, without the port
    std::string service;  // TCP port
    std::string device;   // serial device path
};

struct CliOptions {
    Command command = Command::Identify;
    Route route;
    std::vector<int32_t> nodes;
    int32_t timeoutMs = 0;  // reply wait; 0 until defaulted by the command
    bool json = false;
    bool csv = false;
    int32_t watchSeconds = 0;  // 0: one round
    int32_t rounds = 0;        // 0: until interrupted (with --watch)
    SettingsChange change;
    bool force = false;
    std::string traceFile;
    std::optional<UnitSettingsFile> from;  // set --from: one unit's settings, cloned
};

struct ParsedCommandLine {
    CliOptions options;
    std::string help;   // set when help or the version was asked for: print it and succeed
    std::string error;  // set when the command line is wrong: print it and exit 2
};

// Parses the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// Help texts: the program's, and each command's; the version line.
std::string ProgramHelp();
std::string VersionText();
std::optional<std::string> CommandHelp(const std::string& command);
