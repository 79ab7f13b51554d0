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
