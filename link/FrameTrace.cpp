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

void TraceBytes(FrameTraceSink& sink, int32_t node, TraceKind kind, const unsigned char* bytes,
                size_t length) {
    sink.Record({kind, node, bytes, length, 0, nullptr});
}

void TraceFailure(FrameTraceSink& sink, const LinkSession& session, int32_t node, TraceKind kind,
                  int32_t code) {
    std::string text = LinkErrorText(code, session);
    // The operator text gives a system error by its number only; the trace says what it means.
    // Negative codes are the resolver's.
    if (code > 0 && code < LINK_E_ABORTED) text += std::string(" (") + std::strerror(code) + ")";
    if (code < 0) text += std::string(" (") + gai_strerror(code) + ")";
    sink.Record({kind, node, nullptr, 0, code, text.c_str()});
}
