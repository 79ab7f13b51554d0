#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"

// Opening a TCP link that cannot be made, and a connection that the gateway drops.

namespace {

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

LinkSession& TcpSessionTo(LinkSession& session, const std::string& service) {
    Internals(session).kind = Tcp;
    Internals(session).host = "127.0.0.1";
    Internals(session).service = service;
    return session;
}

TEST(TcpOpen, NoAnswerFailsAsTimeOutAfterTheConnectWait) {
    SilentListener gateway;
    ASSERT_TRUE(gateway.Ready());
    LinkSession session;
    session.Timing().connectTimeoutMs = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(OpenLink(Internals(TcpSessionTo(session, gateway.Port()))), 0);
    const double elapsed = MillisecondsSince(start);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_TIMEOUT);
    EXPECT_GE(elapsed, 250.0);
    EXPECT_LT(elapsed, 2500.0);
    EXPECT_EQ(Internals(session).state.load(), Idle);
    EXPECT_EQ(Internals(session).tcpSocket, -1);
}

void Ignore(int) {}

TEST(TcpOpen, SignalDuringTheConnectWaitDoesNotShortenIt) {
    SilentListener gateway;
    ASSERT_TRUE(gateway.Ready());
    struct sigaction previous {};
    struct sigaction ignoring {};
    ignoring.sa_handler = Ignore;  // no SA_RESTART: a waiting poll returns EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &ignoring, &previous), 0);

    LinkSession session;
    session.Timing().connectTimeoutMs = 1000;
    std::atomic<bool> done{false};
    double elapsed = 0;
    std::thread opener([&] {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_LT(OpenLink(Internals(TcpSessionTo(session, gateway.Port()))), 0);
        elapsed = MillisecondsSince(start);
        done = true;
    });
    // Signals throughout the wait; at least one arrives while it polls.
    while (!done) {
        pthread_kill(opener.native_handle(), SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    opener.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(Internals(session).lastError.load(), LINK_E_TIMEOUT) << "not EINTR (4)";
    EXPECT_GE(elapsed, 950.0);
}

TEST(TcpOpen, FailedOpensLeaveNoDescriptorBehind) {
    SilentListener gateway;
    ASSERT_TRUE(gateway.Ready());
    LoopbackPeer closed;
    const std::string refusedPort = closed.Port();
    closed.CloseListener();
    const size_t before = OpenDescriptors();
    for (const std::string& service :
         {refusedPort, std::string("no-such-service-here"), gateway.Port(), refusedPort}) {
        LinkSession session;
        session.Timing().connectTimeoutMs = 100;
        EXPECT_LT(OpenLink(Internals(TcpSessionTo(session, service))), 0) << service;
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

// A gateway on a network this machine cannot reach: connect fails at once, before any packet
// leaves. A network namespace whose loopback is down makes 127.0.0.1 such an address.
enum ChildVerdict { FAILED_AS_UNREACHABLE = 0, OPENED = 1, OTHER_FAILURE = 2, NO_NAMESPACE = 77 };

int OpenInIsolatedNetwork(int32_t* lastError) {
    if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return NO_NAMESPACE;
    auto* session = new LinkSession;  // never destroyed: the child ends with _exit
    session->Timing().connectTimeoutMs = 500;
    session->Timing().stateWaitLimitMs = 500;
    const int result = OpenLink(Internals(TcpSessionTo(*session, "10003")));
    *lastError = Internals(*session).lastError.load();
    if (result == 0) return OPENED;
    return *lastError == ENETUNREACH && Internals(*session).tcpSocket == -1 ? FAILED_AS_UNREACHABLE
                                                                            : OTHER_FAILURE;
}

TEST(TcpOpen, UnreachableNetworkFailsWithItsErrorNumberInsteadOfOpening) {
#if defined(__SANITIZE_THREAD__)
    // The sanitizer's own thread makes every fork multi-threaded, and it refuses a child that then
    // starts the link's threads; the other builds run this test.
    GTEST_SKIP() << "not under ThreadSanitizer";
#endif
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int32_t lastError = 0;
        const int verdict = OpenInIsolatedNetwork(&lastError);
        (void)!write(report[1], &lastError, sizeof lastError);
        _exit(verdict);
    }
    close(report[1]);
    int32_t lastError = -12345;
    (void)!read(report[0], &lastError, sizeof lastError);
    close(report[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == NO_NAMESPACE) GTEST_SKIP() << "no network namespace here";
    EXPECT_NE(WEXITSTATUS(status), OPENED) << "an unreachable gateway was taken as connected";
    EXPECT_EQ(WEXITSTATUS(status), FAILED_AS_UNREACHABLE) << "lastError " << lastError;
    EXPECT_EQ(lastError, ENETUNREACH);
}

TEST_F(TcpLinkTest, PeerThatClosedNeverKillsTheProgram) {
    // With the default action a write to a closed connection would end the test program here.
    struct sigaction previous {};
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ASSERT_EQ(sigaction(SIGPIPE, &byDefault, &previous), 0);
    Open();
    peer.CloseConnection();
    int result = 0;
    for (int attempt = 0; attempt < 100 && result == 0; ++attempt) {
        result = PostCommand(session, host, ReadCountCommand(0));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(result == EPIPE || result == ECONNRESET) << result;
    EXPECT_EQ(Internals(session).state.load(), Running);
    sigaction(SIGPIPE, &previous, nullptr);
}

}  // namespace
