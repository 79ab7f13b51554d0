#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "device/CommandTable.h"

// End byte of every command and reply frame.
constexpr unsigned char FRAME_END = 0xC8;

// The most parameter characters a command takes ("PU").
constexpr int32_t MAX_PARAMETERS = 3;

// A command as it goes to a unit: its row of the command table and its parameter characters,
// built from typed values by the functions below and never parsed back out of text.
struct UnitCommand {
    CommandId id;
    std::array<unsigned char, MAX_PARAMETERS> parameters{};
    const CommandSpec& Spec() const { return SpecOf(id); }
};

UnitCommand IdentifyCommand();
UnitCommand ReadSettingsCommand();
UnitCommand ReadEdgeCommand(int32_t index);
UnitCommand ReadStateCommand();
UnitCommand ReadCountCommand(int32_t index);
// The edge and "PU" characters as they travel: a copy of a unit's settings writes back the very
// bytes it read (ParamChar, ModeCharacter and SetSettingsParams give them for values).
UnitCommand SetEdgeCommand(int32_t index, unsigned char edge);
UnitCommand SetSettingsCommand(unsigned char mode, unsigned char period, unsigned char debounce);
UnitCommand StartStopCommand(bool start);

// A command frame as the wire carries it: the node as two upper-case hexadecimal digits, the
// letters, the parameter characters and the end byte.
struct CommandFrame {
    std::array<unsigned char, 2 + 2 + MAX_PARAMETERS + 1> bytes{};
    size_t length = 0;
};
CommandFrame FrameOf(int32_t node, const UnitCommand& command);
