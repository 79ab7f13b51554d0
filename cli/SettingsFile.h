#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/PulseConfig.h"

// One unit's settings as `settings --json` writes them, read back for `set --from`: the values,
// for the checks that every write passes, and the parameter characters that are written. A
// setting whose value is its raw code's meaning is written as that code, so that a round trip
// writes back the very bytes the unit reported, values outside the lists and flag bits included.
struct UnitSettingsFile {
    PulseConfig settings;  // mode, clear signal, edges of DI1..DI`inputs`, period, debounce
    int32_t inputs = 0;    // DI1 to DI`inputs` are named
    unsigned char modeCharacter = 0;
    std::array<unsigned char, MAX_INPUTS> edgeCharacters{};
    unsigned char periodCharacter = 0;
    unsigned char debounceCharacter = 0;
};

// Reads the text of a settings file holding exactly one unit; nothing, with the reason in
// `error`, for anything else.
std::optional<UnitSettingsFile> ParseSettingsFile(std::string_view text, std::string& error);

// Reads the file at `path` and parses it; the reason names the file.
std::optional<UnitSettingsFile> LoadSettingsFile(const std::string& path, std::string& error);
