#pragma once
#include "Classes/Catalog/CatalogViewDelegate.h"
#include "Classes/Catalog/DetailViewController.h"
#include "Classes/Catalog/ProductCompareController.h"
#include "Classes/Catalog/ProductFavoriteController.h"
#include "Classes/Catalog/ProductPageRoad.h"
#include "Classes/Catalog/UISearchController.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Common/PopBaseController.h"
#include "Database/brivanta_compare_Entity.h"
#include "Database/brivanta_favorite_Entity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/SearchBar.h"
#include "Widgets/OrderingController.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {
class Button;
class ImageView;
class Label;
class NavigationController;
}
class MasterViewController;

// The catalogue tab: its bar (menu, back, search, title, sort, compare and favourites) and two
// stacks laid on the main tab bar's view while the tab shows, the category panel on the left
// and the product grid with the pages opened from it on the right.
class CatalogViewController : public BaseViewController,
                              public ConfigDelegate,
                              public CatalogViewDelegate,
                              public DetailViewDelegate,
                              public UISearchControllerDelegate,
                              public ui::SearchBarDelegate,
                              public ui::PopoverControllerDelegate,
                              public OrderingControllerDelegate,
                              public ProductCompareDelegate,
                              public ProductFavoriteDelegate,
                              public PopControllerDelegate {
public:
    static constexpr int kMasterViewTag = 6001;
    static constexpr int kDetailViewTag = 6002;

    CatalogViewController() = default;
    ~CatalogViewController() override;
    const char* className() const override { return "CatalogViewController"; }

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    void viewDidUnload() override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    // Only while the catalogue tab is selected.
    void addCatologView() override;
    void removeCalogView() override;

    void setMasterViewHiddedBeginPoint(bool hidden, gfx::Point point) override;
    void productCellClicked() override;
    void didselectSearchResultIndex(const brivanta_product_Entity& product, int index) override;
    void searchBarTextDidChange(ui::SearchBar&, const std::string& text) override;
    void searchBarSearchButtonClicked(ui::SearchBar&) override;
    void orderingDidSelected(unsigned index) override;

    void ControlMasterClicked();
    void backButtonClicked();
    void btnCompareClicked();
    void btnFavoritesClicked();
    // The compare and favourites popups' CLOSE, REMOVEALL and tile taps take them away.
    void dismissPopController(bool animated) override;
    void comparePoverDismiss();
    void dismissProductComparePopver(bool animated);
    void changeAddCompareButtonState() override;
    void changeAddFavoriteButtonState() override;
    // [index, products] from a popup: opens that product's page.
    void setCatalogLayOut(int index, const std::vector<brivanta_product_Entity>& products);
    void detailOnClickTagListener(const std::string& tagName);

    bool isMasterViewHiddened() const { return m_isMasterViewHiddened; }
    ui::Button* btnMenu() const { return m_btnMenu.get(); }
    ui::Button* btnBack() const { return m_btnBack.get(); }
    ui::Button* compareBtn() const { return m_compareBtn.get(); }
    ui::Button* favBtn() const { return m_favBtn.get(); }
    ui::SearchBar* searchBar() const { return m_searchBar.get(); }
    ui::Label* lblTitle() const { return m_lblTitle.get(); }
    ui::ImageView* catalogNavBgImageView() const { return m_catalogNavBgImageView.get(); }
    OrderingController* orderingController() const { return m_orderingController.get(); }
    ui::NavigationController* masterController() const { return m_masterController.get(); }
    ui::NavigationController* detailController() const { return m_detailController.get(); }
    DetailViewController* detailViewController() const { return m_detailViewController.get(); }
    MasterViewController* masterViewController() const { return m_masterViewController.get(); }
    ui::PopoverController* serchController() const { return m_serchController.get(); }
    const std::vector<brivanta_product_Entity>& searchProductArray() const { return m_searchProductArray; }
    // Geometry of the panel views for the remembered state.
    std::shared_ptr<ui::View> masterView() const;
    std::shared_ptr<ui::View> detailView() const;

private:
    void buildBar();
    bool pageOpen() const;
    void applyHiddenLayout();
    void applyShownLayout();
    void placeForState();
    void openPage(const ProductPageRequest& request);
    void returnToGrid(const std::function<void()>& afterPop, bool postSwitch);
    void tabItemsMove(bool hidden);
    double panelWidth() const;

    std::shared_ptr<ui::Button> m_btnMenu;
    std::shared_ptr<ui::Button> m_btnBack;
    std::shared_ptr<ui::Button> m_compareBtn;
    std::shared_ptr<ui::Button> m_favBtn;
    std::shared_ptr<ui::SearchBar> m_searchBar;
    std::shared_ptr<ui::Label> m_lblTitle;
    std::shared_ptr<ui::ImageView> m_catalogNavBgImageView;
    std::shared_ptr<OrderingController> m_orderingController;
    std::shared_ptr<ui::NavigationController> m_masterController;
    std::shared_ptr<ui::NavigationController> m_detailController;
    std::shared_ptr<MasterViewController> m_masterViewController;
    std::shared_ptr<DetailViewController> m_detailViewController;
    std::shared_ptr<ui::PopoverController> m_serchController;
    std::shared_ptr<UISearchController> m_searchContent;
    std::vector<brivanta_product_Entity> m_searchProductArray;
    bool m_isMasterViewHiddened = false;
    std::vector<base::ObserverToken> m_observers;
    int m_loadByConfigCount = 0;
};
