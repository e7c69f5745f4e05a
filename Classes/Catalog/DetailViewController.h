#pragma once
#include "Classes/Catalog/AddToOrderFlow.h"
#include "Classes/Catalog/DetailCell.h"
#include "Common/BaseViewController.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Widgets/BRGridView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Button;
class Label;
class PanGestureRecognizer;
class SearchBar;
}

// The catalogue tab, as the grid sees it.
class DetailViewDelegate {
public:
    virtual ~DetailViewDelegate() = default;
    virtual void setMasterViewHiddedBeginPoint(bool hidden, gfx::Point point) {}
    virtual void productCellClicked() {}
};

// The catalogue's product grid: the products of the category or tag the panel chose, sorted by
// name, SKU or price, one tile each; a tile opens its product page. Driven by the catalogue's
// notifications.
class DetailViewController : public BaseViewController,
                             public BRGridViewDataSource,
                             public BRGridViewDelegate,
                             public DetailCellDelegate,
                             public AddToOrderFlowHost,
                             public ui::GestureRecognizerDelegate {
public:
    static constexpr int kTileTagBase = 2000;
    static constexpr const char* kCellIdentifier = "br_catalog_cell";

    DetailViewController() = default;
    ~DetailViewController() override;
    const char* className() const override { return "DetailViewController"; }

    // Shared by every grid: the left panel reads it after a language change.
    static const std::string& getCurrentTitle();
    static void setCurrentTitle(const std::string& title);
    static gfx::Point panStartPoint();
    // Logout and tests start from a clean slate.
    static void resetSharedState();

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    void viewDidUnload() override;
    unsigned supportedInterfaceOrientations() const override;

    // Handed in by the catalogue tab.
    void setDetailViewDelegate(DetailViewDelegate* delegate) { m_detailViewDelegate = delegate; }
    DetailViewDelegate* detailViewDelegate() const { return m_detailViewDelegate; }
    void setLblTitle(std::shared_ptr<ui::Label> label) { m_lblTitle = std::move(label); }
    const std::shared_ptr<ui::Label>& lblTitle() const { return m_lblTitle; }
    void setBtnBack(std::shared_ptr<ui::Button> button) { m_btnBack = std::move(button); }
    void setSearchBar(std::shared_ptr<ui::SearchBar> bar) { m_searchBar = std::move(bar); }

    BRGridView* productShowView() const { return m_productShowView.get(); }
    const std::vector<brivanta_product_Entity>& productArray() const { return m_productArray; }
    const std::string& tagTitle() const { return m_tagTitle; }
    bool isTagsALL() const { return m_isTagsALL; }
    int sortType() const { return m_sortType; }
    double panDistance() const { return m_panDistance; }

    // The notification handlers.
    void getImgShowData(int categoryId);
    void refushRightData(const std::shared_ptr<const std::map<std::string, std::vector<brivanta_product_Entity>>>& tags);
    void sortproduct(int sortType);
    void switchProductStyle();
    void changeTitleToTags();
    void changeisAllState();

    // Pops to the grid, refreshes the badges and shows the list from its top.
    void showAllImageCell();
    void refreshItemNumberBadges();
    // 0 name, 1 SKU, 2 effective price; any other value leaves the order.
    void sorteProductArryBy(int sortType);
    // The tile of item i was tapped on its picture: open its page.
    void didSelectedImage(uint32_t index);
    void didSelectedImage(DetailCell& tile) override;
    void addToOrder(DetailCell& tile) override;
    AddToOrderFlow* addToOrderFlow() const { return m_flow.get(); }

    brivanta_product_Entity* addFlowProductAtIndex(uint32_t index) override;
    BadgeButton* addFlowBadgeAtIndex(uint32_t index) override;
    gfx::Rect addFlowAnchorAtIndex(uint32_t index) override;
    ui::View* addFlowView() override { return view().get(); }
    void addFlowRefresh() override;
    void panMove(ui::PanGestureRecognizer& pan);

    uint32_t numberOfItemsInGridView(BRGridView&) override;
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView&, uint32_t index) override;
    std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView&) override { return gfx::Size{193, 212}; }
    void gridViewDidSelectItemAtIndex(BRGridView&, uint32_t) override {}

private:
    void getAllproductsEntity(int categoryId);
    // The heading label's text (the controller's own title stays for the navigation bar).
    void showTitle(const std::string& text);
    std::string titleText() const;

    std::shared_ptr<BRGridView> m_productShowView;
    std::vector<brivanta_product_Entity> m_productArray;
    std::string m_tagTitle;
    bool m_isTagsALL = false;
    std::shared_ptr<ui::Button> m_btnBack;
    std::shared_ptr<ui::SearchBar> m_searchBar;
    std::shared_ptr<ui::Label> m_lblTitle;
    DetailViewDelegate* m_detailViewDelegate = nullptr;
    int m_sortType = 0;
    double m_panDistance = 0;
    std::shared_ptr<ui::PanGestureRecognizer> m_pan;
    std::shared_ptr<AddToOrderFlow> m_flow;
    std::vector<base::ObserverToken> m_observers;
};
