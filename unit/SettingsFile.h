#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "device/PulseConfig.h"
#include "unit/WritePlan.h"

// One unit's settings as `velkorctl settings --json` writes them, read back for a copy onto other
// units (`set --from`, the bridge's set).

// What is wrong with a text that should hold one JSON value.
enum class JsonTextFault { None, Invalid, AnotherObject, TextAfter };

// The one JSON value of `text`, its nesting bounded so that no text can exhaust the stack; for
// invalid JSON `error` gives the parser's words or where the nesting went too deep.
std::optional<nlohmann::json> ParseOneJsonValue(std::string_view text, JsonTextFault& fault,
                                                std::string& error);

// The settings of a unit's JSON object; nothing, with the reason in `error`, for another value.
std::optional<UnitSettingsFile> UnitSettingsOfJson(const nlohmann::json& unit, std::string& error);

// Reads the text of a settings file holding exactly one unit; nothing, with the reason in
// `error`, for anything else.
std::optional<UnitSettingsFile> ParseSettingsFile(std::string_view text, std::string& error);

// Reads the file at `path` and parses it; the reason names the file.
std::optional<UnitSettingsFile> LoadSettingsFile(const std::string& path, std::string& error);
