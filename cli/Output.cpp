#include "cli/Output.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "cli/SettingWords.h"
#include "device/CommandEncoding.h"
#include "device/OperatorTexts.h"

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

std::string Number(int32_t value) {
    return std::to_string(value);
}

// One setting: in text its word and the window's text beside it; in JSON its value, word,
// display text and raw code (the parameter character it travels as).
std::string Setting(const SettingKind& kind, int32_t value, int raw, OutputFormat format) {
    const std::string word = kind.word(value);
    const char* display = kind.display(value);
    if (format == OutputFormat::Json) {
        std::string text = "{" + Field("value", Number(value), false) + "," +
                           Field("word", word.empty() ? "null" : JsonString(word), false);
        if (display) text += "," + Field("display", display);
        if (raw >= 0) text += "," + Field("raw", Number(raw), false);
        return text + "}";
    }
    if (word.empty()) {
        char unknown[64];
        std::snprintf(unknown, sizeof unknown, "unknown value %d (code 0x%02X)", value, raw);
        return unknown;
    }
    return display ? word + " (" + display + ")" : word;
}

}  // namespace

std::string IdentityText(const UnitIdentity& unit, OutputFormat format) {
    if (format == OutputFormat::Json)
        return "{" + Field("node", Number(unit.node), false) + "," + Field("model", unit.model) +
               "," + Field("modelCode", Number(unit.modelCode), false) + "," +
               Field("subCode", Number(unit.subCode), false) + "," +
               Field("id", Number(unit.unitId), false) + "," +
               Field("pulseInputs", Number(unit.inputCount), false) + "}\n";
    char info[256];
    std::snprintf(info, sizeof info, DEVICE_INFO_FORMAT, unit.model.c_str(), unit.unitId);
    std::string text = "node " + Number(unit.node) + ": " + info +
                       "     pulse inputs : " + Number(unit.inputCount);
    if (unit.inputCount == 0) text += std::string("  (") + NO_PULSE_INPUTS_MESSAGE + ")";
    return text + "\n";
}

std::string SettingsText(int32_t node, const HeldSettings& held, OutputFormat format) {
    const PulseConfig& c = held.config;
    const int flags = held.flags;
    std::vector<std::pair<std::string, std::string>> items = {
        {"mode", Setting(MODE_SETTING, c.mode, flags, format)},
        {"clearSignal", Setting(ON_OFF_SETTING, c.clearSignal, flags, format)},
    };
    for (int32_t i = 0; i < held.inputCount && i < MAX_INPUTS; ++i)
        items.emplace_back("DI" + Number(i + 1),
                           Setting(EDGE_SETTING, c.edge[i], ParamChar(c.edge[i]), format));
    items.emplace_back("period", Setting(PERIOD_SETTING, c.period, ParamChar(c.period), format));
    items.emplace_back("debounce",
                       Setting(DEBOUNCE_SETTING, c.debounce, ParamChar(c.debounce), format));
    const int32_t on = c.countingOn != 0 ? 1 : 0;
    std::string counting = Setting(ON_OFF_SETTING, on, -1, format);
    const char* state = on ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT;
    if (format == OutputFormat::Json)
        counting.insert(counting.size() - 1, "," + Field("display", state));
    else
        counting += std::string(" (") + state + ")";
    items.emplace_back("counting", counting);

    std::string text;
    if (format == OutputFormat::Json) {
        text = "{" + Field("node", Number(node), false) + "," +
               Field("pulseInputs", Number(held.inputCount), false);
        for (const auto& [name, value] : items)
            text += "," + Field(name.c_str(), value, false);
        return text + "}\n";
    }
    text = "node " + Number(node) + ":\n";
    for (const auto& [name, value] : items) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-12s %s\n", name.c_str(), value.c_str());
        text += line;
    }
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
        text =
            "{" + Field("node", Number(node), false) + "," + Field("time", time) + ",\"counts\":[";
        for (size_t i = 0; i < counts.size(); ++i)
            text += std::string(i ? "," : "") + "{" + Field("input", counts[i].label) + "," +
                    Field("index", Number(counts[i].index), false) + "," +
                    Field("count", Number(counts[i].value), false) + "}";
        return text + "]}\n";
    }
    text = "node " + Number(node) + ":";
    for (const CountShown& c : counts)
        text += "  " + c.label + " " + Number(c.value);
    return text + "\n";
}

std::string FailureText(const UnitFailure& failure) {
    return failure.reason.empty() ? failure.text : failure.text + " (" + failure.reason + ")";
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
    const std::string code =
        failure.kind == FailureKind::Malformed
            ? Field("kind", "malformed")
            : Field("kind", "link") + "," + Field("code", Number(failure.code), false);
    return "{" + Field("node", Number(node), false) + "," + Field("time", time) + ",\"error\":{" +
           code + "," + Field("text", text) + "}}\n";
}

std::string CsvHeader() {
    return "time,node,input,count,error\n";
}

std::string CountLabel(int32_t mode, int32_t index) {
    if (mode == MODE_TWO_PHASE_X2 || mode == MODE_TWO_PHASE_X4)
        return index == 0 ? "DI1+DI2" : "DI4+DI5";
    return "DI" + Number(index + 1);
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
