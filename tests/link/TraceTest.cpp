// The frame trace seen from the link: what each hook hands the sink, the lines the trace file
// makes of it, and a file written by several threads at once.

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "PtyLinkFixture.h"
#include "link/LinkInternals.h"
#include "link/TraceFile.h"
#include "link/TraceHooks.h"

namespace {

struct Recorded {
    TraceKind kind;
    int32_t node;
    std::string bytes;
    std::string text;
};

class RecordingSink final : public FrameTraceSink {
public:
    void Record(const TraceRecord& record) override {
        std::lock_guard<std::mutex> lock(mutex);
        records.push_back({record.kind, record.node,
                           std::string(reinterpret_cast<const char*>(record.bytes), record.length),
                           record.text == nullptr ? "" : record.text});
    }
    std::mutex mutex;
    std::vector<Recorded> records;
};

class Trace : public ::testing::Test {
protected:
    void SetUp() override {
        Internals(session).node = 0x2A;
        SetFrameTrace(&sink);
    }
    void TearDown() override { SetFrameTrace(nullptr); }
    void Feed(const std::string& bytes) {
        for (char byte : bytes)
            ReceiveByte(Internals(session), static_cast<unsigned char>(byte));
    }

    RecordingSink sink;
    LinkSession session;
};

TEST_F(Trace, AnOverlongFrameIsTracedWholeAsDiscardedThenFramingResumes) {
    const std::string run = std::string(127, 'x') + "\xC8" + std::string(130, 'y') + "\xC8";
    Feed(run + "2Apc\xC8");
    ASSERT_EQ(sink.records.size(), 4u);
    // The 128 bytes that overflowed, the rest up to the next end byte a buffer at a time.
    EXPECT_EQ(sink.records[0].kind, TraceKind::Overflow);
    EXPECT_EQ(sink.records[0].bytes, run.substr(0, 128));
    EXPECT_EQ(sink.records[1].kind, TraceKind::Overflow);
    EXPECT_EQ(sink.records[1].bytes, run.substr(128, 128));
    EXPECT_EQ(sink.records[2].kind, TraceKind::Overflow);
    EXPECT_EQ(sink.records[2].bytes, run.substr(256));
    EXPECT_EQ(sink.records[3].kind, TraceKind::Unawaited) << "no command awaits it";
    EXPECT_EQ(sink.records[3].bytes, "2Apc\xC8");
    EXPECT_EQ(sink.records[3].node, -1);  // the frame carries its node digits
}

TEST_F(Trace, FailuresCarryTheOperatorTextAndTheSystemsReason) {
    TraceFailure(Internals(session), Internals(session).node, TraceKind::LinkError, ECONNREFUSED);
    TraceFailure(Internals(session), Internals(session).node, TraceKind::ReplyTimeout,
                 LINK_E_TIMEOUT);
    ASSERT_EQ(sink.records.size(), 2u);
    EXPECT_EQ(sink.records[0].text,
              "通信エラー : " + std::to_string(ECONNREFUSED) + " (Connection refused)");
    EXPECT_EQ(sink.records[1].text, "通信エラー : 20003(タイムアウト)");
    EXPECT_EQ(sink.records[1].kind, TraceKind::ReplyTimeout);
}

// The device raw, as a driver set up before would leave it, with bytes queued on it.
class PtyTrace : public PtyLinkFixture {
protected:
    void PrepareLine(termios& line) override { cfmakeraw(&line); }
    void SetUp() override {
        PtyLinkFixture::SetUp();
        SetFrameTrace(&sink);
    }
    void TearDown() override {
        CloseLink(session);  // the receive thread has ended: nothing traces any more
        SetFrameTrace(nullptr);
        PtyLinkFixture::TearDown();
    }

