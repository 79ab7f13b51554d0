#include <charconv>

#include "cli/SerialPortName.h"

namespace {

// n of "COMn" (any case), 1 to 255; 0 for any other name.
int ComNumberOf(const std::string& name) {
    if (name.size() < 4) return 0;
    for (size_t i = 0; i < 3; ++i)
        if ((name[i] & ~0x20) != "COM"[i]) return 0;
    int number = 0;
    const char* end = name.data() + name.size();
    const auto [rest, error] = std::from_chars(name.data() + 3, end, number);
    if (error != std::errc() || rest != end || number < 1 || number > 255) return 0;
    return number;
}

}  // namespace

// "COM7" is port 7, opened as "\\.\COM7"; any other name ("\\.\COM7" itself, say) is opened as
// given.
void NameSerialPort(LinkRoute& route, const std::string& name) {
    const int number = ComNumberOf(name);
    route.comPort = number;
    route.portPath = number == 0 ? name : std::string();
}
