#include "cli/SerialPortName.h"

void NameSerialPort(LinkRoute& route, const std::string& name) {
    route.portPath = name;
}
