#include "device/InputText.h"

#include <charconv>

std::string TrimmedAscii(std::string_view text) {
    constexpr std::string_view ASCII_BLANKS = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(ASCII_BLANKS);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(ASCII_BLANKS);
    return std::string(text.substr(first, last - first + 1));
}

std::optional<int32_t> DecimalInRange(const std::string& text, int32_t low, int32_t high) {
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end || value < low || value > high)
        return std::nullopt;
    return value;
}
