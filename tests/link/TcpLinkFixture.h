#pragma once

#include <gtest/gtest.h>

#include <string>

#include "LinkTestSupport.h"
#include "LoopbackPeer.h"
#include "link/LinkInternals.h"
#include "link/LinkSession.h"

// A session linked over loopback TCP to a peer that the test plays.
class TcpLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        Internals(session).kind = Tcp;
        Internals(session).host = "127.0.0.1";
        Internals(session).service = peer.Port();
        Internals(session).node = 1;
        Internals(session).handler = &RecordingHandler::Handle;
        Internals(session).userData = &handler;
    }
    void TearDown() override {
        Internals(session).userData = nullptr;
        CloseLink(session);
    }

    void Open() {
        ASSERT_EQ(OpenLink(Internals(session)), 0)
            << "lastError " << Internals(session).lastError.load();
        ASSERT_TRUE(peer.Accept());
    }

    // Every byte sent before it has been through the receive path once the gateway status
    // reported by this notice shows in the session.
    void Sync(int32_t status) {
        peer.Write(Frame(std::string("00gq") + static_cast<char>(status + 32)));
        const auto start = std::chrono::steady_clock::now();
        while (Internals(session).gatewayStatus.load() != status &&
               MillisecondsSince(start) < 2000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_EQ(Internals(session).gatewayStatus.load(), status);
    }

    LoopbackPeer peer;
    LinkSession session;
    RecordingHandler handler;
    TestHost host;
};
