#include "Common/BadgeLook.h"

#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

namespace {
gfx::Font badgeFont()
{
    return gfx::Font("Helvetica-Bold", 12);
}
}

std::shared_ptr<ui::ImageView> BadgeLook::makeBadgeView(const gfx::Rect& frame, std::shared_ptr<ui::Label>& label)
{
    auto badge = ui::View::make<ui::ImageView>(frame);
    badge->setImage(PublicFunction::resizeImageWithCapInsets(SkinManager::skinFromImageName(std::string("bg_badge.png")),
                                                             {0, 12, 0, 12}));
    badge->setHidden(true);
    label = ui::View::make<ui::Label>(gfx::Rect(0, 2, 20, 20));
    label->setFont(badgeFont());
    label->setTextColor(gfx::Color::white());
    label->setTextAlignment(gfx::TextAlignment::Center);
    label->setBackgroundColor(std::nullopt);
    badge->addSubview(label);
    return badge;
}

void BadgeLook::setBadgeValue(ui::ImageView& badgeView, ui::Label& badgeLabel, const std::optional<std::string>& value,
                              double centerX, double top)
{
    if (!value || value->empty()) {
        badgeView.setHidden(true);
        return;
    }
    badgeView.setHidden(false);
    badgeLabel.setText(*value);
    gfx::Size text = gfx::sizeOfText(*value, badgeLabel.font());
    double width = text.width <= 10 ? kHeight : text.width + 14;
    badgeView.setFrame({centerX - width / 2, top, width, kHeight});
    badgeLabel.setFrame({(width - text.width) / 2, (kHeight - text.height) / 2 - 1, text.width, text.height});
}

void BadgeLook::animateBadgeBouncing(ui::View& badgeView, double height)
{
    double y = badgeView.presentation().center.y;
    double now = ui::LayerAnimation::layerTime();
    double settle = height * 10 / 11;
    badgeView.addAnimation(
        keyframeBounceAnimationFromViaToForKeypathWithDurationBeginTime(y, y - height, y - settle, "position.y", 0.15, now),
        "bounce");
    badgeView.addAnimation(keyframeBounceAnimationFromViaToForKeypathWithDurationBeginTime(
                               y, y - height / 2, y - settle / 2, "position.y", 0.1, now + 0.3),
                           "bounce2");
}

std::shared_ptr<ui::LayerAnimation> BadgeLook::keyframeBounceAnimationFromViaToForKeypathWithDurationBeginTime(
    double from, double via, double to, const std::string& keyPath, double duration, double beginTime)
{
    auto animation = ui::LayerAnimation::make(keyPath);
    animation->values = {from, via, to};
    animation->keyTimes = {0, 0.7, 1.0};
    animation->autoreverses = true;
    animation->duration = duration;
    animation->beginTime = beginTime;
    return animation;
}
