#pragma once

#include <string>
#include <vector>

// Where the present COM ports were found.
enum class PortSource {
    DeviceSetup,  // SetupDi: present devices of every class whose friendly name has "(COMn)"
    SerialMap,    // HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, where SetupDi names no COM port
};

struct PresentPort {
    std::string friendlyName;  // UTF-8, e.g. "USB Serial Port (COM3)"
    std::string portName;      // "COM3"
    bool usb = false;          // enumerated by the USB bus
};

struct PresentPorts {
    std::vector<PresentPort> ports;  // in enumeration order
    PortSource source = PortSource::DeviceSetup;
};

// The COM ports present now. Where SetupDi lists none (Wine lists no port devices), the ports of
// the serial device map, each named "Serial port (COMn)".
PresentPorts EnumeratePresentPorts();
