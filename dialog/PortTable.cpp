#include "dialog/PortTable.h"

#include <cstdlib>

namespace {

constexpr char COM_MARK[] = "(COM";
constexpr char USB_MARK[] = "USB";

// Shown as "<description> (<device path>)", or the path alone when the port has no description.
// A Windows friendly name already ends in its port, "(COMn)": it is not named twice.
std::string DisplayNameOf(const SerialPortDescription& port) {
    if (port.description.empty()) return port.path;
    const std::string named = " (" + port.path + ")";
    if (port.description.size() >= named.size() &&
        port.description.compare(port.description.size() - named.size(), named.size(), named) == 0)
        return port.description;
    return port.description + " (" + port.path + ")";
}

}  // namespace

int32_t PortTable::Refill(const std::vector<SerialPortDescription>& present,
                          const std::string& rememberedPath) {
    entries.clear();
    for (const SerialPortDescription& port : present)
        AddPortEntry(DisplayNameOf(port), port.path, port.usb);
    if (entries.empty()) return -1;
    // The first USB port is the likely unit: it wins over the remembered selection.
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].Usb) return static_cast<int32_t>(i);
    }
    int32_t selected = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!rememberedPath.empty() && entries[i].DevicePath == rememberedPath) {
            selected = static_cast<int32_t>(i);
        }
    }
    return selected;
}

// A name that carries "(COM" must give a COM number after it, as "(COM3)" does; other names are
// listed by their device path alone.
void PortTable::AddPortEntry(const std::string& name, const std::string& path, bool usb) {
    if (entries.size() >= static_cast<size_t>(MAX_PORT_ENTRIES)) return;
    int32_t comNumber = NO_COM_NUMBER;
    const size_t mark = name.find(COM_MARK);
    if (mark != std::string::npos) {
        const size_t start = mark + sizeof COM_MARK - 1;
        const size_t end = name.find(')', start);
        if (end == std::string::npos) return;
        const std::string digits = name.substr(start, end - start);
        if (!digits.empty() && (digits[0] < '0' || digits[0] > '9')) return;
        comNumber = static_cast<int32_t>(std::strtol(digits.c_str(), nullptr, 10));
    }
    entries.push_back({name, comNumber, path, usb || name.find(USB_MARK) != std::string::npos});
}

std::vector<std::string> PortTable::Names() const {
    std::vector<std::string> names;
    for (const PortEntry& entry : entries)
        names.push_back(entry.PortName);
    return names;
}

const PortEntry* PortTable::At(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= entries.size()) return nullptr;
    return &entries[static_cast<size_t>(index)];
}
