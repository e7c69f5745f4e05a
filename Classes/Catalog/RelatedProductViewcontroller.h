#pragma once
#include "Classes/Catalog/AddToOrderFlow.h"
#include "Classes/Catalog/DetailCell.h"
#include "Common/PopBaseController.h"
#include "Database/brivanta_product_Entity.h"

#include <memory>
#include <vector>

namespace ui {
class ScrollView;
}

// The products related to the one on the product page, as tiles five to a row: a tile's
// picture opens that product's page, its add button adds it to the open order.
class RelatedProductViewcontroller : public PopBaseController,
                                     public DetailCellDelegate,
                                     public AddToOrderFlowHost {
public:
    static constexpr int kTagBase = AddToOrderFlow::kRelatedBase;
    static constexpr int kColumns = 5;
    static constexpr double kCellWidth = 220;
    static constexpr double kCellHeight = 215;

    RelatedProductViewcontroller();
    ~RelatedProductViewcontroller() override;
    const char* className() const override { return "RelatedProductViewcontroller"; }

    const std::vector<brivanta_product_Entity>& relatedArray() const { return m_relatedArray; }
    void setRelatedArray(std::vector<brivanta_product_Entity> products) { m_relatedArray = std::move(products); }
    const std::shared_ptr<ui::ScrollView>& relatedScrollView() const { return m_relatedScrollView; }
    double cellWidth() const { return m_cellWidth; }
    double cellHeight() const { return m_cellHeight; }
    int selectTag() const { return m_addFlow ? m_addFlow->selectTag() : 0; }
    const std::shared_ptr<AddToOrderFlow>& addFlow() const { return m_addFlow; }

    void viewDidLoad() override;
    void viewDidUnload() override;
    void updateLanguage(ui::Responder* sender) override;
    void getRelatedShowData();

    // Tiles.
    void didSelectedImage(DetailCell& cell) override;
    void addToOrder(DetailCell& cell) override;

    // The add flow's host: the tiles keep their own records, with no re-read.
    brivanta_product_Entity* addFlowProductAtIndex(uint32_t index) override;
    BadgeButton* addFlowBadgeAtIndex(uint32_t index) override;
    gfx::Rect addFlowAnchorAtIndex(uint32_t index) override;
    ui::View* addFlowView() override;
    void addFlowRefresh() override;

private:
    DetailCell* tileAt(uint32_t index) const;

    std::vector<brivanta_product_Entity> m_relatedArray;
    std::shared_ptr<ui::ScrollView> m_relatedScrollView;
    double m_cellWidth = 0;
    double m_cellHeight = 0;
    std::shared_ptr<AddToOrderFlow> m_addFlow;
};
