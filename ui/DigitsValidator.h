#pragma once

#include <QValidator>

// Accepts a text of the digits 0 to 9 only (the empty text too) and refuses any other character
// outright, so that a typed or pasted non-digit never enters the edit.
class DigitsValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& text, int& position) const override;
};
