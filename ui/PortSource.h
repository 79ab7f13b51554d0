#pragma once

#include <functional>
#include <string>
#include <vector>

// One serial port of the machine as the system describes it.
struct SerialPortDescription {
    std::string description;  // e.g. "USB-Serial Controller"
    std::string path;         // device node, e.g. /dev/ttyUSB0
    bool usb = false;         // has a USB vendor identifier
};

using PortSource = std::function<std::vector<SerialPortDescription>()>;

// The serial ports present now: from Qt Serial Port, unless a source was installed (tests list
// ports of their own).
std::vector<SerialPortDescription> PresentSerialPorts();
// Installs a source of ports; an empty one restores the system's.
void SetPortSource(PortSource source);
