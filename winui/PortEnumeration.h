#pragma once

#include <string>
#include <vector>

// Where the present COM ports were found.
enum class PortSource {
    DeviceSetup,  // SetupDi: the friendly names of present devices of every class
    SerialComm,   // HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, when SetupDi names no COM port
};

struct PresentPorts {
    std::vector<std::string> names;  // UTF-8, in enumeration order
    PortSource source = PortSource::DeviceSetup;
};

// The friendly names of the present devices that carry "(COM" in their name, as SetupDi lists
// them. Where it lists none (Wine, which shows no port devices), the ports of the serial device
// map instead, each named "Serial port (COMn)".
PresentPorts EnumeratePresentPorts();
