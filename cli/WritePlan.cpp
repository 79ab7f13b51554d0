#include "cli/WritePlan.h"

#include "device/CommandEncoding.h"

namespace {

std::string FateText(FrameFate fate) {
    switch (fate) {
        case FrameFate::Acknowledged:
            return "acknowledged";
        case FrameFate::SentNoAnswer:
            return "sent, no answer";
        default:
            return "not sent";
    }
}

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

std::vector<PlannedFrame> PlanChange(const PulseConfig& wanted, int32_t inputCount,
                                     const SettingsChange& change, unsigned char heldFlags) {
    SettingsBytes bytes = BytesOfSettings(wanted, inputCount);
    if (!change.mode && !change.clearSignal && heldFlags >= PARAM_BASE) bytes.mode = heldFlags;
    return PlanWrite(bytes, change.counting);
}

std::vector<PlannedFrame> PlanCopy(const UnitSettingsFile& file, const PulseConfig& held,
                                   int32_t inputCount, const SettingsChange& change) {
    SettingsBytes bytes = BytesOfSettings(held, inputCount);
    for (int32_t i = 0; i < inputCount && i < file.inputs; ++i)
        bytes.edges[static_cast<size_t>(i)] = file.edgeCharacters[static_cast<size_t>(i)];
    bytes.mode = file.modeCharacter;
    bytes.period = file.periodCharacter;
    bytes.debounce = file.debounceCharacter;
    return PlanWrite(bytes, change.counting);
}

std::string WriteReport(const std::vector<PlannedFrame>& frames) {
    std::string report;
    for (size_t first = 0; first < frames.size();) {
        size_t last = first;
        while (last < frames.size() && frames[last].fate == frames[first].fate)
            ++last;
        report +=
            (first ? "; " : "") + Names(frames, first, last) + " " + FateText(frames[first].fate);
        first = last;
    }
    return report;
}
