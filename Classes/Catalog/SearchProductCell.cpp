#include "Classes/Catalog/SearchProductCell.h"

#include "Database/DataAccessManager.h"

SearchProductCell::SearchProductCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, reuseIdentifier)
{
    auto label = [this](const gfx::Rect& frame, const gfx::Font& font) {
        auto l = ui::View::make<ui::Label>(frame);
        l->setFont(font);
        l->setBackgroundColor(gfx::Color::clear());
        contentView().addSubview(l);
        return l;
    };
    m_imageView = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, 78, 81));
    m_imageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    contentView().addSubview(m_imageView);
    m_productName = label({85, 5, 180, 30}, gfx::Font("Arial-BoldMT", 12));
    m_productName->setTextColor(gfx::Color::black());
    m_productName->setNumberOfLines(0);
    m_productPrice = label({85, 33, 195, 21}, gfx::Font("Arial", 16));
    m_productSKU = label({85, 54, 195, 21}, gfx::Font("Arial", 12));
    m_productSKU->setTextColor(gfx::Color::black());
}

void SearchProductCell::setProductId(int productId)
{
    m_productId = productId;
    auto data = DataAccessManager::sharedDataModel();
    std::string text;
    if (data) {
        // No price row reads as an empty record: no price to show, not a price of 0.
        auto price = data->getPriceEntityByProductId(productId);
        if (price.product_id == productId && productId != 0)
            text = price.strPrice();
    }
    m_productPrice->setText(text);
}
