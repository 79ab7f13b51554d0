#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Faults.h"
#include "Unit.h"
#include "UnitSettings.h"

constexpr int kDefaultPort = 10003;

// One unit as the simulator starts it.
struct UnitPlan {
    UnitIdentity identity;
    UnitSettings settings;
    bool counting = false;
    std::array<std::optional<uint32_t>, kMaxInputs> presets{};
};

struct NoticePlan {
    int status = 0;
    int delayMs = 0;
};

struct SimOptions {
    bool help = false;
    bool version = false;
    bool tcp = true;
    std::string host = "127.0.0.1";
    int port = kDefaultPort;
    std::string ptyLink;  // empty: no pseudo-terminal
    std::vector<UnitPlan> units;
    PulseSource source;
    std::optional<NoticePlan> notice;
    FaultOptions faults;
    std::string logFile;  // empty: standard error
    bool quiet = false;
};

struct ParsedOptions {
    SimOptions options;
    std::string error;  // empty when the command line is sound
};

// The units present when no --unit is given: one of each kind the program meets.
std::vector<UnitPlan> DefaultUnits();

// Parses the arguments after the program name.
ParsedOptions ParseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string HelpText();
