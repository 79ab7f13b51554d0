#pragma once

#include <cstdint>
#include <string>

// Room of the table of serial ports behind PortCombo.
constexpr int32_t MAX_PORT_ENTRIES = 256;

// ComNumber of a port whose name carries no "(COM" number.
constexpr int32_t NO_COM_NUMBER = -1;

// One serial port as the port list shows it.
struct PortEntry {
    std::string PortName;    // the name shown in PortCombo
    int32_t ComNumber = 0;   // number after "(COM" in the name
    std::string DevicePath;  // device node that opens the port, e.g. /dev/ttyUSB0
    bool Usb = false;        // a USB port: preferred when the list is filled
};
