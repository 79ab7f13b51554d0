#pragma once

#include <QFont>
#include <QRect>

#include "dialog/DialogTemplate.h"

// Dialog units are measured in the dialog font: a horizontal unit is a quarter of the average
// width of the Latin letters, a vertical unit an eighth of the font height.
struct DialogBaseUnits {
    int baseX;
    int baseY;
};

DialogBaseUnits BaseUnitsOf(const QFont& dialogFont);

// number * numerator / denominator, rounded to the nearest integer (halves away from zero);
// -1 for a zero denominator.
int MulDiv(int number, int numerator, int denominator);

int HorizontalPixels(int dialogUnits, DialogBaseUnits base);
int VerticalPixels(int dialogUnits, DialogBaseUnits base);
QRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits base);
