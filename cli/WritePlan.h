#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/SettingsFile.h"
#include "device/PulseConfig.h"

// The frames that write a unit's settings, in the window's order ("PC" for each input, "PU"),
// then "PS" where counting is switched, and what became of each.
struct PlannedFrame {
    enum class Fate { NotSent, SentNoAnswer, Acknowledged };
    std::string command;  // letters and parameter characters
    int32_t input = -1;   // the input of an edge frame; -1 for the others
    std::string what;     // the others' name: "mode, period and debounce", "counting start"
    Fate fate = Fate::NotSent;
};

// A `set` of the operator's changes onto what the unit holds, as the window writes them; while
// neither the mode nor the clear signal changes, the unit's own flags byte goes back as it came.
std::vector<PlannedFrame> PlanChange(const PulseConfig& wanted, int32_t inputCount,
                                     const SettingsChange& change, unsigned char heldFlags);
// A `set --from`: the file's characters for the inputs it names, the unit's own for the others.
std::vector<PlannedFrame> PlanCopy(const UnitSettingsFile& file, const PulseConfig& held,
                                   int32_t inputCount, const SettingsChange& change);

// What became of a write that did not end well, frame by frame: "DI1, DI2 edges acknowledged;
// DI3 edge sent, no answer; mode, period and debounce not sent".
std::string WriteReport(const std::vector<PlannedFrame>& frames);
