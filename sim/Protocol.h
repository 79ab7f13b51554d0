#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Unit;
class UnitTable;

// End byte of every command and reply frame.
constexpr unsigned char kFrameEnd = 0xC8;
// Numeric parameters travel as one character: the value plus 0x20.
constexpr int kParamBase = 0x20;
// The "md" reply carries the unit ID as this value minus the ID.
constexpr int kUnitIdBase = 47;
// Longest command frame a unit takes, end byte included.
constexpr size_t kMaxCommandFrame = 127;

// Cuts the received byte stream into frames at the end byte. A run of more bytes than a frame can
// hold is thrown away up to and including the next end byte, as a unit's receive buffer would.
class FrameAssembler {
public:
    struct Piece {
        bool overflow = false;  // true: discarded bytes, not a frame
        std::string bytes;      // a frame includes its end byte; of a discarded run the first bytes
        size_t length = 0;      // bytes on the wire, end byte included
    };
    // Pieces completed by `bytes`, in order.
    std::vector<Piece> Feed(std::string_view bytes);

private:
    std::string pending_;
    size_t discarded_ = 0;  // bytes after pending_ in a run that no longer fits
};

// A command frame taken apart: node digits as received, the two command letters, parameters.
struct CommandFrame {
    std::string nodeDigits;
    std::string letters;
    std::string params;
    int node = 0;
};

// Whether a unit knows the command with these (upper-case) letters.
bool IsKnownCommand(std::string_view letters);

// Takes a complete frame (end byte included) apart; nullopt with the reason in *why when it is not
// a command frame (upper-case hexadecimal node digits, two upper-case letters, no 0 byte).
std::optional<CommandFrame> ParseCommand(std::string_view frame, std::string* why);

// What the addressed unit does with a command: the reply frame, or nothing and the reason.
struct Answer {
    std::optional<std::string> frame;
    std::string why;
};

// Carries out the command on its unit at time `now` and builds the reply frame.
Answer AnswerCommand(UnitTable& units, const CommandFrame& command, int64_t now);

// Eight upper-case hexadecimal digits of a 32-bit count, most significant first.
std::string CountDigits(uint32_t count);

// The reply letters of a command: its letters in lower case.
std::string ReplyLetters(std::string_view commandLetters);
