#pragma once

#include <QString>
#include <QStringList>

// The environment variable that asks for the frame trace when the window is started from a
// desktop entry, where no option can be given.
inline constexpr char TRACE_VARIABLE[] = "VELKOR_TRACE";

// The program's command line: --trace FILE, --help and --version (both print and end the
// program; so does a command line in error, with its message). `arguments` are the application's,
// program name first. Returns the trace file asked for, --trace before VELKOR_TRACE; empty for
// none.
QString TraceFileOfCommandLine(const QStringList& arguments);
