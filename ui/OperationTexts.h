#pragma once

// Messages and display texts of the dialog's operations that only the window shows; the texts
// every front end shows are device's. UTF-8 throughout.

#include "device/OperatorTexts.h"

// Count displays: one input in single-phase use.
inline constexpr const char* INPUT_LABEL_FORMAT = "DI%1";
