#pragma once

#include <cstdint>
#include <string>

#include "device/PulseConfig.h"
#include "device/ReplyDecoding.h"

// Where a decoded reply goes: the unit's identification, one count, the held settings.
class ReplyStore {
public:
    virtual void StoreIdentification(const Identification& unit) = 0;
    virtual void StoreCount(const CountReading& reading) = 0;
    virtual PulseConfig& Settings() = 0;

protected:
    ~ReplyStore() = default;
};

// The commands of the units, each one row of the table below.
enum class CommandId : uint8_t {
    Identify,      // "MD"
    ReadSettings,  // "PY"
    ReadEdge,      // "PH" input index
    ReadState,     // "PP"
    ReadCount,     // "PG" input index
    SetEdge,       // "PC" input index, edge
    SetSettings,   // "PU" mode character, period, debounce
    StartStop,     // "PS" START_CHARACTER or STOP_CHARACTER
};

// One command of the units and its reply. Lengths count a reply from its first letter, end byte
// included, as the handler sees it. Every parameter travels as one character (CommandEncoding.h).
struct CommandSpec {
    CommandId id;
    char letters[3];       // command letters, upper case
    char replyLetters[3];  // the reply's: the command's in lower case
    int32_t parameters;    // parameter characters behind the letters
    int32_t minReplyLength;
    int32_t maxReplyLength;  // a reply of another length is still the answer, carrying nothing
    bool awaitsReply;        // false: the reply is announced to the window, never waited for
    bool indexedReply;       // reply byte 2 is the input index the command named
    // Stores what a reply of a decoded length carries; null for an acknowledgement.
    void (*decode)(const unsigned char* reply, int32_t length, ReplyStore& store);
    // The frame trace's words: of the parameters (exactly `parameters` of them), and of a reply
    // of a decoded length. Empty when the bytes do not mean what the letters announce.
    std::string (*commandWords)(const unsigned char* parameters);
    std::string (*replyWords)(const unsigned char* reply, int32_t length);
};

const CommandSpec& SpecOf(CommandId id);
// The entry of a command's letters, or of a reply's; null for letters the units do not use.
const CommandSpec* CommandOfLetters(unsigned char first, unsigned char second);
const CommandSpec* CommandOfReply(unsigned char first, unsigned char second);

// Whether a reply of `length` carries what its letters announce.
bool ReplyDecodes(const CommandSpec& command, int32_t length);
