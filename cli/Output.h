#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/UnitClient.h"
#include "device/PulseConfig.h"
#include "unit/UnitJson.h"

// How results are written to standard output: text for people, JSON lines or CSV for scripts.
enum class OutputFormat { Text, Json, Csv };

// One count as a read shows it: the input or pair, the input index and the signed value.
struct CountShown {
    std::string label;
    int32_t index = 0;
    int32_t value = 0;
};

std::string IdentityText(const UnitIdentity& unit, OutputFormat format);
std::string SettingsText(int32_t node, const HeldSettings& held, OutputFormat format);
// `time` is the moment of the read in ISO 8601 (used by CSV and JSON).
std::string CountsText(int32_t node, const std::vector<CountShown>& counts, const std::string& time,
                       OutputFormat format);
// A node whose read failed, as one row of a watch (CSV, JSON); empty for text, whose failures
// go to standard error only.
std::string FailureRow(int32_t node, const UnitFailure& failure, const std::string& time,
                       OutputFormat format);
std::string CsvHeader();
// What start or stop leaves a unit doing.
std::string CountingText(int32_t node, bool on, OutputFormat format);

// The local time now in ISO 8601 with milliseconds and the offset from UTC.
std::string IsoTimeNow();
