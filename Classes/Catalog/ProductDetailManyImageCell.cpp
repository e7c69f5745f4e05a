#include "Classes/Catalog/ProductDetailManyImageCell.h"

#include "Common/PublicFunction.h"
#include "Platform/UI/ImageView.h"

ProductDetailManyImageCell::ProductDetailManyImageCell(std::string reuseIdentifier)
    : TableViewCell(ui::TableViewCellStyle::Default, std::move(reuseIdentifier))
{
    m_imageView = std::make_shared<ui::ImageView>();
    addSubview(m_imageView);
    setBorderColor(PublicFunction::colorOfMainTheme().withAlpha(0.5));
    setBorderWidth(1);
}

void ProductDetailManyImageCell::setIsFocus(bool focus)
{
    if (focus == m_isFocus)
        return;
    m_isFocus = focus;
    gfx::Color theme = PublicFunction::colorOfMainTheme();
    setBorderColor(focus ? theme : theme.withAlpha(0.5));
    setBorderWidth(focus ? 2 : 1);
}

void ProductDetailManyImageCell::layoutSubviews()
{
    TableViewCell::layoutSubviews();
    gfx::Size size = bounds().size;
    m_imageView->setFrame({5, 5, size.width - 10, size.height - 10});
}

void ProductDetailManyImageCell::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    TableViewCell::touchesEnded(touches, event);
    if (m_delegate)
        m_delegate->didSelectedManyImage(*this);
}
