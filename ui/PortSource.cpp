#include "ui/PortSource.h"

#include <future>
#include <mutex>

#include "ui/SerialPortScan.h"

namespace {

std::mutex sourceMutex;
PortSource installedSource;
std::future<std::vector<SerialPortDescription>> prefetchedPorts;
std::string deviceDirectory;

}  // namespace

std::vector<SerialPortDescription> PresentSerialPorts() {
    PortSource source;
    std::future<std::vector<SerialPortDescription>> prefetched;
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        source = installedSource;
        // The prefetched ports are used once; later calls see the ports of their own moment.
        if (!source && prefetchedPorts.valid()) prefetched = std::move(prefetchedPorts);
    }
    if (source) return source();
    return prefetched.valid() ? prefetched.get() : ScanSerialPorts();
}

void SetPortSource(PortSource source) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    installedSource = std::move(source);
}

void PrefetchSerialPorts() {
    std::lock_guard<std::mutex> lock(sourceMutex);
    if (!prefetchedPorts.valid())
        prefetchedPorts = std::async(std::launch::async, [] { return ScanSerialPorts(); });
}

std::string PortDeviceDirectory() {
    std::lock_guard<std::mutex> lock(sourceMutex);
    return deviceDirectory;
}

void SetPortDeviceDirectory(std::string directory) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    deviceDirectory = std::move(directory);
}
