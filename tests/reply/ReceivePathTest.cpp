// Replies travel the real way here: bytes written by a peer on a loopback TCP connection, read by
// the session's receive thread, cut into frames and handed to the handler.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "LoopbackPeer.h"
#include "RecordingTarget.h"
#include "link/HandleReply.h"
#include "link/LinkSession.h"
#include "link/LinkTiming.h"

namespace {

using namespace std::chrono_literals;

constexpr auto POST_LIMIT = 5s;

// Node digits as a unit puts them in front of its reply.
std::string Frame(const std::string& reply) {
    return "01" + reply;
}

class ReceivePath : public ::testing::Test {
protected:
    void SetUp() override {
        LinkSession& session = target_.session;
        Internals(session).kind = Tcp;
        Internals(session).host = "127.0.0.1";
        Internals(session).service = peer_.Port();
        Internals(session).handler = HandleReply;
        Internals(session).userData = static_cast<ReplyTarget*>(&target_);
        // Answers arrive at once on loopback; finer polls keep the exchanges short.
        session.Timing().replyPollMs = 10;
        session.Timing().replyPolls = 500;
        ASSERT_EQ(OpenLink(Internals(session)), 0) << Internals(session).lastError;
        ASSERT_TRUE(peer_.Accept());
        Mark(target_);
    }

    void TearDown() override {
        Internals(target_.session).userData = nullptr;
        CloseLink(target_.session);
    }

    // Replies that must not end the wait let it run into a short time-out.
    void ShortenReplyWait() { ReplyWait(target_.session, 20, 15); }

    void WriteFrames(const std::string& bytes) { peer_.Write(bytes); }

    // The command frame the program sent, up to its end byte.
    std::string ReadCommand() {
        const std::vector<unsigned char> command = peer_.ReadFrame();
        return {command.begin(), command.end()};
    }

    // Sends a command and lets the peer answer it with `replies` once it has arrived.
    int Exchange(const std::string& replies, const UnitCommand& sent) {
        std::string command;
        std::thread unit([&] {
            command = ReadCommand();
            WriteFrames(replies);
        });
        const int result = SendCommand(target_.session, host_, sent);
        unit.join();
        lastCommand_ = command;
        return result;
    }

