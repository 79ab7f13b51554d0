#include "dialog/AutoUpdateInterval.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "device/InputText.h"
#include "device/OperatorTexts.h"

namespace {

// The interval as its leading decimal number (optional sign, then digits; a text without them
// reads as 0). A number beyond 32 bits is held at the nearest limit, so that it can never wrap
// into the accepted range.
int32_t IntervalSeconds(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

std::string RangeMessage() {
    char text[128];
    std::snprintf(text, sizeof text, INTERVAL_RANGE_FORMAT, AUTO_UPDATE_MAX_SECONDS);
    return text;
}

}  // namespace

AutoUpdateInterval IntervalOfText(const std::string& typed) {
    // Trimmed of ASCII white space, as every other field the operator types.
    const std::string interval = TrimmedAscii(typed);
    if (interval.empty()) return {0, INTERVAL_EMPTY_MESSAGE};
    const int32_t seconds = IntervalSeconds(interval);
    if (seconds >= 1 && seconds <= AUTO_UPDATE_MAX_SECONDS) return {seconds, {}};
    return {0, RangeMessage()};
}
