#include <functional>
#include <string>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"

namespace {

// One step of traffic and the awaited-reply count it leaves behind.
struct CounterStep {
    const char* what;
    std::function<void()> act;
    int32_t expected;
};

class AwaitedReplyCounter : public TcpLinkTest {
protected:
    void Send(const UnitCommand& command) {
        ASSERT_EQ(SendUnitCommand(command, Internals(session)), 0);
    }
    void Receive(const std::string& frame) {
        peer.Write(Frame(frame));
        Sync(++syncs);
    }
    std::function<void()> Sends(const UnitCommand& command) {
        return [this, command] { Send(command); };
    }
    std::function<void()> Receives(const char* frame) {
        return [this, frame] { Receive(frame); };
    }
    void Run(const std::vector<CounterStep>& steps) {
        for (const CounterStep& step : steps) {
            step.act();
            EXPECT_EQ(Internals(session).pendingReplies.load(), step.expected) << step.what;
        }
    }
    int32_t syncs = 0;
};

// One command awaits its reply at a time: the last one sent.
TEST_F(AwaitedReplyCounter, FollowsTheAwaitedCommandAndItsReply) {
    Open();
    Run({
        {"a command raises it", Sends(ReadSettingsCommand()), 1},
        {"a second command awaits instead of the first", Sends(ReadStateCommand()), 1},
        {"a count request never raises it", Sends(ReadCountCommand(0)), 1},
        {"a count reply never lowers it", Receives("01pg 0000000A"), 1},
        {"a rejected reply leaves it", Receives("01PP"), 1},
        {"the first command's late reply leaves it", Receives("01py!  "), 1},
        {"a reply from another node counts the same", Receives("07pp("), 0},
        {"a reply that nothing awaits leaves it", Receives("01pp("), 0},
        {"a short count reply does not count either", Receives("01pg"), 0},
    });
}

TEST_F(AwaitedReplyCounter, FrameWithoutHandlerAndGatewayNoticeLeaveIt) {
    Open();
    Send(IdentifyCommand());
    Internals(session).userData = nullptr;
    Receive("01md/\"");
    EXPECT_EQ(Internals(session).pendingReplies.load(), 1);
    EXPECT_EQ(handler.Count(), 0u) << "no handler call while the user data is cleared";
    Internals(session).userData = &handler;
    Receive("00gq!");
    EXPECT_EQ(Internals(session).pendingReplies.load(), 1);
    EXPECT_EQ(handler.Count(), 0u) << "a gateway notice reaches no handler";
}

TEST_F(AwaitedReplyCounter, TimeOutAndOpenResetIt) {
    ReplyWait(session, 5, 4);
    Open();
    Send(ReadSettingsCommand());
    ASSERT_EQ(Internals(session).pendingReplies.load(), 1);
    EXPECT_EQ(SendCommand(session, host, IdentifyCommand()), LINK_E_TIMEOUT);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);

    Send(ReadSettingsCommand());
    CloseLink(session);
    ASSERT_EQ(Internals(session).pendingReplies.load(), 1);
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
}

}  // namespace
