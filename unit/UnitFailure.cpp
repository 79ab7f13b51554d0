#include "unit/UnitFailure.h"

#include "device/OperatorTexts.h"
#include "link/LinkPlatform.h"
#include "link/LinkSession.h"

namespace {

FailureKind KindOf(int32_t code) {
    if (code == LINK_E_ABORTED) return FailureKind::Aborted;
    if (code == LINK_E_TIMEOUT) return FailureKind::TimeOut;
    return FailureKind::LinkLost;
}

}  // namespace

UnitFailure FailureOfCode(int32_t code, const LinkSession& session) {
    if (code == -1) code = LastErrorOf(session);
    UnitFailure failure;
    failure.kind = KindOf(code);
    failure.code = code;
    failure.text = LinkErrorText(code, session);
    if (code != 0 && code < LINK_E_ABORTED) failure.reason = SystemErrorReason(code);
    return failure;
}

UnitFailure MalformedReplyFailure() {
    UnitFailure failure;
    failure.kind = FailureKind::Malformed;
    failure.text = "malformed reply";
    return failure;
}

UnitFailure RefusedModelFailure() {
    UnitFailure failure;
    failure.kind = FailureKind::Refused;
    failure.text = NO_PULSE_INPUTS_MESSAGE;
    return failure;
}

std::string FailureText(const UnitFailure& failure) {
    return failure.reason.empty() ? failure.text : failure.text + " (" + failure.reason + ")";
}
