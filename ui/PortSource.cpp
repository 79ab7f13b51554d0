#include "ui/PortSource.h"

#include <QSerialPortInfo>
#include <mutex>

namespace {

std::mutex sourceMutex;
PortSource installedSource;

std::vector<SerialPortDescription> SystemSerialPorts() {
    std::vector<SerialPortDescription> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        ports.push_back({info.description().toStdString(), info.systemLocation().toStdString(),
                         info.hasVendorIdentifier()});
    }
    return ports;
}

}  // namespace

std::vector<SerialPortDescription> PresentSerialPorts() {
    PortSource source;
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        source = installedSource;
    }
    return source ? source() : SystemSerialPorts();
}

void SetPortSource(PortSource source) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    installedSource = std::move(source);
}
