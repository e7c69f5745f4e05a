#pragma once
#include "Platform/UI/TextField.h"

#include <memory>

class InputValidator;

namespace ui {
class AlertView;
class AlertViewDelegate;
}

// A form field that checks its own text and tells the user when it is refused.
class QVTextField : public ui::TextField {
public:
    static constexpr int kAlertTag = 999;

    using ui::TextField::TextField;
    const char* className() const override { return "QVTextField"; }

    const std::shared_ptr<InputValidator>& inputValidator() const { return m_inputValidator; }
    void setInputValidator(std::shared_ptr<InputValidator> validator) { m_inputValidator = std::move(validator); }
    // Answers the refusal alert; not kept alive by the field.
    std::weak_ptr<ui::AlertViewDelegate> traget() const { return m_traget; }
    void setTraget(std::weak_ptr<ui::AlertViewDelegate> target) { m_traget = std::move(target); }

    // The validator's answer; on NO an alert (tag 999) gives the reason, once per call.
    bool validate();
    // The validator's answer, told to nobody.
    bool isValid() const;

private:
    std::shared_ptr<InputValidator> m_inputValidator;
    std::weak_ptr<ui::AlertViewDelegate> m_traget;
};
