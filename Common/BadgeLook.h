#pragma once
#include "Platform/Graphics/Geometry.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class ImageView;
class Label;
class LayerAnimation;
class View;
}

// The number badge that tab buttons and badge buttons carry: a stretched red pill with a white
// count. The two differ only in where the badge sits and how high it bounces.
class BadgeLook {
public:
    BadgeLook() = delete;

    static constexpr double kHeight = 26;

    // The hidden badge view with its label, framed at `frame`.
    static std::shared_ptr<ui::ImageView> makeBadgeView(const gfx::Rect& frame, std::shared_ptr<ui::Label>& label);
    // Nothing or "" hides the badge. Otherwise it is 26 wide for a text of at most 10 points,
    // else the text's width plus 14, centred on `centerX` with its top at `top`; the label
    // fits the text, centred one point above the middle.
    static void setBadgeValue(ui::ImageView& badgeView, ui::Label& badgeLabel, const std::optional<std::string>& value,
                              double centerX, double top);
    // Two bounces up and back on "position.y": "bounce" to `height` above and settling two
    // elevenths lower, then, 0.3 s later, "bounce2" half as high.
    static void animateBadgeBouncing(ui::View& badgeView, double height);
    // A keyframe animation through three values at key times 0, 0.7 and 1, auto-reversing,
    // starting at `beginTime` on the layer clock.
    static std::shared_ptr<ui::LayerAnimation> keyframeBounceAnimationFromViaToForKeypathWithDurationBeginTime(
        double from, double via, double to, const std::string& keyPath, double duration, double beginTime);
};
