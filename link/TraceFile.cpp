#include "link/TraceFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "device/FrameMeaning.h"
#include "device/ReplyDecoding.h"

namespace {

// "2026-12-01T09:30:15.042", local time.
std::string Timestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03lld", static_cast<long long>(millis));
    return text;
}

const char* DirectionOf(TraceKind kind) {
    switch (kind) {
        case TraceKind::Sent:
            return "TX";
        case TraceKind::Received:
        case TraceKind::Unawaited:
            return "RX";
        default:
            return "--";
    }
}

// The node digits a frame carries; for anything else the session's node written the same way, or
// "--" for none.
std::string NodeOf(const TraceRecord& record) {
    const bool frame = record.kind == TraceKind::Sent || record.kind == TraceKind::Received ||
                       record.kind == TraceKind::Unawaited;
    if (frame && record.length >= NODE_DIGITS) return PrintableBytes(record.bytes, NODE_DIGITS);
    if (record.node < 0) return "--";
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(record.node) & 0xFFu);
    return digits;
}

std::string MeaningOf(const TraceRecord& record) {
    const auto length = static_cast<int32_t>(record.length);
    switch (record.kind) {
        case TraceKind::Sent:
            return CommandMeaning(record.bytes, length);
        case TraceKind::Received:
            return ReplyMeaning(record.bytes, length);
        case TraceKind::Unawaited: {
            const std::string meaning = ReplyMeaning(record.bytes, length);
            return "ignored: awaited by no command" + (meaning.empty() ? "" : " (" + meaning + ")");
        }
        case TraceKind::Overflow:
            return "discarded: frame longer than 127 bytes";
        case TraceKind::Drained:
            return "discarded: queued before the link opened";
        case TraceKind::ReplyTimeout:
            return std::string("reply time-out: ") + record.text;
        case TraceKind::LinkError:
            return std::string("link error: ") + record.text;
    }
    return "";
}

}  // namespace

std::unique_ptr<TraceFile> TraceFile::Open(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "ae");
    if (file == nullptr) {
        error = "cannot open the trace file " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<TraceFile>(new TraceFile(file));
}

TraceFile::~TraceFile() {
    std::fclose(file_);
}

void TraceFile::Record(const TraceRecord& record) {
    const std::string line = Timestamp() + " " + TraceLineOf(record) + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(line.c_str(), file_);
    // Flushed line by line: a trace is read while the program runs, or after it crashed.
    std::fflush(file_);
}

std::string TraceLineOf(const TraceRecord& record) {
    std::string line = std::string(DirectionOf(record.kind)) + " " + NodeOf(record);
    if (record.bytes != nullptr) {
        line += " " + PrintableBytes(record.bytes, record.length) + " [" +
                HexBytes(record.bytes, record.length) + "]";
    }
    const std::string meaning = MeaningOf(record);
    return meaning.empty() ? line : line + " " + meaning;
}

std::string PrintableBytes(const unsigned char* bytes, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char b = bytes[i];
        if (b == '\\') {
            text += "\\\\";
        } else if (b > 0x20 && b < 0x7F) {
            text += static_cast<char>(b);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text;
}

std::string HexBytes(const unsigned char* bytes, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        if (i != 0) text += ' ';
        text += digits;
    }
    return text;
}
