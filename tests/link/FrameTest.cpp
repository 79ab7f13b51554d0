#include <string>
#include <vector>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"

namespace {

struct FrameCase {
    int32_t node;
    UnitCommand command;
    std::vector<unsigned char> expected;
};

class FrameBytes : public TcpLinkTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameBytes, NodeDigitsLettersParametersAndEndByte) {
    Open();
    Internals(session).node = GetParam().node;
    ASSERT_EQ(SendUnitCommand(GetParam().command, Internals(session)), 0);
    EXPECT_EQ(peer.ReadFrame(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FrameBytes,
    ::testing::Values(FrameCase{0, IdentifyCommand(), {'0', '0', 'M', 'D', 0xC8}},
                      FrameCase{1, IdentifyCommand(), {0x30, 0x31, 0x4D, 0x44, 0xC8}},
                      FrameCase{10, IdentifyCommand(), {'0', 'A', 'M', 'D', 0xC8}},
                      FrameCase{254, ReadStateCommand(), {'F', 'E', 'P', 'P', 0xC8}},
                      FrameCase{1, ReadEdgeCommand(4), {'0', '1', 'P', 'H', 0x24, 0xC8}},
                      FrameCase{3,
                                SetSettingsCommand(0x2B, 0x24, 0x2A),
                                {'0', '3', 'P', 'U', 0x2B, 0x24, 0x2A, 0xC8}},
                      FrameCase{2, ReadCountCommand(3), {'0', '2', 'P', 'G', 0x23, 0xC8}}),
    [](const auto& info) {
        return "Node" + std::to_string(info.param.node) + info.param.command.Spec().letters;
    });

TEST_F(TcpLinkTest, CommandFormatsItsParameterCharactersBehindTheLetters) {
    Open();
    Internals(session).node = 5;
    ASSERT_EQ(PostCommand(session, host, SetEdgeCommand(4, 0x21)), 0);
    ASSERT_EQ(PostCommand(session, host, ReadCountCommand(0)), 0);
    EXPECT_EQ(peer.ReadFrame(), (std::vector<unsigned char>{'0', '5', 'P', 'C', 0x24, 0x21, 0xC8}));
    EXPECT_EQ(peer.ReadFrame(), (std::vector<unsigned char>{'0', '5', 'P', 'G', 0x20, 0xC8}));
}

}  // namespace
