#pragma once

#include "link/FrameTrace.h"

// The frame trace of every gateway as debug lines of the log (--verbose).
class FrameLog final : public FrameTraceSink {
public:
    // Installed only when the log is verbose, before any link opens.
    void Install();
    void Remove();
    void Record(const TraceRecord& record) override;
};
