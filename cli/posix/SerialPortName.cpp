#include "cli/SerialPortName.h"

void NameSerialPort(LinkSession& session, const std::string& name) {
    session.portPath = name;
}
