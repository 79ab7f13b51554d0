// Framing, command parsing and the fault shaping, in-process.
#include <gtest/gtest.h>

#include "Faults.h"
#include "FrameLog.h"
#include "Protocol.h"

namespace {

const std::string kEnd(1, static_cast<char>(0xC8));

TEST(SimFrameAssembler, CutsAtTheEndByteWhateverTheChunks) {
    FrameAssembler assembler;
    const std::string stream = "01MD" + kEnd + "02PG " + kEnd + "03P";
    std::vector<std::string> frames;
    for (char c : stream)
        for (auto& piece : assembler.Feed(std::string(1, c))) {
            EXPECT_FALSE(piece.overflow);
            frames.push_back(piece.bytes);
        }
    EXPECT_EQ(frames, (std::vector<std::string>{"01MD" + kEnd, "02PG " + kEnd}));
    const auto rest = assembler.Feed("P" + kEnd + kEnd);
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].bytes, "03PP" + kEnd);
    EXPECT_EQ(rest[1].bytes, kEnd);  // a lone end byte is a (useless) frame of its own
}

TEST(SimFrameAssembler, LongestFrameFitsOneMoreByteOverflows) {
    struct Case {
        size_t bytesBeforeEnd;
        bool overflow;
    };
    for (const Case c : {Case{126, false}, Case{127, true}, Case{300, true}}) {
        FrameAssembler assembler;
        const auto pieces =
            assembler.Feed(std::string(c.bytesBeforeEnd, 'A') + kEnd + "01PP" + kEnd);
        ASSERT_EQ(pieces.size(), 2u) << c.bytesBeforeEnd;
        EXPECT_EQ(pieces[0].overflow, c.overflow) << c.bytesBeforeEnd;
        EXPECT_EQ(pieces[0].length, c.bytesBeforeEnd + 1);
        EXPECT_LE(pieces[0].bytes.size(), kMaxCommandFrame);
        EXPECT_FALSE(pieces[1].overflow);  // back in step after the next end byte
        EXPECT_EQ(pieces[1].bytes, "01PP" + kEnd);
    }
}

TEST(SimParseCommand, AcceptsOnlyUpperCaseNodeDigitsAndLetters) {
    struct Case {
        std::string frame;
        bool ok;
        int node;
        std::string letters, params;
    };
    const Case cases[] = {
        {"01MD" + kEnd, true, 1, "MD", ""},
        {"FEPG$" + kEnd, true, 254, "PG", "$"},
        {"0APU+!\"" + kEnd, true, 10, "PU", "+!\""},
        {"FFMD" + kEnd, true, 255, "MD", ""},
        {"0aMD" + kEnd, false, 0, "", ""},
        {"0GMD" + kEnd, false, 0, "", ""},
        {"01Md" + kEnd, false, 0, "", ""},
        {"01md" + kEnd, false, 0, "", ""},
        {"01M" + kEnd, false, 0, "", ""},
        {std::string("01PC\0!", 6) + kEnd, false, 0, "", ""},  // frames never carry a 0
        {std::string("0\0MD", 4) + kEnd, false, 0, "", ""},
        {kEnd, false, 0, "", ""},
    };
    for (const Case& c : cases) {
        std::string why;
        const auto command = ParseCommand(c.frame, &why);
        ASSERT_EQ(command.has_value(), c.ok) << c.frame;
        if (!c.ok) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(command->node, c.node);
        EXPECT_EQ(command->nodeDigits, c.frame.substr(0, 2));
        EXPECT_EQ(command->letters, c.letters);
        EXPECT_EQ(command->params, c.params);
    }
}

TEST(SimCountDigits, EightUpperCaseHexDigits) {
    EXPECT_EQ(CountDigits(0), "00000000");
    EXPECT_EQ(CountDigits(10), "0000000A");
    EXPECT_EQ(CountDigits(0x12AB), "000012AB");
    EXPECT_EQ(CountDigits(0x80000000u), "80000000");
    EXPECT_EQ(CountDigits(0xFFFFFFFFu), "FFFFFFFF");
}

TEST(SimFrameLogText, PrintableIsLosslessAndHasNoBlanks) {
    EXPECT_EQ(FrameLog::Printable("01PG " + kEnd), "01PG\\x20\\xC8");
    EXPECT_EQ(FrameLog::Printable(std::string("a\\b\0\x7F~", 6)), "a\\\\b\\x00\\x7F~");
    EXPECT_EQ(FrameLog::Hex("01M" + kEnd), "30 31 4D C8");
    EXPECT_EQ(FrameLog::Hex(""), "");
}

// Replies are numbered per connection; silent commands do not count as replies.
TEST(SimShapeAnswer, FaultsApplyInTheirOrder) {
    FaultOptions faults;
    faults.silent = {"PY"};
    faults.dropEvery = 2;
    faults.overflow = true;
    faults.upperEcho = true;
    faults.garbage = true;
    faults.wrongLength = {"PG"};
    faults.closeAfter = 4;
    FaultCounters counters;
    const std::string reply = "01pg 00000001" + kEnd;

    auto first = ShapeAnswer(faults, counters, "01PG " + kEnd, "PG", reply);
    ASSERT_EQ(first.chunks.size(), 4u);
    EXPECT_EQ(first.chunks[0].bytes, std::string(200, 0x55));
    EXPECT_EQ(first.chunks[1].bytes, "01PG " + kEnd);
    EXPECT_EQ(first.chunks[2].bytes, GarbageBytes());
    EXPECT_EQ(first.chunks[3].bytes, "01pg 00000001 " + kEnd);
    EXPECT_FALSE(first.closeAfter);

    auto silent = ShapeAnswer(faults, counters, "01PY" + kEnd, "PY", "01py!  " + kEnd);
    EXPECT_TRUE(silent.chunks.empty());
    EXPECT_NE(silent.note.find("silent"), std::string::npos);

    auto dropped = ShapeAnswer(faults, counters, "01PP" + kEnd, "PP", "01pp " + kEnd);
    EXPECT_TRUE(dropped.chunks.empty());
    EXPECT_NE(dropped.note.find("dropped"), std::string::npos);

    auto fourth = ShapeAnswer(faults, counters, "01PP" + kEnd, "PP", "01pp " + kEnd);
    ASSERT_EQ(fourth.chunks.size(), 3u);  // no second overflow run
    EXPECT_EQ(fourth.chunks[2].bytes, "01pp " + kEnd);
    EXPECT_TRUE(fourth.closeAfter);
}

TEST(SimFaultBytes, FixedSequences) {
    EXPECT_EQ(GarbageBytes(), kEnd + std::string("\x00\xFFzz\x7F", 5) + kEnd);
    EXPECT_EQ(QueuedJunk(), "01md\x20\x21" + kEnd + "01pg");
    EXPECT_EQ(NoticeFrame(3), "00gq#" + kEnd);
    EXPECT_EQ(NoticeFrame(-32), std::string("00gq\0", 5) + kEnd);
    EXPECT_EQ(WithExtraByte("01pp(" + kEnd), "01pp( " + kEnd);
}

}  // namespace
