#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

#include "LinkTestSupport.h"
#include "link/LinkSession.h"

// A pseudo-terminal whose master side plays the unit; the slave is the serial device the session
// opens by its path. The test holds the slave open too, as another user of the device would, so
// the line keeps what was queued on it.
class PtyLinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char name[128] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        termios line{};
        ASSERT_EQ(tcgetattr(master, &line), 0);
        cfmakeraw(&line);
        ASSERT_EQ(tcsetattr(master, TCSANOW, &line), 0);
        ASSERT_EQ(tcgetattr(slave, &line), 0);
        PrepareLine(line);
        ASSERT_EQ(tcsetattr(slave, TCSANOW, &line), 0);
        Internals(session).kind = Serial;
        Internals(session).portPath = name;
        Internals(session).node = 1;
        Internals(session).handler = &RecordingHandler::Handle;
        Internals(session).userData = &handler;
    }
    void TearDown() override {
        Internals(session).userData = nullptr;
        CloseLink(session);
        close(master);
        if (slave >= 0) close(slave);
    }

    // The line settings the device has before the session opens it.
    virtual void PrepareLine(termios& line) = 0;

    void WriteMaster(const std::vector<unsigned char>& bytes) {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until `count` bytes arrived or the line stayed quiet for `quietMs`.
    std::vector<unsigned char> ReadMaster(size_t count, int quietMs = 2000) {
        std::vector<unsigned char> bytes;
        while (bytes.size() < count) {
            pollfd entry{master, POLLIN, 0};
            if (poll(&entry, 1, quietMs) != 1) break;
            unsigned char chunk[4096];
            const ssize_t got = read(master, chunk, sizeof chunk);
            if (got <= 0) break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        return bytes;
    }

    int master = -1;
    int slave = -1;
    LinkSession session;
    RecordingHandler handler;
    TestHost host;
};
