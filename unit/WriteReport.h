#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unit/WritePlan.h"

// The words in which the front ends tell what became of a write's frames.

// "DI3 edge", "mode, period and debounce", "counting start".
std::string FrameName(const PlannedFrame& frame);
// "acknowledged", "sent, no answer", "not sent".
const char* FateWord(FrameFate fate);

// What became of a write that did not end well, frame by frame: "DI1, DI2 edges acknowledged;
// DI3 edge sent, no answer; mode, period and debounce not sent".
std::string WriteReport(const std::vector<PlannedFrame>& frames);
