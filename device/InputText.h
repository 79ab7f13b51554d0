#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What an operator typed, as every front end reads it: without leading and trailing ASCII white
// space (space, tab, line feed, vertical tab, form feed, carriage return); other characters,
// full-width blanks among them, stay.
std::string TrimmedAscii(std::string_view text);

// A whole decimal number within [low, high], the whole text and nothing else; nothing otherwise.
std::optional<int32_t> DecimalInRange(const std::string& text, int32_t low, int32_t high);
