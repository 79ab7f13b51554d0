// Feeds arbitrary byte streams through the receive path of a session, byte by byte as the receive
// thread does, with the window's reply handler installed. After every byte it checks that the
// frame buffer stayed within its bounds, that nothing around or inside the reply target's record
// was written except the values the frame just completed may carry, and that count notifications
// name an input that exists.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/CommandEncoding.h"
#include "device/PulseConfig.h"
#include "link/HandleReply.h"
#include "link/LinkInternals.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"

namespace {

constexpr unsigned char GUARD_BYTE = 0xA5;
constexpr size_t GUARD_SIZE = 64;
constexpr int NODE_DIGITS = 2;

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "receive_fuzz: %s\n", what);
    std::abort();
}

// What a frame may change: the device state and the record's fifteen values, in order.
enum Field {
    UNIT_ID,
    MODEL_CODE,
    SUB_CODE,
    MODE,
    CLEAR_SIGNAL,
    EDGE0,
    PERIOD = EDGE0 + MAX_INPUTS,
    DEBOUNCE,
    COUNT0,
    COUNTING_ON = COUNT0 + MAX_INPUTS,
    FIELD_COUNT
};
using Values = std::array<int32_t, FIELD_COUNT>;
using FieldSet = uint32_t;

constexpr FieldSet Bit(int field) {
    return FieldSet{1} << field;
}

class GuardedTarget final : public ReplyTarget {
public:
    explicit GuardedTarget(LinkSession& session) : session_(session) {
        before_.fill(GUARD_BYTE);
        after_.fill(GUARD_BYTE);
    }

    LinkSession& Link() override { return session_; }
    PulseConfig& HeldConfig() override { return config_; }
    void PostCountUpdate(int32_t index, int32_t /*value*/) override {
        Require(index >= 0 && index < MAX_INPUTS, "count notification for an input that is absent");
        posted_ = index;
    }

    bool GuardsIntact() const {
        for (size_t i = 0; i < GUARD_SIZE; ++i) {
            if (before_[i] != GUARD_BYTE || after_[i] != GUARD_BYTE) return false;
        }
        return true;
    }

    Values Snapshot() const {
        Values values{};
        values[UNIT_ID] = Internals(session_).unitId;
        values[MODEL_CODE] = Internals(session_).modelCode;
        values[SUB_CODE] = Internals(session_).subCode;
        values[MODE] = config_.mode;
        values[CLEAR_SIGNAL] = config_.clearSignal;
        for (int i = 0; i < MAX_INPUTS; ++i) {
            values[EDGE0 + i] = config_.edge[i];
            values[COUNT0 + i] = config_.count[i];
        }
        values[PERIOD] = config_.period;
        values[DEBOUNCE] = config_.debounce;
        values[COUNTING_ON] = config_.countingOn;
        return values;
    }

    // Index of the notification posted since the last call, -1 for none.
    int32_t TakePosted() {
        const int32_t posted = posted_;
        posted_ = -1;
        return posted;
    }

private:
    LinkSession& session_;
    std::array<unsigned char, GUARD_SIZE> before_;
    PulseConfig config_;
    std::array<unsigned char, GUARD_SIZE> after_;
    int32_t posted_ = -1;
};

// Input index of a reply that carries one, when it names an input that exists.
bool InputOf(unsigned char character, int& index) {
    index = int{character} - PARAM_BASE;
    return index >= 0 && index < MAX_INPUTS;
}

// The fields a frame may store (a superset for frames the session drops), and the input a count
// notification may name (-1: none).
FieldSet MayChange(const unsigned char* frame, int frameLength, int& postable) {
    postable = -1;
    const unsigned char* reply = frame + NODE_DIGITS;
    const int length = frameLength - NODE_DIGITS;
    if (length < 3) return 0;
    const auto is = [&](const char* letters) {
        return reply[0] == letters[0] && reply[1] == letters[1];
    };
    int index = 0;
    if (is("md") && (length == 5 || length == 6)) {
        return Bit(UNIT_ID) | Bit(MODEL_CODE) | Bit(SUB_CODE);
    }
    if (is("pg") && length == 12 && InputOf(reply[2], index)) {
        postable = index;
        return Bit(COUNT0 + index);
    }
    if (is("ph") && length == 5 && InputOf(reply[2], index)) return Bit(EDGE0 + index);
    if (is("pp") && length == 4) return Bit(COUNTING_ON);
    if (is("py") && length == 6) {
        return Bit(MODE) | Bit(CLEAR_SIGNAL) | Bit(PERIOD) | Bit(DEBOUNCE);
    }
    return 0;
}

struct GuardedSession {
    std::array<unsigned char, GUARD_SIZE> before;
    LinkSession session;
    std::array<unsigned char, GUARD_SIZE> after;
};

void FeedByte(GuardedSession& guarded, GuardedTarget& target, unsigned char byte) {
    LinkSession& session = guarded.session;
    // The frame this byte would complete, as far as the session holds it.
    std::array<unsigned char, FRAME_BUFFER_SIZE + 1> frame{};
    int frameLength = 0;
    if (byte == FRAME_END && Internals(session).rxCount < FRAME_BUFFER_SIZE) {
        std::memcpy(frame.data(), Internals(session).rxBuffer, Internals(session).rxCount);
        frame[Internals(session).rxCount] = byte;
        frameLength = Internals(session).rxCount + 1;
    }
    int postable = -1;
    const FieldSet allowed = MayChange(frame.data(), frameLength, postable);
    const Values before = target.Snapshot();

    ReceiveByte(Internals(session), byte);

    Require(Internals(session).rxCount >= 0 && Internals(session).rxCount <= FRAME_BUFFER_SIZE,
            "rxCount out of bounds");
    Require(Internals(session).userData.load() == static_cast<ReplyTarget*>(&target),
            "userData overwritten");
    Require(Internals(session).handler.load() == &HandleReply, "handler overwritten");
    Require(target.GuardsIntact(), "write next to the held record");
    const Values after = target.Snapshot();
    for (int field = 0; field < FIELD_COUNT; ++field) {
        if ((allowed & Bit(field)) == 0) {
            Require(before[field] == after[field], "value stored that the frame does not carry");
        }
    }
    const int32_t posted = target.TakePosted();
    Require(posted == -1 || posted == postable, "count notification the frame does not carry");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GuardedSession guarded;
    guarded.before.fill(GUARD_BYTE);
    guarded.after.fill(GUARD_BYTE);
    GuardedTarget target(guarded.session);
    Internals(guarded.session).handler = HandleReply;
    Internals(guarded.session).userData = static_cast<ReplyTarget*>(&target);

    for (size_t i = 0; i < size; ++i) {
        FeedByte(guarded, target, data[i]);
    }

    for (size_t i = 0; i < GUARD_SIZE; ++i) {
        Require(guarded.before[i] == GUARD_BYTE && guarded.after[i] == GUARD_BYTE,
                "write next to the session");
    }
    return 0;
}
