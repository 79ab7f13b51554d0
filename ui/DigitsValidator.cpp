#include "ui/DigitsValidator.h"

#include <algorithm>

// A hand-written check instead of a regular expression: the edits need nothing more, and the
// regular-expression engine would be set up before the window first shows.
QValidator::State DigitsValidator::validate(QString& text, int& /*position*/) const {
    const bool digits = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    return digits ? Acceptable : Invalid;
}
