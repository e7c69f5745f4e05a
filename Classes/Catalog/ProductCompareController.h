#pragma once
#include "Classes/Catalog/AddToOrderFlow.h"
#include "Classes/Catalog/CompareCell.h"
#include "Classes/Catalog/ProductListPopController.h"
#include "Database/brivanta_compare_Entity.h"

#include <memory>
#include <vector>

namespace ui {
class Label;
class ScrollView;
}

// Told when products left the compare list, so the page's compare button can follow.
class ProductCompareDelegate {
public:
    virtual ~ProductCompareDelegate() = default;
    virtual void changeAddCompareButtonState() {}
};

// The full-screen popup that sets the compared products side by side, one column each.
class ProductCompareController : public ProductListPopController,
                                 public CompareCellDelegate,
                                 public AddToOrderFlowHost {
public:
    static constexpr double kScrollX = 220;
    static constexpr double kScrollWidth = 720;

    ProductCompareController() = default;
    ~ProductCompareController() override;
    const char* className() const override { return "ProductCompareController"; }

    const std::vector<brivanta_compare_Entity>& compareProductsArray() const { return m_compareProductsArray; }
    void setCompareProductsArray(std::vector<brivanta_compare_Entity> rows) { m_compareProductsArray = std::move(rows); }
    std::shared_ptr<ProductCompareDelegate> compareDelegate() const { return m_compareDelegate.lock(); }
    void setCompareDelegate(std::weak_ptr<ProductCompareDelegate> delegate) { m_compareDelegate = std::move(delegate); }

    void loadView() override;
    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void viewDidUnload() override;

    // Builds a column for every compare row whose product can be read; a column's tag is
    // 4000 + its row's index.
    void getCompareShowData();
    void deleteSingleCompare(int tag);
    void removeAll();
    void respondToTapBackgroundGesture();

    void addToOrder(CompareCell& cell) override;
    void didTapImage(CompareCell& cell) override;
    void didLongPressImage(CompareCell& cell) override;
    void didClickCellBackground(CompareCell& cell) override;

    brivanta_product_Entity* addFlowProductAtIndex(uint32_t index) override;
    BadgeButton* addFlowBadgeAtIndex(uint32_t index) override;
    gfx::Rect addFlowAnchorAtIndex(uint32_t index) override;
    ui::View* addFlowView() override { return view().get(); }
    void addFlowRefresh() override { getCompareShowData(); }

    const std::shared_ptr<ui::ScrollView>& compareScrollView() const { return m_compareScrollView; }
    std::vector<CompareCell*> columns() const;
    CompareCell* columnWithTag(int tag) const;
    const std::shared_ptr<AddToOrderFlow>& addFlow() const { return m_flow; }
    ui::Label* nameLabel() const { return m_nameLabel.get(); }
    ui::Label* priceLabel() const { return m_priceLabel.get(); }
    ui::Label* SKULabel() const { return m_SKULabel.get(); }
    ui::Label* descriptionLabel() const { return m_descriptionLabel.get(); }
    double cellWidth() const { return m_cellWidth; }
    double cellHeight() const { return m_cellHeight; }

protected:
    std::vector<EditableTile> editableTiles() override;

private:
    // The products of the rows that can still be read, in list order, with each one's row index.
    std::vector<std::pair<size_t, brivanta_product_Entity>> readableProducts() const;
    void setHeaderTexts();

    std::vector<brivanta_compare_Entity> m_compareProductsArray;
    std::weak_ptr<ProductCompareDelegate> m_compareDelegate;
    std::shared_ptr<ui::ScrollView> m_compareScrollView;
    std::shared_ptr<ui::View> m_bgView;
    std::shared_ptr<ui::View> m_scrollViewBgView;
    std::shared_ptr<ui::Label> m_nameLabel;
    std::shared_ptr<ui::Label> m_priceLabel;
    std::shared_ptr<ui::Label> m_SKULabel;
    std::shared_ptr<ui::Label> m_descriptionLabel;
    double m_cellWidth = 0;
    double m_cellHeight = 0;
    std::shared_ptr<AddToOrderFlow> m_flow;
};
