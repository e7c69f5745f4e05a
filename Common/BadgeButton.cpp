#include "Common/BadgeButton.h"

#include "Common/BadgeLook.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

BadgeButton::BadgeButton(const gfx::Rect& frame) : ui::Button(ui::ButtonType::Custom, frame)
{
    m_badgeView = BadgeLook::makeBadgeView({0, kBadgeTop, BadgeLook::kHeight, BadgeLook::kHeight}, m_badgeLabel);
    addSubview(m_badgeView);
}

void BadgeButton::setBadgeValueAnimated(const std::optional<std::string>& value, bool animated)
{
    // Centred on the right edge, wherever the button has been resized to.
    BadgeLook::setBadgeValue(*m_badgeView, *m_badgeLabel, value, bounds().width(), kBadgeTop);
    if (animated && value && !value->empty())
        animateBadgeBouncing();
}

void BadgeButton::animateBadgeBouncing()
{
    BadgeLook::animateBadgeBouncing(*m_badgeView, kBadgeBounce);
}

std::shared_ptr<ui::LayerAnimation> BadgeButton::keyframeBounceAnimationFromViaToForKeypathWithDurationBeginTime(
    double from, double via, double to, const std::string& keyPath, double duration, double beginTime)
{
    return BadgeLook::keyframeBounceAnimationFromViaToForKeypathWithDurationBeginTime(from, via, to, keyPath,
                                                                                      duration, beginTime);
}