    RecordingSink sink;
};

TEST_F(PtyTrace, BytesQueuedBeforeTheOpenAreTracedAsDrainedAndNothingElse) {
    const std::string queued = "01md/\"\xC8" + std::string(300, 'q') + "01pp";
    WriteMaster(std::vector<unsigned char>(queued.begin(), queued.end()));
    ASSERT_TRUE(WaitFor([&] {
        int waiting = 0;
        return ioctl(slave, FIONREAD, &waiting) == 0 && waiting == static_cast<int>(queued.size());
    }));
    ASSERT_EQ(OpenLink(Internals(session)), 0);
    std::lock_guard<std::mutex> lock(sink.mutex);
    std::string drained;
    for (const Recorded& record : sink.records) {
        EXPECT_EQ(record.kind, TraceKind::Drained);
        EXPECT_EQ(record.node, -1);
        EXPECT_LE(record.bytes.size(), 128u);
        drained += record.bytes;
    }
    EXPECT_EQ(drained, queued);
}

struct LineCase {
    TraceRecord record;
    const char* line;
};

const unsigned char COUNT_REQUEST[] = "01PG!\xC8";
const unsigned char COUNT_REPLY[] = "01pg!FFFFFFFE\xC8";
const unsigned char ODD_BYTES[] = {'\\', ' ', 0x7F, 0x00, 'a', 0xC8};

TEST(TraceLine, ShowsDirectionNodeBytesAndMeaning) {
    const LineCase cases[] = {
        {{TraceKind::Sent, 1, COUNT_REQUEST, 6, 0, nullptr},
         "TX 01 01PG!\\xC8 [30 31 50 47 21 C8] read count of DI2"},
        {{TraceKind::Received, 1, COUNT_REPLY, 14, 0, nullptr},
         "RX 01 01pg!FFFFFFFE\\xC8 [30 31 70 67 21 46 46 46 46 46 46 46 45 C8] count of DI2: -2"},
        {{TraceKind::Received, 1, ODD_BYTES, sizeof ODD_BYTES, 0, nullptr},
         "RX \\\\\\x20 \\\\\\x20\\x7F\\x00a\\xC8 [5C 20 7F 00 61 C8]"},
        {{TraceKind::Drained, -1, ODD_BYTES + 4, 2, 0, nullptr},
         "-- -- a\\xC8 [61 C8] discarded: queued before the link opened"},
        {{TraceKind::Overflow, 7, ODD_BYTES + 4, 1, 0, nullptr},
         "-- 07 a [61] discarded: frame longer than 127 bytes"},
        {{TraceKind::ReplyTimeout, 16, nullptr, 0, LINK_E_TIMEOUT,
          "通信エラー : 20003(タイムアウト)"},
         "-- 10 reply time-out: 通信エラー : 20003(タイムアウト)"},
        {{TraceKind::LinkError, 0, nullptr, 0, 104, "通信エラー : 104 (Connection reset by peer)"},
         "-- 00 link error: 通信エラー : 104 (Connection reset by peer)"},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(TraceLineOf(c.record), c.line);
}

TEST(TraceFileWriting, LinesFromManyThreadsStayWholeAndTimed) {
    char folder[] = "/tmp/velkor-trace-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/frames.trace";
    std::string error;
    std::unique_ptr<TraceFile> file = TraceFile::Open(path, error);
    ASSERT_NE(file, nullptr) << error;

    constexpr int THREADS = 4;
    constexpr int LINES = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < THREADS; ++t) {
        writers.emplace_back([&file] {
            for (int i = 0; i < LINES; ++i)
                file->Record({TraceKind::Sent, 1, COUNT_REQUEST, 6, 0, nullptr});
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    file.reset();

    std::ifstream in(path);
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        ++count;
        // "2026-12-01T09:30:15.042 " before the record's line.
        ASSERT_EQ(line.size(),
                  24 + std::string("TX 01 01PG!\\xC8 [30 31 50 47 21 C8] read count of DI2").size())
            << line;
        EXPECT_EQ(line[10], 'T');
        EXPECT_EQ(line[19], '.');
        EXPECT_EQ(line.substr(24), "TX 01 01PG!\\xC8 [30 31 50 47 21 C8] read count of DI2");
    }
    EXPECT_EQ(count, THREADS * LINES);
    std::remove(path.c_str());
    rmdir(folder);
}

TEST(TraceFileWriting, AFileThatCannotBeOpenedSaysWhy) {
    std::string error;
    EXPECT_EQ(TraceFile::Open("/nonexistent-velkor-folder/frames.trace", error), nullptr);
    EXPECT_EQ(error,
              "cannot open the trace file /nonexistent-velkor-folder/frames.trace: No such file or "
              "directory");
}

}  // namespace
