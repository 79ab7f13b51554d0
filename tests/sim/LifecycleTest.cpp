// velkor-sim as a program: its help, its refusals, start-up, idling, log and one-client rule.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "SimProcess.h"

namespace {

TEST(SimLifecycle, HelpNamesEveryOption) {
    const SimRun run = RunSimToEnd({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option :
         {"--listen",       "--pty",        "--unit",        "--settings", "--count",
          "--rate",         "--z-every",    "--notice",      "--silent",   "--delay-ms",
          "--drop-every",   "--garbage",    "--close-after", "--overflow", "--queued-junk",
          "--wrong-length", "--upper-echo", "--log",         "--quiet",    "--help",
          "mode=",          "clear=",       "flags=",        "period=",    "debounce=",
          "edges=",         "counting="})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

TEST(SimLifecycle, RefusesABadCommandLine) {
    const SimRun run = RunSimToEnd({"--unit", "1:2", "--count", "1:7:1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--count"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST(SimLifecycle, RefusesUnknownCommandLettersLikeAnyBadValue) {
    const SimRun run = RunSimToEnd({"--silent", "PY,XQ"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("XQ"), std::string::npos) << run.err;
}

TEST(SimLifecycle, PortInUseIsAnError) {
    SimProcess first;
    ASSERT_TRUE(first.Started());
    const SimRun second =
        RunSimToEnd({"--listen", "127.0.0.1:" + std::to_string(first.Port()), "--quiet"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("cannot listen"), std::string::npos) << second.err;
}

TEST(SimLifecycle, StartsQuicklyAndListensOnTheAnnouncedPort) {
    SimProcess sim;
    ASSERT_TRUE(sim.Started());
    std::cout << "[ measured ] velkor-sim ready after " << sim.StartupMs() << " ms\n";
    EXPECT_LT(sim.StartupMs(), 2000.0);
    WireClient client = WireClient::Tcp(sim.Port());
    EXPECT_EQ(Shown(client.Exchange("01MD")), Shown(Framed("01md\x2E\x22")));
}

TEST(SimLifecycle, ListensOnIpv6Loopback) {
    SimProcess sim({"--listen", "[::1]:0"});
    ASSERT_TRUE(sim.Started());
    WireClient client = WireClient::Tcp(sim.Port(), true);
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(Shown(client.Exchange("02MD")), Shown(Framed("02md\x2D\x23")));
}

// CPU time of a process in clock ticks, from /proc.
long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

TEST(SimLifecycle, UsesNoCpuWhileIdleEvenWhileCounting) {
    const std::string link = TempPath("tty");
    SimProcess sim({"--pty", link, "--rate", "1000000", "--settings", "1:counting=1", "--delay-ms",
                    "5000", "--notice", "1@60000"});
    ASSERT_TRUE(sim.Started());
    WireClient tcp = WireClient::Tcp(sim.Port());
    WireClient serial = WireClient::Serial(link);
    tcp.SendCommand("01PP");  // a reply waiting for its time
    const long before = CpuTicks(sim.Pid());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const long used = CpuTicks(sim.Pid()) - before;
    std::cout << "[ measured ] " << used << " clock ticks of CPU in 600 ms idle\n";
    EXPECT_LE(used, 3) << "a busy loop would use about " << sysconf(_SC_CLK_TCK) * 6 / 10;
}

TEST(SimLifecycle, OneClientAtATime) {
    SimProcess sim;
    ASSERT_TRUE(sim.Started());
    auto first = std::make_unique<WireClient>(WireClient::Tcp(sim.Port()));
    WireClient second = WireClient::Tcp(sim.Port());  // waits in the backlog
    second.SendCommand("01PP");
    EXPECT_EQ(Shown(first->Exchange("01MD")), Shown(Framed("01md\x2E\x22")));
    EXPECT_EQ(Shown(second.ReadFrame(150)), Shown(std::nullopt));
    first.reset();
    EXPECT_EQ(Shown(second.ReadFrame()), Shown(Framed("01pp\x20")));
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool IsTimestamp(const std::string& t) {
    const std::string shape = "dddd-dd-ddTdd:dd:dd.dddddd";
    if (t.size() != shape.size()) return false;
    for (size_t i = 0; i < t.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(t[i])) : t[i] != shape[i])
            return false;
    return true;
}

bool IsHexList(const std::string& text) {
    if (text.size() < 4 || text.front() != '[' || text.back() != ']') return false;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        const bool blank = (i % 3) == 0;
        if (blank ? text[i] != ' ' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return (text.size() - 1) % 3 == 0;
}

// TIME CHANNEL RX FRAME [HEX] | TIME CHANNEL TX KIND FRAME [HEX] | TIME CHANNEL -- TEXT
bool WellFormed(const std::string& line) {
    std::istringstream in(line);
    std::string time, channel, direction;
    in >> time >> channel >> direction;
    if (!IsTimestamp(time) || channel.empty()) return false;
    std::string rest;
    std::getline(in, rest);
    if (direction == "--") return rest.size() > 1;
    std::istringstream fields(rest);
    std::string kind, frame;
    if (direction == "TX") fields >> kind;
    fields >> frame;
    std::string hex;
    std::getline(fields >> std::ws, hex);
    return (direction == "RX" || (direction == "TX" && !kind.empty())) && !frame.empty() &&
           frame.find_first_of(" \t\xC8") == std::string::npos && IsHexList(hex);
}

TEST(SimLifecycle, LogShowsEveryFrameInAndOutOneLineEach) {
    const std::string log = TempPath("sim.log");
    SimProcess sim({"--log", log, "--garbage", "--silent", "PY"});
    ASSERT_TRUE(sim.Started());
    WireClient client = WireClient::Tcp(sim.Port());
    client.SendCommand("01PY");
    client.SendCommand("09MD");
    client.SendCommand("01PG\x20");
    const std::string expected = "01pg 00000000";
    std::optional<std::string> reply;
    do
        reply = client.ReadFrame();
    while (reply && *reply != Framed(expected));
    ASSERT_TRUE(reply.has_value());

    const std::vector<std::string> lines = Lines(log);  // written before the bytes went out
    for (const auto& line : lines)
        EXPECT_TRUE(WellFormed(line)) << line;

    auto has = [&](const std::string& part) {
        for (const auto& line : lines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has(" tcp#1 RX 01PY\\xC8 [30 31 50 59 C8]"));
    EXPECT_TRUE(has(" tcp#1 -- silent: no reply to PY"));
    EXPECT_TRUE(has(" tcp#1 RX 09MD\\xC8 [30 39 4D 44 C8]"));
    EXPECT_TRUE(has(" tcp#1 -- no reply to 09MD\\xC8: no unit at node 9"));
    EXPECT_TRUE(has(" tcp#1 RX 01PG\\x20\\xC8 [30 31 50 47 20 C8]"));
    EXPECT_TRUE(has(" tcp#1 TX garbage \\xC8 [C8]"));
    EXPECT_TRUE(has(" tcp#1 TX garbage \\x00\\xFFzz\\x7F\\xC8 [00 FF 7A 7A 7F C8]"));
    EXPECT_TRUE(
        has(" tcp#1 TX reply 01pg\\x2000000000\\xC8 [30 31 70 67 20 30 30 30 30 30 30 30 30 C8]"));

    sim.Stop();
    EXPECT_NE(Lines(log).back().find("stopping on signal 15"), std::string::npos);
}

}  // namespace

namespace {

// Starts a connection without waiting for it; the descriptor, or -1.
int StartConnecting(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST(SimLifecycle, BurstOfConnectionsWaitsInsteadOfTimingOut) {
    SimProcess sim;
    ASSERT_TRUE(sim.Started());
    WireClient served = WireClient::Tcp(sim.Port());  // holds the gateway: the rest must queue
    ASSERT_EQ(Shown(served.Exchange("01PP")), Shown(Framed("01pp\x20")));
    constexpr int kBurst = 50;
    std::vector<pollfd> waiting;
    for (int i = 0; i < kBurst; ++i) {
        const int fd = StartConnecting(sim.Port());
        ASSERT_GE(fd, 0);
        waiting.push_back({fd, POLLOUT, 0});
    }
    // A full accept queue drops the handshake; the client would retry only after a second.
    int connected = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
    while (connected < kBurst && std::chrono::steady_clock::now() < limit) {
        if (::poll(waiting.data(), waiting.size(), 50) <= 0) continue;
        for (pollfd& entry : waiting) {
            if (entry.fd < 0 || !(entry.revents & (POLLOUT | POLLERR | POLLHUP))) continue;
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(entry.fd, SOL_SOCKET, SO_ERROR, &error, &size);
            if (error == 0 && (entry.revents & POLLOUT)) ++connected;
            ::close(entry.fd);
            entry.fd = -1;
        }
    }
    for (const pollfd& entry : waiting)
        if (entry.fd >= 0) ::close(entry.fd);
    EXPECT_EQ(connected, kBurst);
}

TEST(SimLifecycle, ClientThatDoesNotReadIsDroppedAndLogged) {
    const std::string log = TempPath("unread.log");
    SimProcess sim({"--log", log});
    ASSERT_TRUE(sim.Started());
    // A small receive window, so that the replies pile up at the gateway and not in the kernel.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(sim.Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::string requests;
    for (int i = 0; i < 4096; ++i)
        requests += Framed("01PG\x20");  // 6 bytes each, answered with 14
    // Sends until the gateway drops the connection (a send then fails), or for at most 60 s.
    bool dropped = false;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!dropped && std::chrono::steady_clock::now() < limit) {
        pollfd entry{fd, POLLOUT, 0};
        if (::poll(&entry, 1, 100) != 1) continue;
        dropped = (entry.revents & (POLLERR | POLLHUP)) ||
                  ::send(fd, requests.data(), requests.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0;
    }
    ::close(fd);
    EXPECT_TRUE(dropped) << "the gateway kept every reply for a client that never reads";
    WireClient next = WireClient::Tcp(sim.Port());
    EXPECT_EQ(Shown(next.Exchange("01PP")), Shown(Framed("01pp\x20"))) << "the next is served";
    bool logged = false;
    for (const std::string& line : Lines(log))
        logged = logged || line.find("does not read") != std::string::npos;
    EXPECT_TRUE(logged);
}

}  // namespace
