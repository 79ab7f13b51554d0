#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LinkSession;

// Why an operation on a unit failed.
enum class FailureKind {
    LinkLost,   // the connection or port failed, or a frame could not be sent
    TimeOut,    // no reply within the reply wait
    Malformed,  // a reply answered but did not carry what its letters announce
    Refused,    // a model without pulse inputs
    Aborted,    // the operator's abort (the window's button, Ctrl-C)
};

// What became of one frame of a write.
enum class FrameFate { NotSent, SentNoAnswer, Acknowledged };

// The one failure of every operation of the unit protocol.
struct UnitFailure {
    FailureKind kind = FailureKind::LinkLost;
    // The link's code or the system's error number; 0 for a malformed reply and a refused model.
    int32_t code = 0;
    // The window's text: "通信エラー : <code>" with a link code's short text, or the refusal.
    std::string text;
    // The system's own words for its error number; empty for the link's codes.
    std::string reason;
    // A write's frames in the order of its plan.
    std::vector<FrameFate> fates;
};

// The failure of a link result code (LinkErrorText; -1 for the session's last error).
UnitFailure FailureOfCode(int32_t code, const LinkSession& session);
UnitFailure MalformedReplyFailure();
// The text with the system's reason beside it, as the command line and the bridge tell it.
std::string FailureText(const UnitFailure& failure);
UnitFailure RefusedModelFailure();
