#include <mutex>
#include <string>
#include <vector>

#include "TcpLinkFixture.h"
#include "link/FrameTrace.h"
#include "link/LinkInternals.h"

// The running receive thread itself (not a byte feeder beside it) against frames at the size
// limit and over it, on a loopback line.

namespace {

// Every reply frame the receive thread completed, without its node digits, end byte included;
// a reply that no command awaits is completed all the same, and traced as such.
class CapturingTrace final : public FrameTraceSink {
public:
    void Record(const TraceRecord& record) override {
        const bool reply =
            record.kind == TraceKind::Received || record.kind == TraceKind::Unawaited;
        if (!reply || record.length < 2) return;
        std::string frame(reinterpret_cast<const char*>(record.bytes), record.length);
        if (frame.rfind("00gq", 0) == 0) return;  // the test's own marks
        std::lock_guard<std::mutex> lock(mutex_);
        replies_.push_back(frame.substr(2));
    }
    std::vector<std::string> Replies() {
        std::lock_guard<std::mutex> lock(mutex_);
        return replies_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> replies_;
};

struct LineCase {
    const char* name;
    std::vector<unsigned char> bytes;     // what the unit puts on the line
    std::vector<std::string> dispatched;  // reply frames completed, end byte included
    bool overflow;                        // whether 20006 is recorded on the way
};

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<unsigned char> operator+(std::vector<unsigned char> first,
                                     const std::vector<unsigned char>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const std::string END(1, static_cast<char>(FRAME_END));
const std::string LONGEST_BODY = "zz" + std::string(122, 'a');  // 127 bytes with node and end

class LineThroughReceiveThread : public TcpLinkTest,
                                 public ::testing::WithParamInterface<LineCase> {
protected:
    void SetUp() override {
        TcpLinkTest::SetUp();
        SetFrameTrace(&capture);
    }
    void TearDown() override {
        TcpLinkTest::TearDown();
        SetFrameTrace(nullptr);
    }
    CapturingTrace capture;
};

TEST_P(LineThroughReceiveThread, DispatchesWholeFramesAndDropsOverlongOnes) {
    Open();
    peer.Write(GetParam().bytes);
    Sync(7);
    EXPECT_EQ(capture.Replies(), GetParam().dispatched);
    // The idle line stores nothing in lastError: the overflow is still there to be read.
    EXPECT_EQ(Internals(session).lastError.load() == LINK_E_OVERFLOW, GetParam().overflow);
    EXPECT_EQ(Internals(session).state.load(), Running);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, LineThroughReceiveThread,
    ::testing::Values(LineCase{"Frame127",
                               Frame("01" + LONGEST_BODY) + Frame("01ps"),
                               {LONGEST_BODY + END, "ps" + END},
                               false},
                      LineCase{"Run128ThenEnd",
                               Bytes(std::string(128, 'x')) + Frame("") + Frame("01ps"),
                               {"ps" + END},
                               true},
                      LineCase{
                          "EndByteAsThe128th",
                          Bytes(std::string(127, 'x')) + Frame("") + Frame("01pu") + Frame("01ps"),
                          {"ps" + END},
                          true},
                      LineCase{"Run300ThenTail",
                               Bytes(std::string(300, 'y')) + Frame("tail") + Frame("01pc"),
                               {"pc" + END},
                               true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
