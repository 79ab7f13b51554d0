#pragma once

#include <QFont>

// The template's Japanese faces do not exist on Linux; without substitutes fontconfig would
// render them in a face without Japanese glyphs. Registers the substitutes once per process
// (before the first font of either face is created).
void RegisterFontSubstitutions();

// The dialog font of the template.
QFont MakeDialogFont();

// A point font given in tenths of a point, as the count displays ask for theirs.
QFont MakePointFont(int tenthsOfPoint, const char* face);
