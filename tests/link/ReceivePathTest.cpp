#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"

namespace {

// A session without a transport, fed byte by byte as the receive thread does while running.
class Framing : public ::testing::Test {
protected:
    void SetUp() override {
        Internals(session).handler = &RecordingHandler::Handle;
        Internals(session).userData = &handler;
    }
    void Feed(const std::string& bytes) {
        for (char byte : bytes)
            ReceiveByte(Internals(session), static_cast<unsigned char>(byte));
    }
    void Feed(const std::vector<unsigned char>& bytes) {
        for (unsigned char byte : bytes)
            ReceiveByte(Internals(session), byte);
    }
    LinkSession session;
    RecordingHandler handler;
};

TEST_F(Framing, FrameOf127BytesIsDispatchedWhole) {
    const std::string body = "01pg" + std::string(122, 'a');  // count replies are always taken
    Feed(Frame(body));
    ASSERT_EQ(handler.Count(), 1u);
    EXPECT_EQ(handler.Replies()[0].length, 125);
    EXPECT_EQ(handler.Replies()[0].letters, body.substr(2));
    EXPECT_EQ(Internals(session).rxCount, 0);
}

TEST_F(Framing, OverlongFrameIsDroppedUpToItsEndAndFramingResumes) {
    // 128 bytes without an end byte; the 128th is an end byte that must not end a frame.
    std::vector<unsigned char> run(127, 'x');
    run.push_back(FRAME_END);
    Feed(run);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_OVERFLOW);
    EXPECT_LE(Internals(session).rxCount, FRAME_BUFFER_SIZE);
    Feed(Frame("tail of the long frame"));
    Feed(Frame("01pg/\""));
    ASSERT_EQ(handler.Count(), 1u);
    EXPECT_EQ(handler.Replies()[0].letters, "pg/\"");
}

TEST_F(Framing, NothingIsWrittenPastTheBufferWhateverTheRunLength) {
    for (int run : {128, 129, 255, 256, 1000}) {
        Feed(std::string(static_cast<size_t>(run), 'y'));
        EXPECT_GE(Internals(session).rxCount, 0);
        EXPECT_LT(Internals(session).rxCount, FRAME_BUFFER_SIZE) << run;
        Feed(Frame(""));  // ends the dropped run
        Feed(Frame("01pg"));
    }
    for (const RecordingHandler::Reply& reply : handler.Replies())
        EXPECT_EQ(reply.letters, "pg");
    EXPECT_EQ(handler.Count(), 5u);
}

// Frames too short to carry reply letters answer no command, whatever waits.
TEST_F(Framing, ShortFramesReachNoHandler) {
    OpenExchange(Internals(session), SpecOf(CommandId::Identify));
    Feed(Frame(""));     // a lone end byte
    Feed(Frame("0"));    // one node digit
    Feed(Frame("01"));   // node digits only
    Feed(Frame("01m"));  // one letter
    EXPECT_EQ(handler.Count(), 0u);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 1) << "none of them is an answer";
}

struct NoticeCase {
    std::string frame;
    int32_t status;
};

class GatewayNotice : public Framing, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(GatewayNotice, SetsTheStatusAndReachesNoHandler) {
    Feed(Frame(GetParam().frame));
    EXPECT_EQ(Internals(session).gatewayStatus.load(), GetParam().status);
    EXPECT_EQ(handler.Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Statuses, GatewayNotice,
                         ::testing::Values(NoticeCase{"00gq!", 1}, NoticeCase{"00gq ", 0},
                                           NoticeCase{"00gq", -32}, NoticeCase{"00gq\x7f", 95}),
                         [](const auto& info) {
                             const int32_t status = info.param.status;
                             return status < 0 ? "Minus" + std::to_string(-status)
                                               : "Status" + std::to_string(status);
                         });

TEST_F(Framing, GatewayStatusStartsUnknown) {
    EXPECT_EQ(Internals(session).gatewayStatus.load(), -1);
}

TEST(ReadByte, TakesOneWaitingByteOrReportsThatNoneWaits) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    LinkSession session;
    Internals(session).transport = &TcpTransport;
    Internals(session).tcpSocket = ends[0];
    unsigned char byte = 0;
    EXPECT_LT(ReadByte(Internals(session), byte), 0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_NO_DATA);
    ASSERT_EQ(write(ends[1],
                    "\xC8"
                    "7",
                    2),
              2);
    for (unsigned char expected : {FRAME_END, static_cast<unsigned char>('7')}) {
        Internals(session).lastError = 0;
        EXPECT_EQ(ReadByte(Internals(session), byte), 0);
        EXPECT_EQ(byte, expected);
        EXPECT_EQ(Internals(session).lastError.load(), 0);
    }
    EXPECT_EQ(Internals(session).rxCount, 0) << "the receive thread hands the byte to ReceiveByte";
    EXPECT_LT(ReadByte(Internals(session), byte), 0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_NO_DATA);
    Internals(session).tcpSocket = -1;
    close(ends[0]);
    close(ends[1]);
}

TEST_F(TcpLinkTest, OverlongRunOnTheLineDoesNotStopLaterFrames) {
    Open();
    peer.Write(std::string(200, 'z'));
    peer.Write(Frame("01pg!"));
    peer.Write(Frame("01pg\""));
    ASSERT_TRUE(handler.AwaitCount(1));
    Sync(3);
    ASSERT_EQ(handler.Count(), 1u);
    EXPECT_EQ(handler.Replies()[0].letters, "pg\"");
}

TEST_F(TcpLinkTest, LoneEndByteOnTheLineBreaksNothing) {
    Open();
    peer.Write(Frame(""));
    peer.Write(Frame("01pg"));
    ASSERT_TRUE(handler.AwaitCount(1));
    EXPECT_EQ(handler.Replies()[0].length, 3);
    EXPECT_EQ(handler.Replies()[0].letters, "pg");
    EXPECT_EQ(Internals(session).state.load(), Running);
}

}  // namespace
