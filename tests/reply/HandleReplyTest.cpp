#include "link/HandleReply.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "RecordingTarget.h"

namespace {

constexpr int32_t FRAME_LENGTH = INT32_MIN;  // hand the handler the length of the bytes

struct Case {
    const char* name;
    std::string reply;  // from the first reply letter, end byte included
    int accepted;
    Changes changes;
    std::vector<int32_t> posts;
    int32_t length = FRAME_LENGTH;
};

// Bytes that may hold zeros.
std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return {bytes.begin(), bytes.end()};
}

const std::vector<int32_t> NONE;

// clang-format off
const Case CASES[] = {
    // Identification: decoded at lengths 5 and 6 only.
    {"md 5",                 Reply("md\x2E\x22"),     1, {{UNIT_ID, 1}, {MODEL_CODE, 2}, {SUB_CODE, 0}}, NONE},
    {"md 6 extension",       Reply("md\x2F\x2F\x21"), 1, {{UNIT_ID, 0}, {MODEL_CODE, 15}, {SUB_CODE, 1}}, NONE},
    {"md 6 other model",     Reply("md\x2F\x22\x21"), 1, {{UNIT_ID, 0}, {MODEL_CODE, 2}, {SUB_CODE, 0}}, NONE},
    {"md 5 extension",       Reply("md\x2F\x2F"),     1, {{UNIT_ID, 0}, {MODEL_CODE, 15}, {SUB_CODE, 0}}, NONE},
    {"md ID 0x20",           Reply("md\x20\x21"),     1, {{UNIT_ID, 15}, {MODEL_CODE, 1}, {SUB_CODE, 0}}, NONE},
    {"md ID 0x30",           Reply("md\x30\x22"),     1, {{UNIT_ID, -1}, {MODEL_CODE, 2}, {SUB_CODE, 0}}, NONE},
    {"md extreme bytes",     Reply(Bytes({'m', 'd', 0xFF, 0x00})), 1, {{UNIT_ID, -208}, {MODEL_CODE, -32}, {SUB_CODE, 0}}, NONE},
    {"md highest model",     Reply("md\x2F\xFF"),     1, {{UNIT_ID, 0}, {MODEL_CODE, 223}, {SUB_CODE, 0}}, NONE},
    {"md highest sub-code",  Reply("md\x2F\x2F\xFF"), 1, {{UNIT_ID, 0}, {MODEL_CODE, 15}, {SUB_CODE, 223}}, NONE},
    {"md lowest sub-code",   Reply(Bytes({'m', 'd', 0x2F, 0x2F, 0x00})), 1, {{UNIT_ID, 0}, {MODEL_CODE, 15}, {SUB_CODE, -32}}, NONE},
    {"md 3",                 Reply("md"),             1, {}, NONE},
    {"md 4",                 Reply("md\x2E"),         1, {}, NONE},
    {"md 7",                 Reply("md\x2E\x2F\x21\x21"), 1, {}, NONE},
    {"md 127",               Reply("md" + std::string(124, '\x21')), 1, {}, NONE},
    // Counts: eight hexadecimal digits, read up to the first that is not one.
    {"pg DI1 ten",           CountReply(0x20, "0000000A"), 1, {{COUNT0, 10}}, {0}},
    {"pg all 32 bits",       CountReply(0x21, "FFFFFFFF"), 1, {{COUNT1, -1}}, {1}},
    {"pg lower case",        CountReply(0x22, "ffffffff"), 1, {{COUNT2, -1}}, {2}},
    {"pg highest bit",       CountReply(0x23, "80000000"), 1, {{COUNT3, INT32_MIN}}, {3}},
    {"pg DI5",               CountReply(0x24, "12345678"), 1, {{COUNT4, 0x12345678}}, {4}},
    {"pg stops at G",        CountReply(0x20, "000012G4"), 1, {{COUNT0, 0x12}}, {0}},
    {"pg no leading digit",  CountReply(0x20, "G0000001"), 1, {{COUNT0, 0}}, {0}},
    {"pg stops at zero",     Reply(Bytes({'p', 'g', 0x21, '1', '2', 0, '3', '4', '5', '6', '7'})), 1, {{COUNT1, 0x12}}, {1}},
    {"pg stops at end byte", Reply("pg\x21" "1\xC8" "345678"), 1, {{COUNT1, 1}}, {1}},
    {"pg 3",                 Reply("pg"),              1, {}, NONE},
    {"pg 11",                CountReply(0x20, "000000A"),   1, {}, NONE},
    {"pg 13",                CountReply(0x20, "0000000A0"), 1, {}, NONE},
    {"pg index 5",           CountReply(0x25, "0000000A"),  1, {}, NONE},
    {"pg index -1",          CountReply(0x1F, "0000000A"),  1, {}, NONE},
    {"pg index 223",         CountReply(0xFF, "0000000A"),  1, {}, NONE},
    // Settings.
    {"py x4 clear",          Reply("py\x2F\x24\x2A"), 1, {{MODE, 3}, {CLEAR_SIGNAL, 1}, {PERIOD, 4}, {DEBOUNCE, 10}}, NONE},
    {"py single",            Reply("py\x25\x21\x22"), 1, {{MODE, 1}, {CLEAR_SIGNAL, 0}, {PERIOD, 1}, {DEBOUNCE, 2}}, NONE},
    {"py no enable bit",     Reply("py\x2E\x20\x20"), 1, {{MODE, 0}, {CLEAR_SIGNAL, 0}, {PERIOD, 0}, {DEBOUNCE, 0}}, NONE},
    {"py x2 clear",          Reply("py\x27\x23\x21"), 1, {{MODE, 2}, {CLEAR_SIGNAL, 1}, {PERIOD, 3}, {DEBOUNCE, 1}}, NONE},
    {"py 5",                 Reply("py\x2F\x24"),     1, {}, NONE},
    {"py 7",                 Reply("py\x2F\x24\x2A\x20"), 1, {}, NONE},
    {"ph DI5 falling",       Reply("ph\x24\x22"),     1, {{EDGE4, 2}}, NONE},
    {"ph DI1 rising",        Reply("ph\x20\x21"),     1, {{EDGE0, 1}}, NONE},
    {"ph index 5",           Reply("ph\x25\x22"),     1, {}, NONE},
    {"ph index -1",          Reply("ph\x1F\x22"),     1, {}, NONE},
    {"ph index 223",         Reply("ph\xFF\x22"),     1, {}, NONE},
    {"ph 4",                 Reply("ph\x24"),         1, {}, NONE},
    {"ph 6",                 Reply("ph\x24\x22\x20"), 1, {}, NONE},
    {"pp counting",          Reply("pp\x28"),         1, {{COUNTING_ON, 8}}, NONE},
    {"pp stopped",           Reply("pp\x20"),         1, {{COUNTING_ON, 0}}, NONE},
    {"pp other bits",        Reply("pp\xF7"),         1, {{COUNTING_ON, 0}}, NONE},
    {"pp 3",                 Reply("pp"),             1, {}, NONE},
    {"pp 5",                 Reply("pp\x28\x28"),     1, {}, NONE},
    // Acknowledgements carry nothing, whatever follows the letters.
    {"pc",                   Reply("pc"),             1, {}, NONE},
    {"pu",                   Reply("pu"),             1, {}, NONE},
    {"ps",                   Reply("ps"),             1, {}, NONE},
    {"pc with data",         Reply("pc\x24\x21"),     1, {}, NONE},
    {"pu with data",         Reply("pu\x2F\x24\x2A"), 1, {}, NONE},
    {"ps with data",         Reply("ps\x28"),         1, {}, NONE},
    // Not replies: letters compared exactly.
    {"MD echoed",            Reply("MD"),             0, {}, NONE},
    {"MD with data",         Reply("MD\x2E\x22"),     0, {}, NONE},
    {"PG echoed",            Reply("PG\x20"),         0, {}, NONE},
    {"Md",                   Reply("Md\x2E\x22"),     0, {}, NONE},
    {"mD",                   Reply("mD\x2E\x22"),     0, {}, NONE},
    {"pa",                   Reply("pa\x20"),         0, {}, NONE},
    {"dm",                   Reply("dm\x2E\x22"),     0, {}, NONE},
    {"gp",                   Reply("gp\x20" "0000000A"), 0, {}, NONE},
    {"gq",                   Reply("gq\x21"),         0, {}, NONE},
    {"end bytes",            Reply("\xC8\xC8"),       0, {}, NONE},
    {"high-bit letters",     Reply("\xED\xE4\x2E\x22"), 0, {}, NONE},
    // Too short to be a reply, whatever the bytes.
    {"md of length 2",       Reply("md\x2E\x22"),     0, {}, NONE, 2},
    {"pc of length 2",       Reply("pc"),             0, {}, NONE, 2},
    {"length 1",             Reply("ps"),             0, {}, NONE, 1},
    {"length 0",             Reply("ps"),             0, {}, NONE, 0},
    {"length -1",            Reply("ps"),             0, {}, NONE, -1},
    {"lowest length",        Reply("ps"),             0, {}, NONE, INT32_MIN + 1},
};
// clang-format on

