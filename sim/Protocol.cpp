#include "Protocol.h"

#include <cctype>
#include <cstdio>

#include "Unit.h"

namespace {

constexpr int kCountingBit = 0x08;  // of the "pp" state byte and the "PS" parameter

char Param(int value) {
    return static_cast<char>(value + kParamBase);
}
int Value(char param) {
    return static_cast<unsigned char>(param) - kParamBase;
}

bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
bool IsUpperLetter(char c) {
    return c >= 'A' && c <= 'Z';
}
int HexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

std::string Identify(Unit& unit, const std::string&, int64_t) {
    const UnitIdentity& id = unit.Identity();
    std::string data{static_cast<char>(kUnitIdBase - id.unitId), Param(id.modelCode)};
    if (id.modelCode == kExtensionFamilyCode) data += Param(id.subCode);
    return data;
}

std::string ReadSettings(Unit& unit, const std::string&, int64_t) {
    const UnitSettings& s = unit.Settings();
    return {static_cast<char>(kParamBase | (s.flags & kFlagBits)), Param(s.period),
            Param(s.debounce)};
}

std::string ReadEdge(Unit& unit, const std::string& p, int64_t) {
    return {p[0], Param(unit.EdgeOf(Value(p[0])))};
}

std::string ReadState(Unit& unit, const std::string&, int64_t) {
    return {static_cast<char>(kParamBase | (unit.Counting() ? kCountingBit : 0))};
}

std::string WriteEdge(Unit& unit, const std::string& p, int64_t now) {
    unit.SetEdge(Value(p[0]), Value(p[1]), now);
    return {};
}

std::string WriteSettings(Unit& unit, const std::string& p, int64_t now) {
    UnitSettings settings = unit.Settings();
    settings.flags = static_cast<unsigned char>(p[0]) & kFlagBits;
    settings.period = Value(p[1]);
    settings.debounce = Value(p[2]);
    unit.SetSettings(settings, now);
    return {};
}

std::string StartStop(Unit& unit, const std::string& p, int64_t now) {
    if (static_cast<unsigned char>(p[0]) & kCountingBit)
        unit.Start(now);
    else
        unit.Stop(now);
    return {};
}

std::string ReadCount(Unit& unit, const std::string& p, int64_t now) {
    return p[0] + CountDigits(unit.CountOf(Value(p[0]), now));
}

struct CommandEntry {
    const char* letters;
    size_t paramCount;
    bool needsPulseInputs;
    std::string (*handle)(Unit&, const std::string& params, int64_t now);
};

constexpr CommandEntry kCommands[] = {
    {"MD", 0, false, Identify}, {"PY", 0, true, ReadSettings}, {"PH", 1, true, ReadEdge},
    {"PP", 0, true, ReadState}, {"PC", 2, true, WriteEdge},    {"PU", 3, true, WriteSettings},
    {"PS", 1, true, StartStop}, {"PG", 1, true, ReadCount},
};

const CommandEntry* FindCommand(std::string_view letters) {
    for (const CommandEntry& entry : kCommands)
        if (letters == entry.letters) return &entry;
    return nullptr;
}

}  // namespace

std::vector<FrameAssembler::Piece> FrameAssembler::Feed(std::string_view bytes) {
    std::vector<Piece> pieces;
    for (char c : bytes) {
        const bool end = static_cast<unsigned char>(c) == kFrameEnd;
        if (pending_.size() < kMaxCommandFrame)
            pending_ += c;
        else
            ++discarded_;
        if (!end) continue;
        // The end byte only fits when the frame is within the limit; anything longer overflowed.
        const size_t length = pending_.size() + discarded_;
        pieces.push_back({discarded_ > 0, std::move(pending_), length});
        pending_.clear();
        discarded_ = 0;
    }
    return pieces;
}

bool IsKnownCommand(std::string_view letters) {
    return FindCommand(letters) != nullptr;
}

std::optional<CommandFrame> ParseCommand(std::string_view frame, std::string* why) {
    if (frame.size() < 5) {
        *why = "too short for a command";
        return std::nullopt;
    }
    // Frames never carry a 0 byte; one that does is damaged, and a value decoded from it is wrong.
    if (frame.find('\0') != std::string_view::npos) {
        *why = "contains a 0 byte";
        return std::nullopt;
    }
    if (!IsUpperHexDigit(frame[0]) || !IsUpperHexDigit(frame[1])) {
        *why = "node digits are not upper-case hexadecimal";
        return std::nullopt;
    }
    if (!IsUpperLetter(frame[2]) || !IsUpperLetter(frame[3])) {
        *why = "command letters are not upper case";
        return std::nullopt;
    }
    CommandFrame command;
    command.nodeDigits = std::string(frame.substr(0, 2));
    command.letters = std::string(frame.substr(2, 2));
    command.params = std::string(frame.substr(4, frame.size() - 5));
    command.node = HexValue(frame[0]) * 16 + HexValue(frame[1]);
    return command;
}

Answer AnswerCommand(UnitTable& units, const CommandFrame& command, int64_t now) {
    Unit* unit = units.Find(command.node);
    if (unit == nullptr) return {std::nullopt, "no unit at node " + std::to_string(command.node)};
    const CommandEntry* entry = FindCommand(command.letters);
    if (entry == nullptr) return {std::nullopt, "unknown command " + command.letters};
    if (entry->needsPulseInputs && unit->InputCount() == 0)
        return {std::nullopt, "unit has no pulse inputs"};
    if (command.params.size() != entry->paramCount)
        return {std::nullopt, command.letters + " takes " + std::to_string(entry->paramCount) +
                                  " parameter characters"};

    const std::string data = entry->handle(*unit, command.params, now);
    std::string frame = command.nodeDigits + ReplyLetters(command.letters) + data;
    frame += static_cast<char>(kFrameEnd);
    return {std::move(frame), {}};
}

std::string CountDigits(uint32_t count) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(count));
    return digits;
}

std::string ReplyLetters(std::string_view commandLetters) {
    std::string letters(commandLetters);
    for (char& c : letters)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return letters;
}
