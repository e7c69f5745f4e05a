#include "Common/TitleBarView.h"

#include "Common/SkinManager.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

TitleBarView::TitleBarView(double width) : ui::View(gfx::Rect(0, 0, width, kHeight))
{
    setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    m_background = ui::View::make<ui::ImageView>(gfx::Rect(-5, 0, width + 5, kHeight));
    m_background->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));
    m_background->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    addSubview(m_background);
    m_titleLabel = ui::View::make<ui::Label>(gfx::Rect(0, 7, width, 30));
    m_titleLabel->setFont(gfx::Font("Helvetica-Bold", 20));
    m_titleLabel->setTextColor(gfx::Color::white());
    m_titleLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_titleLabel->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    addSubview(m_titleLabel);
}

void TitleBarView::setTitle(const std::string& title)
{
    m_titleLabel->setText(title);
}
