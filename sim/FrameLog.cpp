#include "FrameLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "Protocol.h"

namespace {

std::string Timestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto micros = duration_cast<microseconds>(now.time_since_epoch()).count() % 1'000'000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[48];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%06lld", static_cast<long long>(micros));
    return text;
}

void WriteAll(int fd, const std::string& line) {
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a log that cannot be written must not stop the simulator
        done += size_t(n);
    }
}

}  // namespace

FrameLog::~FrameLog() {
    if (ownsFd_) ::close(fd_);
}

bool FrameLog::ToStderr() {
    fd_ = STDERR_FILENO;
    return true;
}

bool FrameLog::ToFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    ownsFd_ = fd_ >= 0;
    return fd_ >= 0;
}

void FrameLog::Received(std::string_view channel, std::string_view bytes) {
    if (fd_ < 0) return;
    WriteLine(channel, "RX " + Printable(bytes) + " [" + Hex(bytes) + "]");
}

void FrameLog::Sent(std::string_view channel, std::string_view kind, std::string_view bytes) {
    if (fd_ < 0) return;
    while (!bytes.empty()) {
        size_t end = bytes.find(static_cast<char>(kFrameEnd));
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        const std::string_view frame = bytes.substr(0, end);
        WriteLine(channel,
                  "TX " + std::string(kind) + " " + Printable(frame) + " [" + Hex(frame) + "]");
        bytes.remove_prefix(end);
    }
}

void FrameLog::Note(std::string_view channel, std::string_view text) {
    if (fd_ < 0) return;
    WriteLine(channel, "-- " + std::string(text));
}

std::string FrameLog::Printable(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\') {
            text += "\\\\";
        } else if (b > 0x20 && b < 0x7F) {
            text += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text;
}

std::string FrameLog::Hex(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
        if (!text.empty()) text += ' ';
        text += digits;
    }
    return text;
}

void FrameLog::WriteLine(std::string_view channel, const std::string& text) {
    WriteAll(fd_, Timestamp() + " " + std::string(channel) + " " + text + "\n");
}
