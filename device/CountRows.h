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

// Display that shows the count of `index` under the held mode.
int32_t CountDisplayOf(int32_t mode, int32_t index);
