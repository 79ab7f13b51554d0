#include "device/CommandEncoding.h"
#include "device/CommandTable.h"
#include "device/UnitCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "device/ValueTables.h"

namespace {

static_assert(sizeof(PulseConfig) == 15 * sizeof(int32_t), "fifteen 32-bit values");

struct ModeCase {
    int32_t mode;
    int32_t clearSignal;
    unsigned char character;
};

// clang-format off
const ModeCase MODE_CASES[] = {
    {MODE_OFF, 0, 0x20}, {MODE_SINGLE_PHASE, 0, 0x21}, {MODE_TWO_PHASE_X2, 0, 0x23}, {MODE_TWO_PHASE_X4, 0, 0x2B},
    // The clear-signal bit goes out in every mode.
    {MODE_OFF, 1, 0x24}, {MODE_SINGLE_PHASE, 1, 0x25}, {MODE_TWO_PHASE_X2, 1, 0x27}, {MODE_TWO_PHASE_X4, 1, 0x2F},
};
// clang-format on

TEST(ModeCharacter, EncodesModeAndClearSignal) {
    for (const ModeCase& c : MODE_CASES) {
        EXPECT_EQ(ModeCharacter(c.mode, c.clearSignal), c.character)
            << "mode " << c.mode << " clear " << c.clearSignal;
    }
}

struct FlagsCase {
    unsigned char flags;
    int32_t mode;
    int32_t clearSignal;
};

// clang-format off
const FlagsCase FLAGS_CASES[] = {
    {0x2F, MODE_TWO_PHASE_X4, 1}, {0x25, MODE_SINGLE_PHASE, 0}, {0x2E, MODE_OFF, 0},
    {0x27, MODE_TWO_PHASE_X2, 1}, {0x20, MODE_OFF, 0},          {0x21, MODE_SINGLE_PHASE, 0},
    {0x23, MODE_TWO_PHASE_X2, 0}, {0x2B, MODE_TWO_PHASE_X4, 0},
    // Refining bits without the bit they refine count for nothing.
    {0x29, MODE_SINGLE_PHASE, 0}, {0x2D, MODE_SINGLE_PHASE, 0}, {0x22, MODE_OFF, 0},
    {0x24, MODE_OFF, 0},          {0x26, MODE_OFF, 0},          {0x28, MODE_OFF, 0},
    // Tested bit by bit: the base 0x20 is neither required nor subtracted.
    {0x0F, MODE_TWO_PHASE_X4, 1}, {0x01, MODE_SINGLE_PHASE, 0}, {0x00, MODE_OFF, 0},
    {0xFF, MODE_TWO_PHASE_X4, 1}, {0xF0, MODE_OFF, 0},          {0xD3, MODE_TWO_PHASE_X2, 0},
};
// clang-format on

TEST(DecodeFlags, ReadsTheBitsThatCount) {
    for (const FlagsCase& c : FLAGS_CASES) {
        int32_t mode = -7;
        int32_t clearSignal = -7;
        DecodeFlags(c.flags, mode, clearSignal);
        EXPECT_EQ(mode, c.mode) << std::hex << "flags 0x" << int{c.flags};
        EXPECT_EQ(clearSignal, c.clearSignal) << std::hex << "flags 0x" << int{c.flags};
    }
}

TEST(DecodeFlags, ReadsBackWhatModeCharacterWrote) {
    for (const ModeCase& c : MODE_CASES) {
        int32_t mode = -7;
        int32_t clearSignal = -7;
        DecodeFlags(c.character, mode, clearSignal);
        EXPECT_EQ(mode, c.mode);
        // The clear signal is only reported back in the two-phase modes.
        const bool twoPhase = c.mode == MODE_TWO_PHASE_X2 || c.mode == MODE_TWO_PHASE_X4;
        EXPECT_EQ(clearSignal, twoPhase ? c.clearSignal : 0) << "mode " << c.mode;
    }
}

// Every command's frame as the wire carries it, built from typed values; only the count request
// goes unanswered by a wait, and only its reply is announced.
TEST(CommandFrames, BuiltFromTypedValues) {
    const struct {
        UnitCommand command;
        std::string frame;
        bool awaited;
    } commands[] = {
        {ReadSettingsCommand(), "1FPY\xC8", true},
        {ReadCountCommand(0), "1FPG \xC8", false},
        {SetEdgeCommand(2, 0x22), "1FPC\"\"\xC8", true},
        {SetSettingsCommand(0x21, 0x40, 0x1F), "1FPU!@\x1F\xC8", true},
        {StartStopCommand(true), "1FPS(\xC8", true},
        {StartStopCommand(false), "1FPS \xC8", true},
    };
    for (const auto& c : commands) {
        const CommandFrame frame = FrameOf(0x1F, c.command);
        EXPECT_EQ(std::string(frame.bytes.begin(), frame.bytes.begin() + frame.length), c.frame);
        EXPECT_EQ(c.command.Spec().awaitsReply, c.awaited) << c.frame;
    }
    for (const char* reply : {"pg", "PG", "py", "pp", "md", "gp"}) {
        const CommandSpec* spec = CommandOfReply(reply[0], reply[1]);
        EXPECT_EQ(spec != nullptr && !spec->awaitsReply, reply == std::string("pg")) << reply;
    }
}

TEST(ParamChar, AddsTheBaseToEachValue) {
    const std::pair<int32_t, unsigned char> cases[] = {
        {0, 0x20}, {1, 0x21}, {2, 0x22}, {4, 0x24}, {10, 0x2A}, {31, 0x3F},
    };
    for (const auto& [value, character] : cases)
        EXPECT_EQ(ParamChar(value), character) << value;
}

// A value without a list entry is one the unit reported (its character minus 0x20): it goes
// back as the very character it came in.
TEST(ParamChar, ReportedCharactersGoBackUnchanged) {
    PulseConfig config;
    for (int byte = 0; byte <= 0xFF; ++byte) {
        const unsigned char reply[] = {
            'p', 'y', 0x21, static_cast<unsigned char>(byte), static_cast<unsigned char>(byte),
            0xC8};
        DecodePyReply(reply, config);
        const auto sent = SetSettingsParams(config);
        ASSERT_EQ(sent[1], byte) << "period";
        ASSERT_EQ(sent[2], byte) << "debounce";
        const unsigned char edgeReply[] = {'p', 'h', 0x24, static_cast<unsigned char>(byte), 0xC8};
        ASSERT_TRUE(DecodePhReply(edgeReply, config));
        ASSERT_EQ(SetEdgeParams(4, config.edge[4])[1], byte) << "edge";
    }
}

TEST(SetEdgeParams, RisingEdgeOfDi5) {
    const auto rising = std::find(EDGE_TEXTS.begin(), EDGE_TEXTS.end(), std::string("立ち上がり"));
    const int32_t edge = static_cast<int32_t>(rising - EDGE_TEXTS.begin());
    EXPECT_EQ(SetEdgeParams(4, edge), (std::array<unsigned char, 2>{0x24, 0x21}));
    EXPECT_EQ(SetEdgeParams(0, 0), (std::array<unsigned char, 2>{0x20, 0x20}));
    EXPECT_EQ(SetEdgeParams(2, 2), (std::array<unsigned char, 2>{0x22, 0x22}));
}

TEST(SetSettingsParams, SendsModePeriodAndDebounce) {
    PulseConfig config;
    config.mode = MODE_TWO_PHASE_X4;
    config.clearSignal = 1;
    config.period = 4;
    config.debounce = DebounceValueOfIndex(9);
    config.countingOn = 8;
    EXPECT_EQ(SetSettingsParams(config), (std::array<unsigned char, 3>{0x2F, 0x24, 0x2A}));

    config.mode = MODE_TWO_PHASE_X2;
    config.clearSignal = 0;
    config.period = 0;
    config.debounce = DebounceValueOfIndex(1);
    EXPECT_EQ(SetSettingsParams(config), (std::array<unsigned char, 3>{0x23, 0x20, 0x22}));
}

TEST(StartStopCharacter, CountingBitStarts) {
    EXPECT_EQ(StartStopCharacter(true), 0x28);
    EXPECT_EQ(StartStopCharacter(false), 0x20);
}

struct EdgeReplyCase {
    unsigned char index;
    unsigned char edge;
    bool stored;
    int input;  // whose edge changes
    int32_t value;
};

// clang-format off
const EdgeReplyCase EDGE_REPLIES[] = {
    {0x24, 0x22, true, 4, 2}, {0x20, 0x21, true, 0, 1}, {0x22, 0x20, true, 2, 0},
    {0x21, 0x2A, true, 1, 10},  // out-of-table edges are kept as received
    {0x25, 0x21, false, -1, 0}, {0x1F, 0x21, false, -1, 0}, {0xFF, 0x21, false, -1, 0},
    {0x00, 0x21, false, -1, 0},
};
// clang-format on

TEST(DecodePhReply, StoresTheEdgeOfAnInputInRangeOnly) {
    for (const EdgeReplyCase& c : EDGE_REPLIES) {
        PulseConfig config;
        for (int i = 0; i < MAX_INPUTS; ++i)
            config.edge[i] = 7;
        const unsigned char reply[] = {'p', 'h', c.index, c.edge, 0xC8};
        EXPECT_EQ(DecodePhReply(reply, config), c.stored) << int{c.index};
        for (int i = 0; i < MAX_INPUTS; ++i) {
            EXPECT_EQ(config.edge[i], i == c.input ? c.value : 7) << int{c.index} << " DI" << i + 1;
        }
        // Nothing beside the edges moves, whatever the index.
        EXPECT_EQ(config.period, 0);
        EXPECT_EQ(config.clearSignal, 0);
    }
}

TEST(DecodePpReply, KeepsTheCountingBit) {
    const std::pair<unsigned char, int32_t> cases[] = {
        {0x28, 8}, {0x20, 0}, {0xFF, 8}, {0xF7, 0}, {0x08, 8},
    };
    for (const auto& [state, countingOn] : cases) {
        PulseConfig config;
        config.countingOn = -1;
        const unsigned char reply[] = {'p', 'p', state, 0xC8};
        DecodePpReply(reply, config);
        EXPECT_EQ(config.countingOn, countingOn) << int{state};
    }
}

}  // namespace
