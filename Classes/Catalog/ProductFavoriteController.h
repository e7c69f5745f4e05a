#pragma once
#include "Classes/Catalog/AddToOrderFlow.h"
#include "Classes/Catalog/DetailCell.h"
#include "Classes/Catalog/ProductListPopController.h"
#include "Database/brivanta_favorite_Entity.h"
#include "Platform/UI/GestureRecognizer.h"

#include <memory>
#include <vector>

namespace ui {
class LongPressGestureRecognizer;
class ScrollView;
class TapGestureRecognizer;
}

// Told when products left the favourites, so the page's favourite button can follow.
class ProductFavoriteDelegate {
public:
    virtual ~ProductFavoriteDelegate() = default;
    virtual void changeAddFavoriteButtonState() {}
};

// The full-screen popup of the favourite products as product tiles, five to a row.
class ProductFavoriteController : public ProductListPopController,
                                  public DetailCellDelegate,
                                  public AddToOrderFlowHost,
                                  public ui::GestureRecognizerDelegate {
public:
    static constexpr double kCellWidth = 220;
    static constexpr double kCellHeight = 215;

    ProductFavoriteController() = default;
    ~ProductFavoriteController() override;
    const char* className() const override { return "ProductFavoriteController"; }

    const std::vector<brivanta_favorite_Entity>& favArray() const { return m_favArray; }
    void setFavArray(std::vector<brivanta_favorite_Entity> favorites) { m_favArray = std::move(favorites); }
    std::shared_ptr<ProductFavoriteDelegate> favDelegate() const { return m_favDelegate.lock(); }
    void setFavDelegate(std::weak_ptr<ProductFavoriteDelegate> delegate) { m_favDelegate = std::move(delegate); }

    void loadView() override;
    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void viewDidUnload() override;

    // A tile for every favourite whose product can be read; a tile's tag is 3000 + its
    // favourite's index.
    void getFavoritesShowData();
    void deleteSingleFavorite(int tag);
    void removeAllFavorites();
    void respondToTapGesture(ui::GestureRecognizer& recognizer);
    void respondToLongPressGesture(ui::GestureRecognizer& recognizer);
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override;
    // The popup's tap never takes a tile's own image tap away.
    bool gestureRecognizerShouldRecognizeSimultaneously(ui::GestureRecognizer&, ui::GestureRecognizer&) override { return true; }

    void didSelectedImage(DetailCell& cell) override;
    void addToOrder(DetailCell& cell) override;

    brivanta_product_Entity* addFlowProductAtIndex(uint32_t index) override;
    BadgeButton* addFlowBadgeAtIndex(uint32_t index) override;
    gfx::Rect addFlowAnchorAtIndex(uint32_t index) override;
    ui::View* addFlowView() override { return view().get(); }
    void addFlowRefresh() override { getFavoritesShowData(); }

    const std::shared_ptr<ui::ScrollView>& favoriteScrollView() const { return m_favoriteScrollView; }
    std::vector<DetailCell*> tiles() const;
    DetailCell* tileWithTag(int tag) const;
    const std::shared_ptr<AddToOrderFlow>& addFlow() const { return m_flow; }

protected:
    std::vector<EditableTile> editableTiles() override;

private:
    // The tile whose image, or whose whole frame, holds the point (in the popup's view).
    DetailCell* tileAt(gfx::Point point, bool imageOnly);
    std::vector<std::pair<size_t, brivanta_product_Entity>> readableProducts() const;

    std::vector<brivanta_favorite_Entity> m_favArray;
    std::weak_ptr<ProductFavoriteDelegate> m_favDelegate;
    std::shared_ptr<ui::ScrollView> m_favoriteScrollView;
    std::shared_ptr<ui::TapGestureRecognizer> m_tapGesturRecognizer;
    std::shared_ptr<AddToOrderFlow> m_flow;
};
