#include "cli/SettingsFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "cli/JsonReader.h"
#include "cli/SettingWords.h"
#include "device/CommandEncoding.h"

namespace {

// A parameter character that can travel in a frame: from the base up, never the end byte.
bool Travels(int64_t code) {
    return code >= PARAM_BASE && code <= 0xFF && code != 0xC8;
}

// One setting of the file: its value (from its word or its number, which must agree, else from
// its raw code) and its raw code where it has a travelling one.
struct Entry {
    int32_t value = 0;
    std::optional<unsigned char> raw;
};

std::optional<Entry> ReadEntry(const JsonValue& unit, const std::string& key,
                               const SettingKind& kind, int32_t (*decode)(unsigned char),
                               std::string& error) {
    const JsonValue* item = unit.Find(key);
    if (!item || item->type != JsonValue::Type::Object) {
        error = key + ": missing";
        return std::nullopt;
    }
    Entry entry;
    if (const JsonValue* raw = item->Find("raw"); raw && raw->type != JsonValue::Type::Null) {
        if (!raw->integer || !Travels(*raw->integer)) {
            error = key + ": raw code is not a parameter character (32-255, not 200)";
            return std::nullopt;
        }
        entry.raw = static_cast<unsigned char>(*raw->integer);
    }
    std::optional<int32_t> value;
    if (const JsonValue* word = item->Find("word"); word && word->type == JsonValue::Type::String) {
        value = kind.parse(word->text);
        if (!value) {
            error = key + ": unknown word '" + word->text + "'";
            return std::nullopt;
        }
    }
    if (const JsonValue* number = item->Find("value");
        number && number->type != JsonValue::Type::Null) {
        if (!number->integer || *number->integer < INT32_MIN || *number->integer > INT32_MAX) {
            error = key + ": value is not a whole number";
            return std::nullopt;
        }
        if (value && *value != *number->integer) {
            error = key + ": word and value disagree";
            return std::nullopt;
        }
        value = static_cast<int32_t>(*number->integer);
    }
    if (!value && !entry.raw) {
        error = key + ": no word, value or raw code";
        return std::nullopt;
    }
    entry.value = value ? *value : decode(*entry.raw);
    return entry;
}

int32_t ParamOf(unsigned char code) {
    return int32_t{code} - PARAM_BASE;
}
int32_t ModeOf(unsigned char flags) {
    int32_t mode = 0, clear = 0;
    DecodeFlags(flags, mode, clear);
    return mode;
}
int32_t ClearOf(unsigned char flags) {
    int32_t mode = 0, clear = 0;
    DecodeFlags(flags, mode, clear);
    return clear;
}

// The character written for a parameter setting: its raw code while that still means its value,
// else the value's own character, which only values of the list have.
std::optional<unsigned char> ParamCharacter(const Entry& entry, const SettingKind& kind,
                                            const std::string& key, std::string& error) {
    if (entry.raw && ParamOf(*entry.raw) == entry.value) return entry.raw;
    if (kind.word(entry.value).empty()) {
        error = key + ": value " + std::to_string(entry.value) + " is not one of the list";
        return std::nullopt;
    }
    return ParamChar(entry.value);
}

std::optional<UnitSettingsFile> ReadUnit(const JsonValue& unit, std::string& error) {
    if (unit.type != JsonValue::Type::Object) {
        error = "not a unit's settings (a JSON object)";
        return std::nullopt;
    }
    UnitSettingsFile file;
    const auto mode = ReadEntry(unit, "mode", MODE_SETTING, ModeOf, error);
    if (!mode) return std::nullopt;
    // The clear signal travels in the mode's flags byte; its own raw code is only shown.
    const auto clear = ReadEntry(unit, "clearSignal", ON_OFF_SETTING, ClearOf, error);
    if (!clear) return std::nullopt;
    file.settings.mode = mode->value;
    file.settings.clearSignal = clear->value;
    if (mode->raw && ModeOf(*mode->raw) == mode->value && ClearOf(*mode->raw) == clear->value) {
        file.modeCharacter = *mode->raw;
    } else if (MODE_SETTING.word(mode->value).empty() ||
               ON_OFF_SETTING.word(clear->value).empty()) {
        error = "mode: value outside the list";
        return std::nullopt;
    } else {
        file.modeCharacter = ModeCharacter(mode->value, clear->value);
    }
    for (int32_t i = 0; i < MAX_INPUTS; ++i) {
        const std::string key = "DI" + std::to_string(i + 1);
        if (!unit.Find(key)) continue;
        if (i != file.inputs) {
            error = key + ": named without DI" + std::to_string(file.inputs + 1);
            return std::nullopt;
        }
        const auto edge = ReadEntry(unit, key, EDGE_SETTING, ParamOf, error);
        if (!edge) return std::nullopt;
        const auto character = ParamCharacter(*edge, EDGE_SETTING, key, error);
        if (!character) return std::nullopt;
        file.settings.edge[i] = edge->value;
        file.edgeCharacters[i] = *character;
        file.inputs = i + 1;
    }
    const auto period = ReadEntry(unit, "period", PERIOD_SETTING, ParamOf, error);
    if (!period) return std::nullopt;
    const auto periodCharacter = ParamCharacter(*period, PERIOD_SETTING, "period", error);
    if (!periodCharacter) return std::nullopt;
    const auto debounce = ReadEntry(unit, "debounce", DEBOUNCE_SETTING, ParamOf, error);
    if (!debounce) return std::nullopt;
    const auto debounceCharacter = ParamCharacter(*debounce, DEBOUNCE_SETTING, "debounce", error);
    if (!debounceCharacter) return std::nullopt;
    file.settings.period = period->value;
    file.settings.debounce = debounce->value;
    file.periodCharacter = *periodCharacter;
    file.debounceCharacter = *debounceCharacter;
    return file;
}

}  // namespace

std::optional<UnitSettingsFile> ParseSettingsFile(std::string_view text, std::string& error) {
    size_t at = 0;
    const auto unit = ReadJsonValue(text, at, error);
    if (!unit) return std::nullopt;
    SkipJsonBlanks(text, at);
    if (at < text.size()) {
        error = text[at] == '{' ? "the file holds more than one unit; keep the line of one"
                                : "unexpected text after the unit's settings";
        return std::nullopt;
    }
    return ReadUnit(*unit, error);
}

std::optional<UnitSettingsFile> LoadSettingsFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto file = ParseSettingsFile(text.str(), error);
    if (!file) error = path + ": " + error;
    return file;
}
