#include "link/HandleReply.h"

#include "device/CommandEncoding.h"
#include "device/CommandTable.h"
#include "device/PulseConfig.h"
#include "device/ReplyDecoding.h"
#include "link/LinkInternals.h"
#include "link/ReplyTarget.h"

namespace {

// The window's places for what the command table's decoders give.
class TargetStore final : public ReplyStore {
public:
    explicit TargetStore(ReplyTarget& target) : target_(target) {}
    void StoreIdentification(const Identification& unit) override {
        LinkSessionState& link = Internals(target_.Link());
        link.unitId.store(unit.unitId, std::memory_order_relaxed);
        link.modelCode.store(unit.modelCode, std::memory_order_relaxed);
        link.subCode.store(unit.subCode, std::memory_order_relaxed);
    }
    void StoreCount(const CountReading& reading) override {
        // The count arrays hold DI1..DI5; a reply for another index is answered but not shown.
        if (reading.index < 0 || reading.index >= MAX_INPUTS) return;
        target_.HeldConfig().count[reading.index] = reading.value;
        target_.PostCountUpdate(reading.index, reading.value);
    }
    PulseConfig& Settings() override { return target_.HeldConfig(); }

private:
    ReplyTarget& target_;
};

}  // namespace

int HandleReply(void* userData, const unsigned char* reply, int32_t length) {
    if (length < MIN_REPLY_LENGTH) return 0;
    if (userData == nullptr) return 0;
    const CommandSpec* command = CommandOfReply(reply[0], reply[1]);
    if (command == nullptr) return 0;
    // A known reply of another length answers its command and changes nothing.
    ReplyTarget& target = *static_cast<ReplyTarget*>(userData);
    if (command->decode != nullptr && ReplyDecodes(*command, length)) {
        TargetStore store(target);
        command->decode(reply, length, store);
    } else if (!command->awaitsReply) {
        target.NoteUndecodedCount(int32_t{reply[2]} - PARAM_BASE);
    }
    return 1;
}

void DecodeIdentification(ReplyTarget& target, const unsigned char* reply, int32_t length) {
    if (length < MD_MIN_LENGTH || length > MD_MAX_LENGTH) return;
    TargetStore(target).StoreIdentification(IdentificationOf(reply, length));
}

void DecodeCountReply(ReplyTarget& target, const unsigned char* reply) {
    TargetStore(target).StoreCount(CountReadingOf(reply));
}

void DecodeSettingsReply(ReplyTarget& target, const unsigned char* reply) {
    DecodePyReply(reply, target.HeldConfig());
}
