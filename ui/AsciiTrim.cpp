#include "ui/AsciiTrim.h"

std::string TrimmedAscii(const QString& text) {
    const std::string bytes = text.toStdString();
    constexpr const char* ASCII_BLANKS = " \t\n\v\f\r";
    const size_t first = bytes.find_first_not_of(ASCII_BLANKS);
    if (first == std::string::npos) return {};
    const size_t last = bytes.find_last_not_of(ASCII_BLANKS);
    return bytes.substr(first, last - first + 1);
}
