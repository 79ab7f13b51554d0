#pragma once

#include <string>

#include "link/LinkSession.h"

// Points the route at the serial port the operator named: a device path on Linux, "COMn" (the
// port number n) or a device name on Windows. One file per system: SerialPortName{Posix,Win32}.cpp.
void NameSerialPort(LinkRoute& route, const std::string& name);
