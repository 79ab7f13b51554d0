#pragma once

// The link's calls of the frame trace. Each costs one relaxed load when no sink is installed.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/FrameTrace.h"

struct LinkSessionState;

// The installed sink; relaxed because it is set before any session opens (see SetFrameTrace).
extern std::atomic<FrameTraceSink*> InstalledFrameTrace;

inline FrameTraceSink* ActiveFrameTrace() {
    return InstalledFrameTrace.load(std::memory_order_relaxed);
}

// `node` is the session's node where the calling thread owns it (sends, reply waits, opening);
// the receive thread passes NO_TRACE_NODE, as the node may change under it between exchanges.
constexpr int32_t NO_TRACE_NODE = -1;

// Bytes as one record of `kind` (Sent, Received, Overflow, Drained).
void TraceBytes(FrameTraceSink& sink, int32_t node, TraceKind kind, const unsigned char* bytes,
                size_t length);
// A time-out or failure of `session` with the code's text.
void TraceFailure(FrameTraceSink& sink, const LinkSessionState& session, int32_t node,
                  TraceKind kind, int32_t code);

// The same, for call sites that have not looked for a sink yet.
inline void TraceBytes(int32_t node, TraceKind kind, const unsigned char* bytes, size_t length) {
    if (FrameTraceSink* sink = ActiveFrameTrace()) TraceBytes(*sink, node, kind, bytes, length);
}
inline void TraceFailure(const LinkSessionState& session, int32_t node, TraceKind kind,
                         int32_t code) {
    if (FrameTraceSink* sink = ActiveFrameTrace()) TraceFailure(*sink, session, node, kind, code);
}
