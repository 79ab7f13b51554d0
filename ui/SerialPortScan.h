#pragma once

#include <string>
#include <vector>

#include "dialog/PortTable.h"

// The serial ports under a sysfs tty class directory, as Qt Serial Port lists them: the ports of
// a device (an 8250 port only where a UART answers), and the virtual ports of Bluetooth (rfcomm),
// null-modem pairs (tnt) and USB gadgets (ttyGS); in the order of their device paths.
std::vector<SerialPortDescription> ScanSerialPorts(
    const std::string& classDirectory = "/sys/class/tty");

// What a description and a vendor identifier are made of, from the udev properties of a port.
std::string DescriptionOfModel(const char* model);
bool IsVendorIdentifier(const char* vendorId);
// Whether a tty without a device behind it is a port all the same.
bool IsVirtualPortName(const std::string& name);
