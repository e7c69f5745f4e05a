#include "Classes/Customer/CustomerInfoViewHiddenCell.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Switch.h"

CustomerInfoViewHiddenCell::CustomerInfoViewHiddenCell(const gfx::Rect& frame) : ui::View(frame)
{
    setBackgroundColor(gfx::Color::clear());
    m_label = make<ui::Label>(gfx::Rect{45, 15, 80, 35});
    m_label->setText(Language::stringWithName("HIDE"));
    m_label->setFont(gfx::Font::boldSystemFont(18));
    m_label->setTextColor(gfx::Color::fromRgb(65, 93, 128));
    m_label->setBackgroundColor(gfx::Color::clear());
    addSubview(m_label);

    m_switch = make<ui::Switch>(gfx::Rect{150, 19, 80, 35});
    m_switch->setTitles(Language::stringWithName("SWITCHON"), Language::stringWithName("SWITCHOFF"));
    m_switch->setOn(false);
    m_switch->addTarget(
        [this](ui::Control&) {
            // The delegate may reload the table this bar heads.
            auto keep = sharedView();
            if (delegate)
                delegate->switchViewAction(m_switch->isOn());
        },
        ui::ControlEventValueChanged);
    addSubview(m_switch);

    // On the switch's row and inside the bar: a button outside its bar's bounds takes no taps.
    m_submit = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{543, 17, 70, 30});
    m_submit->setTitle(Language::stringWithName("SUBMIT"));
    PublicFunction::initializeToButtonHeight30(m_submit.get());
    m_submit->setHidden(true);
    m_submit->addTarget(
        [this](ui::Control&) {
            auto keep = sharedView();
            if (delegate)
                delegate->submitAction();
        },
        ui::ControlEventTouchUpInside);
    addSubview(m_submit);
}
