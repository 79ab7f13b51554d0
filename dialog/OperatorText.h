#pragma once

#include <string>

#include "unit/UnitFailure.h"

// The operator's text of a failure.
inline std::string OperatorText(const UnitFailure& failure) {
    return failure.text;
}

// The same, but nothing for the operator's own abort, which needs no explanation.
inline std::string OperatorTextUnlessAborted(const UnitFailure& failure) {
    return failure.kind == FailureKind::Aborted ? std::string() : OperatorText(failure);
}
