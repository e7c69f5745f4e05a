#pragma once
#include "Common/InputValidator.h"

// Quantities, prices and discounts: digits, optionally a point and exactly two decimals.
class NumericInputValidator : public InputValidator {
public:
    static constexpr int kErrorCode = 1001;
    bool validateInputError(const ui::TextField* input, std::optional<InputValidationError>* error) const override;
};
