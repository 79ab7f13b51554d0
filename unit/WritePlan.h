#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/PulseConfig.h"
#include "device/UnitCommand.h"
#include "unit/UnitFailure.h"

// The characters a write of the settings sends: each input's edge, then those of "PU".
struct SettingsBytes {
    std::array<unsigned char, MAX_INPUTS> edges{};
    int32_t inputs = 0;
    unsigned char mode = 0;
    unsigned char period = 0;
    unsigned char debounce = 0;
};

// The characters of a settings record, as the window writes them.
SettingsBytes BytesOfSettings(const PulseConfig& settings, int32_t inputs);

// One frame of a write and what became of it.
struct PlannedFrame {
    UnitCommand command;
    int32_t input = -1;  // the input of an edge frame; -1 for the others
    std::string what;    // the others' name: "mode, period and debounce", "counting start"
    FrameFate fate = FrameFate::NotSent;
};

// "PC" for each input and "PU", in the window's order, then "PS" where counting is switched.
std::vector<PlannedFrame> PlanWrite(const SettingsBytes& bytes,
                                    std::optional<bool> counting = std::nullopt);

// Settings to change on a unit; what is not given keeps the unit's value.
struct SettingsChange {
    std::optional<int32_t> mode;
    std::optional<int32_t> clearSignal;
    std::array<std::optional<int32_t>, MAX_INPUTS> edge;
    std::optional<int32_t> period;
    std::optional<int32_t> debounce;
    std::optional<bool> counting;
    bool Empty() const;
    bool OnlyCounting() const;  // nothing but counting, or nothing
};

// One unit's settings as read, to be written onto others: the values, for the checks that every
// write passes, and the parameter characters that are written. A setting whose value is its raw
// code's meaning is written as that code, so that a copy writes back the very bytes the unit
// reported, values outside the lists and flag bits included.
struct UnitSettingsFile {
    PulseConfig settings;  // mode, clear signal, edges of DI1..DI`inputs`, period, debounce
    int32_t inputs = 0;    // DI1 to DI`inputs` are named
    unsigned char modeCharacter = 0;
    std::array<unsigned char, MAX_INPUTS> edgeCharacters{};
    unsigned char periodCharacter = 0;
    unsigned char debounceCharacter = 0;
};

// The unit's settings with the changes, as the window would write them (no debounce filter in
// the two-phase modes), and those of a copy: the inputs it names, the rest as held.
PulseConfig ChangedSettings(const PulseConfig& held, const SettingsChange& change);
PulseConfig CopiedSettings(const PulseConfig& held, const UnitSettingsFile& copy);

// The frames of a change; while neither the mode nor the clear signal changes, the unit's own
// flags byte goes back as it came.
std::vector<PlannedFrame> PlanChange(const PulseConfig& wanted, int32_t inputCount,
                                     const SettingsChange& change, unsigned char heldFlags);
// The frames of a copy: its characters for the inputs it names, the unit's own for the others.
std::vector<PlannedFrame> PlanCopy(const UnitSettingsFile& copy, const PulseConfig& held,
                                   int32_t inputCount, const SettingsChange& change);
