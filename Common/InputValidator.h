#pragma once
#include <optional>
#include <string>

namespace ui {
class TextField;
}

// Why a field's text was refused.
struct InputValidationError {
    static constexpr const char* kDomain = "InputValidationErrorDomain";
    std::string domain = kDomain;
    int code = 0;
    std::string localizedDescription;
    std::string localizedFailureReason;
};

// Checks a field's text for a form. The base accepts nothing and says nothing.
class InputValidator {
public:
    virtual ~InputValidator() = default;
    // YES when the text is acceptable; otherwise NO, with the reason in `error` when one is given.
    virtual bool validateInputError(const ui::TextField* input, std::optional<InputValidationError>* error) const;

protected:
    // Whether the whole text matches: a text with a line break cannot pass line by line.
    static bool matchesWhole(const std::string& text, const char* expression);
};
