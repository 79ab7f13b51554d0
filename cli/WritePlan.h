#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/SettingsFile.h"
#include "device/PulseConfig.h"
#include "unit/WritePlan.h"

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
