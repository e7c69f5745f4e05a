#pragma once
#include "Common/BaseViewController.h"
#include "Database/brivanta_product_Entity.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ui {
class Button;
class ImageView;
class TextField;
}
class IconButton;
class ProductAttributeView;

class AddToOrderControllerDelegate {
public:
    virtual ~AddToOrderControllerDelegate() = default;
    // The sheet's OK, with `count` and `attributes` set on the product.
    virtual void addProductToOrderWithProductCellIndex(const brivanta_product_Entity& product, uint32_t cellIndex) = 0;
};

// The small sheet, in a 400 x 250 popover, that asks a product's attribute values and a
// quantity before a list adds it to the open order. It hands the filled record back to its
// delegate, which adds it and closes the popover.
class AddToOrderController : public BaseViewController {
public:
    static constexpr int kMaxQuantity = 1000000;
    static constexpr gfx::Size kContentSize{400, 250};

    AddToOrderController() = default;
    const char* className() const override { return "AddToOrderController"; }

    const brivanta_product_Entity& product_Entity() const { return m_product; }
    void setProduct_Entity(const brivanta_product_Entity& product) { m_product = product; }
    uint32_t cellIndex() const { return m_cellIndex; }
    void setCellIndex(uint32_t index) { m_cellIndex = index; }
    std::shared_ptr<AddToOrderControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<AddToOrderControllerDelegate> delegate) { m_delegate = std::move(delegate); }

    void loadView() override;
    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;

    void deleteCount();
    void addCount();
    void addToOrderOKButtonClicked();

    // The field's whole number: its leading digits, saturating; 0 without any.
    static int integerValueOfText(const std::string& text);

    ProductAttributeView& attributeView() const { return *m_attributeView; }
    ui::TextField& countField() const { return *m_countField; }
    ui::Button& minusButton() const { return *m_minusButton; }
    ui::Button& plusButton() const { return *m_plusButton; }
    IconButton& okButton() const { return *m_okButton; }
    // The frame that marks an unchosen attribute, while it fades in and out.
    ui::View* highlightFrame() const { return m_highlightFrame.lock().get(); }

private:
    void highlightAttribute(size_t index);
    void alert(const std::string& message);

    brivanta_product_Entity m_product;
    uint32_t m_cellIndex = 0;
    std::weak_ptr<AddToOrderControllerDelegate> m_delegate;
    std::shared_ptr<ProductAttributeView> m_attributeView;
    std::shared_ptr<ui::ImageView> m_divider;
    std::shared_ptr<ui::Button> m_minusButton;
    std::shared_ptr<ui::TextField> m_countField;
    std::shared_ptr<ui::Button> m_plusButton;
    std::shared_ptr<IconButton> m_okButton;
    std::weak_ptr<ui::View> m_highlightFrame;
};
