#pragma once

#include <utility>
#include <variant>

#include "unit/UnitFailure.h"

// What an operation on a unit gives: its value, or its failure.
template <typename T>
class Result {
public:
    Result(T value) : outcome_(std::move(value)) {}                // NOLINT: a value is a result
    Result(UnitFailure failure) : outcome_(std::move(failure)) {}  // NOLINT: so is a failure
    explicit operator bool() const { return outcome_.index() == 0; }
    const T& operator*() const { return std::get<0>(outcome_); }
    const T* operator->() const { return &std::get<0>(outcome_); }
    const UnitFailure& Failure() const { return std::get<1>(outcome_); }

private:
    std::variant<T, UnitFailure> outcome_;
};

// The value of an operation that gives nothing but its success.
struct Done {};
