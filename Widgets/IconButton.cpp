#include "Widgets/IconButton.h"

#include "Common/Language.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"

namespace {

constexpr IconButton::TypeLook kLooks[] = {
    {"icon_addToOrder.png", "ADDTOORDER"},
    {"icon_addToOrder.png", "SAVEORDER"},
    {"icon_play.png", "PLAY"},
    {"icon_file.png", "VIEWFILE"},
    {"icon_ppt.png", "VIEWFILE"},
    {"icon_ppt.png", "VIEWFILE"},
};

} // namespace

IconButton::IconButton(const gfx::Rect& frame) : BadgeButton(frame)
{
    m_iconView = std::make_shared<ui::ImageView>(gfx::Rect(frame.width() - kIconWidth, 0, kIconWidth, kIconHeight));
    m_iconView->setHidden(true);
    m_iconView->setUserInteractionEnabled(false);
    addSubview(m_iconView);
}

const IconButton::TypeLook* IconButton::lookOfType(int type)
{
    if (type < 1 || type > static_cast<int>(std::size(kLooks)))
        return nullptr;
    return &kLooks[type - 1];
}

void IconButton::setIconType(int type)
{
    m_iconType = type;
    m_iconView->setHidden(false);
    titleLabel().setFont(gfx::Font::boldSystemFont(14));
    titleLabel().setAdjustsFontSizeToFitWidth(true);
    if (const TypeLook* look = lookOfType(type)) {
        setTitle(Language::stringWithName(look->titleKey));
        setTitleEdgeInsets({0, 5, 0, 35});
        m_iconView->setImage(ui::imageNamed(look->image));
    } else {
        m_iconView->setHidden(true);
        setTitleEdgeInsets({});
    }
}

void IconButton::reloadText()
{
    setIconType(m_iconType);
}

void IconButton::layoutSubviews()
{
    BadgeButton::layoutSubviews();
    // Flush with the right edge, whatever width the owner gives the button later.
    m_iconView->setFrame({bounds().width() - kIconWidth, 0, kIconWidth, kIconHeight});
}
