#include "link/FrameTrace.h"

#include <string>

#include "link/LinkPlatform.h"
#include "link/LinkSession.h"
#include "link/TraceHooks.h"

std::atomic<FrameTraceSink*> InstalledFrameTrace{nullptr};

void SetFrameTrace(FrameTraceSink* sink) {
    InstalledFrameTrace.store(sink);
}

void TraceBytes(FrameTraceSink& sink, int32_t node, TraceKind kind, const unsigned char* bytes,
                size_t length) {
    sink.Record({kind, node, bytes, length, 0, nullptr});
}

void TraceFailure(FrameTraceSink& sink, const LinkSessionState& session, int32_t node,
                  TraceKind kind, int32_t code) {
    std::string text = LinkErrorText(code == -1 ? session.lastError.load() : code);
    // The operator text gives a system error by its number only; the trace says what it means.
    // Negative codes are the resolver's.
    if (code < LINK_E_ABORTED && code != 0) text += " (" + SystemErrorReason(code) + ")";
    sink.Record({kind, node, nullptr, 0, code, text.c_str()});
}
