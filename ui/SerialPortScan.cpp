#include "ui/SerialPortScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <libudev.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

struct UdevDeleter {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevContext = std::unique_ptr<udev, UdevDeleter>;
using UdevDevice = std::unique_ptr<udev_device, UdevDeleter>;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// An 8250 driver registers every port it might have; only a port whose UART was found has a type.
bool IsAnsweringSerial8250(const char* deviceNode) {
    const int fd = open(deviceNode, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool answers = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return answers;
}

// Asking udev about every tty (some seventy virtual consoles and pseudo-terminals among them)
// costs it thousands of file opens; only the names with a device behind them, and the few
// virtual ports, are worth a question.
std::vector<std::string> CandidateNames(const std::string& classDirectory) {
    std::vector<std::string> names;
    DIR* directory = opendir(classDirectory.c_str());
    if (directory == nullptr) return names;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string deviceLink = classDirectory + "/" + name + "/device";
        if (IsVirtualPortName(name) || access(deviceLink.c_str(), F_OK) == 0) names.push_back(name);
    }
    closedir(directory);
    return names;
}

// The port of one tty, or nothing when it is not one.
bool DescribePort(udev_device* device, SerialPortDescription& port) {
    const char* node = udev_device_get_devnode(device);
    if (node == nullptr) return false;
    port.path = node;
    udev_device* parent = udev_device_get_parent(device);  // owned by the device
    // The candidates without a device behind them are the virtual ports.
    if (parent == nullptr) return true;
    const char* driver = udev_device_get_driver(parent);
    if (driver != nullptr && std::strcmp(driver, "serial8250") == 0 && !IsAnsweringSerial8250(node))
        return false;
    port.description = DescriptionOfModel(udev_device_get_property_value(device, "ID_MODEL"));
    port.usb = IsVendorIdentifier(udev_device_get_property_value(device, "ID_VENDOR_ID"));
    return true;
}

}  // namespace

std::string DescriptionOfModel(const char* model) {
    std::string description = model != nullptr ? model : "";
    std::replace(description.begin(), description.end(), '_', ' ');
    return description;
}

bool IsVendorIdentifier(const char* vendorId) {
    if (vendorId == nullptr || *vendorId == '\0') return false;
    char* end = nullptr;
    const long value = std::strtol(vendorId, &end, 16);
    return *end == '\0' && value >= 0 && value <= 0x7fffffff;
}

bool IsVirtualPortName(const std::string& name) {
    return StartsWith(name, "rfcomm") || StartsWith(name, "tnt") || StartsWith(name, "ttyGS");
}

std::vector<SerialPortDescription> ScanSerialPorts(const std::string& classDirectory) {
    std::vector<std::pair<std::string, SerialPortDescription>> found;  // by device path
    const UdevContext context(udev_new());
    if (!context) return {};
    for (const std::string& name : CandidateNames(classDirectory)) {
        const UdevDevice device(
            udev_device_new_from_syspath(context.get(), (classDirectory + "/" + name).c_str()));
        SerialPortDescription port;
        if (device && DescribePort(device.get(), port))
            found.emplace_back(udev_device_get_syspath(device.get()), std::move(port));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<SerialPortDescription> ports;
    for (auto& entry : found)
        ports.push_back(std::move(entry.second));
    return ports;
}
