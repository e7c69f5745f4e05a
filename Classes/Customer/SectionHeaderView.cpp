#include "Classes/Customer/SectionHeaderView.h"

#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Touch.h"

#include <algorithm>
#include <cctype>

namespace {

std::string upper(std::string text)
{
    // ASCII only: Chinese titles have no case, and bytes of UTF-8 sequences stay as they are.
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

} // namespace

SectionHeaderView::SectionHeaderView(const gfx::Rect& frame, const std::string& title, int section, bool opened,
                                     SectionHeaderViewDelegate* delegate)
    : ui::View(frame), m_section(section), m_delegate(delegate)
{
    setUserInteractionEnabled(true);
    setBackgroundColor(gfx::Color::fromRgb(207, 207, 207));
    m_sectionbg = make<ui::ImageView>(gfx::Rect{-2, 0, 1026, 50});
    m_sectionbg->setImage(SkinManager::skinFromImageName("titlebar.png"));
    addSubview(m_sectionbg);

    gfx::Rect b = bounds();
    m_titleLabel = make<ui::Label>(gfx::Rect{b.x() + 35, b.y() + 5, b.width() - 35, b.height() - 10});
    m_titleLabel->setText(upper(title));
    m_titleLabel->setFont(gfx::Font::boldSystemFont(24));
    m_titleLabel->setTextColor(gfx::Color::black());
    m_titleLabel->setBackgroundColor(gfx::Color::clear());
    addSubview(m_titleLabel);

    m_disclosureButton = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{0, 0, 35, 35});
    m_disclosureButton->setUserInteractionEnabled(false);
    m_disclosureButton->setSelected(opened);
    addSubview(m_disclosureButton);
}

void SectionHeaderView::toggleAction()
{
    m_disclosureButton->setSelected(!m_disclosureButton->isSelected());
    if (!m_delegate)
        return;
    if (m_disclosureButton->isSelected())
        m_delegate->sectionHeaderViewSectionOpened(*this, m_section);
    else
        m_delegate->sectionHeaderViewSectionClosed(*this, m_section);
}

void SectionHeaderView::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    ui::View::touchesEnded(touches, event);
    if (touches.empty())
        return;
    gfx::Point at = touches.front()->locationInView(this);
    // The table may let go of its headers while the delegate hears.
    auto keep = sharedView();
    if (bounds().contains(at))
        toggleAction();
}
