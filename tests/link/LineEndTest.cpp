#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fcntl.h>

#include <functional>
#include <future>
#include <string>

#include "PtyLinkFixture.h"
#include "link/LinkInternals.h"

// A line that ends under an open session: the gateway closing its connection, a port hanging up.

namespace {

class HungUpPort : public PtyLinkFixture {
protected:
    void PrepareLine(termios& line) override { cfmakeraw(&line); }
};

TEST_F(HungUpPort, EndsAWaitAndLaterSendsWithEio) {
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    const auto hangUp = [this] {
        close(master);
        master = open("/dev/null", O_RDONLY | O_CLOEXEC);  // the fixture closes it again
    };
    ExpectWaitEndsAndSendsFail(session, host, hangUp, EIO);
}

// A listener on the IPv6 loopback address: reached by a session that resolves any family, not by
// the window's IPv4-only resolution.
TEST(AddressFamilies, AnyFamilyReachesAListenerOnIpv6Loopback) {
    const int listener = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        close(listener);
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    }
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string port = std::to_string(ntohs(address.sin6_port));
    for (const AddressFamily family : {AddressFamily::Ipv4, AddressFamily::Any}) {
        LinkSession session;
        Internals(session).kind = Tcp;
        Internals(session).host = "::1";
        Internals(session).service = port;
        Internals(session).family = family;
        const int opened = OpenLink(Internals(session));
        EXPECT_EQ(opened == 0, family == AddressFamily::Any) << Internals(session).lastError.load();
        CloseLink(session);
    }
    close(listener);
}

}  // namespace
