#include "unit/WritePlan.h"

#include "device/CommandEncoding.h"

#include <algorithm>

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

bool SettingsChange::Empty() const {
    const bool noEdge = std::none_of(edge.begin(), edge.end(), [](auto& e) { return e; });
    return !mode && !clearSignal && noEdge && !period && !debounce && !counting;
}

bool SettingsChange::OnlyCounting() const {
    SettingsChange others = *this;
    others.counting.reset();
    return others.Empty();
}

PulseConfig ChangedSettings(const PulseConfig& held, const SettingsChange& change) {
    PulseConfig wanted = held;
    if (change.mode) wanted.mode = *change.mode;
    if (change.clearSignal) wanted.clearSignal = *change.clearSignal;
    for (int32_t i = 0; i < MAX_INPUTS; ++i)
        if (change.edge[i]) wanted.edge[i] = *change.edge[i];
    if (change.period) wanted.period = *change.period;
    if (change.debounce) wanted.debounce = *change.debounce;
    if (wanted.mode == MODE_TWO_PHASE_X2 || wanted.mode == MODE_TWO_PHASE_X4) wanted.debounce = 0;
    return wanted;
}

PulseConfig CopiedSettings(const PulseConfig& held, const UnitSettingsFile& copy) {
    PulseConfig wanted = held;
    wanted.mode = copy.settings.mode;
    wanted.clearSignal = copy.settings.clearSignal;
    for (int32_t i = 0; i < copy.inputs; ++i)
        wanted.edge[i] = copy.settings.edge[i];
    wanted.period = copy.settings.period;
    wanted.debounce = copy.settings.debounce;
    return wanted;
}

std::vector<PlannedFrame> PlanChange(const PulseConfig& wanted, int32_t inputCount,
                                     const SettingsChange& change, unsigned char heldFlags) {
    SettingsBytes bytes = BytesOfSettings(wanted, inputCount);
    if (!change.mode && !change.clearSignal && heldFlags >= PARAM_BASE) bytes.mode = heldFlags;
    return PlanWrite(bytes, change.counting);
}

std::vector<PlannedFrame> PlanCopy(const UnitSettingsFile& copy, const PulseConfig& held,
                                   int32_t inputCount, const SettingsChange& change) {
    SettingsBytes bytes = BytesOfSettings(held, inputCount);
    for (int32_t i = 0; i < inputCount && i < copy.inputs; ++i)
        bytes.edges[static_cast<size_t>(i)] = copy.edgeCharacters[static_cast<size_t>(i)];
    bytes.mode = copy.modeCharacter;
    bytes.period = copy.periodCharacter;
    bytes.debounce = copy.debounceCharacter;
    return PlanWrite(bytes, change.counting);
}
