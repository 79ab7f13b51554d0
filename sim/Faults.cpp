#include "Faults.h"

#include "Protocol.h"

namespace {

constexpr size_t kOverflowRunLength = 200;
constexpr char kOverflowFill = 0x55;
constexpr char kExtraByte = 0x20;

std::string WithEnd(std::string bytes) {
    bytes += static_cast<char>(kFrameEnd);
    return bytes;
}

}  // namespace

std::string GarbageBytes() {
    // A lone end byte, then a frame with letters no unit sends.
    return WithEnd("") + WithEnd(std::string("\x00\xFFzz\x7F", 5));
}

std::string OverflowRun() {
    return std::string(kOverflowRunLength, kOverflowFill);
}

std::string QueuedJunk() {
    // A stale identification of a unit without pulse inputs, then a cut-off count reply: whoever
    // takes these for answers would refuse the unit or garble the next reply.
    return WithEnd("01md\x20\x21") + "01pg";
}

std::string WithExtraByte(const std::string& reply) {
    std::string longer = reply;
    longer.insert(longer.size() - 1, 1, kExtraByte);
    return longer;
}

std::string NoticeFrame(int status) {
    return WithEnd(std::string("00gq") + static_cast<char>(status + kParamBase));
}

ShapedAnswer ShapeAnswer(const FaultOptions& faults, FaultCounters& counters,
                         const std::string& frame, const std::string& letters,
                         const std::optional<std::string>& reply) {
    ShapedAnswer shaped;
    ++counters.frames;
    shaped.closeAfter = faults.closeAfter > 0 && counters.frames == uint64_t(faults.closeAfter);
    if (!reply) return shaped;

    if (faults.silent.count(letters)) {
        shaped.note = "silent: no reply to " + letters;
        return shaped;
    }
    ++counters.replies;
    if (faults.dropEvery > 0 && counters.replies % faults.dropEvery == 0) {
        shaped.note = "dropped reply " + std::to_string(counters.replies);
        return shaped;
    }

    if (faults.overflow && !counters.overflowSent) {
        shaped.chunks.push_back({"overflow", OverflowRun()});
        counters.overflowSent = true;
    }
    if (faults.upperEcho) shaped.chunks.push_back({"echo", frame});
    if (faults.garbage) shaped.chunks.push_back({"garbage", GarbageBytes()});
    if (faults.wrongLength.count(letters))
        shaped.chunks.push_back({"wrong-length", WithExtraByte(*reply)});
    else
        shaped.chunks.push_back({"reply", *reply});
    return shaped;
}
