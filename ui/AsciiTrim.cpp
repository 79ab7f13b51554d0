#include "ui/AsciiTrim.h"

#include "device/InputText.h"

std::string TrimmedAscii(const QString& text) {
    const std::string bytes = text.toStdString();
    return TrimmedAscii(std::string_view(bytes));
}
