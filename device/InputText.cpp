#include "device/InputText.h"

std::string TrimmedAscii(std::string_view text) {
    constexpr std::string_view ASCII_BLANKS = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(ASCII_BLANKS);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(ASCII_BLANKS);
    return std::string(text.substr(first, last - first + 1));
}
