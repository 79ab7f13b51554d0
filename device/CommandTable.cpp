#include "device/CommandTable.h"

#include <array>
#include <climits>

#include "device/CommandEncoding.h"
#include "device/ModelCatalogue.h"
#include "device/OperatorTexts.h"
#include "device/ValueTables.h"

namespace {

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

// Decoders.

void DecodeIdentify(const unsigned char* reply, int32_t length, ReplyStore& store) {
    store.StoreIdentification(IdentificationOf(reply, length));
}
void DecodeSettings(const unsigned char* reply, int32_t, ReplyStore& store) {
    DecodePyReply(reply, store.Settings());
}
void DecodeEdge(const unsigned char* reply, int32_t, ReplyStore& store) {
    // An index outside DI1..DI5 is dropped by the decoder; the reply still answers.
    DecodePhReply(reply, store.Settings());
}
void DecodeState(const unsigned char* reply, int32_t, ReplyStore& store) {
    DecodePpReply(reply, store.Settings());
}
void DecodeCount(const unsigned char* reply, int32_t, ReplyStore& store) {
    store.StoreCount(CountReadingOf(reply));
}

// Words of commands, by their parameters.

std::string IdentifyWords(const unsigned char*) {
    return "identify";
}
std::string ReadSettingsWords(const unsigned char*) {
    return "read settings";
}
std::string ReadStateWords(const unsigned char*) {
    return "read counting state";
}
std::string ReadEdgeWords(const unsigned char* p) {
    return "read edge of " + InputName(ValueOf(p[0]));
}
std::string ReadCountWords(const unsigned char* p) {
    return "read count of " + InputName(ValueOf(p[0]));
}
std::string SetEdgeWords(const unsigned char* p) {
    return "set edge of " + InputName(ValueOf(p[0])) + " to " + WordOf(EDGE_TEXTS, ValueOf(p[1]));
}
std::string SetSettingsWords(const unsigned char* p) {
    return "write settings: " + SettingsWords(p[0], p[1], p[2]);
}
std::string StartStopWords(const unsigned char* p) {
    if (p[0] == START_CHARACTER) return "start counting";
    return p[0] == STOP_CHARACTER ? "stop counting" : "";
}

// Words of replies of a decoded length.

std::string IdentificationWords(const unsigned char* reply, int32_t length) {
    const Identification unit = IdentificationOf(reply, length);
    return "model " + ModelNameOf(unit.modelCode, unit.subCode) + ", ID " +
           std::to_string(unit.unitId);
}
std::string SettingsReplyWords(const unsigned char* reply, int32_t) {
    return "settings: " + SettingsWords(reply[2], reply[3], reply[4]);
}
std::string EdgeReplyWords(const unsigned char* reply, int32_t) {
    return "edge of " + InputName(ValueOf(reply[2])) + ": " + WordOf(EDGE_TEXTS, ValueOf(reply[3]));
}
std::string StateReplyWords(const unsigned char* reply, int32_t) {
    return (reply[2] & COUNTING_BIT) != 0 ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT;
}
std::string CountReplyWords(const unsigned char* reply, int32_t) {
    const CountReading reading = CountReadingOf(reply);
    return "count of " + InputName(reading.index) + ": " + std::to_string(reading.value);
}
std::string EdgeAcceptedWords(const unsigned char*, int32_t) {
    return "edge accepted";
}
std::string SettingsAcceptedWords(const unsigned char*, int32_t) {
    return "settings accepted";
}
std::string StartStopAcceptedWords(const unsigned char*, int32_t) {
    return "start/stop accepted";
}

// An acknowledgement carries nothing but its letters; any length from the letters up is one.
constexpr int32_t ANY_LENGTH = INT32_MAX;

constexpr std::array<CommandSpec, 8> COMMANDS = {{
    {CommandId::Identify, "MD", "md", 0, MD_MIN_LENGTH, MD_MAX_LENGTH, true, false, DecodeIdentify,
     IdentifyWords, IdentificationWords},
    {CommandId::ReadSettings, "PY", "py", 0, PY_LENGTH, PY_LENGTH, true, false, DecodeSettings,
     ReadSettingsWords, SettingsReplyWords},
    {CommandId::ReadEdge, "PH", "ph", 1, PH_LENGTH, PH_LENGTH, true, true, DecodeEdge,
     ReadEdgeWords, EdgeReplyWords},
    {CommandId::ReadState, "PP", "pp", 0, PP_LENGTH, PP_LENGTH, true, false, DecodeState,
     ReadStateWords, StateReplyWords},
    {CommandId::ReadCount, "PG", "pg", 1, PG_LENGTH, PG_LENGTH, false, true, DecodeCount,
     ReadCountWords, CountReplyWords},
    {CommandId::SetEdge, "PC", "pc", 2, MIN_REPLY_LENGTH, ANY_LENGTH, true, false, nullptr,
     SetEdgeWords, EdgeAcceptedWords},
    {CommandId::SetSettings, "PU", "pu", 3, MIN_REPLY_LENGTH, ANY_LENGTH, true, false, nullptr,
     SetSettingsWords, SettingsAcceptedWords},
    {CommandId::StartStop, "PS", "ps", 1, MIN_REPLY_LENGTH, ANY_LENGTH, true, false, nullptr,
     StartStopWords, StartStopAcceptedWords},
}};

constexpr bool RowsInIdOrder() {
    for (size_t i = 0; i < COMMANDS.size(); ++i)
        if (static_cast<size_t>(COMMANDS[i].id) != i) return false;
    return true;
}
static_assert(RowsInIdOrder(), "SpecOf looks a command up by its position");

}  // namespace

const CommandSpec& SpecOf(CommandId id) {
    return COMMANDS[static_cast<size_t>(id)];
}

const CommandSpec* CommandOfLetters(unsigned char first, unsigned char second) {
    for (const CommandSpec& command : COMMANDS)
        if (first == command.letters[0] && second == command.letters[1]) return &command;
    return nullptr;
}

const CommandSpec* CommandOfReply(unsigned char first, unsigned char second) {
    for (const CommandSpec& command : COMMANDS)
        if (first == command.replyLetters[0] && second == command.replyLetters[1]) return &command;
    return nullptr;
}

bool ReplyDecodes(const CommandSpec& command, int32_t length) {
    return length >= command.minReplyLength && length <= command.maxReplyLength;
}
