#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unit/WritePlan.h"

// What became of a write that did not end well, frame by frame: "DI1, DI2 edges acknowledged;
// DI3 edge sent, no answer; mode, period and debounce not sent".
std::string WriteReport(const std::vector<PlannedFrame>& frames);
