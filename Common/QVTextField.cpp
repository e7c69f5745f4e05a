#include "Common/QVTextField.h"

#include "Common/InputValidator.h"
#include "Common/Language.h"
#include "Platform/Base/Bundle.h"
#include "Platform/UI/AlertView.h"

bool QVTextField::validate()
{
    std::optional<InputValidationError> error;
    // Without a validator nothing is accepted, as with the base validator.
    bool valid = m_inputValidator && m_inputValidator->validateInputError(this, &error);
    if (!valid) {
        auto alert = std::make_shared<ui::AlertView>(
            Language::stringWithName("NOTIFICATION"), error ? error->localizedFailureReason : std::string(), nullptr,
            base::Bundle::localizedString(Language::stringWithName("OK")));
        alert->setDelegate(m_traget);
        alert->setTag(kAlertTag);
        alert->show();
    }
    return valid;
}

bool QVTextField::isValid() const
{
    std::optional<InputValidationError> error;
    return m_inputValidator && m_inputValidator->validateInputError(this, &error);
}
