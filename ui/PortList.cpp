#include <QComboBox>
#include <cstdlib>

#include "dialog/ControlIds.h"
#include "dialog/DeviceChange.h"
#include "ui/PortSource.h"
#include "ui/PortWatcher.h"
#include "ui/VelkorDlg.h"

namespace {

constexpr char COM_MARK[] = "(COM";
constexpr char USB_MARK[] = "USB";

// Shown as "<description> (<device path>)", or the path alone when the port has no description.
std::string DisplayNameOf(const SerialPortDescription& port) {
    if (port.description.empty()) return port.path;
    return port.description + " (" + port.path + ")";
}

}  // namespace

void CVelkorDlg::RefreshPortList() {
    const int selected = Selection(IDC_PORT_COMBO);
    const std::string remembered = selected >= 0 && selected < PortCount
                                       ? PortTable[static_cast<size_t>(selected)].DevicePath
                                       : std::string();
    PortCombo->clear();
    if (!EnumeratePorts() || PortCount == 0) {
        EnableControl(IDC_PORT_COMBO, false);
        return;
    }
    for (int32_t i = 0; i < PortCount; ++i) {
        PortCombo->addItem(QString::fromStdString(PortTable[static_cast<size_t>(i)].PortName));
    }
    SetSelection(IDC_PORT_COMBO, 0);
    // The first USB port is the likely unit: it wins over the remembered selection.
    for (int32_t i = 0; i < PortCount; ++i) {
        if (PortTable[static_cast<size_t>(i)].Usb) {
            SetSelection(IDC_PORT_COMBO, i);
            return;
        }
    }
    for (int32_t i = 0; i < PortCount; ++i) {
        if (!remembered.empty() && PortTable[static_cast<size_t>(i)].DevicePath == remembered) {
            SetSelection(IDC_PORT_COMBO, i);
        }
    }
}

// Every port found is listed, up to the room of the table.
bool CVelkorDlg::EnumeratePorts() {
    PortCount = 0;
    for (const SerialPortDescription& port : PresentSerialPorts()) {
        AddPortEntry(DisplayNameOf(port), port.path, port.usb);
    }
    return true;
}

// Appends one port. A name that carries "(COM" must give a COM number after it, as
// "(COM3)" does; other names are listed by their device path alone.
void CVelkorDlg::AddPortEntry(const std::string& name, const std::string& path, bool usb) {
    if (PortCount >= MAX_PORT_ENTRIES) return;
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
    PortEntry& entry = PortTable[static_cast<size_t>(PortCount++)];
    entry.PortName = name;
    entry.ComNumber = comNumber;
    entry.DevicePath = path;
    entry.Usb = usb || name.find(USB_MARK) != std::string::npos;
}

int CVelkorDlg::OnDeviceChange(uint32_t eventType, uint32_t deviceType) {
    const bool portEvent =
        (eventType == DBT_DEVICEARRIVAL || eventType == DBT_DEVICEREMOVECOMPLETE) &&
        deviceType == DBT_DEVTYP_PORT;
    // The list stays as it is while a connection is made or held.
    if (portEvent && ConnState.load() == Disconnected) RefreshPortList();
    return 0;
}

// Port arrivals and removals reach OnDeviceChange through the dialog's DeviceChange signal. The
// watcher starts from the ports the list shows, so that it need not enumerate them again.
void CVelkorDlg::WatchPorts() {
    PortWatcher::Setup setup;
    setup.presentPorts = [] {
        std::set<std::string> paths;
        for (const SerialPortDescription& port : PresentSerialPorts())
            paths.insert(port.path);
        return paths;
    };
    for (int32_t i = 0; i < PortCount; ++i)
        setup.knownPorts.insert(PortTable[static_cast<size_t>(i)].DevicePath);
    setup.mayCompare = [this] { return ConnState.load() == Disconnected; };
    setup.deviceDirectory = PortDeviceDirectory();
    portWatcher = new PortWatcher(std::move(setup), this);
    connect(portWatcher, &PortWatcher::DeviceChange, this, &CVelkorDlg::DeviceChange);
}
