#include "Widgets/SwitchButton.h"

#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"

SwitchButton::SwitchButton(const gfx::Rect& frame) : ui::View(frame)
{
    double half = frame.width() / 2;
    btnLeft_ = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(0, 0, half, frame.height()));
    btnRight_ = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(half, 0, half, frame.height()));
    btnLeft_->setTag(0);
    btnRight_->setTag(1);
    btnLeft_->setBackgroundImage(SkinManager::skinFromImageName("catalogswitch_left.png"), ui::ControlStateNormal);
    btnLeft_->setBackgroundImage(SkinManager::skinFromImageName("catalogswitch_left_on.png"), ui::ControlStateSelected);
    btnRight_->setBackgroundImage(SkinManager::skinFromImageName("catalogswitch_right.png"), ui::ControlStateNormal);
    btnRight_->setBackgroundImage(SkinManager::skinFromImageName("catalogswitch_right_on.png"), ui::ControlStateSelected);
    for (auto* half : {btnLeft_.get(), btnRight_.get()}) {
        // A raw this: the halves are owned by the switch and die with it.
        half->addTarget([this](ui::Control& sender) { btnClick(sender); }, ui::ControlEventTouchDown);
        addSubview(half == btnLeft_.get() ? btnLeft_ : btnRight_);
    }
    setBackgroundColor(gfx::Color::clear());
    btnLeft_->setSelected(true);
}

void SwitchButton::setLeftTittle(const std::string& title)
{
    btnLeft_->setTitle(title, ui::ControlStateNormal);
    btnLeft_->setTitleColor(gfx::Color::white(), ui::ControlStateNormal);
}

void SwitchButton::setRightTittle(const std::string& title)
{
    btnRight_->setTitle(title, ui::ControlStateNormal);
    btnRight_->setTitleColor(gfx::Color::white(), ui::ControlStateNormal);
}

std::string SwitchButton::leftTittle() const
{
    return btnLeft_->titleForState(ui::ControlStateNormal);
}

std::string SwitchButton::rightTittle() const
{
    return btnRight_->titleForState(ui::ControlStateNormal);
}

void SwitchButton::selectHalf(int index)
{
    btnLeft_->setSelected(index == 0);
    btnRight_->setSelected(index != 0);
}

void SwitchButton::btnClick(ui::Control& sender)
{
    int index = sender.tag();
    if (index == m_currentIndex)
        return;
    selectHalf(index);
    // The delegate still reads the old index here; the owner relies on that order.
    if (m_delegate)
        m_delegate->selectSwitchButtonIndex(*this, index);
    m_currentIndex = index;
}

void SwitchButton::setCurrentIndex(int index)
{
    if (index == m_currentIndex)
        return;
    m_currentIndex = index;
    selectHalf(index);
    if (m_delegate)
        m_delegate->selectSwitchButtonIndex(*this, index);
}
