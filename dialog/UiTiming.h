#pragma once

#include <atomic>
#include <cstdint>

// The dialog's waiting times. The program keeps these values; tests may shorten them here.
struct UiTiming {
    // Length of one second of the auto-update interval.
    std::atomic<int32_t> millisecondsPerSecond{1000};
    // Period of the port comparison where no hot-plug notifications arrive.
    std::atomic<int32_t> portPollMs{2000};
};

UiTiming& TheUiTiming();
