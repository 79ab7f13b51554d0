#include <mutex>
#include <string>
#include <vector>

#include "TcpLinkFixture.h"
#include "link/LinkInternals.h"

// The running receive thread itself (not a byte feeder beside it) against frames at the size
// limit and over it, on a loopback line.

namespace {

// Every reply as the handler saw it while it ran, end byte included.
class CapturingHandler {
public:
    static int Handle(void* self, const unsigned char* reply, int32_t length) {
        auto* me = static_cast<CapturingHandler*>(self);
        std::lock_guard<std::mutex> lock(me->mutex_);
        me->replies_.emplace_back(reinterpret_cast<const char*>(reply),
                                  length > 0 ? static_cast<size_t>(length) : 0);
        return 0;
    }
    std::vector<std::string> Replies() {
        std::lock_guard<std::mutex> lock(mutex_);
        return replies_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> replies_;
};

// lastError as the receive thread finds it before each query of the waiting bytes, so a code
// that the next idle pass overwrites within 10 ms is still seen.
std::mutex seenMutex;
std::vector<int32_t> seenErrors;

int32_t SamplingBytesWaiting(LinkSession& session) {
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        const int32_t error = session.lastError.load();
        if (seenErrors.empty() || seenErrors.back() != error) seenErrors.push_back(error);
    }
    return TcpTransport.bytesWaiting(session);
}

bool SawError(int32_t code) {
    std::lock_guard<std::mutex> lock(seenMutex);
    for (int32_t error : seenErrors) {
        if (error == code) return true;
    }
    return false;
}

struct LineCase {
    const char* name;
    std::vector<unsigned char> bytes;     // what the unit puts on the line
    std::vector<std::string> dispatched;  // replies the handler gets, end byte included
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
        session.handler = &CapturingHandler::Handle;
        session.userData = &capture;
        std::lock_guard<std::mutex> lock(seenMutex);
        seenErrors.clear();
    }
    void TearDown() override {
        TcpLinkTest::TearDown();
        session.transport = &TcpTransport;
    }
    CapturingHandler capture;
    Transport sampling = TcpTransport;
};

TEST_P(LineThroughReceiveThread, DispatchesWholeFramesAndDropsOverlongOnes) {
    Open();
    sampling.bytesWaiting = SamplingBytesWaiting;
    session.transport = &sampling;
    peer.Write(GetParam().bytes);
    Sync(7);
    EXPECT_EQ(capture.Replies(), GetParam().dispatched);
    EXPECT_EQ(SawError(LINK_E_OVERFLOW), GetParam().overflow);
    EXPECT_EQ(session.state.load(), Running);
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
