#include "Classes/Library/BRToolbarView.h"

#include "Common/SkinManager.h"

BRToolbarView::BRToolbarView(const gfx::Rect& frame)
    : ui::GradientView(frame)
{
    setAutoresizesSubviews(true);
    setUserInteractionEnabled(true);
    setContentMode(ui::ContentMode::Redraw);
    setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    setBackgroundColor(std::nullopt);
    m_background = ui::View::make<ui::ImageView>(bounds());
    m_background->setContentMode(ui::ContentMode::ScaleToFill);
    m_background->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    m_background->setAlpha(0.8);
    m_background->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));
    addSubview(m_background);
}

BRToolbarShadow::BRToolbarShadow(const gfx::Rect& frame)
    : ui::GradientView(frame)
{
    setUserInteractionEnabled(false);
    setContentMode(ui::ContentMode::Redraw);
    setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    setBackgroundColor(std::nullopt);
    setGradientColors({gfx::Color::fromWhite(0.24, 1), gfx::Color::fromWhite(0.24, 0)});
}
