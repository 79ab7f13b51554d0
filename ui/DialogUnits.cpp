#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <cstdint>
#include <cstdlib>

namespace {

// The 52 letters whose average width gives the horizontal base unit.
constexpr const char* LATIN_LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& dialogFont) {
    const QFontMetrics metrics(dialogFont);
    const int lettersWidth = metrics.horizontalAdvance(QString::fromLatin1(LATIN_LETTERS));
    // Average over 52 letters, rounded: (width / 26 + 1) / 2.
    return {(lettersWidth / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const int64_t product = int64_t{number} * numerator;
    const int64_t half = std::llabs(denominator) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const int64_t magnitude = (std::llabs(product) + half) / std::llabs(denominator);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int HorizontalPixels(int dialogUnits, DialogBaseUnits base) {
    return MulDiv(dialogUnits, base.baseX, 4);
}

int VerticalPixels(int dialogUnits, DialogBaseUnits base) {
    return MulDiv(dialogUnits, base.baseY, 8);
}

QRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits base) {
    // Position and size are converted each on its own, as the dialog manager creates controls.
    return QRect(HorizontalPixels(rect.x, base), VerticalPixels(rect.y, base),
                 HorizontalPixels(rect.width, base), VerticalPixels(rect.height, base));
}
