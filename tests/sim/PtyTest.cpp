// velkor-sim over its pseudo-terminal, as the program's serial transport meets it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>

#include "SimProcess.h"

namespace {

std::string LinkTarget(const std::string& link) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, size_t(n));
}

bool Exists(const std::string& path) {
    struct stat s {};
    return ::lstat(path.c_str(), &s) == 0;
}

TEST(SimPty, ServesTheSameUnitsAsTcp) {
    const std::string link = TempPath("tty");
    SimProcess sim({"--pty", link});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(LinkTarget(link).rfind("/dev/pts/", 0), 0u) << LinkTarget(link);

    WireClient serial = WireClient::Serial(link);
    ASSERT_TRUE(serial.Connected());
    EXPECT_EQ(Shown(serial.Exchange("01MD")), Shown(Framed("01md\x2E\x22")));
    EXPECT_EQ(Shown(serial.Exchange("05MD")), Shown(Framed("05md\x2A\x2F\x21")));

    WireClient tcp = WireClient::Tcp(sim.Port());
    EXPECT_EQ(Shown(tcp.Exchange("02PS\x28")), Shown(Framed("02ps")));
    EXPECT_EQ(Shown(serial.Exchange("02PP")), Shown(Framed("02pp\x28")));

    // Every byte passes unchanged, 0x11, 0x13 and the end byte included.
    EXPECT_EQ(Shown(serial.Exchange("01PC\x21\x11")), Shown(Framed("01pc")));
    EXPECT_EQ(Shown(serial.Exchange("01PH\x21")), Shown(Framed("01ph\x21\x11")));
    EXPECT_EQ(Shown(serial.Exchange("01PC\x22\x13")), Shown(Framed("01pc")));
    EXPECT_EQ(Shown(serial.Exchange("01PH\x22")), Shown(Framed("01ph\x22\x13")));
}

TEST(SimPty, ClientMayCloseAndReopen) {
    const std::string link = TempPath("tty");
    SimProcess sim({"--pty", link, "--listen", "off", "--notice", "1"});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.Port(), 0);
    {
        WireClient first = WireClient::Serial(link);
        EXPECT_EQ(Shown(first.ReadFrame()), Shown(Framed("00gq\x21")))
            << "bytes waiting in the port when it is opened";
        EXPECT_EQ(Shown(first.Exchange("03MD")), Shown(Framed("03md\x2C\x24")));
    }
    WireClient second = WireClient::Serial(link);
    EXPECT_EQ(Shown(second.Exchange("03MD")), Shown(Framed("03md\x2C\x24")));
}

TEST(SimPty, CloseAfterHangsUpAndMovesTheLinkToAFreshPty) {
    const std::string link = TempPath("tty");
    SimProcess sim({"--pty", link, "--close-after", "1"});
    ASSERT_TRUE(sim.Started());
    const std::string before = LinkTarget(link);
    WireClient serial = WireClient::Serial(link);
    EXPECT_EQ(Shown(serial.Exchange("01PP")), Shown(Framed("01pp\x20")));
    EXPECT_TRUE(serial.WaitClosed()) << "the old port reads end-of-file or EIO";

    const std::string after = LinkTarget(link);
    EXPECT_FALSE(after.empty());
    EXPECT_NE(after, before);
    WireClient replugged = WireClient::Serial(link);
    EXPECT_EQ(Shown(replugged.Exchange("01PP")), Shown(Framed("01pp\x20")));
}

TEST(SimPty, HungUpPortReadsEndOfFileAsTheHelpSays) {
    const std::string link = TempPath("tty");
    SimProcess sim({"--pty", link, "--close-after", "1"});
    ASSERT_TRUE(sim.Started());
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    WireClient probe = WireClient::Serial(link);  // sets the line raw; answered, then hung up
    EXPECT_EQ(Shown(probe.Exchange("01PP")), Shown(Framed("01pp\x20")));
    ASSERT_TRUE(probe.WaitClosed());
    pollfd entry{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, 3000), 1);
    char byte = 0;
    EXPECT_EQ(::read(fd, &byte, 1), 0) << "errno " << errno;
    ::close(fd);
    const SimRun help = RunSimToEnd({"--help"});
    EXPECT_NE(help.out.find("end of file, 0"), std::string::npos);
    EXPECT_EQ(help.out.find("EIO"), std::string::npos);
}

TEST(SimPty, SignalsEndItCleanlyAndRemoveTheLink) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string link = TempPath("tty");
        SimProcess sim({"--pty", link});
        ASSERT_TRUE(sim.Started());
        ASSERT_TRUE(Exists(link));
        WireClient serial = WireClient::Serial(link);  // a client still holding the port
        const int status = sim.Stop(signal);
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_FALSE(Exists(link)) << "signal " << signal;
    }
}

TEST(SimPty, StaleLinkIsReplacedButNoOtherFile) {
    const std::string link = TempPath("tty");
    ASSERT_EQ(::symlink("/dev/pts/does-not-exist", link.c_str()), 0);
    {
        SimProcess sim({"--pty", link});
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(LinkTarget(link).rfind("/dev/pts/", 0), 0u);
        EXPECT_NE(LinkTarget(link), "/dev/pts/does-not-exist");
    }
    EXPECT_FALSE(Exists(link));

    const std::string file = TempPath("plain");
    std::ofstream(file) << "keep";
    const SimRun run = RunSimToEnd({"--listen", "127.0.0.1:0", "--quiet", "--pty", file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("not a symbolic link"), std::string::npos) << run.err;
    std::string kept;
    std::ifstream(file) >> kept;
    EXPECT_EQ(kept, "keep");
}

}  // namespace
