#include "RecordingTarget.h"

#include <thread>

#include "link/LinkInternals.h"

void RecordingTarget::PostCountUpdate(int32_t index, int32_t /*value*/) {
    std::lock_guard<std::mutex> lock(mutex_);
    posts_.push_back(index);
}

std::vector<int32_t> RecordingTarget::Posts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts_;
}

bool RecordingTarget::WaitForPosts(size_t count, std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (Posts().size() < count) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

namespace {
constexpr int32_t MARK_BASE = 1000;
}

void Mark(RecordingTarget& target) {
    Internals(target.session).unitId = MARK_BASE + UNIT_ID;
    Internals(target.session).modelCode = MARK_BASE + MODEL_CODE;
    Internals(target.session).subCode = MARK_BASE + SUB_CODE;
    PulseConfig& config = target.config;
    config.mode = MARK_BASE + MODE;
    config.clearSignal = MARK_BASE + CLEAR_SIGNAL;
    for (int i = 0; i < MAX_INPUTS; ++i) {
        config.edge[i] = MARK_BASE + EDGE0 + i;
        config.count[i] = MARK_BASE + COUNT0 + i;
    }
    config.period = MARK_BASE + PERIOD;
    config.debounce = MARK_BASE + DEBOUNCE;
    config.countingOn = MARK_BASE + COUNTING_ON;
}

Observed ObservedOf(RecordingTarget& target) {
    const PulseConfig& c = target.config;
    return {Internals(target.session).unitId,
            Internals(target.session).modelCode,
            Internals(target.session).subCode,
            c.mode,
            c.clearSignal,
            c.edge[0],
            c.edge[1],
            c.edge[2],
            c.edge[3],
            c.edge[4],
            c.period,
            c.debounce,
            c.count[0],
            c.count[1],
            c.count[2],
            c.count[3],
            c.count[4],
            c.countingOn};
}

Observed MarkedWith(const Changes& changes) {
    Observed observed;
    for (int field = 0; field < FIELD_COUNT; ++field)
        observed[field] = MARK_BASE + field;
    for (const auto& [field, value] : changes)
        observed[field] = value;
    return observed;
}

std::string Reply(const std::string& lettersAndData) {
    return lettersAndData + static_cast<char>(FRAME_END);
}

std::string CountReply(unsigned char index, const std::string& digits) {
    return Reply("pg" + std::string(1, static_cast<char>(index)) + digits);
}
