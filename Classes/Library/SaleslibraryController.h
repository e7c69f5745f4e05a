#pragma once
#include "Classes/Library/LibraryViewDelegate.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Platform/Base/NotificationCenter.h"

#include <memory>
#include <vector>

namespace ui {
class Button;
class ImageView;
class NavigationController;
class View;
}
class LibraryCatalogController;
class LibraryDetailController;

// The sales-library tab: the category panel on the left (it slides away), the file grid on
// the right, and a top bar with the slide button and the two tabs "MYLIBRARY" and
// "MYCOLLECTION". The two panes lie on the main tab bar's own view while the tab is selected.
class SaleslibraryController : public BaseViewController, public ConfigDelegate, public LibraryViewDelegate {
public:
    static constexpr int kMasterViewTag = 6003;
    static constexpr int kDetailViewTag = 6004;
    static constexpr double kMasterWidth = 244;
    static constexpr double kSlideSeconds = 0.3;

    SaleslibraryController() = default;
    ~SaleslibraryController() override;
    const char* className() const override { return "SaleslibraryController"; }

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    void didReceiveMemoryWarning() override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    // Only while the library tab is selected.
    void addLibraryView() override;
    void removeLibraryView() override;

    // The tab strip: 0 every document, 1 the documents on the device. Only a new index acts.
    void didSelectTabAtIndex(unsigned index);
    int tabIndex() const { return m_tabIndex; }

    void ShowMasterView();
    void HideMasterView();
    void ControlMasterClicked();
    bool isMasterViewHiddened() const { return m_isMasterViewHidden; }

    std::shared_ptr<ui::View> masterView() const;
    std::shared_ptr<ui::View> detailView() const;
    LibraryCatalogController* catalogController() const { return m_catalog.get(); }
    const std::vector<std::shared_ptr<LibraryDetailController>>& detailViewsArray() const { return m_detailViewsArray; }
    ui::Button* controlMasterBtn() const { return m_ControlMasterBtn.get(); }
    ui::ImageView* topBar() const { return m_catalogNavBgImageView.get(); }
    ui::Button* tabButton(unsigned index) const;

private:
    void slidePanel(bool hide);
    void layoutTabs();

    std::shared_ptr<ui::ImageView> m_catalogNavBgImageView;
    std::shared_ptr<ui::Button> m_ControlMasterBtn;
    // The two tabs of the strip.
    std::vector<std::shared_ptr<ui::Button>> m_tabButtons;
    std::shared_ptr<LibraryCatalogController> m_catalog;
    std::shared_ptr<ui::NavigationController> m_masterController;
    std::shared_ptr<ui::NavigationController> m_detailController;
    std::vector<std::shared_ptr<LibraryDetailController>> m_detailViewsArray;
    bool m_isMasterViewHidden = false;
    int m_tabIndex = 0;
    int m_loadByConfigCount = 0;
    std::vector<base::ObserverToken> m_observers;
};
