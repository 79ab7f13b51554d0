#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/PulseConfig.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"

// The window's side of reply decoding, reduced to what the handler touches: a real session for the
// device state, a real record, and the count notifications it was asked to post.
class RecordingTarget final : public ReplyTarget {
public:
    LinkSession& Link() override { return session; }
    PulseConfig& HeldConfig() override { return config; }
    void PostCountUpdate(int32_t index, int32_t value) override;

    std::vector<int32_t> Posts() const;
    // Polls until at least `count` notifications were posted; false when the limit passed first.
    bool WaitForPosts(size_t count, std::chrono::milliseconds limit) const;

    LinkSession session;
    PulseConfig config;

private:
    mutable std::mutex mutex_;
    std::vector<int32_t> posts_;
};

// What a reply can change: the device state, then the record's fifteen values in order.
enum Field {
    UNIT_ID,
    MODEL_CODE,
    SUB_CODE,
    MODE,
    CLEAR_SIGNAL,
    EDGE0,
    EDGE1,
    EDGE2,
    EDGE3,
    EDGE4,
    PERIOD,
    DEBOUNCE,
    COUNT0,
    COUNT1,
    COUNT2,
    COUNT3,
    COUNT4,
    COUNTING_ON,
    FIELD_COUNT
};
using Observed = std::array<int32_t, FIELD_COUNT>;
using Changes = std::vector<std::pair<Field, int32_t>>;

// Gives every field a distinct value, so that any store shows.
void Mark(RecordingTarget& target);
Observed ObservedOf(RecordingTarget& target);
// The marked values with the given fields changed.
Observed MarkedWith(const Changes& changes);

// A reply frame's bytes from the first reply letter: letters, data and the end byte.
std::string Reply(const std::string& lettersAndData);
// A "pg" reply: index character, then the count digits as given.
std::string CountReply(unsigned char index, const std::string& digits);
