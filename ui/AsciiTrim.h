#pragma once

#include <QString>
#include <string>

#include "device/InputText.h"

// The text of an edit as every front end reads what an operator typed.
std::string TrimmedAscii(const QString& text);
