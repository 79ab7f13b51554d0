#include "unit/UnitLink.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "device/ReplyDecoding.h"
#include "link/HandleReply.h"
#include "link/LinkSession.h"

namespace {

// The reply wait is polled in short steps, so that a short wait (a scan's) ends on time and
// Ctrl-C acts at once.
constexpr int32_t REPLY_POLL_MS = 10;

// Offset of the "py" flags byte in a reply, counted from its first letter.
constexpr int32_t PY_FLAGS_AT = 2;

}  // namespace

UnitLink::UnitLink(const LinkRoute& route, int32_t replyWaitMs, std::atomic<int32_t>& abort,
                   std::function<bool()> cancelled)
    : route_(route), replyWaitMs_(replyWaitMs), abort_(abort), cancelled_(std::move(cancelled)) {
    LinkTiming& timing = session_.Timing();
    timing.replyPollMs = REPLY_POLL_MS;
    timing.replyPolls = (replyWaitMs + REPLY_POLL_MS - 1) / REPLY_POLL_MS;
    // A script waits for nothing but the unit: each exchange ends when its reply has come.
    timing.wakeAtOnce = true;
    // A name may stand for IPv6 addresses too; and over one connection several units answer, so
    // a reply counts only from the node addressed (a count only for an input requested there).
    route_.family = AddressFamily::Any;
    CheckReplyNodes(session_, true);
}

UnitLink::~UnitLink() {
    Close();
}

bool UnitLink::Open() {
    // The front end's stop (Ctrl-C) also ends an opening: a name being resolved or a connection
    // being waited for. The signal handler can wake nobody, so the watch looks at it once a poll;
    // the end of the opening wakes the watch at once.
    std::mutex mutex;
    std::condition_variable ended;
    bool opening = true;
    std::thread watch([&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (opening && !cancelled_())
            ended.wait_for(lock, std::chrono::milliseconds(REPLY_POLL_MS));
        if (opening) CancelOpening(session_);
    });
    const int result =
        OpenLink(session_, route_, &UnitLink::Handle, static_cast<ReplyTarget*>(this));
    {
        std::lock_guard<std::mutex> lock(mutex);
        opening = false;
    }
    ended.notify_one();
    watch.join();
    return result == 0;
}

void UnitLink::Close() {
    CloseLink(session_);
}

void UnitLink::SelectNode(int32_t node) {
    ::SelectNode(session_, node);
    held_ = PulseConfig{};
    flags_ = 0;
}

// The window's handler, and the "py" flags byte as it came: the decoded mode and clear signal
// drop bits that a copy of the settings writes back.
int UnitLink::Handle(void* userData, const unsigned char* reply, int32_t length) {
    auto* client = static_cast<UnitLink*>(static_cast<ReplyTarget*>(userData));
    if (length == PY_LENGTH && reply[0] == 'p' && reply[1] == 'y')
        client->flags_.store(reply[PY_FLAGS_AT], std::memory_order_relaxed);
    return HandleReply(userData, reply, length);
}

Result<Done> UnitLink::ReadSettings(int32_t inputCount) {
    held_ = PulseConfig{};
    return protocol_.ReadSettings(inputCount);
}

void UnitLink::PostCountUpdate(int32_t index, int32_t value) {
    arrivals_.Arrived(index, value);
}

// An answer all the same: the wait for it ends, and the node fails as malformed.
void UnitLink::NoteUndecodedCount(int32_t index) {
    arrivals_.ArrivedUndecoded(index);
}
