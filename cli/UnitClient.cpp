#include "cli/UnitClient.h"

#include <chrono>
#include <thread>

#include "cli/Interrupt.h"
#include "cli/SerialPortName.h"
#include "device/CommandEncoding.h"
#include "device/ModelCatalogue.h"
#include "device/ReplyDecoding.h"
#include "link/HandleReply.h"
#include "link/LinkPlatform.h"
#include "link/LinkSession.h"

namespace {

// The reply wait is polled in short steps, so that a short wait (a scan's) ends on time and
// Ctrl-C acts at once.
constexpr int32_t REPLY_POLL_MS = 10;

// Offset of the "py" flags byte in a reply, counted from its first letter.
constexpr int32_t PY_FLAGS_AT = 2;

}  // namespace

UnitClient::UnitClient(const Route& route, int32_t replyWaitMs) : replyWaitMs_(replyWaitMs) {
    session_.kind = route.kind;
    session_.host = route.host;
    session_.service = route.service;
    NameSerialPort(session_, route.device);
    session_.timing.replyPollMs = REPLY_POLL_MS;
    session_.timing.replyPolls = (replyWaitMs + REPLY_POLL_MS - 1) / REPLY_POLL_MS;
    // A name may stand for IPv6 addresses too; and over one connection several units answer, so
    // a reply counts only from the node addressed (a count only for an input requested there).
    session_.family = AddressFamily::Any;
    session_.checkReplyNode = true;
}

UnitClient::~UnitClient() {
    Close();
}

int32_t UnitClient::Open() {
    session_.userData = static_cast<ReplyTarget*>(this);
    session_.handler = &UnitClient::Handle;
    // Ctrl-C also ends an opening: a name being resolved or a connection being waited for.
    std::atomic<bool> opening{true};
    std::thread watch([this, &opening] {
        while (opening.load() && !Interrupted())
            std::this_thread::sleep_for(std::chrono::milliseconds(REPLY_POLL_MS));
        if (opening.load()) CancelOpening(session_);
    });
    const int result = OpenLink(session_);
    opening.store(false);
    watch.join();
    return result < 0 ? session_.lastError.load() : 0;
}

void UnitClient::Close() {
    CloseLink(session_);
}

std::string UnitClient::ErrorText(int32_t code) const {
    if (code == MALFORMED_REPLY) return "malformed reply";
    std::string text = LinkErrorText(code, session_);
    if (code != 0 && code < LINK_E_ABORTED) text += " (" + SystemErrorReason(code) + ")";
    return text;
}

void UnitClient::SelectNode(int32_t node) {
    session_.node = node;
    session_.unitId = 0;
    session_.modelCode = 0;
    session_.subCode = 0;
    held_ = PulseConfig{};
    flags_ = 0;
    arrivals_ = 0;
}

// The window's handler, and the "py" flags byte as it came: the decoded mode and clear signal
// drop bits that a copy of the settings writes back.
int UnitClient::Handle(void* userData, const unsigned char* reply, int32_t length) {
    auto* client = static_cast<UnitClient*>(static_cast<ReplyTarget*>(userData));
    if (length == PY_LENGTH && reply[0] == 'p' && reply[1] == 'y')
        client->flags_.store(reply[PY_FLAGS_AT], std::memory_order_relaxed);
    return HandleReply(userData, reply, length);
}

int32_t UnitClient::Exchange(const std::string& command) {
    const int32_t code = SendCommand(session_, *this, "%s", command.c_str());
    if (code != 0) return code;
    return session_.replyDecoded.load() ? 0 : MALFORMED_REPLY;
}

int32_t UnitClient::Identify(UnitIdentity& identity) {
    const int32_t code = Exchange(CMD_IDENTIFY);
    if (code != 0) return code;
    const DeviceState unit = DeviceStateOf(session_);
    identity.node = session_.node;
    identity.model = ModelNameOf(unit.modelCode, unit.subCode);
    identity.modelCode = unit.modelCode;
    identity.subCode = unit.subCode;
    identity.unitId = unit.unitId;
    identity.inputCount = CapabilitiesOf(unit.modelCode).pulseInputCount;
    return 0;
}

int32_t UnitClient::ReadSettings(int32_t inputCount) {
    held_ = PulseConfig{};
    int32_t code = Exchange(CMD_READ_SETTINGS);
    for (int32_t i = 0; code == 0 && i < inputCount; ++i)
        code = Exchange(std::string("PH") + static_cast<char>(ParamChar(i)));
    if (code == 0) code = Exchange(CMD_READ_STATE);
    return code;
}

int32_t UnitClient::ReadCounts(uint32_t indexes, std::array<int32_t, MAX_INPUTS>& counts) {
    arrivals_ = 0;
    undecoded_ = 0;
    for (int32_t i = 0; i < MAX_INPUTS; ++i) {
        if ((indexes & (1u << i)) == 0) continue;
        const int32_t code = PostCommand(session_, *this, CMD_READ_COUNT, ParamChar(i));
        if (code != 0) return code;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(replyWaitMs_);
    // Acquire: pairs with the release in PostCountUpdate, so the count stored before it is seen.
    while ((arrivals_.load(std::memory_order_acquire) & indexes) != indexes) {
        // A connection that closed (a port that hung up) ends the wait at once, as it ends a
        // command's.
        if (const int32_t failure = session_.lineFailure.load(); failure != 0) return failure;
        if (std::chrono::steady_clock::now() >= deadline) return LINK_E_TIMEOUT;
        if (!SleepUnlessInterrupted(1)) return LINK_E_ABORTED;
    }
    if ((undecoded_.load() & indexes) != 0) return MALFORMED_REPLY;
    for (int32_t i = 0; i < MAX_INPUTS; ++i)
        counts[i] = held_.count[i];
    return 0;
}

void UnitClient::PostCountUpdate(int32_t index, int32_t /*value*/) {
    if (index < 0 || index >= MAX_INPUTS) return;
    arrivals_.fetch_or(1u << index, std::memory_order_release);
}

// An answer all the same: the wait for it ends, and the node fails as malformed.
void UnitClient::NoteUndecodedCount(int32_t index) {
    if (index < 0 || index >= MAX_INPUTS) return;
    undecoded_.fetch_or(1u << index);
    arrivals_.fetch_or(1u << index, std::memory_order_release);
}

std::atomic<int32_t>& UnitClient::AbortRequested() {
    return InterruptAbort();
}
