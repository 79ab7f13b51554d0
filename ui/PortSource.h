#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dialog/PortTable.h"

using PortSource = std::function<std::vector<SerialPortDescription>()>;

// The serial ports present now: from udev, unless a source was installed (tests list
// ports of their own).
std::vector<SerialPortDescription> PresentSerialPorts();
// Installs a source of ports; an empty one restores the system's.
void SetPortSource(PortSource source);

// Starts enumerating the system's ports on a thread of its own, so that the first
// PresentSerialPorts() (the dialog filling its list before it is first shown) finds them ready
// instead of spending its start-up on thousands of files under /sys.
void PrefetchSerialPorts();

// The directory whose entries change when a port comes or goes: empty for the system's /dev,
// which udev announces where its daemon runs; tests give a directory of their own.
std::string PortDeviceDirectory();
void SetPortDeviceDirectory(std::string directory);
