#pragma once
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/Control.h"
#include "Platform/UI/View.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class Button;
class ImageView;
class Label;
}

// One button of the main bar: an icon over a caption, a selected look, a number badge and a
// blinking mode. The tag and the actions belong to the inner button, so an action's sender
// carries the tab's tag.
class TabBarItemButton : public ui::View {
public:
    static constexpr gfx::Size kSize{64, 50};
    // The badge is centred at this x, this far above the button, and bounces this high.
    static constexpr double kBadgeCenterX = 50;
    static constexpr double kBadgeTop = -5;
    static constexpr double kBadgeBounce = 22;

    TabBarItemButton();
    explicit TabBarItemButton(const gfx::Rect& frame);
    const char* className() const override { return "TabBarItemButton"; }

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    const gfx::Image& imgNormal() const { return m_imgNormal; }
    void setImgNormal(const gfx::Image& image);
    const gfx::Image& imgFocus() const { return m_imgFocus; }
    void setImgFocus(const gfx::Image& image);

    bool isSelected() const;
    void setSelected(bool selected);
    void addTargetActionForControlEvents(ui::Control::Action action, unsigned events);
    // Hides the view's own tag: the inner button carries it.
    int tag() const;
    void setTag(int tag);

    // Nothing or "" hides the badge.
    void setBadgeValueAnimated(const std::optional<std::string>& value, bool animated);
    void animateBadgeBouncing();
    void startBlinkIcon();
    void stopBlinkIcon();
    // Four scale steps that make the icon jump; nothing calls it.
    void animateIconBouncing();

    const std::shared_ptr<ui::Button>& btn() const { return m_btn; }
    const std::shared_ptr<ui::ImageView>& animatedImageView() const { return m_animatedImageView; }
    const std::shared_ptr<ui::Label>& lableTitle() const { return m_lableTitle; }
    const std::shared_ptr<ui::ImageView>& badgeView() const { return m_badgeView; }
    const std::shared_ptr<ui::Label>& badgeLabel() const { return m_badgeLabel; }

    // The captions' colours on the bundled bar.
    static gfx::Color captionColor(bool selected);
    static gfx::Font captionFont() { return gfx::Font::systemFont(12); }
    // The colours this item's caption is drawn in, normal and selected.
    void setCaptionColors(gfx::Color normal, gfx::Color selected);
    gfx::Color currentCaptionColor(bool selected) const { return selected ? m_captionSelected : m_captionNormal; }

    // The whole item, icon and caption, answers as the icon does: the inner button takes
    // every touch that lands on it.
    bool pointInside(gfx::Point point) const override;
    ui::View* hitTest(gfx::Point point) override;

private:
    void build();

    std::shared_ptr<ui::Button> m_btn;
    std::shared_ptr<ui::ImageView> m_animatedImageView;
    std::shared_ptr<ui::Label> m_lableTitle;
    gfx::Image m_imgNormal;
    gfx::Image m_imgFocus;
    std::shared_ptr<ui::ImageView> m_badgeView;
    std::shared_ptr<ui::Label> m_badgeLabel;
    std::string m_title;
    gfx::Color m_captionNormal = captionColor(false);
    gfx::Color m_captionSelected = captionColor(true);
};
