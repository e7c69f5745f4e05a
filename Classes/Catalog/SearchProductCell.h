#pragma once
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TableViewCell.h"

#include <memory>

// A row of the product search popover: picture, name, price and SKU.
class SearchProductCell : public ui::TableViewCell {
public:
    explicit SearchProductCell(const std::string& reuseIdentifier);
    const char* className() const override { return "SearchProductCell"; }

    // The cell's own picture at (0, 0, 78, 81), in place of the plain cell's.
    ui::ImageView& imageView() const { return *m_imageView; }
    ui::Label& productName() const { return *m_productName; }
    ui::Label& productPrice() const { return *m_productPrice; }
    ui::Label& productSKU() const { return *m_productSKU; }
    int productId() const { return m_productId; }
    // Stores the id and shows its price; empty when hidden or missing.
    void setProductId(int productId);

private:
    std::shared_ptr<ui::ImageView> m_imageView;
    std::shared_ptr<ui::Label> m_productName;
    std::shared_ptr<ui::Label> m_productPrice;
    std::shared_ptr<ui::Label> m_productSKU;
    int m_productId = 0;
};
