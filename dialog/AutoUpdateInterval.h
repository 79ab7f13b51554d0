#pragma once

#include <cstdint>
#include <string>

// The auto-update interval as the operator typed it: the seconds it runs with, or the message that
// refuses it (and no seconds).
struct AutoUpdateInterval {
    int32_t seconds = 0;
    std::string refusal;
};

AutoUpdateInterval IntervalOfText(const std::string& typed);
