#include "cli/Output.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "device/CommandEncoding.h"
#include "device/OperatorTexts.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Line(const Json& value) {
    return JsonText(value) + "\n";
}

std::string Number(int32_t value) {
    return std::to_string(value);
}

// One setting in text: its word and the window's text beside it.
std::string SettingText(const SettingKind& kind, int32_t value, int raw) {
    const std::string word = kind.word(value);
    const char* display = kind.display(value);
    if (word.empty()) {
        char unknown[64];
        std::snprintf(unknown, sizeof unknown, "unknown value %d (code 0x%02X)", value, raw);
        return unknown;
    }
    return display ? word + " (" + display + ")" : word;
}

}  // namespace

std::string IdentityText(const UnitIdentity& unit, OutputFormat format) {
    if (format == OutputFormat::Json) return Line(IdentityJson(unit));
    char info[256];
    std::snprintf(info, sizeof info, DEVICE_INFO_FORMAT, unit.model.c_str(), unit.unitId);
    std::string text = "node " + Number(unit.node) + ": " + info +
                       "     pulse inputs : " + Number(unit.inputCount);
    if (unit.inputCount == 0) text += std::string("  (") + NO_PULSE_INPUTS_MESSAGE + ")";
    return text + "\n";
}

std::string SettingsText(int32_t node, const HeldSettings& held, OutputFormat format) {
    if (format == OutputFormat::Json) return Line(SettingsJson(node, held));
    const int32_t on = held.config.countingOn != 0 ? 1 : 0;
    const char* state = on ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT;
    std::string text = "node " + Number(node) + ":\n";
    auto add = [&text](const std::string& name, const std::string& value) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-12s %s\n", name.c_str(), value.c_str());
        text += line;
    };
    for (const SettingShown& item : SettingsShown(held))
        add(item.name, SettingText(item.kind, item.value, item.raw));
    add("counting", SettingText(ON_OFF_SETTING, on, -1) + " (" + state + ")");
    return text;
}

std::string CountsText(int32_t node, const std::vector<CountShown>& counts, const std::string& time,
                       OutputFormat format) {
    std::string text;
    if (format == OutputFormat::Csv) {
        for (const CountShown& c : counts)
            text += time + "," + Number(node) + "," + c.label + "," + Number(c.value) + ",\n";
        return text;
    }
    if (format == OutputFormat::Json) {
        Json json;
        json["node"] = node;
        json["time"] = time;
        json["counts"] = Json::array();
        for (const CountShown& c : counts) {
            Json count;
            count["input"] = c.label;
            count["index"] = c.index;
            count["count"] = c.value;
            json["counts"].push_back(count);
        }
        return Line(json);
    }
    text = "node " + Number(node) + ":";
    for (const CountShown& c : counts)
        text += "  " + c.label + " " + Number(c.value);
    return text + "\n";
}

std::string FailureRow(int32_t node, const UnitFailure& failure, const std::string& time,
                       OutputFormat format) {
    const std::string text = FailureText(failure);
    if (format == OutputFormat::Csv) {
        std::string quoted = "\"";
        for (const char c : text)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return time + "," + Number(node) + ",,," + quoted + "\"\n";
    }
    if (format != OutputFormat::Json) return {};
    Json json;
    json["node"] = node;
    json["time"] = time;
    json["error"] = ErrorJson(failure);
    return Line(json);
}

std::string CountingText(int32_t node, bool on, OutputFormat format) {
    if (format == OutputFormat::Json) {
        Json json;
        json["node"] = node;
        json["counting"] = on ? 1 : 0;
        return Line(json);
    }
    return "node " + Number(node) + ": " + (on ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT) + "\n";
}

std::string CsvHeader() {
    return "time,node,input,count,error\n";
}

std::string IsoTimeNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    // The zone's offset from the two readings of one instant: strftime's %z is the zone's name,
    // not its offset, in the C library of Windows.
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    utc.tm_isdst = local.tm_isdst;
    const long offset = static_cast<long>(std::difftime(seconds, std::mktime(&utc))) / 60;
    const long minutes = offset < 0 ? -offset : offset;
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%c%02ld:%02ld", date, static_cast<int>(ms),
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}
