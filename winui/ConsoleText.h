#pragma once

#include <string>

// Writes a text of the command line (help, version, a usage error) where the operator who
// started the program reads it: the standard output or error it was given, else the console it
// was started from, else a message box with the program's name as caption.
void ShowCommandLineText(const std::wstring& text, bool error, const std::wstring& caption);
