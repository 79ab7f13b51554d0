#pragma once

#include <array>
#include <cstdint>

// Texts of the settings values, in the order of their combo boxes.

// Edge: entry index = edge value.
inline constexpr std::array<const char*, 3> EDGE_TEXTS = {"無効", "立ち上がり", "立ち下がり"};

// Counting period: entry index = period value; 0 counts between start and stop.
inline constexpr std::array<const char*, 5> PERIOD_TEXTS = {"START-STOP", "1秒", "10秒", "1分",
                                                            "10分"};

// Debounce: entry index is not the value (index 0 = value 0, index i = value i + 1).
inline constexpr std::array<const char*, 10> DEBOUNCE_TEXTS = {
    "なし", "4m秒", "6m秒", "8m秒", "10m秒", "12m秒", "14m秒", "16m秒", "18m秒", "20m秒"};

// Debounce value sent for a combo index; -1 for an index outside the table (no selection).
int32_t DebounceValueOfIndex(int32_t index);

// Combo index shown for a debounce value; value 1 has no text of its own and shows as "なし".
// -1 for a value without an entry (below 0 or above 10), which a unit may report.
int32_t DebounceIndexOfValue(int32_t value);