    LoopbackPeer peer_;
    RecordingTarget target_;
    TestHost host_;
    std::string lastCommand_;
};

struct ExchangeCase {
    const char* name;
    UnitCommand command;
    std::string frames;
    Changes changes;
};

// clang-format off
const ExchangeCase ANSWERED[] = {
    {"md 5",             IdentifyCommand(), Frame(Reply("md\x2E\x22")),     {{UNIT_ID, 1}, {MODEL_CODE, 2}, {SUB_CODE, 0}}},
    {"md 6 extension",   IdentifyCommand(), Frame(Reply("md\x2F\x2F\x21")), {{UNIT_ID, 0}, {MODEL_CODE, 15}, {SUB_CODE, 1}}},
    {"md 6 other model", IdentifyCommand(), Frame(Reply("md\x2F\x22\x21")), {{UNIT_ID, 0}, {MODEL_CODE, 2}, {SUB_CODE, 0}}},
    {"md 5 extension",   IdentifyCommand(), Frame(Reply("md\x2F\x2F")),     {{UNIT_ID, 0}, {MODEL_CODE, 15}, {SUB_CODE, 0}}},
    {"md ID 0x30",       IdentifyCommand(), Frame(Reply("md\x30\x22")),     {{UNIT_ID, -1}, {MODEL_CODE, 2}, {SUB_CODE, 0}}},
    {"md 4",             IdentifyCommand(), Frame(Reply("md\x2E")),         {}},
    {"md 7",             IdentifyCommand(), Frame(Reply("md\x2E\x22\x21\x21")), {}},
    {"pp counting",      ReadStateCommand(), Frame(Reply("pp\x28")),         {{COUNTING_ON, 8}}},
    {"pp stopped",       ReadStateCommand(), Frame(Reply("pp\x20")),         {{COUNTING_ON, 0}}},
    {"ph DI5",           ReadEdgeCommand(4), Frame(Reply("ph\x24\x22")),     {{EDGE4, 2}}},
    {"ph index 5",       ReadEdgeCommand(5), Frame(Reply("ph\x25\x22")),     {}},
    {"ph index -1",      ReadEdgeCommand(-1), Frame(Reply("ph\x1F\x22")),     {}},
    {"ph 6",             ReadEdgeCommand(4), Frame(Reply("ph\x24\x22\x20")), {}},
    {"py",               ReadSettingsCommand(), Frame(Reply("py\x2F\x24\x2A")), {{MODE, 3}, {CLEAR_SIGNAL, 1}, {PERIOD, 4}, {DEBOUNCE, 10}}},
    {"py 5",             ReadSettingsCommand(), Frame(Reply("py\x2F\x24")),     {}},
    {"pc",               SetEdgeCommand(4, 0x21), Frame(Reply("pc")),              {}},
    // A reply is taken whatever node digits the unit put in front.
    {"pu from node FE",  SetSettingsCommand(0x2F, 0x20, 0x20), "FE" + Reply("pu"),              {}},
    {"ps with data",     StartStopCommand(true), Frame(Reply("ps\x28")),         {}},
};
// clang-format on

TEST_F(ReceivePath, AnsweredCommandsShowTheirValuesWhenTheWaitEnds) {
    for (const ExchangeCase& c : ANSWERED) {
        Mark(target_);
        EXPECT_EQ(Exchange(c.frames, c.command), 0) << c.name;
        EXPECT_EQ(ObservedOf(target_), MarkedWith(c.changes)) << c.name;
        EXPECT_TRUE(target_.Posts().empty()) << c.name;
    }
}

struct UnansweredCase {
    const char* name;
    std::string frames;
};

const UnansweredCase UNANSWERED[] = {
    {"MD echoed back", "00" + Reply("MD")},
    {"MD echoed with data", "01" + Reply("MD\x2E\x22")},
    {"unknown letters", Frame(Reply("zz\x2E\x22"))},
    {"unknown p letters", Frame(Reply("pa\x20"))},
    {"node digits and end byte", Frame(Reply(""))},
    {"reply letter cut", Frame(Reply("m"))},
    {"one digit", Reply("0")},
    {"lone end byte", Reply("")},
};

TEST_F(ReceivePath, OtherFramesLeaveTheWaitRunning) {
    ShortenReplyWait();
    for (const UnansweredCase& c : UNANSWERED) {
        Mark(target_);
        EXPECT_EQ(Exchange(c.frames, IdentifyCommand()), LINK_E_TIMEOUT) << c.name;
        EXPECT_EQ(ObservedOf(target_), MarkedWith({})) << c.name;
    }
}

TEST_F(ReceivePath, CountRepliesStoreAndNotify) {
    // None of the frames in front of the last one may store or notify; the last one shows that
    // every frame before it has been handled.
    std::string frames;
    for (const std::string& reply :
         {CountReply(0x20, "0000000A"), CountReply(0x21, "FFFFFFFF"), CountReply(0x22, "000012G4"),
          CountReply(0x23, "000000A"),    // length 11
          CountReply(0x23, "0000000A0"),  // length 13
          CountReply(0x25, "0000000A"),   // index 5
          CountReply(0x1F, "0000000A"),   // index -1
          CountReply(0x24, "00000005")}) {
        frames += Frame(reply);
    }
    std::thread unit([&] {
        lastCommand_ = ReadCommand();
        WriteFrames(frames);
    });
    EXPECT_EQ(PostCommand(target_.session, host_, ReadCountCommand(0)), 0);
    unit.join();
    ASSERT_TRUE(target_.WaitForPosts(4, POST_LIMIT));
    EXPECT_EQ(target_.Posts(), (std::vector<int32_t>{0, 1, 2, 4}));
    EXPECT_EQ(ObservedOf(target_),
              MarkedWith({{COUNT0, 10}, {COUNT1, -1}, {COUNT2, 0x12}, {COUNT4, 5}}));
    EXPECT_EQ(lastCommand_, "00PG\x20\xC8");
}

TEST_F(ReceivePath, CountRepliesDoNotEndAWait) {
    ShortenReplyWait();
    EXPECT_EQ(Exchange(Frame(CountReply(0x20, "0000000A")), ReadStateCommand()), LINK_E_TIMEOUT);
    ASSERT_TRUE(target_.WaitForPosts(1, POST_LIMIT));
    EXPECT_EQ(ObservedOf(target_), MarkedWith({{COUNT0, 10}}));
}

// Replies tied to the command that awaits them: what comes in during a wait, from which node, and
// what the exchange then ends with, stores and says of the reply that ended it.
struct TiedCase {
    const char* name;
    bool nodeChecked;
    int32_t node;
    UnitCommand command;
    std::string frames;
    int32_t result;
    Changes changes;
    bool decoded;
};

const std::vector<TiedCase> TIED = {
    {"late identification, then the settings",
     false,
     1,
     ReadSettingsCommand(),
     Frame(Reply("md.\"")) + Frame(Reply("py/\x22\x24")),
     0,
     {{MODE, 3}, {CLEAR_SIGNAL, 1}, {PERIOD, 2}, {DEBOUNCE, 4}},
     true},
    {"late state reply alone",
     false,
     1,
     IdentifyCommand(),
     Frame(Reply("pp(")),
     LINK_E_TIMEOUT,
     {},
     false},
    {"another node's digits, window",
     false,
     1,
     IdentifyCommand(),
     "03" + Reply("md.\""),
     0,
     {{UNIT_ID, 1}, {MODEL_CODE, 2}, {SUB_CODE, 0}},
     true},
    {"another node alone, node checked",
     true,
     1,
     IdentifyCommand(),
     "03" + Reply("md.\""),
     LINK_E_TIMEOUT,
     {},
     false},
    {"another node, then its own",
     true,
     1,
     IdentifyCommand(),
     "03" + Reply("md-\"") + "01" + Reply("md.\""),
     0,
     {{UNIT_ID, 1}, {MODEL_CODE, 2}, {SUB_CODE, 0}},
     true},
    {"own node in lower-case digits",
     true,
     0x1A,
     IdentifyCommand(),
     "1a" + Reply("md.\""),
     0,
     {{UNIT_ID, 1}, {MODEL_CODE, 2}, {SUB_CODE, 0}},
     true},
    {"known letters, wrong length",
     true,
     1,
     ReadSettingsCommand(),
     Frame(Reply("py!")),
     0,
     {},
     false},
};

TEST_F(ReceivePath, RepliesAnswerOnlyTheCommandThatAwaitsThem) {
    ShortenReplyWait();
    LinkSession& session = target_.session;
    for (const TiedCase& c : TIED) {
        Mark(target_);
        Internals(session).checkReplyNode = c.nodeChecked;
        Internals(session).node = c.node;
        Internals(session).replyDecoded = !c.decoded;
        EXPECT_EQ(Exchange(c.frames, c.command), c.result) << c.name;
        EXPECT_EQ(ObservedOf(target_), MarkedWith(c.changes)) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(Internals(session).replyDecoded.load(), c.decoded) << c.name;
        }
    }
}

