#include "Classes/Library/LibraryCatalogCell.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

namespace {
constexpr double kCountWidth = 45;
}

LibraryCatalogCell::LibraryCatalogCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, reuseIdentifier)
{
    setBackgroundColor(gfx::Color::clear());
    contentView().setBackgroundColor(gfx::Color::clear());
    setSelectionStyle(ui::TableViewCellSelectionStyle::Gray);
    m_lbTitle = std::make_shared<ui::Label>(gfx::Rect(15, 20, 160, 20));
    m_lbTitle->setBackgroundColor(gfx::Color::clear());
    m_lbTitle->setTextColor(gfx::Color::white());
    m_lbcount = std::make_shared<ui::Label>(gfx::Rect(225 - kCountWidth, 20, kCountWidth, 20));
    m_lbcount->setTextAlignment(gfx::TextAlignment::Right);
    m_lbcount->setBackgroundColor(gfx::Color::clear());
    m_lbcount->setTextColor(gfx::Color::white());
    m_imgline = std::make_shared<ui::ImageView>(gfx::Rect(1, 60, 242, 2));
    m_imgline->setImage(SkinManager::skinFromImageName("line-h.png"));
    m_imgicon = std::make_shared<ui::ImageView>(gfx::Rect(225, 24, 15, 15));
    m_imgicon->setImage(SkinManager::bundledImageNamed("icon-arrowrgt.png"));
    m_imgicon->setHidden(true);
    for (auto view : {std::static_pointer_cast<ui::View>(m_lbTitle), std::static_pointer_cast<ui::View>(m_lbcount),
                      std::static_pointer_cast<ui::View>(m_imgline), std::static_pointer_cast<ui::View>(m_imgicon)})
        contentView().addSubview(view);
}

void LibraryCatalogCell::setIsFirstLine(bool firstLine)
{
    m_isFirstLine = firstLine;
    if (!firstLine)
        return;
    m_lbTitle->setText(Language::stringWithName("ALL"));
    m_lbTitle->setFont(gfx::Font::boldSystemFont(16));
    m_lbcount->setFont(gfx::Font::boldSystemFont(16));
}

void LibraryCatalogCell::drawRect(gfx::Context& context, const gfx::Rect& rect)
{
    ui::TableViewCell::drawRect(context, rect);
    if (isSelected() || isHighlighted()) {
        gfx::Image selected = SkinManager::skinFromImageName("navon-bg.png");
        if (!selected.isNull())
            context.drawImage(selected, {0, 0, bounds().width(), 58});
    }
}

void LibraryCatalogCell::layoutSubviews()
{
    ui::TableViewCell::layoutSubviews();
    // Thousands of products still show their whole count.
    PublicFunction::fitCountBesideTitle(m_lbTitle.get(), m_lbcount.get(), kCountWidth);
}
