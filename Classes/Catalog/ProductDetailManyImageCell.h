#pragma once
#include "Platform/UI/TableViewCell.h"

#include <memory>

namespace ui {
class ImageView;
}

class ProductDetailManyImageCell;

// Told when a thumbnail is tapped.
class ProductDetailManyImageCellDelegate {
public:
    virtual ~ProductDetailManyImageCellDelegate() = default;
    virtual void didSelectedManyImage(ProductDetailManyImageCell& cell) = 0;
};

// A thumbnail of the product page's image strip, framed in the theme colour; the focused one
// has the stronger frame.
class ProductDetailManyImageCell : public ui::TableViewCell {
public:
    explicit ProductDetailManyImageCell(std::string reuseIdentifier = "ProductDetailManyImageCell");
    const char* className() const override { return "ProductDetailManyImageCell"; }

    const std::shared_ptr<ui::ImageView>& imageView_() const { return m_imageView; }
    bool isFocus() const { return m_isFocus; }
    void setIsFocus(bool focus);
    // Not owned.
    void setProductDetailManyImageCellDelegate(ProductDetailManyImageCellDelegate* delegate) { m_delegate = delegate; }

    void layoutSubviews() override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    std::shared_ptr<ui::ImageView> m_imageView;
    bool m_isFocus = false;
    ProductDetailManyImageCellDelegate* m_delegate = nullptr;
};
