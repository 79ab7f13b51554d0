#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "device/PulseConfig.h"

// One of the five count displays in a read of the counts: what it is labelled and which input
// index it requests. A display that requests nothing is emptied.
struct CountRow {
    std::string label;   // "DI1".."DI5", "1-2", "4-5", or empty
    int32_t index = -1;  // input index of the "PG" request; -1: no request
};

// The displays of one read, in the order they are requested, from the held settings: by input
// in single-phase use and with counting off, by encoder pair in the two-phase modes.
std::array<CountRow, MAX_INPUTS> CountRowsOf(const PulseConfig& held, int32_t inputCount);

// Where a count reply for `index` shows under the held mode: the display, and the count entry it
// shows (in two-phase use any index but the first pair's shows the second pair's count).
struct CountDisplay {
    int32_t display;
    int32_t index;
};
CountDisplay CountDisplayOf(int32_t mode, int32_t index);
