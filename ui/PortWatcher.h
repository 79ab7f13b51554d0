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
// them; elsewhere (containers, build machines) the monitor would stay silent, so the set of ports
// is compared every two seconds instead, while `shouldPoll` allows it.
class PortWatcher : public QObject {
    Q_OBJECT

public:
    using PortPaths = std::function<std::set<std::string>()>;
    PortWatcher(PortPaths presentPorts, std::function<bool()> shouldPoll,
                QObject* parent = nullptr);
    ~PortWatcher() override;

    bool UsesUdev() const { return monitor != nullptr; }

signals:
    // eventType DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE, deviceType DBT_DEVTYP_PORT.
    void DeviceChange(uint32_t eventType, uint32_t deviceType);

private:
    bool StartUdevMonitor();
    void TakeUdevEvent();
    void ComparePorts();

    PortPaths presentPorts;
    std::function<bool()> shouldPoll;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
    QTimer pollTimer;
    std::set<std::string> knownPorts;
};
