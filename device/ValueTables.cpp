#include "device/ValueTables.h"

namespace {
constexpr int32_t DEBOUNCE_ENTRIES = static_cast<int32_t>(DEBOUNCE_TEXTS.size());
constexpr int32_t MAX_DEBOUNCE_VALUE = 10;  // "20m秒", the last entry
}  // namespace

int32_t DebounceValueOfIndex(int32_t index) {
    if (index < 0 || index >= DEBOUNCE_ENTRIES) return -1;
    return index == 0 ? 0 : index + 1;
}

int32_t DebounceIndexOfValue(int32_t value) {
    if (value < 0 || value > MAX_DEBOUNCE_VALUE) return -1;
    return value >= 1 ? value - 1 : 0;
}

const char* DebounceText(int32_t value) {
    const int32_t entry = DebounceIndexOfValue(value);
    return entry < 0 ? "?" : DEBOUNCE_TEXTS[static_cast<size_t>(entry)];
}
