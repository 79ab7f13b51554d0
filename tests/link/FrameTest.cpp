#include <string>
#include <vector>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"

namespace {

struct FrameCase {
    int32_t node;
    std::string command;  // letters and parameter characters, without the end byte
    std::vector<unsigned char> expected;
};

class FrameBytes : public TcpLinkTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameBytes, NodeDigitsLettersParametersAndEndByte) {
    Open();
    session.node = GetParam().node;
    const std::string text = GetParam().command + static_cast<char>(FRAME_END);
    ASSERT_EQ(SendFrame(text.c_str(), session), 0);
    EXPECT_EQ(peer.ReadFrame(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FrameBytes,
    ::testing::Values(FrameCase{0, "MD", {'0', '0', 'M', 'D', 0xC8}},
                      FrameCase{1, "MD", {0x30, 0x31, 0x4D, 0x44, 0xC8}},
                      FrameCase{10, "MD", {'0', 'A', 'M', 'D', 0xC8}},
                      FrameCase{254, "PP", {'F', 'E', 'P', 'P', 0xC8}},
                      FrameCase{1, "PH\x24", {'0', '1', 'P', 'H', 0x24, 0xC8}},
                      FrameCase{3, "PU\x2B\x24\x2A", {'0', '3', 'P', 'U', 0x2B, 0x24, 0x2A, 0xC8}},
                      FrameCase{2, "PG\x23", {'0', '2', 'P', 'G', 0x23, 0xC8}}),
    [](const auto& info) {
        return "Node" + std::to_string(info.param.node) + info.param.command.substr(0, 2);
    });

TEST_F(TcpLinkTest, CommandFormatsItsParameterCharactersBehindTheLetters) {
    Open();
    session.node = 5;
    ASSERT_EQ(PostCommand(session, host, "PC%c%c", 0x24, 0x21), 0);
    ASSERT_EQ(PostCommand(session, host, "PG%c", 0x20), 0);
    EXPECT_EQ(peer.ReadFrame(), (std::vector<unsigned char>{'0', '5', 'P', 'C', 0x24, 0x21, 0xC8}));
    EXPECT_EQ(peer.ReadFrame(), (std::vector<unsigned char>{'0', '5', 'P', 'G', 0x20, 0xC8}));
}

TEST_F(TcpLinkTest, CommandTextLongerThanAFrameIsNotSent) {
    Open();
    const std::string longest(MAX_COMMAND_TEXT - 1, 'A');
    const std::string tooLong(MAX_COMMAND_TEXT, 'A');
    EXPECT_EQ(PostCommand(session, host, "%s", tooLong.c_str()), LINK_E_COMMAND);
    EXPECT_EQ(session.pendingReplies.load(), 0);
    ASSERT_EQ(PostCommand(session, host, "%s", longest.c_str()), 0);
    const std::vector<unsigned char> frame = peer.ReadFrame();
    EXPECT_EQ(frame.size(), 2 + MAX_COMMAND_TEXT);  // the longest frame: 127 bytes
    EXPECT_EQ(peer.Drain(50).size(), 0u);
}

}  // namespace
