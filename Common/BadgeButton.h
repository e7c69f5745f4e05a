#pragma once
#include "Platform/UI/Button.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class ImageView;
class Label;
class LayerAnimation;
}

// A button with a number badge centred on its right edge, above its top, that bounces when the
// number changes. Subclasses extend the construction (the catalogue's icon button).
class BadgeButton : public ui::Button {
public:
    static constexpr double kBadgeTop = -13;
    static constexpr double kBadgeBounce = 44;

    explicit BadgeButton(const gfx::Rect& frame);
    const char* className() const override { return "BadgeButton"; }

    // Nothing or "" hides the badge.
    void setBadgeValueAnimated(const std::optional<std::string>& value, bool animated);
    void animateBadgeBouncing();
    static std::shared_ptr<ui::LayerAnimation> keyframeBounceAnimationFromViaToForKeypathWithDurationBeginTime(
        double from, double via, double to, const std::string& keyPath, double duration, double beginTime);

    const std::shared_ptr<ui::ImageView>& badgeView() const { return m_badgeView; }
    const std::shared_ptr<ui::Label>& badgeLabel() const { return m_badgeLabel; }

private:
    std::shared_ptr<ui::ImageView> m_badgeView;
    std::shared_ptr<ui::Label> m_badgeLabel;
};
