#include "device/FrameMeaning.h"

#include "device/CommandEncoding.h"
#include "device/ModelCatalogue.h"
#include "device/OperatorTexts.h"
#include "device/ReplyDecoding.h"
#include "device/ValueTables.h"

namespace {

// Command frames: node digits, two letters, parameters, end byte.
constexpr int32_t BARE_COMMAND_LENGTH = NODE_DIGITS + 3;

int32_t ValueOf(unsigned char parameter) {
    return int32_t{parameter} - PARAM_BASE;
}

// "DI1".."DI5" for input indexes 0..4; any other index by its number.
std::string InputName(int32_t index) {
    if (index >= 0 && index < MAX_INPUTS) return "DI" + std::to_string(index + 1);
    return "input index " + std::to_string(index);
}

std::string SettingsWords(unsigned char flags, unsigned char period, unsigned char debounce) {
    int32_t mode = MODE_OFF;
    int32_t clearSignal = 0;
    DecodeFlags(flags, mode, clearSignal);
    return std::string("mode ") + WordOf(MODE_WORDS, mode) + ", clear signal " +
           WordOf(ON_OFF_WORDS, clearSignal) + ", period " + WordOf(PERIOD_TEXTS, ValueOf(period)) +
           ", debounce " + DebounceText(ValueOf(debounce));
}

// `p` points at the parameters; `count` is how many the frame has.
std::string CommandWords(int key, const unsigned char* p, int32_t count) {
    switch (key) {
        case ReplyKey('M', 'D'):
            return count == 0 ? "identify" : "";
        case ReplyKey('P', 'Y'):
            return count == 0 ? "read settings" : "";
        case ReplyKey('P', 'P'):
            return count == 0 ? "read counting state" : "";
        case ReplyKey('P', 'H'):
            return count == 1 ? "read edge of " + InputName(ValueOf(p[0])) : "";
        case ReplyKey('P', 'G'):
            return count == 1 ? "read count of " + InputName(ValueOf(p[0])) : "";
        case ReplyKey('P', 'C'):
            if (count != 2) return "";
            return "set edge of " + InputName(ValueOf(p[0])) + " to " +
                   WordOf(EDGE_TEXTS, ValueOf(p[1]));
        case ReplyKey('P', 'U'):
            return count == 3 ? "write settings: " + SettingsWords(p[0], p[1], p[2]) : "";
        case ReplyKey('P', 'S'):
            if (count != 1) return "";
            if (p[0] == START_CHARACTER) return "start counting";
            return p[0] == STOP_CHARACTER ? "stop counting" : "";
        default:
            return "";
    }
}

std::string IdentificationWords(const unsigned char* reply, int32_t length) {
    if (length < MD_MIN_LENGTH || length > MD_MAX_LENGTH) return "";
    const Identification unit = IdentificationOf(reply, length);
    return "model " + ModelNameOf(unit.modelCode, unit.subCode) + ", ID " +
           std::to_string(unit.unitId);
}

std::string CountWords(const unsigned char* reply, int32_t length) {
    if (length != PG_LENGTH) return "";
    const CountReading reading = CountReadingOf(reply);
    return "count of " + InputName(reading.index) + ": " + std::to_string(reading.value);
}

std::string ReplyWords(const unsigned char* reply, int32_t length) {
    switch (ReplyKey(reply[0], reply[1])) {
        case ReplyKey('m', 'd'):
            return IdentificationWords(reply, length);
        case ReplyKey('p', 'y'):
            return length == PY_LENGTH ? "settings: " + SettingsWords(reply[2], reply[3], reply[4])
                                       : "";
        case ReplyKey('p', 'h'):
            if (length != PH_LENGTH) return "";
            return "edge of " + InputName(ValueOf(reply[2])) + ": " +
                   WordOf(EDGE_TEXTS, ValueOf(reply[3]));
        case ReplyKey('p', 'p'):
            if (length != PP_LENGTH) return "";
            return (reply[2] & COUNTING_BIT) != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT;
        case ReplyKey('p', 'g'):
            return CountWords(reply, length);
        case ReplyKey('p', 'c'):
            return "edge accepted";
        case ReplyKey('p', 'u'):
            return "settings accepted";
        case ReplyKey('p', 's'):
            return "start/stop accepted";
        default:
            return "";
    }
}

}  // namespace

std::string CommandMeaning(const unsigned char* frame, int32_t length) {
    if (length < BARE_COMMAND_LENGTH) return "";
    const unsigned char* letters = frame + NODE_DIGITS;
    return CommandWords(ReplyKey(letters[0], letters[1]), letters + 2,
                        length - BARE_COMMAND_LENGTH);
}

std::string ReplyMeaning(const unsigned char* frame, int32_t length) {
    if (IsGatewayNotice(frame, length)) {
        return "gateway notice, status " + std::to_string(GatewayStatusOf(frame));
    }
    if (length < NODE_DIGITS + MIN_REPLY_LENGTH) return "";
    return ReplyWords(frame + NODE_DIGITS, length - NODE_DIGITS);
}
