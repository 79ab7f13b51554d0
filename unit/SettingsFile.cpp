#include "unit/SettingsFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

#include "device/CommandEncoding.h"
#include "unit/SettingWords.h"

namespace {

using InputJson = nlohmann::json;

// A unit's settings are two levels deep: nesting far deeper is no settings file, and is refused
// where it starts rather than built.
constexpr int MAX_DEPTH = 16;

// Hands the parser the text byte by byte and keeps count of what it has taken, so that a refusal
// made while it parses can say where in the text it was.
class CountingReader {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingReader(const char* at, const char** taken) : at_(at), taken_(taken) {}
    reference operator*() const { return *at_; }
    CountingReader& operator++() {
        *taken_ = ++at_;
        return *this;
    }
    bool operator==(const CountingReader& other) const { return at_ == other.at_; }

private:
    const char* at_;
    const char** taken_;
};

// The member named `key` of an object; nullptr when there is none, or no object.
const InputJson* Member(const InputJson& object, const std::string& key) {
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// The value of a whole number that fits in 64 bits; nothing for fractions, exponents, larger
// magnitudes and other types.
std::optional<int64_t> WholeNumber(const InputJson& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<int64_t>(number);
    }
    if (value.is_number_integer()) return value.get<int64_t>();
    return std::nullopt;
}

// The parser's own words for text it refuses, without the library's number of the error: a
// syntax error names its line and column, others (a number beyond a double's range) the offset
// the parser had reached.
std::string ParserError(const InputJson::exception& failure, size_t offset) {
    const std::string what = failure.what();
    const size_t words = what.find("] ");
    const std::string text = words == std::string::npos ? what : what.substr(words + 2);
    if (dynamic_cast<const InputJson::parse_error*>(&failure)) return text;
    return text + " at offset " + std::to_string(offset);
}

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

std::optional<Entry> ReadEntry(const InputJson& unit, const std::string& key,
                               const SettingKind& kind, int32_t (*decode)(unsigned char),
                               std::string& error) {
    const InputJson* item = Member(unit, key);
    if (!item || !item->is_object()) {
        error = key + ": missing";
        return std::nullopt;
    }
    Entry entry;
    if (const InputJson* raw = Member(*item, "raw"); raw && !raw->is_null()) {
        const auto code = WholeNumber(*raw);
        if (!code || !Travels(*code)) {
            error = key + ": raw code is not a parameter character (32-255, not 200)";
            return std::nullopt;
        }
        entry.raw = static_cast<unsigned char>(*code);
    }
    std::optional<int32_t> value;
    if (const InputJson* word = Member(*item, "word"); word && word->is_string()) {
        const std::string& text = word->get_ref<const std::string&>();
        value = kind.parse(text);
        if (!value) {
            error = key + ": unknown word '" + text + "'";
            return std::nullopt;
        }
    }
    if (const InputJson* number = Member(*item, "value"); number && !number->is_null()) {
        const auto whole = WholeNumber(*number);
        if (!whole || *whole < INT32_MIN || *whole > INT32_MAX) {
            error = key + ": value is not a whole number";
            return std::nullopt;
        }
        if (value && *value != *whole) {
            error = key + ": word and value disagree";
            return std::nullopt;
        }
        value = static_cast<int32_t>(*whole);
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

}  // namespace

std::optional<UnitSettingsFile> UnitSettingsOfJson(const nlohmann::json& unit, std::string& error) {
    if (!unit.is_object()) {
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
        if (!Member(unit, key)) continue;
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

std::optional<nlohmann::json> ParseOneJsonValue(std::string_view text, JsonTextFault& fault,
                                                std::string& error) {
    const char* taken = text.data();
    const auto offset = [&] { return static_cast<size_t>(taken - text.data()); };
    std::optional<size_t> tooDeep;   // where the first value nested too deep starts
    std::optional<size_t> valueEnd;  // where the outermost value ends
    const InputJson::parser_callback_t watch = [&](int depth, InputJson::parse_event_t event,
                                                   InputJson&) {
        using Event = InputJson::parse_event_t;
        const bool opens = event == Event::object_start || event == Event::array_start;
        if (depth > MAX_DEPTH && event != Event::key && !tooDeep)
            // An opening bracket is the last byte taken; a scalar ends at or just before it.
            tooDeep = opens ? offset() - 1 : offset();
        if (depth == 0 && !opens && event != Event::key) valueEnd = offset();
        // Nothing more is built once the text is refused.
        return !tooDeep;
    };
    fault = JsonTextFault::Invalid;
    InputJson value;
    try {
        value = InputJson::parse(CountingReader(text.data(), &taken),
                                 CountingReader(text.data() + text.size(), &taken), watch);
    } catch (const InputJson::exception& failure) {
        if (!tooDeep) {
            // After a complete value, the parser fails on whatever follows it.
            const size_t next =
                valueEnd ? text.find_first_not_of(" \t\n\r", *valueEnd) : std::string_view::npos;
            if (!valueEnd)
                error = ParserError(failure, offset());
            else
                fault = next != std::string_view::npos && text[next] == '{'
                            ? JsonTextFault::AnotherObject
                            : JsonTextFault::TextAfter;
            return std::nullopt;
        }
    }
    if (tooDeep) {
        error = "nesting too deep at offset " + std::to_string(*tooDeep);
        return std::nullopt;
    }
    fault = JsonTextFault::None;
    return value;
}

std::optional<UnitSettingsFile> ParseSettingsFile(std::string_view text, std::string& error) {
    JsonTextFault fault = JsonTextFault::None;
    const auto unit = ParseOneJsonValue(text, fault, error);
    if (fault == JsonTextFault::AnotherObject)
        error = "the file holds more than one unit; keep the line of one";
    if (fault == JsonTextFault::TextAfter) error = "unexpected text after the unit's settings";
    if (!unit) return std::nullopt;
    return UnitSettingsOfJson(*unit, error);
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
