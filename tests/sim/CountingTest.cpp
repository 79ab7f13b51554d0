// The pulse model as pure functions of time, and the unit built on it.
#include <gtest/gtest.h>

#include "Counting.h"
#include "Unit.h"

namespace {

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kSecond = 1000 * kMs;

TEST(SimPulsesAfter, CountsWholePulsesSinceTheStart) {
    struct Case {
        int64_t elapsedNs;
        uint32_t rate;
        uint64_t pulses;
    };
    const Case cases[] = {
        {0, 5, 0},
        {-kSecond, 5, 0},
        {199 * kMs, 5, 0},
        {200 * kMs, 5, 1},  // pulse 1 arrives 1/rate after the start
        {kSecond, 5, 5},
        {kSecond - 1, 1000, 999},
        {333'333'333, 3, 0},  // 1/3 s is a little more than this
        {333'333'334, 3, 1},
        {3600 * kSecond, 1'000'000, 3'600'000'000ULL},
        {10'000'000 * kSecond, 1'000'000, 10'000'000'000'000ULL},  // no 64-bit overflow
        {kSecond, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PulsesAfter(c.elapsedNs, c.rate), c.pulses)
            << c.elapsedNs << " ns at " << c.rate << " Hz";
}

UnitSettings WithFlags(int flags, std::array<int, kMaxInputs> edges = {1, 1, 1, 1, 1}) {
    UnitSettings s;
    s.flags = flags;
    s.edges = edges;
    return s;
}

TEST(SimRuleFor, FollowsModeEdgesAndTheInputsOfTheUnit) {
    struct Case {
        const char* what;
        UnitSettings settings;
        int inputs;
        int index;
        CountRule rule;
    };
    const uint64_t z = 7;
    const Case cases[] = {
        {"counting off", WithFlags(0x00), 5, 0, {}},
        {"two-phase bit without enable", WithFlags(0x02), 5, 0, {}},
        {"single-phase DI1", WithFlags(0x01), 5, 0, {1, 0}},
        {"single-phase DI5", WithFlags(0x01), 5, 4, {1, 0}},
        {"single-phase, edge off", WithFlags(0x01, {1, 0, 1, 1, 1}), 5, 1, {}},
        {"single-phase, falling edge", WithFlags(0x01, {2, 2, 2, 2, 2}), 5, 2, {1, 0}},
        {"single-phase, unnamed edge value", WithFlags(0x01, {7, 7, 7, 7, 7}), 5, 0, {1, 0}},
        {"single-phase ignores x4 and clear", WithFlags(0x0D), 5, 0, {1, 0}},
        {"input beyond the unit", WithFlags(0x01), 3, 3, {}},
        {"negative index", WithFlags(0x01), 5, -1, {}},
        {"index 5", WithFlags(0x01), 5, 5, {}},
        {"x2 pair DI1/DI2", WithFlags(0x03), 5, 0, {2, 0}},
        {"x2 B phase does not count alone", WithFlags(0x03), 5, 1, {}},
        {"x2 DI3 does not count", WithFlags(0x03), 5, 2, {}},
        {"x2 pair DI4/DI5", WithFlags(0x03), 5, 3, {2, 0}},
        {"x2 DI5 does not count alone", WithFlags(0x03), 5, 4, {}},
        {"x2 pair DI4/DI5 missing on 3 inputs", WithFlags(0x03), 3, 3, {}},
        {"x2 pair, A edge off", WithFlags(0x03, {0, 1, 1, 1, 1}), 5, 0, {}},
        {"x4 pair", WithFlags(0x0B), 5, 0, {4, 0}},
        {"x4 with Z", WithFlags(0x0F), 5, 0, {4, z}},
        {"x4 with Z, second pair", WithFlags(0x0F), 5, 3, {4, z}},
        {"x2 with Z on 3 inputs", WithFlags(0x07), 3, 0, {2, z}},
        {"clear signal without DI3", WithFlags(0x07), 2, 0, {2, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RuleFor(c.index, c.settings, c.inputs, z), c.rule) << c.what;
}

TEST(SimAccumulate, AddsMultipliedPulsesWrapsAt32BitsAndClearsOnZ) {
    struct Case {
        uint32_t start;
        uint64_t from, to;
        CountRule rule;
        uint32_t count;
    };
    const Case cases[] = {
        {0, 0, 10, {1, 0}, 10},
        {5, 3, 10, {1, 0}, 12},
        {9, 4, 4, {1, 0}, 9},   // nothing new
        {9, 0, 10, {0, 0}, 9},  // index that does not count
        {0xFFFFFFFA, 0, 10, {1, 0}, 4},
        {0xFFFFFFFF, 0, 1, {4, 0}, 3},
        {5, 0, uint64_t(1) << 40, {4, 0}, 5},  // 2^42 counts are 0 modulo 2^32
        {0, 0, 9, {2, 10}, 18},
        {0, 0, 10, {2, 10}, 0},  // the tenth cycle brings the Z pulse
        {0, 0, 13, {2, 10}, 6},
        {7, 12, 19, {4, 10}, 35},
        {7, 12, 20, {4, 10}, 0},
        {7, 12, 25, {4, 10}, 20},
        {0, 0, 1'000'000'000'003ULL, {4, 100}, 12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Accumulate(c.start, c.from, c.to, c.rule), c.count)
            << c.start << " + (" << c.from << ", " << c.to << "] x" << c.rule.multiplier << " z"
            << c.rule.zEvery;
}

TEST(SimPeriodLengthNs, FixedPeriodsAndStartStop) {
    EXPECT_EQ(PeriodLengthNs(0), 0);
    EXPECT_EQ(PeriodLengthNs(1), kSecond);
    EXPECT_EQ(PeriodLengthNs(2), 10 * kSecond);
    EXPECT_EQ(PeriodLengthNs(3), 60 * kSecond);
    EXPECT_EQ(PeriodLengthNs(4), 600 * kSecond);
    EXPECT_EQ(PeriodLengthNs(5), 0);
    EXPECT_EQ(PeriodLengthNs(-1), 0);
}

TEST(SimCountAfter, StartStopRunsOnFixedPeriodsShowTheLastCompletedPeriod) {
    struct Case {
        const char* what;
        uint32_t base;
        CountRule rule;
        int period;
        int64_t elapsedNs;
        uint32_t rate;
        uint32_t count;
    };
    const Case cases[] = {
        {"start-stop runs on from the base", 100, {1, 0}, 0, kSecond, 5, 105},
        {"start-stop wraps", 0xFFFFFFFE, {1, 0}, 0, kSecond, 5, 3},
        {"index without rule keeps its value", 42, {}, 0, 9 * kSecond, 5, 42},
        {"1 s: old value before the first period ends", 77, {1, 0}, 1, kSecond - 1, 5, 77},
        {"1 s: first period", 77, {1, 0}, 1, kSecond, 5, 5},
        {"1 s: still the first period", 77, {1, 0}, 1, 2 * kSecond - 1, 5, 5},
        {"1 s at 3 Hz", 0, {1, 0}, 1, kSecond, 3, 3},
        {"1 s x4 at 7 Hz", 0, {4, 0}, 1, 5 * kSecond, 7, 28},
        {"10 s: before", 1, {1, 0}, 2, 10 * kSecond - 1, 5, 1},
        {"10 s", 1, {1, 0}, 2, 25 * kSecond, 5, 50},
        {"1 min: before", 1, {1, 0}, 3, 60 * kSecond - 1, 5, 1},
        {"1 min", 1, {1, 0}, 3, 60 * kSecond, 5, 300},
        {"10 min: before", 1, {1, 0}, 4, 600 * kSecond - 1, 5, 1},
        {"10 min", 1, {1, 0}, 4, 1199 * kSecond, 5, 3000},
        {"10 min x2", 1, {2, 0}, 4, 1200 * kSecond, 5, 6000},
        {"1 s, no Z in the period", 0, {2, 15}, 1, kSecond, 10, 20},
        {"1 s, Z inside the period", 0, {2, 15}, 1, 2 * kSecond, 10, 10},
        {"unnamed period counts like start-stop", 4, {1, 0}, 9, kSecond, 5, 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CountAfter(c.base, c.rule, PeriodLengthNs(c.period), c.elapsedNs, c.rate),
                  c.count)
            << c.what;
}

TEST(SimPulseInputsOf, OnlyTheThreeCountingModels) {
    const std::pair<int, int> cases[] = {{0, 0}, {1, 0}, {2, 5},  {3, 3},  {4, 2},
                                         {5, 0}, {8, 0}, {13, 0}, {15, 0}, {-1, 0}};
    for (auto [code, inputs] : cases)
        EXPECT_EQ(PulseInputsOf(code), inputs) << code;
}

// A five-input unit counting single-phase at 5 Hz, started at time 0 of these tests.
class SimUnitCounting : public ::testing::Test {
protected:
    Unit unit{{1, 2, 0, 1}, {5, 10}};
};

TEST_F(SimUnitCounting, HoldsWhileStoppedAndRunsOnAfterARestart) {
    EXPECT_EQ(unit.CountOf(0, 5 * kSecond), 0u);
    unit.Start(0);
    EXPECT_TRUE(unit.Counting());
    EXPECT_EQ(unit.CountOf(0, kSecond), 5u);
    unit.Stop(kSecond);
    EXPECT_FALSE(unit.Counting());
    EXPECT_EQ(unit.CountOf(0, 9 * kSecond), 5u);
    unit.Start(10 * kSecond);
    EXPECT_EQ(unit.CountOf(0, 11 * kSecond), 10u);
    unit.Start(11 * kSecond);  // a second start does not restart the run
    EXPECT_EQ(unit.CountOf(0, 12 * kSecond), 15u);
}

TEST_F(SimUnitCounting, PresetCountWrapsWhileCounting) {
    unit.PresetCount(4, 0xFFFFFFFE, 0);
    unit.Start(0);
    EXPECT_EQ(unit.CountOf(4, 400 * kMs), 0u);
    EXPECT_EQ(unit.CountOf(4, kSecond), 3u);
}

TEST_F(SimUnitCounting, NewSettingsKeepWhatWasCountedAndApplyFromThen) {
    unit.Start(0);
    UnitSettings x4 = unit.Settings();
    x4.flags = kFlagEnabled | kFlagTwoPhase | kFlagTimesFour;
    unit.SetSettings(x4, kSecond);
    EXPECT_EQ(unit.CountOf(0, 2 * kSecond), 5u + 4 * 5);
    EXPECT_EQ(unit.CountOf(1, 2 * kSecond), 5u);  // the B phase holds its single-phase count
    unit.SetEdge(0, kEdgeDisabled, 2 * kSecond);
    EXPECT_EQ(unit.CountOf(0, 3 * kSecond), 25u);
}

TEST_F(SimUnitCounting, FixedPeriodRestartsWithTheRun) {
    UnitSettings s = unit.Settings();
    s.period = 1;
    unit.SetSettings(s, 0);
    unit.Start(0);
    EXPECT_EQ(unit.CountOf(0, 1500 * kMs), 5u);
    unit.SetEdge(1, 2, 1500 * kMs);
    EXPECT_EQ(unit.CountOf(0, 2400 * kMs), 5u);  // the last completed period until the next one
    EXPECT_EQ(unit.CountOf(0, 2500 * kMs), 5u);
    unit.Stop(3 * kSecond);
    EXPECT_EQ(unit.CountOf(0, 60 * kSecond), 5u);
}

TEST_F(SimUnitCounting, ZPulseClearsBothPairs) {
    UnitSettings s = unit.Settings();
    s.flags = 0x0F;  // x4 with the clear signal, Z every 10 cycles
    unit.SetSettings(s, 0);
    unit.Start(0);
    EXPECT_EQ(unit.CountOf(0, 1800 * kMs), 36u);
    EXPECT_EQ(unit.CountOf(0, 2 * kSecond), 0u);
    EXPECT_EQ(unit.CountOf(3, 2600 * kMs), 12u);
}

TEST(SimUnitInputs, IndexesBeyondTheUnitReadAsNothing) {
    Unit unit({3, 4, 0, 3}, {5, 10});
    EXPECT_EQ(unit.InputCount(), 2);
    EXPECT_EQ(unit.EdgeOf(1), 1);
    EXPECT_EQ(unit.EdgeOf(2), 0);
    unit.SetEdge(2, 1, 0);
    EXPECT_EQ(unit.EdgeOf(2), 0);
    unit.PresetCount(4, 99, 0);
    unit.Start(0);
    EXPECT_EQ(unit.CountOf(0, kSecond), 5u);
    EXPECT_EQ(unit.CountOf(2, kSecond), 0u);
    EXPECT_EQ(unit.CountOf(4, kSecond), 0u);
    EXPECT_EQ(unit.CountOf(40, kSecond), 0u);
}

}  // namespace
