#pragma once

#include <QString>
#include <string>

// The text of an edit without leading and trailing ASCII white space (space, tab, line feed,
// vertical tab, form feed, carriage return); other characters, full-width blanks among them, stay.
std::string TrimmedAscii(const QString& text);