const unsigned char* BytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

TEST(HandleReply, AcceptsCatalogueRepliesAndStoresWhatTheyCarry) {
    for (const Case& c : CASES) {
        RecordingTarget target;
        Mark(target);
        const int32_t length =
            c.length == FRAME_LENGTH ? static_cast<int32_t>(c.reply.size()) : c.length;
        EXPECT_EQ(HandleReply(&target, BytesOf(c.reply), length), c.accepted) << c.name;
        EXPECT_EQ(ObservedOf(target), MarkedWith(c.changes)) << c.name;
        EXPECT_EQ(target.Posts(), c.posts) << c.name;
    }
}

TEST(HandleReply, IdentificationOfUndecodableLengthKeepsTheLastOne) {
    RecordingTarget target;
    Mark(target);
    for (const std::string& reply :
         {Reply("md\x2D\x2F\x22"), Reply("md\x2E"), Reply("md\x20\x22\x21\x21")}) {
        EXPECT_EQ(HandleReply(&target, BytesOf(reply), static_cast<int32_t>(reply.size())), 1);
    }
    EXPECT_EQ(ObservedOf(target), MarkedWith({{UNIT_ID, 2}, {MODEL_CODE, 15}, {SUB_CODE, 2}}));
}

TEST(HandleReply, WithoutTargetNothingIsAnswered) {
    EXPECT_EQ(HandleReply(nullptr, BytesOf(Reply("pp\x28")), 4), 0);
}

TEST(DecodeCountReply, StoresTheCountBeforePosting) {
    // The window reads the count when it handles the notification.
    class CheckingTarget final : public ReplyTarget {
    public:
        LinkSession& Link() override { return session; }
        PulseConfig& HeldConfig() override { return config; }
        void PostCountUpdate(int32_t index, int32_t value) override {
            seen = config.count[index];
            posted = value;
        }
        LinkSession session;
        PulseConfig config;
        int32_t seen = 0;
        int32_t posted = 0;
    } target;
    DecodeCountReply(target, BytesOf(CountReply(0x23, "0000BEEF")));
    EXPECT_EQ(target.seen, 0xBEEF);
    EXPECT_EQ(target.posted, 0xBEEF);
}

}  // namespace
