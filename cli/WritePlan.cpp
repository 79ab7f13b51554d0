#include "cli/WritePlan.h"

#include "device/CommandEncoding.h"

namespace {

std::string EdgeCommand(int32_t input, unsigned char edge) {
    return std::string("PC") + static_cast<char>(ParamChar(input)) + static_cast<char>(edge);
}

void AddSettingsAndCounting(std::vector<PlannedFrame>& frames, unsigned char mode,
                            unsigned char period, unsigned char debounce,
                            const SettingsChange& change) {
    std::string command = "PU";
    for (const unsigned char c : {mode, period, debounce})
        command += static_cast<char>(c);
    frames.push_back({command, -1, "mode, period and debounce"});
    if (change.counting)
        frames.push_back(
            {std::string("PS") + static_cast<char>(StartStopCharacter(*change.counting)), -1,
             *change.counting ? "counting start" : "counting stop"});
}

std::string FateText(PlannedFrame::Fate fate) {
    switch (fate) {
        case PlannedFrame::Fate::Acknowledged:
            return "acknowledged";
        case PlannedFrame::Fate::SentNoAnswer:
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
    std::vector<PlannedFrame> frames;
    for (int32_t i = 0; i < inputCount; ++i)
        frames.push_back({EdgeCommand(i, ParamChar(wanted.edge[i])), i, ""});
    const auto params = SetSettingsParams(wanted);
    const bool keepFlags = !change.mode && !change.clearSignal && heldFlags >= PARAM_BASE;
    AddSettingsAndCounting(frames, keepFlags ? heldFlags : params[0], params[1], params[2], change);
    return frames;
}

std::vector<PlannedFrame> PlanCopy(const UnitSettingsFile& file, const PulseConfig& held,
                                   int32_t inputCount, const SettingsChange& change) {
    std::vector<PlannedFrame> frames;
    for (int32_t i = 0; i < inputCount; ++i) {
        const unsigned char edge =
            i < file.inputs ? file.edgeCharacters[i] : ParamChar(held.edge[i]);
        frames.push_back({EdgeCommand(i, edge), i, ""});
    }
    AddSettingsAndCounting(frames, file.modeCharacter, file.periodCharacter, file.debounceCharacter,
                           change);
    return frames;
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
