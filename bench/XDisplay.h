#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>

#include "Process.h"

// A private X server (Xvfb) for the bench's windows, and an observer of the windows mapped on it.
class XDisplay {
public:
    // Starts Xvfb on a free display number; Started() tells whether it came up.
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool Started() const { return connection != nullptr; }
    // "DISPLAY=:N", for the processes that show windows on it.
    std::string DisplayVariable() const { return "DISPLAY=" + name; }

    struct Shown {
        double mappedMs;   // the top-level window was mapped
        double paintedMs;  // its first frame reached the screen
        int width;
        int height;
        xcb_window_t window;
    };
    // Waits for the next top-level window to be mapped and painted, timing both from `startNs`
    // (a steady_clock time in nanoseconds). Nothing within `timeoutMs`: nullopt.
    std::optional<Shown> WaitForWindow(long long startNs, int timeoutMs);
    // Drops notifications of windows that came and went before the next measurement.
    void Drain();

private:
    std::optional<xcb_window_t> NextMappedWindow(long long deadlineNs);
    bool Painted(xcb_window_t window);

    std::unique_ptr<Process> server;
    std::string name;
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
};

long long SteadyNanoseconds();
