#include "App/TabBarItemButton.h"

#include "Common/BadgeLook.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <cmath>

namespace {
constexpr double kBlinkDuration = 1.5;

// One of the icon's four scale steps; each starts the next when it ends.
void bounceIconStep(const std::weak_ptr<ui::Button>& weakButton, size_t index)
{
    using Curve = ui::View::AnimationOptions::Curve;
    struct Step {
        double sx, sy, seconds;
        Curve curve;
    };
    static constexpr Step kSteps[] = {
        {1.5, 1.2, 0.3, Curve::EaseOut},
        {0.9, 0.9, 0.1, Curve::EaseIn},
        {1.2, 1.1, 0.05, Curve::EaseOut},
        {1.0, 1.0, 0.02, Curve::EaseIn},
    };
    auto button = weakButton.lock();
    if (!button || index >= std::size(kSteps))
        return;
    const Step& step = kSteps[index];
    ui::View::AnimationOptions options;
    options.duration = step.seconds;
    options.curve = step.curve;
    ui::View::animate(options, [&] { button->setTransform(gfx::AffineTransform::scaling(step.sx, step.sy)); },
                      [weakButton, index](bool) { bounceIconStep(weakButton, index + 1); });
}
}

TabBarItemButton::TabBarItemButton()
{
    build();
}

TabBarItemButton::TabBarItemButton(const gfx::Rect& frame) : ui::View(frame)
{
    build();
}

void TabBarItemButton::build()
{
    setBackgroundColor(std::nullopt);
    m_btn = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(11, 0, 40, 40));
    addSubview(m_btn);
    m_animatedImageView = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, 40, 40));
    m_animatedImageView->setAlpha(0);
    m_animatedImageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    m_animatedImageView->setUserInteractionEnabled(false);
    m_btn->addSubview(m_animatedImageView);

    m_lableTitle = ui::View::make<ui::Label>(gfx::Rect(-4, 34, 72, 22));
    m_lableTitle->setFont(captionFont());
    m_lableTitle->setTextAlignment(gfx::TextAlignment::Center);
    m_lableTitle->setBackgroundColor(std::nullopt);
    m_lableTitle->setTextColor(m_captionNormal);
    addSubview(m_lableTitle);

    m_badgeView = BadgeLook::makeBadgeView({55, kBadgeTop, BadgeLook::kHeight, BadgeLook::kHeight}, m_badgeLabel);
    addSubview(m_badgeView);
}

gfx::Color TabBarItemButton::captionColor(bool selected)
{
    // The selected blue is dark enough for small text on the light bar as drawn at one pixel
    // a point, where thin strokes of Chinese captions come out paler than the colour itself.
    return selected ? gfx::Color::fromRgb(24, 72, 120) : gfx::Color::fromRgb(70, 70, 70);
}

bool TabBarItemButton::pointInside(gfx::Point point) const
{
    // The caption hangs below the item's frame.
    return ui::View::pointInside(point) || m_lableTitle->frame().contains(point);
}

ui::View* TabBarItemButton::hitTest(gfx::Point point)
{
    ui::View* hit = ui::View::hitTest(point);
    if (!hit || !pointInside(point))
        return hit;
    if (m_btn->isHidden() || !m_btn->isUserInteractionEnabled())
        return hit;
    return m_btn.get();
}

void TabBarItemButton::setTitle(const std::string& title)
{
    m_title = title;
    m_lableTitle->setText(title);
}

void TabBarItemButton::setImgNormal(const gfx::Image& image)
{
    m_imgNormal = image;
    m_btn->setImage(image, ui::ControlStateNormal);
}

void TabBarItemButton::setImgFocus(const gfx::Image& image)
{
    m_imgFocus = image;
    m_btn->setImage(image, ui::ControlStateSelected);
    m_btn->setImage(image, ui::ControlStateSelected | ui::ControlStateHighlighted);
    m_animatedImageView->setImage(image);
}

bool TabBarItemButton::isSelected() const
{
    return m_btn->isSelected();
}

void TabBarItemButton::setSelected(bool selected)
{
    m_btn->setSelected(selected);
    m_lableTitle->setTextColor(currentCaptionColor(selected));
}

void TabBarItemButton::setCaptionColors(gfx::Color normal, gfx::Color selected)
{
    m_captionNormal = normal;
    m_captionSelected = selected;
    m_lableTitle->setTextColor(currentCaptionColor(isSelected()));
}

void TabBarItemButton::addTargetActionForControlEvents(ui::Control::Action action, unsigned events)
{
    m_btn->addTarget(std::move(action), events);
}

int TabBarItemButton::tag() const
{
    return m_btn->tag();
}

void TabBarItemButton::setTag(int tag)
{
    m_btn->setTag(tag);
}

void TabBarItemButton::setBadgeValueAnimated(const std::optional<std::string>& value, bool animated)
{
    BadgeLook::setBadgeValue(*m_badgeView, *m_badgeLabel, value, kBadgeCenterX, kBadgeTop);
    if (animated && !m_badgeView->isHidden())
        animateBadgeBouncing();
}

void TabBarItemButton::animateBadgeBouncing()
{
    BadgeLook::animateBadgeBouncing(*m_badgeView, kBadgeBounce);
}

void TabBarItemButton::startBlinkIcon()
{
    // The icon fades out while the selected picture fades in, back and forth until stopped;
    // the views hold the end values, as after an animated change.
    auto fade = [](ui::View& view, double from, double to) {
        auto animation = ui::LayerAnimation::make("opacity");
        animation->values = {from, to};
        animation->duration = kBlinkDuration;
        animation->autoreverses = true;
        animation->repeatCount = INFINITY;
        animation->curve = ui::View::AnimationOptions::Curve::EaseInOut;
        view.addAnimation(animation, "blink");
        view.setAlpha(to);
    };
    fade(m_btn->imageView(), 1, 0);
    fade(*m_animatedImageView, 0, 1);
}

void TabBarItemButton::stopBlinkIcon()
{
    m_btn->imageView().removeAllAnimations();
    m_animatedImageView->removeAllAnimations();
    m_btn->imageView().setAlpha(1);
    m_animatedImageView->setAlpha(0);
}

void TabBarItemButton::animateIconBouncing()
{
    bounceIconStep(m_btn, 0);
}
