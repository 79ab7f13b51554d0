#pragma once

#include <cstdint>

// What the replies of a unit and the notices of its gateway carry, decoded the same way for the
// program's records and for the frame trace. `reply` points at the first reply letter and
// `length` counts from there, end byte included.

// Lengths at which a reply carries data; any other length of a known reply carries nothing.
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

// Every frame on the wire starts with the node as two upper-case hexadecimal digits.
constexpr int NODE_DIGITS = 2;

// The two reply letters as one key; compared exactly, so "MD" echoed back is no reply.
constexpr int ReplyKey(unsigned char first, unsigned char second) {
    return (first << 8) | second;
}

// "md", 5 or 6 bytes: the ID, the model code and, for the extension family when sent, the
// sub-code (0 otherwise).
struct Identification {
    int32_t unitId;
    int32_t modelCode;
    int32_t subCode;
};
Identification IdentificationOf(const unsigned char* reply, int32_t length);

// "pg", 12 bytes: the input index and the count as the unit's signed 32-bit value. Digits stop
// at the first character that is not one, so "000012G4" counts 0x12.
struct CountReading {
    int32_t index;
    int32_t value;
};
CountReading CountReadingOf(const unsigned char* reply);

// The gateway's own notice, a whole frame as on the wire ("00gq", status character, end byte):
// whether `frame` is one, and the status it reports.
bool IsGatewayNotice(const unsigned char* frame, int32_t length);
int32_t GatewayStatusOf(const unsigned char* frame);
