#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "UnitSettings.h"

// What sets a unit apart on the wire: where it answers and how it identifies itself.
struct UnitIdentity {
    int node = 0;
    int modelCode = 0;
    int subCode = 0;  // sent in "md" only for the extension family (model code 15)
    int unitId = 0;
};

// The pulse source shared by every unit: pulses per second on each counting input, and the
// number of encoder cycles between two Z pulses.
struct PulseSource {
    uint32_t rateHz = 5;
    uint64_t zEvery = 100;
};

constexpr int kExtensionFamilyCode = 15;

// Pulse inputs of a model code; 0 for every model without pulse-count function.
int PulseInputsOf(int modelCode);

// One emulated unit: its identity, settings and counters. Times are monotonic nanoseconds passed in
// by the caller, so the counting is the same whether driven by the clock or by a test.
class Unit {
public:
    Unit(const UnitIdentity& identity, const PulseSource& source);

    const UnitIdentity& Identity() const { return identity_; }
    int InputCount() const { return inputCount_; }
    const UnitSettings& Settings() const { return settings_; }
    bool Counting() const { return counting_; }

    // Edge of an input; an index that is not one of the unit's inputs reads as disabled.
    int EdgeOf(int index) const;
    // Count of an index at time `now`; an index that is not one of the unit's inputs reads 0.
    uint32_t CountOf(int index, int64_t now) const;

    // Changes made while counting restart the run from the counts of that moment, so what was
    // counted so far stays and the new settings apply from then on.
    void SetEdge(int index, int edge, int64_t now);
    void SetSettings(const UnitSettings& settings, int64_t now);
    void Start(int64_t now);
    void Stop(int64_t now);
    void PresetCount(int index, uint32_t value, int64_t now);

private:
    bool HasInput(int index) const { return index >= 0 && index < inputCount_; }
    void Freeze(int64_t now);

    UnitIdentity identity_;
    PulseSource source_;
    int inputCount_;
    UnitSettings settings_;
    bool counting_ = false;
    int64_t runStart_ = 0;
    std::array<uint32_t, kMaxInputs> base_{};  // counts when the current run started
};

// The units behind the gateway, by node number.
class UnitTable {
public:
    Unit* Find(int node);
    // False when the node is taken already.
    bool Add(const Unit& unit);
    std::map<int, Unit>& All() { return units_; }

private:
    std::map<int, Unit> units_;
};
