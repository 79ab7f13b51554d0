#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The words in which the front ends take each setting (`velkorctl set --mode x4`) and show it
// (`settings`, the bridge's info): one list per setting, so that what is shown can be typed back.
// Each also takes its value as a number.

struct SettingKind {
    // The value of a word or number; nothing for text the setting does not take.
    std::optional<int32_t> (*parse)(const std::string& text);
    // The word of a value; empty for a value outside the list (a unit may report anything).
    std::string (*word)(int32_t value);
    // The window's text of a value, or nullptr where the window shows none.
    const char* (*display)(int32_t value);
};

extern const SettingKind MODE_SETTING;      // off, single, x2, x4
extern const SettingKind ON_OFF_SETTING;    // clear signal, counting: off, on
extern const SettingKind EDGE_SETTING;      // off, rising, falling
extern const SettingKind PERIOD_SETTING;    // start-stop, 1s, 10s, 1m, 10m
extern const SettingKind DEBOUNCE_SETTING;  // none, 4ms ... 20ms (or the unit's value 0-10)
