#pragma once

#include <array>
#include <cstdint>

#include "device/SharedInt.h"

// Number of digital inputs a unit can have (DI1 to DI5).
constexpr int MAX_INPUTS = 5;

// Counting modes of a unit.
enum PulseMode : int32_t {
    MODE_OFF = 0,
    MODE_SINGLE_PHASE = 1,
    MODE_TWO_PHASE_X2 = 2,
    MODE_TWO_PHASE_X4 = 3,
};

// Input index under which the second encoder pair (DI4/DI5) is counted in two-phase modes; the
// first pair (DI1/DI2) counts under index 0.
constexpr int SECOND_PAIR_INDEX = 3;

// Pulse-count settings, the last count values and the counting state of the connected unit:
// fifteen signed 32-bit values in this order.
struct PulseConfig {
    SharedInt mode;                           // PulseMode
    SharedInt clearSignal;                    // 1: DI3 is the Z phase (two-phase modes)
    std::array<SharedInt, MAX_INPUTS> edge;   // 0 disabled, 1 rising, 2 falling
    SharedInt period;                         // index into the period table, 0 = START-STOP
    SharedInt debounce;                       // value as on the wire: 0, or 2..10 (4..20 ms)
    std::array<SharedInt, MAX_INPUTS> count;  // last count per input index
    SharedInt countingOn;                     // 0 stopped, otherwise counting
};
