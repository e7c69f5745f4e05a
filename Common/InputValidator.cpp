#include "Common/InputValidator.h"

#include <regex>

bool InputValidator::validateInputError(const ui::TextField*, std::optional<InputValidationError>* error) const
{
    if (error)
        error->reset();
    return false;
}

bool InputValidator::matchesWhole(const std::string& text, const char* expression)
{
    // ECMAScript anchors hold only at the ends of the text unless multiline is asked for.
    return std::regex_match(text, std::regex(expression, std::regex::ECMAScript));
}
