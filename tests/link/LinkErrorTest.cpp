#include <fcntl.h>
#include <netdb.h>
#include <unistd.h>

#include <string>

#include "TcpLinkFixture.h"

namespace {

struct ErrorTextCase {
    int32_t code;
    std::string text;
};

class ErrorText : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(ErrorText, NumberFollowedByTheLinkCodesText) {
    LinkSession session;
    EXPECT_EQ(LinkErrorText(GetParam().code, session), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorText,
    ::testing::Values(ErrorTextCase{20000, "通信エラー : 20000"},
                      ErrorTextCase{20001, "通信エラー : 20001(多重接続)"},
                      ErrorTextCase{20002, "通信エラー : 20002(接続済)"},
                      ErrorTextCase{20003, "通信エラー : 20003(タイムアウト)"},
                      ErrorTextCase{20004, "通信エラー : 20004(NO DATA)"},
                      ErrorTextCase{20005, "通信エラー : 20005(COMMAND ERROR)"},
                      ErrorTextCase{20006, "通信エラー : 20006(BUFFER ERROR)"},
                      ErrorTextCase{20007, "通信エラー : 20007"},
                      ErrorTextCase{20008, "通信エラー : 20008"},
                      ErrorTextCase{2147483647, "通信エラー : 2147483647"},
                      ErrorTextCase{111, "通信エラー : 111"}, ErrorTextCase{0, "通信エラー : 0"},
                      ErrorTextCase{-2, "通信エラー : -2"}),
    [](const auto& info) {
        const int32_t code = info.param.code;
        return code < 0 ? "minus" + std::to_string(-code) : std::to_string(code);
    });

TEST(ErrorTextOfSession, MinusOneStandsForTheLastError) {
    LinkSession session;
    Internals(session).lastError = LINK_E_TIMEOUT;
    EXPECT_EQ(LinkErrorText(-1, session), "通信エラー : 20003(タイムアウト)");
    Internals(session).lastError = 13;
    EXPECT_EQ(LinkErrorText(-1, session), "通信エラー : 13");
}

TEST(IdleSession, SendingFailsAsNotRunningAndEndsTheBusyDisplay) {
    LinkSession session;
    TestHost host;
    EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), LINK_E_NOT_RUNNING);
    EXPECT_EQ(PostCommand(session, host, ReadCountCommand(0)), LINK_E_NOT_RUNNING);
    EXPECT_EQ(host.progressResets.load(), 2);
    EXPECT_EQ(host.countBusy.load(), 0);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
    EXPECT_EQ(LinkErrorText(-1, session), "通信エラー : 20001(多重接続)");
}

TEST(IdleSession, CloseDoesNothingAndTouchesNoHandle) {
    LinkSession session;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    Internals(session).tcpSocket = pipeEnds[0];
    Internals(session).portHandle = pipeEnds[1];
    CloseLink(session);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_NE(fcntl(pipeEnds[0], F_GETFD), -1);
    EXPECT_NE(fcntl(pipeEnds[1], F_GETFD), -1);
    Internals(session).tcpSocket = Internals(session).portHandle = -1;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

class NotIdle : public ::testing::TestWithParam<LinkState> {};

TEST_P(NotIdle, OpenFailsAsAlreadyOpenAndChangesNothing) {
    LinkSession session;
    Internals(session).kind = Tcp;
    Internals(session).host = "127.0.0.1";
    Internals(session).service = "1";
    Internals(session).state = GetParam();
    Internals(session).pendingReplies = 3;
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_ALREADY_OPEN);
    EXPECT_EQ(Internals(session).state.load(), GetParam());
    EXPECT_EQ(Internals(session).pendingReplies.load(), 3);
    EXPECT_EQ(Internals(session).tcpSocket, -1);
    Internals(session).state = Idle;
}

INSTANTIATE_TEST_SUITE_P(States, NotIdle, ::testing::Values(Starting, Running, Stopping));

TEST_F(TcpLinkTest, OpenWhileRunningKeepsTheConnection) {
    Open();
    const int socketBefore = Internals(session).tcpSocket;
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_ALREADY_OPEN);
    EXPECT_EQ(Internals(session).state.load(), Running);
    EXPECT_EQ(Internals(session).tcpSocket, socketBefore);
    peer.Write(Frame("01pg"));
    EXPECT_TRUE(handler.AwaitCount(1)) << "the receive thread still runs";
}

TEST_F(TcpLinkTest, UnresolvableServiceFailsWithTheResolversCodeWithoutConnecting) {
    Internals(session).service = "no-such-service-here";
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int expected = getaddrinfo("127.0.0.1", "no-such-service-here", &hints, &result);
    ASSERT_NE(expected, 0);
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), expected);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket, -1) << "the socket of a failed open is released";
    EXPECT_FALSE(peer.Accept(100)) << "no connection was attempted";
    EXPECT_EQ(LinkErrorText(-1, session), ("通信エラー : " + std::to_string(expected)).c_str());
}

TEST_F(TcpLinkTest, RefusedPortFailsAtOnceWithItsErrorNumber) {
    peer.CloseListener();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_LT(MillisecondsSince(start), 2500.0) << "at once, not after the connect wait";
    EXPECT_EQ(Internals(session).lastError.load(), ECONNREFUSED);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket, -1);
}

TEST_F(TcpLinkTest, CloseStopsTheReceiveThreadAndReleasesTheSocket) {
    Open();
    const auto start = std::chrono::steady_clock::now();
    CloseLink(session);
    EXPECT_LT(MillisecondsSince(start), 3000.0);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket.load(), -1);
    EXPECT_FALSE(Internals(session).receiveThread.joinable());
    EXPECT_TRUE(peer.Drain(200).empty()) << "closing sends nothing to the unit";
}

}  // namespace
