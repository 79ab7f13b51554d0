#pragma once

#include <cstdint>

#include "UnitSettings.h"

// The pulse model of the emulated units, as pure functions of elapsed time so that a count can be
// computed at the moment it is asked for: the server needs no timer while units count.
//
// While a unit counts, every counting input receives pulses at a fixed rate; pulse k (k = 1, 2,
// ...) arrives k/rate seconds after counting started. In the two-phase modes the rate is that of
// the encoder's cycles, each giving 2 (x2) or 4 (x4) counts, and with the clear signal on a Z pulse
// arrives together with every zEvery-th cycle and sets the pair's count back to 0.

constexpr int64_t kNanosPerSecond = 1'000'000'000;

// How one count index follows the pulses: multiplier 0 means that it does not count at all.
struct CountRule {
    uint32_t multiplier = 0;
    uint64_t zEvery = 0;  // 0: no clear signal
    bool operator==(const CountRule&) const = default;
};

// Rule of count index `index` under `settings` on a unit with `inputCount` pulse inputs.
CountRule RuleFor(int index, const UnitSettings& settings, int inputCount, uint64_t zEvery);

// Pulses that have arrived `elapsedNs` after counting started, at `rateHz` pulses per second.
uint64_t PulsesAfter(int64_t elapsedNs, uint32_t rateHz);

// Count after pulses fromPulse+1 .. toPulse have been added to `start` (32-bit, wrapping); a Z
// pulse among them clears the count, which then holds only the pulses after the last Z pulse.
uint32_t Accumulate(uint32_t start, uint64_t fromPulse, uint64_t toPulse, const CountRule& rule);

// Length of a fixed counting period (1 s, 10 s, 1 min, 10 min), 0 for START-STOP and for any value
// without a fixed length.
int64_t PeriodLengthNs(int period);

// Count shown `elapsedNs` after counting started from `base`. With START-STOP the count runs on
// from `base`; with a fixed period it is the count of the last completed period, and `base` until
// the first period has completed.
uint32_t CountAfter(uint32_t base, const CountRule& rule, int64_t periodNs, int64_t elapsedNs,
                    uint32_t rateHz);
