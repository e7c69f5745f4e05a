#pragma once
#include "Platform/UI/TableViewCell.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class Button;
class ImageView;
class Label;
class TextView;
}
class CompareCell;
class IconButton;

// The compare popup that owns the columns.
class CompareCellDelegate {
public:
    virtual ~CompareCellDelegate() = default;
    virtual void addToOrder(CompareCell& cell) = 0;
    virtual void didTapImage(CompareCell& cell) {}
    virtual void didLongPressImage(CompareCell& cell) {}
    virtual void didClickCellBackground(CompareCell& cell) {}
};

// One column of the compare popup: picture, add button with the quantity already in the
// order, name, price with its discount, SKU and short description; a delete button in edit
// mode. A table cell standing on its own.
class CompareCell : public ui::TableViewCell {
public:
    static constexpr double kWidth = 180;
    static constexpr double kHeight = 600;

    explicit CompareCell(const std::string& reuseIdentifier);
    const char* className() const override { return "CompareCell"; }

    int productId() const { return m_productId; }
    // Stores the id and fills the prices.
    void setProductId(int productId);
    const std::optional<std::string>& discountprice() const { return m_discountprice; }
    void setDiscountprice(const std::optional<std::string>& text);
    void setBadgeValueAnimated(const std::optional<std::string>& value, bool animated);

    std::shared_ptr<CompareCellDelegate> compareDelegate() const { return m_compareDelegate.lock(); }
    void setCompareDelegate(std::weak_ptr<CompareCellDelegate> delegate) { m_compareDelegate = std::move(delegate); }

    ui::View& contentBackgroundView() const { return *m_contentBackgroundView; }
    ui::ImageView& productImageView() const { return *m_productImageView; }
    ui::ImageView& devideImageView() const { return *m_devideImageView; }
    IconButton& addOrderBtn() const { return *m_addOrderBtn; }
    ui::Label& productNameLabel() const { return *m_productNameLabel; }
    ui::Label& priceLabel() const { return *m_priceLabel; }
    ui::Label& disCountpriceLabel() const { return *m_disCountpriceLabel; }
    ui::Label& SKULabel() const { return *m_SKULabel; }
    ui::TextView& shortDesTextView() const { return *m_shortDesTextView; }
    ui::Button& smallCloseBtn() const { return *m_smallCloseBtn; }

private:
    std::shared_ptr<ui::View> m_contentBackgroundView;
    std::shared_ptr<ui::ImageView> m_productImageView;
    std::shared_ptr<ui::ImageView> m_devideImageView;
    std::shared_ptr<IconButton> m_addOrderBtn;
    std::shared_ptr<ui::Label> m_priceLabel;
    std::shared_ptr<ui::Label> m_disCountpriceLabel;
    std::shared_ptr<ui::Label> m_SKULabel;
    std::shared_ptr<ui::Label> m_productNameLabel;
    std::shared_ptr<ui::TextView> m_shortDesTextView;
    std::shared_ptr<ui::Button> m_smallCloseBtn;
    std::optional<std::string> m_discountprice;
    std::weak_ptr<CompareCellDelegate> m_compareDelegate;
    int m_productId = 0;
};
