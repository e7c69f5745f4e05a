#include "Common/NumericInputValidator.h"

#include "Common/Language.h"
#include "Platform/UI/TextField.h"

bool NumericInputValidator::validateInputError(const ui::TextField* input,
                                               std::optional<InputValidationError>* error) const
{
    std::string text = input ? input->text() : std::string();
    if (!text.empty() && matchesWhole(text, R"(^([0-9]{1}[0-9]*(\.[0-9]{2})?)$)"))
        return true;
    if (error) {
        InputValidationError refused;
        refused.code = kErrorCode;
        refused.localizedDescription = Language::stringWithName("INPUTVALIDATIONFAILED");
        refused.localizedFailureReason = Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER");
        *error = refused;
    }
    return false;
}
