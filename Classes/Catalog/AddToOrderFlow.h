#pragma once
#include "Classes/Catalog/AddToOrderController.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/UI/AlertView.h"

#include <cstdint>
#include <memory>

namespace ui {
class PopoverController;
class ScrollView;
class View;
}
class BadgeButton;
class BRGridView;
class DetailCell;

// What differs between the lists that add products from their tiles: the grid and the
// compare, favourites and related-products popups.
class AddToOrderFlowHost {
public:
    virtual ~AddToOrderFlowHost() = default;
    // The product of item i as this list adds it: its own record (changes stay with the list)
    // or one read afresh and kept by the host; null when there is none.
    virtual brivanta_product_Entity* addFlowProductAtIndex(uint32_t index) = 0;
    // The badge of item i's tile as it is on screen now; null when the tile is not there.
    virtual BadgeButton* addFlowBadgeAtIndex(uint32_t index) = 0;
    // Where the sheet points for item i, in addFlowView()'s coordinates.
    virtual gfx::Rect addFlowAnchorAtIndex(uint32_t index) = 0;
    virtual ui::View* addFlowView() = 0;
    // After the currency question: badges read again and the tiles rebuilt.
    virtual void addFlowRefresh() = 0;
};

// The add-to-order road from a list's tile into the open order: the currency question (alert
// 8801), single-valued attributes filled in, the sheet when a choice is needed, the add and
// the tile's badge. Written once; each list gives its differences as options and a host.
class AddToOrderFlow : public ui::AlertViewDelegate,
                       public AddToOrderControllerDelegate,
                       public std::enable_shared_from_this<AddToOrderFlow> {
public:
    static constexpr int kCurrencyAlertTag = 8801;
    static constexpr int kGridBase = 2000;
    static constexpr int kFavoritesBase = 3000;
    static constexpr int kRelatedBase = 3500;
    static constexpr int kCompareBase = 4000;

    struct Options {
        int tagBase = kGridBase;
        // Whether the product's total in the order is read again before a direct add, and
        // before an add after the sheet.
        bool rereadOnDirectAdd = true;
        bool rereadAfterSheet = false;
        // The sheet hands back the tile's tag (popups) or the item index (grid).
        bool sheetIndexIsTag = false;
    };
    static Options gridOptions() { return {kGridBase, true, false, false}; }
    static Options compareOptions() { return {kCompareBase, true, true, true}; }
    static Options favoritesOptions() { return {kFavoritesBase, true, true, true}; }
    static Options relatedOptions() { return {kRelatedBase, false, false, true}; }

    // The host owns the flow and outlives it.
    AddToOrderFlow(AddToOrderFlowHost& host, Options options);
    ~AddToOrderFlow() override;

    // The tile's add button.
    void addToOrder(int tileTag);
    // The attribute step and the add, for item `index`.
    void addProductToOrderSelectCell(uint32_t index);
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void addProductToOrderWithProductCellIndex(const brivanta_product_Entity& product, uint32_t cellIndex) override;

    int selectTag() const { return m_selectTag; }
    const std::shared_ptr<ui::PopoverController>& addToOrderPopController() const { return m_addToOrderPopController; }
    const Options& options() const { return m_options; }

    // Helpers for the hosts. A grid's tile after its layout pass has run (right after a reload
    // no tile exists until then); null when the item is scrolled out.
    static DetailCell* gridTileAtIndex(BRGridView& grid, uint32_t index);
    // The tile's rectangle in `view`, or the item's slot when its tile is not on screen.
    static gfx::Rect gridAnchorAtIndex(BRGridView& grid, uint32_t index, ui::View* view);
    // The subview of a popup's scroll view with that tag, or null.
    static ui::View* tileWithTagInScrollView(ui::ScrollView& scrollView, int tag);

private:
    void add(brivanta_product_Entity& product, BadgeButton* badge);
    void presentSheet(const brivanta_product_Entity& product, uint32_t index);

    AddToOrderFlowHost& m_host;
    Options m_options;
    int m_selectTag = 0;
    std::shared_ptr<ui::PopoverController> m_addToOrderPopController;
};
