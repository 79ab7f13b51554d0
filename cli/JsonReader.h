#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A JSON value as read from a file a person may have edited: the little that velkorctl's own
// output holds, read strictly. Numbers keep only their integer value (none for fractions,
// exponents or magnitudes beyond 64 bits).
struct JsonValue {
    enum class Type { Null, Boolean, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    std::optional<int64_t> integer;
    std::string text;
    std::vector<JsonValue> items;
    // An object's members: names and values in the same order (a vector of pairs would need
    // the value's type complete).
    std::vector<std::string> names;
    std::vector<JsonValue> values;

    // The member named `key` of an object (the last one of that name); nullptr when there is none.
    const JsonValue* Find(std::string_view key) const;
};

// Reads one value starting at `at` (blanks before it skipped) and moves `at` behind it; nothing,
// with the reason in `error`, for text that is not JSON.
std::optional<JsonValue> ReadJsonValue(std::string_view text, size_t& at, std::string& error);

// Moves `at` over blanks (space, tab, line feed, carriage return).
void SkipJsonBlanks(std::string_view text, size_t& at);
