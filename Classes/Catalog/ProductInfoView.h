#pragma once
#include "Database/brivanta_product_Entity.h"
#include "Platform/UI/Control.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class ImageView;
class Label;
class TextView;
}

// Told when the information panel has closed. The default does nothing.
class ProductInfoViewDelegate {
public:
    virtual ~ProductInfoViewDelegate() = default;
    virtual void productInfoViewClose() {}
};

// The translucent panel over the image viewer: name, SKU, price beside a struck regular
// price, and the short description. The whole panel is one tap target that closes it.
class ProductInfoView : public ui::Control {
public:
    explicit ProductInfoView(const gfx::Rect& frame);
    const char* className() const override { return "ProductInfoView"; }

    const std::optional<brivanta_product_Entity>& productEntity() const { return m_productEntity; }
    void setProductEntity(const brivanta_product_Entity& product);
    // An empty discount text means no discount applies.
    void setLabelPrice(const std::string& price, const std::string& discountPrice);
    void updateLanguage();
    // The panel's own tap: fades out, leaves its superview 0.5 s later, tells the delegate.
    void productInfoViewClose();

    // Not owned.
    void setDelegate(ProductInfoViewDelegate* delegate) { m_delegate = delegate; }
    ProductInfoViewDelegate* delegate() const { return m_delegate; }

    const std::shared_ptr<ui::Label>& priceLabel() const { return m_priceLabel; }
    const std::shared_ptr<ui::Label>& discountPriceLabel() const { return m_discountPriceLabel; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return m_nameLabel; }
    const std::shared_ptr<ui::Label>& skuLabel() const { return m_skuLabel; }
    const std::shared_ptr<ui::TextView>& descriptionView() const { return m_descriptionView; }

private:
    void showDescription();

    std::optional<brivanta_product_Entity> m_productEntity;
    ProductInfoViewDelegate* m_delegate = nullptr;
    std::shared_ptr<ui::ImageView> m_background;
    std::shared_ptr<ui::Label> m_nameLabel;
    std::shared_ptr<ui::Label> m_skuLabel;
    std::shared_ptr<ui::Label> m_priceLabel;
    std::shared_ptr<ui::Label> m_discountPriceLabel;
    std::shared_ptr<ui::ImageView> m_divider;
    std::shared_ptr<ui::TextView> m_descriptionView;
};
