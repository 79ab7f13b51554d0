#include "cli/Output.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "device/OperatorTexts.h"
#include "device/ValueTables.h"

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Field(const char* name, const std::string& value, bool quoted = true) {
    return JsonString(name) + ":" + (quoted ? JsonString(value) : value);
}

// "name (value)", or in JSON {"value":V,"name":"..."}.
std::string Valued(int32_t value, const char* word, OutputFormat format) {
    if (format == OutputFormat::Json)
        return "{" + Field("value", std::to_string(value), false) + "," + Field("name", word) + "}";
    return std::string(word) + " (" + std::to_string(value) + ")";
}

}  // namespace

std::string IdentityText(const UnitIdentity& unit, OutputFormat format) {
    if (format == OutputFormat::Json)
        return "{" + Field("node", std::to_string(unit.node), false) + "," +
               Field("model", unit.model) + "," +
               Field("modelCode", std::to_string(unit.modelCode), false) + "," +
               Field("subCode", std::to_string(unit.subCode), false) + "," +
               Field("id", std::to_string(unit.unitId), false) + "," +
               Field("pulseInputs", std::to_string(unit.inputCount), false) + "}\n";
    char info[256];
    std::snprintf(info, sizeof info, DEVICE_INFO_FORMAT, unit.model.c_str(), unit.unitId);
    return "node " + std::to_string(unit.node) + ": " + info +
           "     pulse inputs : " + std::to_string(unit.inputCount) + "\n";
}

std::string SettingsText(int32_t node, const PulseConfig& held, int32_t inputCount,
                         OutputFormat format) {
    std::vector<std::pair<std::string, std::string>> items = {
        {"mode", Valued(held.mode, WordOf(MODE_WORDS, held.mode), format)},
        {"clearSignal", Valued(held.clearSignal, WordOf(ON_OFF_WORDS, held.clearSignal), format)},
    };
    for (int32_t i = 0; i < inputCount && i < MAX_INPUTS; ++i)
        items.emplace_back("DI" + std::to_string(i + 1),
                           Valued(held.edge[i], WordOf(EDGE_TEXTS, held.edge[i]), format));
    items.emplace_back("period", Valued(held.period, WordOf(PERIOD_TEXTS, held.period), format));
    items.emplace_back("debounce", Valued(held.debounce, DebounceText(held.debounce), format));
    const int32_t on = held.countingOn != 0 ? 1 : 0;
    items.emplace_back("counting", Valued(on, on ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT, format));

    std::string text;
    if (format == OutputFormat::Json) {
        text = "{" + Field("node", std::to_string(node), false);
        for (const auto& [name, value] : items)
            text += "," + Field(name.c_str(), value, false);
        return text + "}\n";
    }
    text = "node " + std::to_string(node) + ":\n";
    for (const auto& [name, value] : items) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-12s %s\n", name.c_str(), value.c_str());
        text += line;
    }
    return text;
}

std::string CountsText(int32_t node, const std::vector<CountReading>& counts,
                       const std::string& time, OutputFormat format) {
    std::string text;
    if (format == OutputFormat::Csv) {
        for (const CountReading& c : counts)
            text += time + "," + std::to_string(node) + "," + c.label + "," +
                    std::to_string(c.value) + "\n";
        return text;
    }
    if (format == OutputFormat::Json) {
        text = "{" + Field("node", std::to_string(node), false) + "," + Field("time", time) +
               ",\"counts\":[";
        for (size_t i = 0; i < counts.size(); ++i)
            text += std::string(i ? "," : "") + "{" + Field("input", counts[i].label) + "," +
                    Field("index", std::to_string(counts[i].index), false) + "," +
                    Field("count", std::to_string(counts[i].value), false) + "}";
        return text + "]}\n";
    }
    text = "node " + std::to_string(node) + ":";
    for (const CountReading& c : counts)
        text += "  " + c.label + " " + std::to_string(c.value);
    return text + "\n";
}

std::string CsvHeader() {
    return "time,node,input,count\n";
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
