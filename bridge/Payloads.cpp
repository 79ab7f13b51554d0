#include "bridge/Payloads.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

std::string Dumped(const Json& json) {
    return JsonText(json);
}

}  // namespace

std::string UtcTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(time);
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc);
    char text[48];
    std::snprintf(text, sizeof text, "%s.%03dZ", date, static_cast<int>(ms));
    return text;
}

std::string CountsPayload(const Reading& reading) {
    Json counts = Json::object();
    for (const auto& [label, count] : reading.counts)
        counts[label] = count;
    Json json;
    json["time"] = UtcTime(reading.time);
    json["seq"] = reading.seq;
    json["counts"] = std::move(counts);
    return Dumped(json);
}

std::string ErrorPayload(std::chrono::system_clock::time_point time, const UnitFailure& failure) {
    Json json;
    json["time"] = UtcTime(time);
    json.update(ErrorJson(failure));
    return Dumped(json);
}

std::string InfoPayload(const UnitIdentity& unit, const HeldSettings& held) {
    Json json = IdentityJson(unit);
    Json settings = SettingsJson(unit.node, held);
    settings.erase("node");
    json["settings"] = std::move(settings);
    return Dumped(json);
}

std::string StatsPayload(std::chrono::system_clock::time_point time, const BridgeStats& stats) {
    Json json;
    json["time"] = UtcTime(time);
    json["reads"] = stats.reads;
    json["failedReads"] = stats.failedReads;
    json["published"] = stats.published;
    json["queued"] = stats.queued;
    json["dropped"] = stats.dropped;
    json["brokerReconnects"] = stats.brokerReconnects;
    json["gatewayReconnects"] = stats.gatewayReconnects;
    Json latency;
    latency["p50"] = stats.latencyP50;
    latency["p99"] = stats.latencyP99;
    json["latencyMs"] = std::move(latency);
    return Dumped(json);
}
