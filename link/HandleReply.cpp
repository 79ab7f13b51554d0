#include "link/HandleReply.h"

#include "device/CommandEncoding.h"
#include "device/ModelCatalogue.h"
#include "device/PulseConfig.h"
#include "device/ReplyDecoding.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"

int HandleReply(void* userData, const unsigned char* reply, int32_t length) {
    if (length < MIN_REPLY_LENGTH) return 0;
    if (userData == nullptr) return 0;
    ReplyTarget& target = *static_cast<ReplyTarget*>(userData);
    switch (ReplyKey(reply[0], reply[1])) {
        case ReplyKey('m', 'd'):
            if (length >= MD_MIN_LENGTH) DecodeIdentification(target, reply, length);
            return 1;
        case ReplyKey('p', 'c'):
        case ReplyKey('p', 's'):
        case ReplyKey('p', 'u'):
            return 1;
        case ReplyKey('p', 'g'):
            if (length == PG_LENGTH) DecodeCountReply(target, reply);
            return 1;
        case ReplyKey('p', 'h'):
            // An index outside DI1..DI5 is dropped by the decoder; the reply still answers.
            if (length == PH_LENGTH) DecodePhReply(reply, target.HeldConfig());
            return 1;
        case ReplyKey('p', 'p'):
            if (length == PP_LENGTH) DecodePpReply(reply, target.HeldConfig());
            return 1;
        case ReplyKey('p', 'y'):
            if (length == PY_LENGTH) DecodeSettingsReply(target, reply);
            return 1;
        default:
            return 0;
    }
}

void DecodeIdentification(ReplyTarget& target, const unsigned char* reply, int32_t length) {
    if (length > MD_MAX_LENGTH) return;
    LinkSession& link = target.Link();
    const Identification unit = IdentificationOf(reply, length);
    link.unitId.store(unit.unitId, std::memory_order_relaxed);
    link.modelCode.store(unit.modelCode, std::memory_order_relaxed);
    link.subCode.store(unit.subCode, std::memory_order_relaxed);
}

void DecodeCountReply(ReplyTarget& target, const unsigned char* reply) {
    const CountReading reading = CountReadingOf(reply);
    // The count arrays hold DI1..DI5; a reply for another index is answered but not shown.
    if (reading.index < 0 || reading.index >= MAX_INPUTS) return;
    target.HeldConfig().count[reading.index] = reading.value;
    target.PostCountUpdate(reading.index);
}

void DecodeSettingsReply(ReplyTarget& target, const unsigned char* reply) {
    DecodePyReply(reply, target.HeldConfig());
}
