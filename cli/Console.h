#pragma once

#include <string>

// Standard output and standard error of velkorctl, which hold UTF-8 text. Where they are a
// console that takes text in another encoding (Windows), the text is written as such; redirected,
// they get the UTF-8 bytes. One file per system: Console{Posix,Win32}.cpp.

// Prepares the console, once at start.
void PrepareConsole();
// Writes and flushes; false when the text could not be written (a full disk, a closed pipe).
bool WriteOut(const std::string& text);
void WriteErr(const std::string& text);
// Whether standard error is a terminal, where progress may be shown.
bool ErrIsTerminal();
