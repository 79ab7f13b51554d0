#include "bridge/FrameLog.h"

#include "bridge/Log.h"
#include "link/TraceFile.h"

void FrameLog::Install() {
    if (Verbose()) SetFrameTrace(this);
}

void FrameLog::Remove() {
    if (Verbose()) SetFrameTrace(nullptr);
}

void FrameLog::Record(const TraceRecord& record) {
    Log(LogLevel::Debug, "frame " + TraceLineOf(record));
}