TEST_F(ReceivePath, NodeCheckedCountRepliesNeedTheirNodeAndRequestedInput) {
    Internals(target_.session).checkReplyNode = true;
    Internals(target_.session).node = 1;
    std::thread unit([&] {
        lastCommand_ = ReadCommand();
        WriteFrames("02" + CountReply(0x21, "0000000A") + Frame(CountReply(0x22, "0000000B")) +
                    Frame(CountReply(0x21, "0000000C")) + Frame(CountReply(0x21, "0000000D")) +
                    Frame(CountReply(0x24, "00000005")) + "00gq!" + Reply(""));
    });
    EXPECT_EQ(PostCommand(target_.session, host_, ReadCountCommand(1)), 0);
    unit.join();
    // The gateway notice behind the replies marks that every one of them has been handled.
    const auto start = std::chrono::steady_clock::now();
    while (Internals(target_.session).gatewayStatus.load() != 1 &&
           std::chrono::steady_clock::now() - start < POST_LIMIT)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(PostCommand(target_.session, host_, ReadCountCommand(4)), 0);
    WriteFrames(Frame(CountReply(0x24, "00000006")));
    ASSERT_TRUE(target_.WaitForPosts(2, POST_LIMIT));
    // Index 1 once (the second reply to one request is not taken), then the requested index 4.
    EXPECT_EQ(target_.Posts(), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(ObservedOf(target_), MarkedWith({{COUNT1, 12}, {COUNT4, 6}}));
}

}  // namespace
