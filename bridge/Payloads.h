#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "unit/UnitFailure.h"
#include "unit/UnitJson.h"

// The payloads the bridge publishes, each one JSON object (the state topics' plain words aside).

// "2026-12-09T05:28:23.556Z": UTC with milliseconds.
std::string UtcTime(std::chrono::system_clock::time_point time);

// One reading of a unit: its inputs as velkorctl's CSV labels them, with their counts.
struct Reading {
    std::chrono::system_clock::time_point time;
    int64_t seq = 0;
    std::vector<std::pair<std::string, int32_t>> counts;
};
std::string CountsPayload(const Reading& reading);

// A failed read: kind and code as in velkorctl's JSON errors (no code for a malformed reply or a
// refused model).
std::string ErrorPayload(std::chrono::system_clock::time_point time, const UnitFailure& failure);

struct BridgeStats {
    int64_t reads = 0;
    int64_t failedReads = 0;
    int64_t published = 0;
    int64_t queued = 0;
    int64_t dropped = 0;
    int64_t brokerReconnects = 0;
    int64_t gatewayReconnects = 0;
    double latencyP50 = 0;
    double latencyP99 = 0;
};
// A unit's info: its identity as velkorctl's identify shows it, with its settings (as
// velkorctl's settings shows them, without the node).
std::string InfoPayload(const UnitIdentity& unit, const HeldSettings& held);

std::string StatsPayload(std::chrono::system_clock::time_point time, const BridgeStats& stats);
