#include <gtest/gtest.h>

#include "ui/DigitsValidator.h"

namespace {

struct Case {
    const char* text;
    QValidator::State state;
};

// Only the ten ASCII digits pass; digits of other scripts, signs and spaces are refused whole.
const Case CASES[] = {
    {"", QValidator::Acceptable},
    {"0", QValidator::Acceptable},
    {"0123456789", QValidator::Acceptable},
    {"1a", QValidator::Invalid},
    {"a1", QValidator::Invalid},
    {" 1", QValidator::Invalid},
    {"1 ", QValidator::Invalid},
    {"-1", QValidator::Invalid},
    {"+5", QValidator::Invalid},
    {"1.5", QValidator::Invalid},
    {"１２", QValidator::Invalid},
    {"٣", QValidator::Invalid},
    {"/", QValidator::Invalid},
    {":", QValidator::Invalid},
};

TEST(DigitsValidator, AcceptsAsciiDigitsOnly) {
    const DigitsValidator validator;
    for (const Case& c : CASES) {
        QString text = QString::fromUtf8(c.text);
        int position = static_cast<int>(text.size());
        EXPECT_EQ(validator.validate(text, position), c.state) << c.text;
        EXPECT_EQ(text, QString::fromUtf8(c.text)) << "the text is never changed";
    }
}

}  // namespace
