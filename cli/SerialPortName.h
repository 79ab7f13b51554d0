#pragma once

#include <string>

#include "link/LinkSession.h"

// Points the session at the serial port the operator named: a device path on Linux, "COMn" (the
// port number n) or a device name on Windows. One file per system: SerialPortName{Posix,Win32}.cpp.
void NameSerialPort(LinkSession& session, const std::string& name);
