#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "device/PulseConfig.h"
#include "unit/SettingWords.h"
#include "unit/UnitFailure.h"
#include "unit/UnitProtocol.h"

// A unit as the front ends write it, in JSON with the keys in this order.

// What a unit holds, as read: the settings and the flags byte of "py" as it came (the mode and
// the clear signal are decoded from it, and other bits it may carry are kept for a copy).
struct HeldSettings {
    PulseConfig config;
    int32_t inputCount = 0;
    unsigned char flags = 0;
};

// One setting as it is shown: its name, its words, its value and the parameter character it
// travels as (-1 for one that travels in none).
struct SettingShown {
    std::string name;
    const SettingKind& kind;
    int32_t value;
    int raw;
};
// mode, clearSignal, DI1 to the unit's last input, period, debounce.
std::vector<SettingShown> SettingsShown(const HeldSettings& held);

// node, model, modelCode, subCode, id, pulseInputs.
nlohmann::ordered_json IdentityJson(const UnitIdentity& unit);
// node, pulseInputs, then each setting and counting as an object of value, word, display and raw.
nlohmann::ordered_json SettingsJson(int32_t node, const HeldSettings& held);
// kind ("link", "malformed", "refused"), code (where there is one), text (FailureText).
nlohmann::ordered_json ErrorJson(const UnitFailure& failure);

// One JSON line's text. A unit's model name is whatever bytes the unit sends: those that are not
// UTF-8 are written as U+FFFD, so that the text stays JSON that any reader takes.
std::string JsonText(const nlohmann::ordered_json& value);

// The label of a count: "DI1" to "DI5", or an encoder pair "DI1+DI2", "DI4+DI5" (no text a
// spreadsheet would take for a date).
std::string CountLabelOf(int32_t mode, int32_t index);
