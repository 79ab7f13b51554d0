// One test per fault flag of velkor-sim, each showing the effect on the wire.
#include <gtest/gtest.h>

#include <chrono>

#include "SimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

class SimFaults : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args) {
        sim_ = std::make_unique<SimProcess>(std::move(args));
        ASSERT_TRUE(sim_->Started());
        client_ = std::make_unique<WireClient>(WireClient::Tcp(sim_->Port()));
        ASSERT_TRUE(client_->Connected());
    }
    std::string Next(int timeoutMs = 3000) { return Shown(client_->ReadFrame(timeoutMs)); }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<WireClient> client_;
};

TEST_F(SimFaults, SilentCommandsGetNoReplyButStillTakeEffect) {
    Start({"--silent", "PY,ps"});
    client_->SendCommand("01PY");
    client_->SendCommand("01PS\x28");
    client_->SendCommand("01PP");
    EXPECT_EQ(Next(), Shown(Framed("01pp\x28")));  // started, although "ps" never came
    EXPECT_EQ(Shown(client_->Exchange("01MD")), Shown(Framed("01md\x2E\x22")));
}

TEST_F(SimFaults, DelayedRepliesKeepTheirOrder) {
    Start({"--delay-ms", "250"});
    const auto sent = Clock::now();
    client_->SendCommand("01PY");
    client_->SendCommand("01PP");
    EXPECT_EQ(Next(), Shown(Framed("01py\x21\x20\x20")));
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(250));
    EXPECT_EQ(Next(), Shown(Framed("01pp\x20")));
}

TEST_F(SimFaults, EveryNthReplyIsLost) {
    Start({"--drop-every", "3"});
    const std::vector<std::string> commands = {"01MD", "01PY", "01PP", "02MD",
                                               "02PY", "02PP", "03MD"};
    for (const auto& c : commands)
        client_->SendCommand(c);
    std::vector<std::string> received;
    for (int i = 0; i < 5; ++i)
        received.push_back(Next());
    EXPECT_EQ(received, (std::vector<std::string>{
                            Shown(Framed("01md\x2E\x22")), Shown(Framed("01py\x21\x20\x20")),
                            Shown(Framed("02md\x2D\x23")), Shown(Framed("02py\x21\x20\x20")),
                            Shown(Framed("03md\x2C\x24"))}));
    EXPECT_EQ(Next(150), Shown(std::nullopt));
}

TEST_F(SimFaults, GarbageComesBeforeEachReply) {
    Start({"--garbage"});
    for (int i = 0; i < 2; ++i) {
        client_->SendCommand("01PP");
        // A lone end byte, the junk frame, then the reply.
        const std::string expected =
            Framed("") + Framed(std::string_view("\x00\xFFzz\x7F", 5)) + Framed("01pp\x20");
        EXPECT_EQ(Shown(client_->ReadBytes(expected.size())), Shown(expected));
    }
}

TEST_F(SimFaults, ConnectionDroppedAfterNFramesAndTheNextClientServed) {
    Start({"--close-after", "2"});
    EXPECT_EQ(Shown(client_->Exchange("01MD")), Shown(Framed("01md\x2E\x22")));
    client_->SendCommand("09MD");  // unanswered frames count too
    EXPECT_TRUE(client_->WaitClosed());

    WireClient next = WireClient::Tcp(sim_->Port());
    ASSERT_TRUE(next.Connected());
    EXPECT_EQ(Shown(next.Exchange("01PP")), Shown(Framed("01pp\x20")));
    EXPECT_EQ(Shown(next.Exchange("01PY")), Shown(Framed("01py\x21\x20\x20")));
    EXPECT_TRUE(next.WaitClosed());
}

TEST_F(SimFaults, OverflowRunBeforeTheFirstReplyOnly) {
    Start({"--overflow"});
    client_->SendCommand("01PP");
    const std::string first = std::string(200, 0x55) + Framed("01pp\x20");
    EXPECT_EQ(Shown(client_->ReadBytes(first.size())), Shown(first));
    EXPECT_EQ(Shown(client_->Exchange("01PP")), Shown(Framed("01pp\x20")));

    client_.reset();
    WireClient next = WireClient::Tcp(sim_->Port());
    next.SendCommand("01PP");
    EXPECT_EQ(Shown(next.ReadBytes(first.size())), Shown(first)) << "once per connection";
}

TEST_F(SimFaults, QueuedJunkWaitsBeforeAnyCommand) {
    Start({"--queued-junk"});
    const std::string junk = Framed("01md\x20\x21") + "01pg";
    EXPECT_EQ(Shown(client_->ReadBytes(junk.size())), Shown(junk));
    EXPECT_EQ(Shown(client_->ReadBytes(1, 100)), Shown(std::nullopt));
}

TEST_F(SimFaults, WrongLengthRepliesCarryOneByteMore) {
    Start({"--wrong-length", "PG,md"});
    EXPECT_EQ(Shown(client_->Exchange("01PG\x20")), Shown(Framed("01pg 00000000\x20")));
    EXPECT_EQ(Shown(client_->Exchange("01MD")), Shown(Framed("01md\x2E\x22\x20")));
    EXPECT_EQ(Shown(client_->Exchange("01PP")), Shown(Framed("01pp\x20")));
}

TEST_F(SimFaults, UpperEchoPrecedesTheReply) {
    Start({"--upper-echo"});
    client_->SendCommand("01PG\x21");
    EXPECT_EQ(Next(), Shown(Framed("01PG\x21")));
    EXPECT_EQ(Next(), Shown(Framed("01pg!00000000")));
}

TEST_F(SimFaults, GatewayNoticeOnConnect) {
    Start({"--notice", "3"});
    EXPECT_EQ(Next(), Shown(Framed("00gq\x23")));

    const auto before = Clock::now();
    Start({"--notice", "-32@200"});
    EXPECT_EQ(Next(), Shown(Framed(std::string("00gq\0", 5))));
    EXPECT_GE(Clock::now() - before, std::chrono::milliseconds(200));
}

}  // namespace
