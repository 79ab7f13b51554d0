#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "LinkTestSupport.h"
#include "LoopbackPeer.h"
#include "link/LinkInternals.h"
#include "link/LinkSession.h"

// The Windows transports against velkor-sim, which the Windows test run starts on the build
// machine: on loopback TCP (its port in VELKOR_SIM_PORT) and behind a COM port (its number in
// VELKOR_SIM_COM) that Wine maps to the simulator's pseudo-terminal.

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

struct Route {
    const char* name;
    int32_t kind;
    const char* variable;  // where the test run puts the simulator's address
};

class SimulatorRoute : public ::testing::TestWithParam<Route> {
protected:
    void SetUp() override {
        address = Environment(GetParam().variable);
        if (address.empty()) GTEST_SKIP() << GetParam().variable << " not set: no simulator";
        Internals(session).kind = GetParam().kind;
        Internals(session).host = "127.0.0.1";
        Internals(session).service = address;
        Internals(session).comPort = std::atoi(address.c_str());
        Internals(session).node = 1;
        Internals(session).handler = &RecordingHandler::Handle;
        Internals(session).userData = &handler;
    }
    void TearDown() override {
        Internals(session).userData = nullptr;
        CloseLink(session);
    }

    std::string address;
    LinkSession session;
    RecordingHandler handler;
    TestHost host;
};

}  // namespace

// The simulator's default unit at node 1 is model 2 with ID 1: "md", the ID character 47 - 1,
// the model character 2 + 0x20.
TEST_P(SimulatorRoute, IdentificationAndCountRequestReachTheUnitAndBack) {
    ASSERT_EQ(OpenLink(Internals(session)), 0) << LinkErrorText(-1, session);
    ASSERT_EQ(SendCommand(session, host, IdentifyCommand()), 0);
    ASSERT_EQ(PostCommand(session, host, ReadCountCommand(0)), 0);
    ASSERT_TRUE(handler.AwaitCount(2));
    const auto replies = handler.Replies();
    EXPECT_EQ(replies[0].letters, std::string("md") + char(46) + char(0x22));
    EXPECT_EQ(replies[1].letters, "pg 00000000");
    EXPECT_EQ(replies[1].length, 12);
}

TEST_P(SimulatorRoute, LinkOpensAgainAfterItWasClosed) {
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(OpenLink(Internals(session)), 0)
            << "round " << round << ": " << LinkErrorText(-1, session);
        EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), 0) << "round " << round;
        CloseLink(session);
        EXPECT_EQ(Internals(session).state.load(), Idle);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, SimulatorRoute,
                         ::testing::Values(Route{"Tcp", Tcp, "VELKOR_SIM_PORT"},
                                           Route{"ComPort", Serial, "VELKOR_SIM_COM"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The operator's texts carry the system's own numbers.
struct FailedOpen {
    const char* name;
    int32_t kind;
    int32_t comPort;
    const char* expectedText;
};

class WindowsErrorNumber : public ::testing::TestWithParam<FailedOpen> {};

TEST_P(WindowsErrorNumber, FailedOpenShowsIt) {
    LinkSession session;
    Internals(session).kind = GetParam().kind;
    Internals(session).comPort = GetParam().comPort;
    Internals(session).host = "127.0.0.1";
    uint16_t port = 0;
    // A port that nobody listens on any more: the connection is refused.
    const PeerSocket listener = ListenOnLoopback(1, port);
    ASSERT_NE(listener, NO_PEER_SOCKET);
    CloseSocket(listener);
    Internals(session).service = std::to_string(port);

    EXPECT_EQ(OpenLink(Internals(session)), -1);
    EXPECT_EQ(LinkErrorText(-1, session), GetParam().expectedText);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket.load(), NO_DESCRIPTOR);
    EXPECT_EQ(Internals(session).portHandle.load(), NO_DESCRIPTOR);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowsErrorNumber,
    ::testing::Values(FailedOpen{"RefusedConnection", Tcp, 0, "通信エラー : 10061"},
                      FailedOpen{"MissingComPort", Serial, 200, "通信エラー : 2"}),
    [](const auto& info) { return std::string(info.param.name); });
