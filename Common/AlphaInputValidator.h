#pragma once
#include "Common/InputValidator.h"

// Letters only; the empty text passes.
class AlphaInputValidator : public InputValidator {
public:
    static constexpr int kErrorCode = 1002;
    bool validateInputError(const ui::TextField* input, std::optional<InputValidationError>* error) const override;
};
