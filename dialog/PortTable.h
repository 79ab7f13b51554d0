#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Room of the table of serial ports behind PortCombo.
constexpr int32_t MAX_PORT_ENTRIES = 256;

// ComNumber of a port whose name carries no "(COM" number.
constexpr int32_t NO_COM_NUMBER = -1;

// One serial port of the machine as the system describes it.
struct SerialPortDescription {
    std::string description;  // e.g. "USB-Serial Controller"; Windows: the friendly name
    std::string path;         // device node (/dev/ttyUSB0) or port name (COM3)
    bool usb = false;         // has a USB vendor identifier
};

// One serial port as the port list shows it.
struct PortEntry {
    std::string PortName;    // the name shown in PortCombo
    int32_t ComNumber = 0;   // number after "(COM" in the name
    std::string DevicePath;  // what opens the port, e.g. /dev/ttyUSB0
    bool Usb = false;        // a USB port: preferred when the list is filled
};

// The rules of the port list: which ports are listed, under which name, and which is selected.
class PortTable {
public:
    // Rebuilds the table from the ports present, keeping the selection of `rememberedPath` unless
    // a USB port is present (the first of them wins); -1 when no port is listed.
    int32_t Refill(const std::vector<SerialPortDescription>& present,
                   const std::string& rememberedPath);
    // Appends one port unless the table is full or its name carries "(COM" without a number.
    void AddPortEntry(const std::string& name, const std::string& path, bool usb);
    // The names in table order, as PortCombo lists them.
    std::vector<std::string> Names() const;
    const std::vector<PortEntry>& Entries() const { return entries; }
    // The entry of a selection; nullptr for none.
    const PortEntry* At(int32_t index) const;

private:
    std::vector<PortEntry> entries;
};
