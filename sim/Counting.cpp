#include "Counting.h"

namespace {

constexpr int kPairIndexes[] = {0, 3};  // DI1/DI2 and DI4/DI5
constexpr int kZInput = 2;              // DI3 carries the clear signal

bool IsPairIndex(int index) {
    for (int pair : kPairIndexes)
        if (pair == index) return true;
    return false;
}

}  // namespace

CountRule RuleFor(int index, const UnitSettings& settings, int inputCount, uint64_t zEvery) {
    if (index < 0 || index >= inputCount || index >= kMaxInputs) return {};
    if ((settings.flags & kFlagEnabled) == 0) return {};
    if (settings.edges[index] == kEdgeDisabled) return {};
    if ((settings.flags & kFlagTwoPhase) == 0) return {1, 0};

    // Two-phase: a pair counts under the index of its A phase and needs its B phase input too.
    if (!IsPairIndex(index) || index + 1 >= inputCount) return {};
    const uint32_t multiplier = (settings.flags & kFlagTimesFour) ? 4 : 2;
    const bool clearSignal = (settings.flags & kFlagClearSignal) && inputCount > kZInput;
    return {multiplier, clearSignal ? zEvery : 0};
}

uint64_t PulsesAfter(int64_t elapsedNs, uint32_t rateHz) {
    if (elapsedNs <= 0) return 0;
    const auto ns = static_cast<uint64_t>(elapsedNs);
    const uint64_t seconds = ns / kNanosPerSecond;
    const uint64_t rest = ns % kNanosPerSecond;
    // Split so that hours of counting at a high rate cannot overflow 64 bits.
    return seconds * rateHz + rest * rateHz / kNanosPerSecond;
}

uint32_t Accumulate(uint32_t start, uint64_t fromPulse, uint64_t toPulse, const CountRule& rule) {
    if (rule.multiplier == 0 || toPulse <= fromPulse) return start;
    uint64_t counted = toPulse - fromPulse;
    uint64_t value = start;
    if (rule.zEvery != 0 && toPulse / rule.zEvery > fromPulse / rule.zEvery) {
        counted = toPulse % rule.zEvery;  // pulses since the last Z pulse
        value = 0;
    }
    // Unsigned arithmetic wraps modulo 2^64, so the low 32 bits stay exact.
    return static_cast<uint32_t>(value + counted * rule.multiplier);
}

int64_t PeriodLengthNs(int period) {
    switch (period) {
        case 1:
            return 1 * kNanosPerSecond;
        case 2:
            return 10 * kNanosPerSecond;
        case 3:
            return 60 * kNanosPerSecond;
        case 4:
            return 600 * kNanosPerSecond;
        default:
            return 0;
    }
}

uint32_t CountAfter(uint32_t base, const CountRule& rule, int64_t periodNs, int64_t elapsedNs,
                    uint32_t rateHz) {
    if (rule.multiplier == 0) return base;
    if (periodNs <= 0) return Accumulate(base, 0, PulsesAfter(elapsedNs, rateHz), rule);

    const int64_t completed = elapsedNs / periodNs;
    if (completed <= 0) return base;
    const uint64_t from = PulsesAfter((completed - 1) * periodNs, rateHz);
    const uint64_t to = PulsesAfter(completed * periodNs, rateHz);
    return Accumulate(0, from, to, rule);
}
