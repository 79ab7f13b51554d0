#include "unit/WriteReport.h"

#include "device/CommandEncoding.h"

namespace {

// "DI1, DI2 edges and mode, period and debounce" for frames [first, last).
std::string Names(const std::vector<PlannedFrame>& frames, size_t first, size_t last) {
    std::string edges;
    int32_t edgeCount = 0;
    std::vector<std::string> parts;
    for (size_t i = first; i < last; ++i) {
        if (frames[i].input < 0) {
            parts.push_back(frames[i].what);
            continue;
        }
        edges += (edgeCount++ ? ", DI" : "DI") + std::to_string(frames[i].input + 1);
    }
    if (edgeCount > 0) parts.insert(parts.begin(), edges + (edgeCount > 1 ? " edges" : " edge"));
    std::string names;
    for (size_t i = 0; i < parts.size(); ++i)
        names += (i ? " and " : "") + parts[i];
    return names;
}

}  // namespace

std::string FrameName(const PlannedFrame& frame) {
    return frame.input < 0 ? frame.what : "DI" + std::to_string(frame.input + 1) + " edge";
}

const char* FateWord(FrameFate fate) {
    switch (fate) {
        case FrameFate::Acknowledged:
            return "acknowledged";
        case FrameFate::SentNoAnswer:
            return "sent, no answer";
        case FrameFate::NotSent:
            break;
    }
    return "not sent";
}

std::string WriteReport(const std::vector<PlannedFrame>& frames) {
    std::string report;
    for (size_t first = 0; first < frames.size();) {
        size_t last = first;
        while (last < frames.size() && frames[last].fate == frames[first].fate)
            ++last;
        report +=
            (first ? "; " : "") + Names(frames, first, last) + " " + FateWord(frames[first].fate);
        first = last;
    }
    return report;
}
