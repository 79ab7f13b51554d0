#pragma once

#include <string>

// The version text of the dialog, from the program's own version resource: "Version %d.%d%d%d",
// or "Version %d.%d%d" when the fourth word is 0 (1.0.0.0 reads "Version 1.00"). Empty when the
// program carries no version resource.
std::string VersionTextOfProgram();

// The program's file name without its extension: the caption of every message box.
std::wstring ApplicationName();
