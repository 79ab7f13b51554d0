#pragma once

#include <QString>
#include <QStringList>

// The environment variable that asks for the frame trace when the window is started from a
// desktop entry, where no option can be given.
inline constexpr char TRACE_VARIABLE[] = "VELKOR_TRACE";

// Answers --help (-h), --help-all and --version (-v) from the raw command line, before the
// application object exists: none needs the window system, so they work over SSH and on machines
// without a display. Prints the answer and ends the program (status 0) when one of them is
// given; returns otherwise. Options of the window system (-platform, -reverse, ...) are left
// alone.
void AnswerInformationOptions(int argc, char** argv);

// The program's command line: --trace FILE, --help and --version (both print and end the
// program; so does a command line in error, with its message). `arguments` are the application's,
// program name first. Returns the trace file asked for, --trace before VELKOR_TRACE; empty for
// none.
QString TraceFileOfCommandLine(const QStringList& arguments);
