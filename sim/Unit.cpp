#include "Unit.h"

#include "Counting.h"

int PulseInputsOf(int modelCode) {
    switch (modelCode) {
        case 2:
            return 5;
        case 3:
            return 3;
        case 4:
            return 2;
        default:
            return 0;
    }
}

Unit::Unit(const UnitIdentity& identity, const PulseSource& source)
    : identity_(identity), source_(source), inputCount_(PulseInputsOf(identity.modelCode)) {
    for (int i = inputCount_; i < kMaxInputs; ++i)
        settings_.edges[i] = kEdgeDisabled;
}

int Unit::EdgeOf(int index) const {
    return HasInput(index) ? settings_.edges[index] : kEdgeDisabled;
}

uint32_t Unit::CountOf(int index, int64_t now) const {
    if (!HasInput(index)) return 0;
    if (!counting_) return base_[index];
    const CountRule rule = RuleFor(index, settings_, inputCount_, source_.zEvery);
    return CountAfter(base_[index], rule, PeriodLengthNs(settings_.period), now - runStart_,
                      source_.rateHz);
}

void Unit::Freeze(int64_t now) {
    std::array<uint32_t, kMaxInputs> counts{};
    for (int i = 0; i < kMaxInputs; ++i)
        counts[i] = CountOf(i, now);
    base_ = counts;
    runStart_ = now;
}

void Unit::SetEdge(int index, int edge, int64_t now) {
    if (!HasInput(index)) return;
    Freeze(now);
    settings_.edges[index] = edge;
}

void Unit::SetSettings(const UnitSettings& settings, int64_t now) {
    Freeze(now);
    settings_ = settings;
    for (int i = inputCount_; i < kMaxInputs; ++i)
        settings_.edges[i] = kEdgeDisabled;
}

void Unit::Start(int64_t now) {
    if (counting_) return;
    Freeze(now);
    counting_ = true;
}

void Unit::Stop(int64_t now) {
    if (!counting_) return;
    Freeze(now);
    counting_ = false;
}

void Unit::PresetCount(int index, uint32_t value, int64_t now) {
    if (!HasInput(index)) return;
    Freeze(now);
    base_[index] = value;
}

Unit* UnitTable::Find(int node) {
    auto it = units_.find(node);
    return it == units_.end() ? nullptr : &it->second;
}

bool UnitTable::Add(const Unit& unit) {
    return units_.emplace(unit.Identity().node, unit).second;
}
