#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/PulseConfig.h"
#include "unit/WritePlan.h"

// Reads the text of a settings file holding exactly one unit; nothing, with the reason in
// `error`, for anything else.
std::optional<UnitSettingsFile> ParseSettingsFile(std::string_view text, std::string& error);

// Reads the file at `path` and parses it; the reason names the file.
std::optional<UnitSettingsFile> LoadSettingsFile(const std::string& path, std::string& error);
