#include "bridge/Log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "bridge/Payloads.h"

namespace {

std::atomic<bool> verbose{false};
std::mutex lineMutex;

const char* WordOf(LogLevel level) {
    switch (level) {
        case LogLevel::Debug:
            return "debug";
        case LogLevel::Info:
            return "info";
        case LogLevel::Warning:
            return "warning";
        default:
            return "error";
    }
}

}  // namespace

void Log(LogLevel level, const std::string& text) {
    if (level == LogLevel::Debug && !verbose.load()) return;
    const std::string line =
        UtcTime(std::chrono::system_clock::now()) + " " + WordOf(level) + " " + text + "\n";
    const std::lock_guard<std::mutex> lock(lineMutex);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void SetVerbose(bool on) {
    verbose.store(on);
}

bool Verbose() {
    return verbose.load();
}
