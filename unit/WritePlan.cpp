#include "unit/WritePlan.h"

#include "device/CommandEncoding.h"

SettingsBytes BytesOfSettings(const PulseConfig& settings, int32_t inputs) {
    SettingsBytes bytes;
    bytes.inputs = inputs;
    for (int32_t i = 0; i < inputs && i < MAX_INPUTS; ++i)
        bytes.edges[static_cast<size_t>(i)] = ParamChar(settings.edge[i]);
    const auto params = SetSettingsParams(settings);
    bytes.mode = params[0];
    bytes.period = params[1];
    bytes.debounce = params[2];
    return bytes;
}

std::vector<PlannedFrame> PlanWrite(const SettingsBytes& bytes, std::optional<bool> counting) {
    std::vector<PlannedFrame> frames;
    for (int32_t i = 0; i < bytes.inputs && i < MAX_INPUTS; ++i)
        frames.push_back({SetEdgeCommand(i, bytes.edges[static_cast<size_t>(i)]), i, ""});
    frames.push_back({SetSettingsCommand(bytes.mode, bytes.period, bytes.debounce), -1,
                      "mode, period and debounce"});
    if (counting)
        frames.push_back(
            {StartStopCommand(*counting), -1, *counting ? "counting start" : "counting stop"});
    return frames;
}
