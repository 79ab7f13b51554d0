#include "cli/UnitClient.h"

#include <chrono>
#include <thread>

#include "cli/Interrupt.h"
#include "cli/SerialPortName.h"
#include "device/ModelCatalogue.h"
#include "link/HandleReply.h"
#include "link/LinkSession.h"
#include "link/UnitCommands.h"

namespace {

// The reply wait is polled in short steps, so that a short wait (a scan's) ends on time and
// Ctrl-C acts at once.
constexpr int32_t REPLY_POLL_MS = 10;

}  // namespace

UnitClient::UnitClient(const Route& route, int32_t replyWaitMs) {
    session_.kind = route.kind;
    session_.host = route.host;
    session_.service = route.service;
    NameSerialPort(session_, route.device);
    LinkTiming& timing = session_.timing;
    timing.replyPollMs = REPLY_POLL_MS;
    timing.replyPolls = (replyWaitMs + REPLY_POLL_MS - 1) / REPLY_POLL_MS;
}

UnitClient::~UnitClient() {
    session_.userData = nullptr;
    CloseLink(session_);
}

int32_t UnitClient::Open() {
    session_.userData = static_cast<ReplyTarget*>(this);
    session_.handler = &HandleReply;
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

std::string UnitClient::ErrorText(int32_t code) const {
    return LinkErrorText(code, session_);
}

void UnitClient::SelectNode(int32_t node) {
    session_.node = node;
    held_ = PulseConfig{};
    ClearArrivals();
}

int32_t UnitClient::Identify(UnitIdentity& identity) {
    const int32_t code = IdentifyExchange(session_, *this);
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

void UnitClient::ClearArrivals() {
    arrivals_.store(0);
}

uint32_t UnitClient::Arrivals() const {
    // Acquire: pairs with the release below, so the count stored before it is seen.
    return arrivals_.load(std::memory_order_acquire);
}

void UnitClient::PostCountUpdate(int32_t index, int32_t /*value*/) {
    if (index < 0 || index >= MAX_INPUTS) return;
    arrivals_.fetch_or(1u << index, std::memory_order_release);
}

std::atomic<int32_t>& UnitClient::AbortRequested() {
    return InterruptAbort();
}
