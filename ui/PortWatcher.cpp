#include "ui/PortWatcher.h"

#include <dirent.h>
#include <libudev.h>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "dialog/DeviceChange.h"
#include "dialog/UiTiming.h"

namespace {

// Present only where a udev daemon runs and so sends device events.
constexpr char UDEV_CONTROL_SOCKET[] = "/run/udev/control";
constexpr char SYSTEM_DEVICE_DIRECTORY[] = "/dev";
// A driver makes a port's device node, then sometimes a few more names: one look after them.
constexpr int NAMES_SETTLE_MS = 100;

// The entry names of a directory, without looking at any of the entries.
std::set<std::string> DeviceNames(const std::string& directory) {
    std::set<std::string> names;
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) return names;
    while (const dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.insert(entry->d_name);
    }
    closedir(listing);
    return names;
}

}  // namespace

PortWatcher::PortWatcher(Setup setup, QObject* parent)
    : QObject(parent),
      presentPorts(std::move(setup.presentPorts)),
      mayCompare(std::move(setup.mayCompare)),
      deviceDirectory(std::move(setup.deviceDirectory)),
      knownPorts(std::move(setup.knownPorts)) {
    connect(&heldEventTimer, &QTimer::timeout, this, &PortWatcher::AnnounceHeldEvent);
    // A directory of its own (a test's) gets no udev events: it can only be listed.
    if (deviceDirectory.empty() && StartUdevMonitor()) return;
    if (deviceDirectory.empty()) deviceDirectory = SYSTEM_DEVICE_DIRECTORY;
    // No names are known yet: the first look finds every name new and enumerates once, which
    // catches a port that came between the list's enumeration and this start.
    if (StartNameNotifications()) {
        lookTimer.setSingleShot(true);
        connect(&lookTimer, &QTimer::timeout, this, &PortWatcher::LookAfterNotification);
        lookTimer.start(TheUiTiming().portPollMs.load());
        return;
    }
    connect(&pollTimer, &QTimer::timeout, this, &PortWatcher::CheckDeviceNames);
    pollTimer.start(TheUiTiming().portPollMs.load());
}

PortWatcher::~PortWatcher() {
    delete namesNotifier;
    if (namesFd >= 0) close(namesFd);
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
        AnnouncePortEvent(DEVICE_ARRIVAL);
    } else if (action != nullptr && std::strcmp(action, "remove") == 0) {
        AnnouncePortEvent(DEVICE_REMOVE_COMPLETE);
    }
    udev_device_unref(device);
}

// Only a file system in memory is sure to announce every name: what the kernel or a daemon makes
// in it goes through the kernel's own file operations.
bool PortWatcher::StartNameNotifications() {
    struct statfs where {};
    if (statfs(deviceDirectory.c_str(), &where) != 0 ||
        (where.f_type != TMPFS_MAGIC && where.f_type != RAMFS_MAGIC))
        return false;
    namesFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (namesFd < 0) return false;
    if (inotify_add_watch(namesFd, deviceDirectory.c_str(),
                          IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
        close(namesFd);
        namesFd = -1;
        return false;
    }
    namesNotifier = new QSocketNotifier(namesFd, QSocketNotifier::Read);
    connect(namesNotifier, &QSocketNotifier::activated, this, &PortWatcher::TakeNameNotifications);
    return true;
}

void PortWatcher::TakeNameNotifications() {
    alignas(inotify_event) char events[4096];
    while (read(namesFd, events, sizeof events) > 0) {
    }
    if (!lookTimer.isActive() || lookTimer.remainingTime() > NAMES_SETTLE_MS)
        lookTimer.start(NAMES_SETTLE_MS);
}

// A change announced while the list may not change is looked at as often as the names would be
// listed, until it may.
void PortWatcher::LookAfterNotification() {
    if (mayCompare && !mayCompare()) {
        lookTimer.start(TheUiTiming().portPollMs.load());
        return;
    }
    CheckDeviceNames();
}

// udev says a thing once: an event that comes while the list may not change is held, and looked
// at as often as the device names would be, until it may (a USB adapter replugged while connected
// comes back under a new path, which must be in the list after the disconnection).
void PortWatcher::AnnouncePortEvent(uint32_t eventType) {
    if (mayCompare && !mayCompare()) {
        // Arrival wins: the refresh that follows shows every change either way.
        if (heldEvent != DEVICE_ARRIVAL) heldEvent = eventType;
        if (!heldEventTimer.isActive()) heldEventTimer.start(TheUiTiming().portPollMs.load());
        return;
    }
    emit DeviceChange(eventType, DEVICE_TYPE_PORT);
}

void PortWatcher::AnnounceHeldEvent() {
    if (mayCompare && !mayCompare()) return;
    heldEventTimer.stop();
    const uint32_t eventType = heldEvent;
    heldEvent = 0;
    emit DeviceChange(eventType, DEVICE_TYPE_PORT);
}

// Looks only while allowed (the dialog is disconnected); names that changed meanwhile still differ
// from the last listing at the first look after.
void PortWatcher::CheckDeviceNames() {
    if (mayCompare && !mayCompare()) return;
    std::set<std::string> names = DeviceNames(deviceDirectory);
    if (names == knownNames) return;
    // Listed before enumerating: a port that comes in between changes the next listing.
    knownNames = std::move(names);
    ComparePorts();
}

// Most changes of the device names are no serial port: only a changed set of ports is reported.
void PortWatcher::ComparePorts() {
    std::set<std::string> present = presentPorts();
    if (present == knownPorts) return;
    const bool arrived =
        !std::includes(knownPorts.begin(), knownPorts.end(), present.begin(), present.end());
    knownPorts = std::move(present);
    emit DeviceChange(arrived ? DEVICE_ARRIVAL : DEVICE_REMOVE_COMPLETE, DEVICE_TYPE_PORT);
}
