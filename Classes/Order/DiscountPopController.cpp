#include "Classes/Order/DiscountPopController.h"

#include "Common/NumericInputValidator.h"
#include "Common/PublicFunction.h"
#include "Common/QVTextField.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/View.h"

#include <cstdlib>

const std::shared_ptr<QVTextField>& DiscountPopController::txtDiscountRat()
{
    if (!m_txtDiscountRat) {
        m_txtDiscountRat = ui::View::make<QVTextField>(gfx::Rect(15, 10, 80, 30));
        m_txtDiscountRat->setBorderStyle(ui::TextBorderStyle::RoundedRect);
        m_txtDiscountRat->setTextAlignment(gfx::TextAlignment::Center);
        m_txtDiscountRat->setKeyboardType(ui::KeyboardType::NumberPad);
        m_txtDiscountRat->setAdjustsFontSizeToFitWidth(true);
        m_txtDiscountRat->setMinimumFontSize(10);
        m_txtDiscountRat->setInputValidator(std::make_shared<NumericInputValidator>());
        m_txtDiscountRat->setDelegate(this);
    }
    return m_txtDiscountRat;
}

void DiscountPopController::viewDidLoad()
{
    view()->setBackgroundColor(gfx::Color::white());
    view()->addSubview(txtDiscountRat());
    m_percentLabel = ui::View::make<ui::Label>(gfx::Rect(98, 8, 20, 30));
    m_percentLabel->setText("%");
    m_percentLabel->setBackgroundColor(gfx::Color::clear());
    view()->addSubview(m_percentLabel);
}

void DiscountPopController::viewDidAppear(bool)
{
    // Opened, it takes the keys from whatever field had them, the rate shown selected so
    // that what is typed replaces it.
    auto& field = *txtDiscountRat();
    if (field.becomeFirstResponder())
        field.setSelectedRange(0, field.text().size());
}

void DiscountPopController::textFieldDidBeginEditing(ui::TextField& field)
{
    if (!field.text().empty())
        field.setText(PublicFunction::stringRemoveTagStrTag(field.text(), std::string(",")).value_or(""));
}

bool DiscountPopController::textFieldShouldEndEditing(ui::TextField&)
{
    if (m_delegate)
        m_delegate->discountWillEndInput();
    return true;
}

void DiscountPopController::textFieldDidEndEditing(ui::TextField& field)
{
    if (&field != m_txtDiscountRat.get())
        return;
    m_txtDiscountRat->setTraget(std::dynamic_pointer_cast<ui::AlertViewDelegate>(shared_from_this()));
    // A refused text is not applied: the alert says so, and the order keeps its discount.
    if (!m_txtDiscountRat->validate())
        return;
    std::string bare = PublicFunction::stringRemoveTagStrTag(field.text(), std::string(",")).value_or("");
    double rate = std::strtod(bare.c_str(), nullptr);
    field.setText(PublicFunction::doubleFormate(rate));
    if (m_delegate)
        m_delegate->discountRatChanged(rate);
}

bool DiscountPopController::textFieldShouldReturn(ui::TextField& field)
{
    field.resignFirstResponder();
    return true;
}
