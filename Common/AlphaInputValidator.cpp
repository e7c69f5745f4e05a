#include "Common/AlphaInputValidator.h"

#include "Common/Language.h"
#include "Platform/Base/Bundle.h"
#include "Platform/UI/TextField.h"

bool AlphaInputValidator::validateInputError(const ui::TextField* input,
                                             std::optional<InputValidationError>* error) const
{
    if (matchesWhole(input ? input->text() : std::string(), "^[a-zA-Z]*$"))
        return true;
    if (error) {
        InputValidationError refused;
        refused.code = kErrorCode;
        refused.localizedDescription =
            base::Bundle::localizedString(Language::stringWithName("INPUTVALIDATIONFAILED"));
        refused.localizedFailureReason = base::Bundle::localizedString("The input can contain only letters");
        *error = refused;
    }
    return false;
}
