#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "LoopbackPeer.h"
#include "PtyLinkFixture.h"
#include "link/LinkInternals.h"

// The serial line as a port arrives from its driver: in the terminal's cooked mode, with echo,
// line editing, CR/LF translation and XON/XOFF flow control. The session alone has to make it
// a transparent 8-bit line.

namespace {

// The device starts in the terminal's cooked mode: echo, line editing, CR/LF translation and
// XON/XOFF, all of which the session must switch off.
class CookedPtyTest : public PtyLinkFixture {
protected:
    void PrepareLine(termios& line) override {
        line.c_iflag |= ICRNL | IXON | IXOFF | ISTRIP;
        line.c_oflag |= OPOST | ONLCR;
        line.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    }
};

std::vector<unsigned char> EveryByteValue() {
    std::vector<unsigned char> all(256);
    for (int value = 0; value < 256; ++value)
        all[static_cast<size_t>(value)] = static_cast<unsigned char>(value);
    return all;
}

TEST_F(CookedPtyTest, SessionMakesTheLineTransparentBothWays) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    const std::vector<unsigned char> all = EveryByteValue();
    ASSERT_EQ(
        Internals(session).transport.load()->writeAll(Internals(session), all.data(), all.size()),
        0);
    EXPECT_EQ(ReadMaster(all.size() + 1, 200), all) << "unchanged, nothing added";

    std::vector<unsigned char> content;
    for (unsigned char value : all) {
        if (value != FRAME_END) content.push_back(value);
    }
    // In frames of at most 127 bytes: node digits, two letters, 100 content bytes, end byte.
    std::string expected;
    for (size_t start = 0; start < content.size(); start += 100) {
        const size_t size = std::min<size_t>(100, content.size() - start);
        std::vector<unsigned char> frame = {'0', '1', 'p', 'g'};  // count replies: always taken
        frame.insert(frame.end(), content.begin() + static_cast<long>(start),
                     content.begin() + static_cast<long>(start + size));
        frame.push_back(FRAME_END);
        WriteMaster(frame);
        expected += std::string(frame.begin() + 2, frame.end() - 1);
    }
    ASSERT_TRUE(handler.AwaitCount(3));
    std::string received;
    for (const RecordingHandler::Reply& reply : handler.Replies())
        received += reply.letters;
    EXPECT_EQ(received, expected);
    EXPECT_TRUE(ReadMaster(1, 100).empty()) << "nothing echoed back to the unit";
}

TEST_F(CookedPtyTest, ExclusiveUseEndsWithTheSession) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    int exclusive = 0;
    ASSERT_EQ(ioctl(slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0) << "no other program may open the port meanwhile";
    CloseLink(session);
    ASSERT_EQ(ioctl(slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "a closed session must not keep the port from the next user";
}

TEST_F(CookedPtyTest, WriteThatTheLineTakesInPartsIsCompleted) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    std::vector<unsigned char> bytes(256 * 1024);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 256);
    std::vector<unsigned char> received;
    std::thread unit([&] { received = ReadMaster(bytes.size()); });
    EXPECT_EQ(Internals(session).transport.load()->writeAll(Internals(session), bytes.data(),
                                                            bytes.size()),
              0);
    unit.join();
    EXPECT_EQ(received.size(), bytes.size());
    EXPECT_TRUE(received == bytes);
}

}  // namespace
