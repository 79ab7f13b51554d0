#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/UnitClient.h"
#include "device/PulseConfig.h"

// How results are written to standard output: text for people, JSON lines or CSV for scripts.
enum class OutputFormat { Text, Json, Csv };

// One count as a read shows it: the display's label, the input index and the signed value.
struct CountReading {
    std::string label;
    int32_t index = 0;
    int32_t value = 0;
};

std::string IdentityText(const UnitIdentity& unit, OutputFormat format);
std::string SettingsText(int32_t node, const PulseConfig& held, int32_t inputCount,
                         OutputFormat format);
// `time` is the moment of the read in ISO 8601 (used by CSV).
std::string CountsText(int32_t node, const std::vector<CountReading>& counts,
                       const std::string& time, OutputFormat format);
std::string CsvHeader();

// The local time now in ISO 8601 with milliseconds and the offset from UTC.
std::string IsoTimeNow();
