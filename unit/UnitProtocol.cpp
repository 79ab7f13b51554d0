#include "unit/UnitProtocol.h"

#include <chrono>

#include "device/ModelCatalogue.h"

Result<Done> UnitProtocol::Exchange(const UnitCommand& command) {
    const int32_t code = SendCommand(session_, host_, command);
    if (code != 0) return FailureOfCode(code, session_);
    if (malformed_ == MalformedReplies::Fail && !LastReplyDecoded(session_))
        return MalformedReplyFailure();
    return Done{};
}

Result<UnitIdentity> UnitProtocol::Identify() {
    if (auto done = Exchange(IdentifyCommand()); !done) return done.Failure();
    const DeviceState unit = DeviceStateOf(session_);
    UnitIdentity identity;
    identity.node = NodeOf(session_);
    identity.model = ModelNameOf(unit.modelCode, unit.subCode);
    identity.modelCode = unit.modelCode;
    identity.subCode = unit.subCode;
    identity.unitId = unit.unitId;
    identity.inputCount = CapabilitiesOf(unit.modelCode).pulseInputCount;
    return identity;
}

Result<Done> UnitProtocol::ReadSettings(int32_t inputCount) {
    if (auto done = Exchange(ReadSettingsCommand()); !done) return done;
    for (int32_t i = 0; i < inputCount; ++i)
        if (auto done = Exchange(ReadEdgeCommand(i)); !done) return done;
    return Exchange(ReadStateCommand());
}

Result<Done> UnitProtocol::Write(std::vector<PlannedFrame>& frames) {
    for (PlannedFrame& frame : frames) {
        if (host_.AbortRequested().load() != 0) break;
        const Result<Done> done = Exchange(frame.command);
        if (done) {
            frame.fate = FrameFate::Acknowledged;
            continue;
        }
        // Whether a frame whose exchange failed reached the unit cannot be told: it may have
        // applied it.
        frame.fate = FrameFate::SentNoAnswer;
        UnitFailure failure = done.Failure();
        for (const PlannedFrame& each : frames)
            failure.fates.push_back(each.fate);
        return failure;
    }
    if (frames.empty() || frames.back().fate == FrameFate::Acknowledged) return Done{};
    UnitFailure aborted = FailureOfCode(LINK_E_ABORTED, session_);
    for (const PlannedFrame& each : frames)
        aborted.fates.push_back(each.fate);
    return aborted;
}

Result<Done> UnitProtocol::StartStop(bool start) {
    return Exchange(StartStopCommand(start));
}

Result<Done> UnitProtocol::RequestCount(int32_t index) {
    const int32_t code = PostCommand(session_, host_, ReadCountCommand(index));
    if (code != 0) return FailureOfCode(code, session_);
    return Done{};
}

Result<std::array<int32_t, MAX_INPUTS>> UnitProtocol::ReadCounts(uint32_t indexes,
                                                                 CountArrivals& arrivals,
                                                                 int32_t waitMs) {
    arrivals.Expect(indexes);
    for (int32_t i = 0; i < MAX_INPUTS; ++i) {
        if ((indexes & (1u << i)) == 0) continue;
        if (auto done = RequestCount(i); !done) return done.Failure();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const bool arrived = AwaitOnLink(session_, deadline, [&] {
        return arrivals.AllArrived() || host_.AbortRequested().load() != 0;
    });
    if (!arrived) {
        // A connection that closed (a port that hung up) ends the wait at once, as it ends a
        // command's.
        const int32_t failure = LineFailureOf(session_);
        return FailureOfCode(failure != 0 ? failure : LINK_E_TIMEOUT, session_);
    }
    if (!arrivals.AllArrived()) return FailureOfCode(LINK_E_ABORTED, session_);
    if (arrivals.AnyUndecoded()) return MalformedReplyFailure();
    return arrivals.Counts();
}

std::optional<UnitFailure> RefusalOf(const UnitIdentity& unit) {
    if (unit.inputCount != 0) return std::nullopt;
    return RefusedModelFailure();
}
