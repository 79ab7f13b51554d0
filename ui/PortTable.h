#pragma once

#include <cstdint>
#include <string>

// Room of the table of serial ports behind PortCombo.
constexpr int32_t MAX_PORT_ENTRIES = 256;

// One serial port as the port list shows it.
struct PortEntry {
    std::string PortName;    // the name shown in PortCombo
    int32_t ComNumber = 0;   // number after "(COM" in the name
    std::string DevicePath;  // device node that opens the port, e.g. /dev/ttyUSB0
};
