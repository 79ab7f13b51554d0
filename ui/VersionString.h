#pragma once

#include "dialog/VersionText.h"

// The version the program was built as.
FileVersion ProgramFileVersion();
