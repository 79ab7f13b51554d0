#include "link/HandleReply.h"

#include <cstdlib>
#include <cstring>

#include "device/CommandEncoding.h"
#include "device/ModelCatalogue.h"
#include "device/PulseConfig.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"

namespace {

// Lengths, letters and end byte included, at which a reply carries data; any other length of a
// known reply is accepted and stores nothing.
constexpr int32_t MIN_REPLY_LENGTH = 3;
constexpr int32_t MD_MIN_LENGTH = 5;
constexpr int32_t MD_MAX_LENGTH = 6;
constexpr int32_t PG_LENGTH = 12;
constexpr int32_t PH_LENGTH = 5;
constexpr int32_t PP_LENGTH = 4;
constexpr int32_t PY_LENGTH = 6;

// Identification characters: the ID counts down from 0x2F; the codes are parameter characters.
constexpr int32_t ID_BASE = 47;

// A count travels as eight hexadecimal digits behind the index character.
constexpr int COUNT_DIGITS = 8;

// The two reply letters as one switch key; compared exactly, so "MD" echoed back is no reply.
constexpr int Key(unsigned char first, unsigned char second) {
    return (first << 8) | second;
}

}  // namespace

int HandleReply(void* userData, const unsigned char* reply, int32_t length) {
    if (length < MIN_REPLY_LENGTH) return 0;
    if (userData == nullptr) return 0;
    ReplyTarget& target = *static_cast<ReplyTarget*>(userData);
    switch (Key(reply[0], reply[1])) {
        case Key('m', 'd'):
            if (length >= MD_MIN_LENGTH) DecodeIdentification(target, reply, length);
            return 1;
        case Key('p', 'c'):
        case Key('p', 's'):
        case Key('p', 'u'):
            return 1;
        case Key('p', 'g'):
            if (length == PG_LENGTH) DecodeCountReply(target, reply);
            return 1;
        case Key('p', 'h'):
            // An index outside DI1..DI5 is dropped by the decoder; the reply still answers.
            if (length == PH_LENGTH) DecodePhReply(reply, target.HeldConfig());
            return 1;
        case Key('p', 'p'):
            if (length == PP_LENGTH) DecodePpReply(reply, target.HeldConfig());
            return 1;
        case Key('p', 'y'):
            if (length == PY_LENGTH) DecodeSettingsReply(target, reply);
            return 1;
        default:
            return 0;
    }
}

void DecodeIdentification(ReplyTarget& target, const unsigned char* reply, int32_t length) {
    if (length > MD_MAX_LENGTH) return;
    LinkSession& link = target.Link();
    const int32_t modelCode = int32_t{reply[3]} - PARAM_BASE;
    // The sub-code means something for the extension family only, and only when it was sent.
    int32_t subCode = 0;
    if (modelCode == EXTENSION_FAMILY_CODE && length == MD_MAX_LENGTH) {
        subCode = int32_t{reply[4]} - PARAM_BASE;
    }
    link.unitId.store(ID_BASE - int32_t{reply[2]}, std::memory_order_relaxed);
    link.modelCode.store(modelCode, std::memory_order_relaxed);
    link.subCode.store(subCode, std::memory_order_relaxed);
}

void DecodeCountReply(ReplyTarget& target, const unsigned char* reply) {
    const int32_t index = int32_t{reply[2]} - PARAM_BASE;
    // The count arrays hold DI1..DI5; a reply for another index is answered but not shown.
    if (index < 0 || index >= MAX_INPUTS) return;
    char digits[COUNT_DIGITS + 1] = {};
    std::memcpy(digits, reply + 3, COUNT_DIGITS);
    // strtoul stops at the first character that is not a digit, so "000012G4" counts 0x12.
    const unsigned long value = std::strtoul(digits, nullptr, 16);
    target.HeldConfig().count[index] = static_cast<int32_t>(static_cast<uint32_t>(value));
    target.PostCountUpdate(index);
}

void DecodeSettingsReply(ReplyTarget& target, const unsigned char* reply) {
    DecodePyReply(reply, target.HeldConfig());
}
