#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <set>
#include <string>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Reports serial ports that arrive or go away. Where a udev daemon runs, its monitor announces
// them. Elsewhere (containers, build machines) the monitor would stay silent, and enumerating the
// ports opens thousands of files under /sys: so the names in the device directory are listed
// instead, one directory read, and the ports are enumerated only when those names changed. A
// directory in memory (tmpfs, as /dev is) has the kernel announce each name made or removed in it
// (inotify): it is listed only then, and an idle window is never woken. Any other is listed every
// two seconds. Both ways end in the same DeviceChange signal, and in both a change that comes while
// the list may not change (a connection is made or held) is announced at the first look after.
class PortWatcher : public QObject {
    Q_OBJECT

public:
    using PortPaths = std::function<std::set<std::string>()>;
    struct Setup {
        PortPaths presentPorts;            // device paths of the ports present now (enumerates)
        std::set<std::string> knownPorts;  // the ports the list shows at the start
        std::function<bool()> mayCompare;  // false while changes must wait (not disconnected)
        std::string deviceDirectory;       // empty: /dev, announced by udev where it runs
    };
    explicit PortWatcher(Setup setup, QObject* parent = nullptr);
    ~PortWatcher() override;

    bool UsesUdev() const { return monitor != nullptr; }
    // True where the device directory announces its names, which are listed only then.
    bool ListsOnAnnouncement() const { return namesFd >= 0; }

    // What a udev event of a port leads to (DEVICE_ARRIVAL or DEVICE_REMOVE_COMPLETE);
    // tests call it in place of the daemon.
    void AnnouncePortEvent(uint32_t eventType);

signals:
    // eventType DEVICE_ARRIVAL or DEVICE_REMOVE_COMPLETE, deviceType DEVICE_TYPE_PORT.
    void DeviceChange(uint32_t eventType, uint32_t deviceType);

private:
    bool StartUdevMonitor();
    void TakeUdevEvent();
    bool StartNameNotifications();
    void TakeNameNotifications();
    void LookAfterNotification();
    void CheckDeviceNames();
    void ComparePorts();
    void AnnounceHeldEvent();

    PortPaths presentPorts;
    std::function<bool()> mayCompare;
    std::string deviceDirectory;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
    QTimer pollTimer;
    int namesFd = -1;  // inotify, where the directory announces its names
    QSocketNotifier* namesNotifier = nullptr;
    QTimer lookTimer;        // the look after an announcement, or its retry while changes must wait
    QTimer heldEventTimer;   // looks whether a held udev event may be announced now
    uint32_t heldEvent = 0;  // 0: none held
    std::set<std::string> knownNames;
    std::set<std::string> knownPorts;
};
