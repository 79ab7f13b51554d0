#include "device/ValueTables.h"

#include <gtest/gtest.h>

#include <string>

#include "device/CommandEncoding.h"

namespace {

struct DebounceCase {
    int32_t index;
    int32_t value;
    unsigned char character;  // as sent in "PU"
};

// Index 0 is "none"; from index 1 on the value is one more than the index.
const DebounceCase DEBOUNCE_CASES[] = {
    {0, 0, 0x20}, {1, 2, 0x22}, {2, 3, 0x23}, {3, 4, 0x24}, {4, 5, 0x25},
    {5, 6, 0x26}, {6, 7, 0x27}, {7, 8, 0x28}, {8, 9, 0x29}, {9, 10, 0x2A},
};

TEST(Debounce, IndexAndValueMapBothWays) {
    for (const DebounceCase& c : DEBOUNCE_CASES) {
        EXPECT_EQ(DebounceValueOfIndex(c.index), c.value) << "index " << c.index;
        EXPECT_EQ(DebounceIndexOfValue(c.value), c.index) << "value " << c.value;
        EXPECT_EQ(ParamChar(DebounceValueOfIndex(c.index)), c.character) << "index " << c.index;
    }
}

TEST(Debounce, ValueOneShowsAsNoneAndIsSentBackAsZero) {
    const int32_t index = DebounceIndexOfValue(1);
    EXPECT_EQ(index, 0);
    EXPECT_STREQ(DEBOUNCE_TEXTS[index], "なし");
    EXPECT_EQ(ParamChar(DebounceValueOfIndex(index)), 0x20);
}

TEST(Debounce, TextOfEachValueNamesItsMilliseconds) {
    // Value v filters 2v milliseconds.
    for (int32_t value = 2; value <= 10; ++value) {
        const std::string expected = std::to_string(2 * value) + "m秒";
        EXPECT_EQ(DEBOUNCE_TEXTS[DebounceIndexOfValue(value)], expected) << "value " << value;
    }
}

TEST(Debounce, ValuesAndIndexesWithoutEntryGiveMinusOne) {
    for (int32_t value : {-32, -1, 11, 12, 223}) {
        EXPECT_EQ(DebounceIndexOfValue(value), -1) << "value " << value;
    }
    for (int32_t index : {-1, 10, 100}) {
        EXPECT_EQ(DebounceValueOfIndex(index), -1) << "index " << index;
    }
}

}  // namespace
