#pragma once
#include "Common/BadgeButton.h"

#include <memory>

namespace ui {
class ImageView;
}

// The catalogue's action button: a typed title with a small icon at its right end, over the
// badge of its base. Types 1 to 6 have an icon and a title; any other hides the icon.
class IconButton : public BadgeButton {
public:
    static constexpr double kIconWidth = 36;
    static constexpr double kIconHeight = 31;

    explicit IconButton(const gfx::Rect& frame);
    const char* className() const override { return "IconButton"; }

    int iconType() const { return m_iconType; }
    void setIconType(int type);
    // Reads the stored type's title again, after a language change.
    void reloadText();

    const std::shared_ptr<ui::ImageView>& iconView() const { return m_iconView; }

    struct TypeLook {
        const char* image;
        const char* titleKey;
    };
    // The look of types 1 to 6; null for any other type.
    static const TypeLook* lookOfType(int type);

    void layoutSubviews() override;

private:
    std::shared_ptr<ui::ImageView> m_iconView;
    int m_iconType = 0;
};
