#pragma once

#include <array>
#include <cstdint>

// Pulse inputs a unit can have (DI1 to DI5); index 0 is DI1.
constexpr int kMaxInputs = 5;

// Bits of the mode character of "PU" and of the flags byte of "py" (on top of the 0x20 base).
constexpr int kFlagEnabled = 0x01;
constexpr int kFlagTwoPhase = 0x02;
constexpr int kFlagClearSignal = 0x04;
constexpr int kFlagTimesFour = 0x08;
constexpr int kFlagBits = 0x0F;

// Counting periods as they travel in "PU" and "py"; 1 to 4 are the fixed periods.
constexpr int kPeriodStartStop = 0;

// Edge value of an input that does not count.
constexpr int kEdgeDisabled = 0;

// The pulse-count settings a unit keeps. Values are kept as they arrived (parameter character
// minus 0x20), so a value the program has no name for comes back unchanged in "py" and "ph".
struct UnitSettings {
    int flags = kFlagEnabled;
    int period = kPeriodStartStop;
    int debounce = 0;
    std::array<int, kMaxInputs> edges{1, 1, 1, 1, 1};
};
