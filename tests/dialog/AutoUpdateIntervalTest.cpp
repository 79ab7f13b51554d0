// The auto-update interval as typed: the seconds it runs with, or the message that refuses it.
#include <gtest/gtest.h>

#include "../support/Texts.h"
#include "dialog/AutoUpdateInterval.h"

namespace {

TEST(AutoUpdateInterval, IsTheLeadingNumberWithinTheRangeOrItsRefusal) {
    const struct {
        const char* typed;
        int32_t seconds;  // 0: refused
        const std::string& refusal;
    } rows[] = {
        {" 15 ", 15, ""},
        {"3600", 3600, ""},
        {"1", 1, ""},
        {"12abc", 12, ""},
        {"+20", 20, ""},
        {"", 0, texts::INTERVAL_EMPTY},
        {"   ", 0, texts::INTERVAL_EMPTY},
        {"0", 0, texts::INTERVAL_RANGE},
        {"3601", 0, texts::INTERVAL_RANGE},
        {"abc", 0, texts::INTERVAL_RANGE},
        {"-5", 0, texts::INTERVAL_RANGE},
        // Beyond 32 bits: never wraps into the range.
        {"4294967311", 0, texts::INTERVAL_RANGE},
        {"99999999999999999999999", 0, texts::INTERVAL_RANGE},
    };
    for (const auto& row : rows) {
        const AutoUpdateInterval interval = IntervalOfText(row.typed);
        EXPECT_EQ(interval.seconds, row.seconds) << "'" << row.typed << "'";
        EXPECT_EQ(interval.refusal, row.refusal) << "'" << row.typed << "'";
    }
}

}  // namespace
