#include "link/FrameTrace.h"

#include <netdb.h>

#include <cstring>
#include <string>

#include "link/LinkSession.h"
#include "link/TraceHooks.h"

std::atomic<FrameTraceSink*> InstalledFrameTrace{nullptr};

void SetFrameTrace(FrameTraceSink* sink) {
    InstalledFrameTrace.store(sink);
}

void TraceBytes(FrameTraceSink& sink, const LinkSession& session, TraceKind kind,
                const unsigned char* bytes, size_t length) {
    // Bytes queued before the open were meant for whoever used the line before.
    const int32_t node = kind == TraceKind::Drained ? -1 : session.node;
    sink.Record({kind, node, bytes, length, 0, nullptr});
}

void TraceFailure(FrameTraceSink& sink, const LinkSession& session, TraceKind kind, int32_t code) {
    std::string text = LinkErrorText(code, session);
    // The operator text gives a system error by its number only; the trace says what it means.
    // Negative codes are the resolver's.
    if (code > 0 && code < LINK_E_ABORTED) text += std::string(" (") + std::strerror(code) + ")";
    if (code < 0) text += std::string(" (") + gai_strerror(code) + ")";
    sink.Record({kind, session.node, nullptr, 0, code, text.c_str()});
}
