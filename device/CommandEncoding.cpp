#include "device/CommandEncoding.h"

#include <array>

namespace {

// Mode character bits by mode 0..3; the clear signal is added on top.
constexpr std::array<unsigned char, 4> MODE_BITS = {
    0,                                                    // off
    MODE_BIT_ENABLED,                                     // single-phase
    MODE_BIT_ENABLED | MODE_BIT_TWO_PHASE,                // two-phase x2
    MODE_BIT_ENABLED | MODE_BIT_TWO_PHASE | MODE_BIT_X4,  // two-phase x4
};

int32_t ParamValue(unsigned char character) {
    return int32_t{character} - PARAM_BASE;
}

}  // namespace

unsigned char ParamChar(int32_t value) {
    // Adding the base is OR-ing it for 0 to 31, and the inverse of the decoding for every value
    // the unit can report: 0x40 (32) must not go back as 0x20, nor 0x1F (-1) as 0xFF.
    return static_cast<unsigned char>(static_cast<uint32_t>(value) + PARAM_BASE);
}

unsigned char ModeCharacter(int32_t mode, int32_t clearSignal) {
    unsigned char character = PARAM_BASE;
    if (mode >= 0 && mode < static_cast<int32_t>(MODE_BITS.size())) character |= MODE_BITS[mode];
    // The unit takes the clear-signal bit in every mode; only the two-phase modes use it.
    if (clearSignal == 1) character |= MODE_BIT_CLEAR_SIGNAL;
    return character;
}

std::array<unsigned char, 2> SetEdgeParams(int32_t index, int32_t edge) {
    return {ParamChar(index), ParamChar(edge)};
}

std::array<unsigned char, 3> SetSettingsParams(const PulseConfig& config) {
    return {ModeCharacter(config.mode, config.clearSignal), ParamChar(config.period),
            ParamChar(config.debounce)};
}

unsigned char StartStopCharacter(bool start) {
    return start ? START_CHARACTER : STOP_CHARACTER;
}

void DecodeFlags(unsigned char flags, int32_t& mode, int32_t& clearSignal) {
    // Tested bit by bit: the base 0x20 is not subtracted, and a bit counts only under the bits
    // it refines (two-phase under enabled, clear signal and x4 under two-phase).
    mode = MODE_OFF;
    clearSignal = 0;
    if ((flags & MODE_BIT_ENABLED) == 0) return;
    mode = MODE_SINGLE_PHASE;
    if ((flags & MODE_BIT_TWO_PHASE) == 0) return;
    clearSignal = (flags & MODE_BIT_CLEAR_SIGNAL) != 0 ? 1 : 0;
    mode = (flags & MODE_BIT_X4) != 0 ? MODE_TWO_PHASE_X4 : MODE_TWO_PHASE_X2;
}

void DecodePyReply(const unsigned char* reply, PulseConfig& config) {
    config.period = ParamValue(reply[3]);
    config.debounce = ParamValue(reply[4]);
    // Worked out first so that each field is stored once, never through an interim value.
    int32_t mode = MODE_OFF;
    int32_t clearSignal = 0;
    DecodeFlags(reply[2], mode, clearSignal);
    config.mode = mode;
    config.clearSignal = clearSignal;
}

void DecodePpReply(const unsigned char* reply, PulseConfig& config) {
    config.countingOn = reply[2] & COUNTING_BIT;
}

bool DecodePhReply(const unsigned char* reply, PulseConfig& config) {
    const int32_t index = ParamValue(reply[2]);
    if (index < 0 || index >= MAX_INPUTS) return false;
    config.edge[index] = ParamValue(reply[3]);
    return true;
}
