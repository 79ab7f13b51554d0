#pragma once

#include <array>
#include <cstdint>

#include "device/PulseConfig.h"

// Every numeric parameter travels as one character: the value OR 0x20, and comes back as the
// character minus 0x20.
constexpr unsigned char PARAM_BASE = 0x20;

// Bits of the "PU" mode character and of the "py" flags byte (on top of the base 0x20).
constexpr unsigned char MODE_BIT_ENABLED = 0x01;
constexpr unsigned char MODE_BIT_TWO_PHASE = 0x02;
constexpr unsigned char MODE_BIT_CLEAR_SIGNAL = 0x04;
constexpr unsigned char MODE_BIT_X4 = 0x08;

// Bit of the "pp" state byte that marks counting; "PS" with it starts, without it stops.
constexpr unsigned char COUNTING_BIT = 0x08;
constexpr unsigned char START_CHARACTER = PARAM_BASE | COUNTING_BIT;  // 0x28
constexpr unsigned char STOP_CHARACTER = PARAM_BASE;                  // 0x20

// Parameter character of a value (input index, edge, period, debounce). For the values of the
// lists (0 to 31) the value OR 0x20; any other value can only have come from the unit, as its
// character minus 0x20, and goes back as that very character.
unsigned char ParamChar(int32_t value);

// Mode character of "PU" from mode and clear signal.
unsigned char ModeCharacter(int32_t mode, int32_t clearSignal);

// Parameter characters of "PC": input index 0..4, edge.
std::array<unsigned char, 2> SetEdgeParams(int32_t index, int32_t edge);
// Parameter characters of "PU": mode character, period, debounce of the record.
std::array<unsigned char, 3> SetSettingsParams(const PulseConfig& config);
// Parameter character of "PS".
unsigned char StartStopCharacter(bool start);

// Decodings of the settings replies into the held record. `reply` points at the first reply
// letter; each expects the exact length of its reply, which the caller has checked.
void DecodeFlags(unsigned char flags, int32_t& mode, int32_t& clearSignal);
void DecodePyReply(const unsigned char* reply, PulseConfig& config);  // length 6
void DecodePpReply(const unsigned char* reply, PulseConfig& config);  // length 4
// "ph", length 5: returns false (and stores nothing) for an input index outside 0..4.
bool DecodePhReply(const unsigned char* reply, PulseConfig& config);
