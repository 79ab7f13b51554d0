#include "ui/PortWatcher.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "ui/DeviceChange.h"
#include "ui/UiTiming.h"

namespace {

// Present only where a udev daemon runs and so sends device events.
constexpr char UDEV_CONTROL_SOCKET[] = "/run/udev/control";

}  // namespace

PortWatcher::PortWatcher(PortPaths presentPorts, std::function<bool()> shouldPoll, QObject* parent)
    : QObject(parent), presentPorts(std::move(presentPorts)), shouldPoll(std::move(shouldPoll)) {
    if (StartUdevMonitor()) return;
    knownPorts = this->presentPorts();
    connect(&pollTimer, &QTimer::timeout, this, &PortWatcher::ComparePorts);
    pollTimer.start(TheUiTiming().portPollMs.load());
}

PortWatcher::~PortWatcher() {
    delete notifier;
    if (monitor != nullptr) udev_monitor_unref(monitor);
    if (context != nullptr) udev_unref(context);
}

bool PortWatcher::StartUdevMonitor() {
    std::error_code ignored;
    if (!std::filesystem::exists(UDEV_CONTROL_SOCKET, ignored)) return false;
    context = udev_new();
    if (context == nullptr) return false;
    monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor != nullptr) udev_monitor_unref(monitor);
        monitor = nullptr;
        return false;
    }
    notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read);
    connect(notifier, &QSocketNotifier::activated, this, &PortWatcher::TakeUdevEvent);
    return true;
}

void PortWatcher::TakeUdevEvent() {
    udev_device* device = udev_monitor_receive_device(monitor);
    if (device == nullptr) return;
    const char* action = udev_device_get_action(device);
    if (action != nullptr && std::strcmp(action, "add") == 0) {
        emit DeviceChange(DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT);
    } else if (action != nullptr && std::strcmp(action, "remove") == 0) {
        emit DeviceChange(DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_PORT);
    }
    udev_device_unref(device);
}

// Compares only while allowed (the dialog is disconnected); a change that happened meanwhile shows
// at the first comparison after.
void PortWatcher::ComparePorts() {
    if (shouldPoll && !shouldPoll()) return;
    std::set<std::string> present = presentPorts();
    if (present == knownPorts) return;
    const bool arrived =
        !std::includes(knownPorts.begin(), knownPorts.end(), present.begin(), present.end());
    knownPorts = std::move(present);
    emit DeviceChange(arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_PORT);
}
