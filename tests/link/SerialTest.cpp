#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "LoopbackPeer.h"
#include "PtyLinkFixture.h"
#include "link/LinkInternals.h"

namespace {

// The device starts raw, as a driver that was set up before would leave it.
class PtyLinkTest : public PtyLinkFixture {
protected:
    void PrepareLine(termios& line) override { cfmakeraw(&line); }
};

TEST_F(PtyLinkTest, BytesQueuedBeforeTheOpenAreDiscarded) {
    WriteMaster(Frame("01md/\""));
    WriteMaster(std::vector<unsigned char>(300, 'q'));
    WriteMaster(Frame("01pp("));
    // A pty hands the master's bytes to the slave a moment later; they must be queued on the line
    // before it is opened, as a unit's would be.
    const int queued = 7 + 300 + 6;
    ASSERT_TRUE(WaitFor([this] {
        int waiting = 0;
        return ioctl(slave, FIONREAD, &waiting) == 0 && waiting == queued;
    }));
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    int waiting = -1;
    ASSERT_EQ(ioctl(slave, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 0) << "the open returns only once the line went quiet";
    WriteMaster(Frame("01pg"));
    ASSERT_TRUE(handler.AwaitCount(1));
    EXPECT_EQ(handler.Count(), 1u);
    EXPECT_EQ(handler.Replies()[0].letters, "pg");
}

TEST_F(PtyLinkTest, EveryByteValuePassesUnchangedBothWays) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    std::vector<unsigned char> all(256);
    for (int value = 0; value < 256; ++value)
        all[static_cast<size_t>(value)] = value;
    ASSERT_EQ(
        Internals(session).transport.load()->writeAll(Internals(session), all.data(), all.size()),
        0);
    EXPECT_EQ(ReadMaster(all.size()), all);

    // Towards the program every value but the end byte is frame content.
    std::vector<unsigned char> content;
    for (int value = 0; value < 256; ++value) {
        if (value != FRAME_END) content.push_back(static_cast<unsigned char>(value));
    }
    std::string received;
    for (size_t start = 0; start < content.size(); start += 100) {
        const size_t size = std::min<size_t>(100, content.size() - start);
        std::vector<unsigned char> frame = {'0', '1', 'p', 'g'};  // count replies: always taken
        frame.insert(frame.end(), content.begin() + static_cast<long>(start),
                     content.begin() + static_cast<long>(start + size));
        frame.push_back(FRAME_END);
        WriteMaster(frame);
    }
    ASSERT_TRUE(handler.AwaitCount(3));
    for (const RecordingHandler::Reply& reply : handler.Replies())
        received += reply.letters.substr(2);
    EXPECT_EQ(received, std::string(content.begin(), content.end()));
}

TEST_F(PtyLinkTest, CommandExchangeOverTheSerialLine) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    std::thread unit([this] {
        const std::vector<unsigned char> command = ReadMaster(5);
        if (command == Frame("01PP")) WriteMaster(Frame("01pp("));
    });
    EXPECT_EQ(SendCommand(session, host, ReadStateCommand()), 0);
    unit.join();
    EXPECT_EQ(handler.storedByLastReply, 4);
}

TEST_F(PtyLinkTest, SecondOpenOfTheSameDeviceFailsWhileTheFirstHoldsIt) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    LinkSession second;
    Internals(second).kind = Serial;
    Internals(second).portPath = Internals(session).portPath;
    EXPECT_LT(OpenLink(Internals(second)), 0);
    // TIOCEXCL refuses the second open (EBUSY); root passes it and meets the lock instead.
    const int32_t refusal = Internals(second).lastError.load();
    EXPECT_TRUE(refusal == EBUSY || refusal == EWOULDBLOCK) << refusal;
    EXPECT_EQ(Internals(second).state.load(), Idle);
    CloseLink(session);
    EXPECT_EQ(OpenLink(Internals(second)), 0) << "free again once closed";
    CloseLink(second);
}

TEST_F(PtyLinkTest, OpenThatFailsAfterTakingThePortLeavesItFreeForTheNextUser) {
    SeamGuard seams;
    TheLinkSeams().hook = [](LinkStep step) -> int32_t {
        return step == LinkStep::SerialLineSetting ? EIO : 0;
    };
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), EIO);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).portHandle.load(), -1);
    int exclusive = 0;
    ASSERT_EQ(ioctl(slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the failed open kept the port exclusive";
    TheLinkSeams().hook = nullptr;
    EXPECT_EQ(OpenLink(Internals(session)), 0);
}

TEST_F(PtyLinkTest, MissingDeviceFailsWithItsErrorNumber) {
    Internals(session).portPath = "/dev/velkor-no-such-port";
    EXPECT_LT(OpenLink(Internals(session)), 0);
    EXPECT_EQ(Internals(session).lastError.load(), ENOENT);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).portHandle, -1);
}

TEST_F(PtyLinkTest, VanishedDeviceGivesItsErrorNumberOnTheNextWrite) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    close(slave);
    slave = -1;
    close(master);
    master = open("/dev/null", O_RDONLY);  // keeps TearDown's close harmless
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int result = SendCommand(session, host, IdentifyCommand());
    EXPECT_EQ(result, EIO);
    EXPECT_EQ(Internals(session).state.load(), Running);
    EXPECT_EQ(Internals(session).pendingReplies.load(), 0);
}

}  // namespace
