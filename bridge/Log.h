#pragma once

#include <string>

enum class LogLevel { Debug, Info, Warning, Error };

// One line on standard error: the time (UTC), the level and the text. Safe from any thread.
void Log(LogLevel level, const std::string& text);
// Whether debug lines (the frame trace) are written.
void SetVerbose(bool verbose);
bool Verbose();
