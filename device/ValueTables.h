#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Texts of the settings values, in the order of their combo boxes.

// Counting mode and the on/off settings (clear signal, counting) as velkorctl and the frame trace
// name them: entry index = value.
inline constexpr std::array<const char*, 4> MODE_WORDS = {"off", "single", "x2", "x4"};
inline constexpr std::array<const char*, 2> ON_OFF_WORDS = {"off", "on"};

// Edge: entry index = edge value.
inline constexpr std::array<const char*, 3> EDGE_TEXTS = {"無効", "立ち上がり", "立ち下がり"};

// Counting period: entry index = period value; 0 counts between start and stop.
inline constexpr std::array<const char*, 5> PERIOD_TEXTS = {"START-STOP", "1秒", "10秒", "1分",
                                                            "10分"};

// Debounce: entry index is not the value (index 0 = value 0, index i = value i + 1).
inline constexpr std::array<const char*, 10> DEBOUNCE_TEXTS = {
    "なし", "4m秒", "6m秒", "8m秒", "10m秒", "12m秒", "14m秒", "16m秒", "18m秒", "20m秒"};

// A table's text for a value, or "?" for a value the table has no entry for (a unit may report
// any value).
template <size_t N>
const char* WordOf(const std::array<const char*, N>& words, int32_t value) {
    return value >= 0 && static_cast<size_t>(value) < N ? words[value] : "?";
}

// Text of a debounce value as it is shown for it, or "?".
const char* DebounceText(int32_t value);

// Debounce value sent for a combo index; -1 for an index outside the table (no selection).
int32_t DebounceValueOfIndex(int32_t index);

// Combo index shown for a debounce value; value 1 has no text of its own and shows as "なし".
// -1 for a value without an entry (below 0 or above 10), which a unit may report.
int32_t DebounceIndexOfValue(int32_t value);
