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
    // Filling its bounds anyway; clipped, its translucency is worked out over the bar alone.
    m_background->setClipsToBounds(true);
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

std::shared_ptr<ui::Label> BRToolbarView::makeTitleLabel(const gfx::Rect& frame, const std::string& text)
{
    auto title = std::make_shared<ui::Label>(frame);
    title->setText(text);
    title->setFont(gfx::Font("Helvetica-Bold", 20));
    title->setTextColor(gfx::Color::white());
    title->setTextAlignment(gfx::TextAlignment::Center);
    title->setBackgroundColor(std::nullopt);
    title->setAdjustsFontSizeToFitWidth(true);
    title->setMinimumFontSize(14);
    title->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    return title;
}

namespace {

ui::View::AnimationOptions barFade()
{
    ui::View::AnimationOptions options;
    options.duration = 0.25;
    options.curve = ui::View::AnimationOptions::Curve::Linear;
    options.allowUserInteraction = true;
    return options;
}

} // namespace

void BRToolbarView::fadeOut(ui::View& bar)
{
    if (bar.isHidden())
        return;
    std::weak_ptr<ui::View> weak = bar.sharedView();
    ui::View::animate(barFade(), [&bar] { bar.setAlpha(0); }, [weak](bool) {
        if (auto self = weak.lock())
            self->setHidden(true);
    });
}

void BRToolbarView::fadeIn(ui::View& bar)
{
    if (!bar.isHidden())
        return;
    ui::View::animate(barFade(), [&bar] {
        bar.setHidden(false);
        bar.setAlpha(1);
    });
}
