#pragma once
#include "Classes/Catalog/TagsLeftView.h"
#include "Common/BaseViewController.h"
#include "Database/brivanta_category_Entity.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/TableView.h"
#include "Widgets/SwitchButton.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Button;
class ImageView;
class Label;
}

// The catalogue's left panel: the category tree one level at a time with product counts, or
// the tag list, chosen by a switch at the bottom. It tells the grid what to show through
// "displayFourColumn" (object: a base::Value holding the category id) and "refushRightData"
// (object: a TagProducts of one entry, or none to empty the grid).
class MasterViewController : public BaseViewController,
                             public ui::TableViewDataSource,
                             public ui::TableViewDelegate,
                             public TagsLeftDelegate,
                             public SwitchButtonDelegate {
public:
    using TagProducts = std::map<std::string, std::vector<brivanta_product_Entity>>;
    static constexpr int kUncategorizedId = -1;
    static constexpr double kSlide = 243;
    static constexpr double kSlideSeconds = 0.15;

    MasterViewController() = default;
    ~MasterViewController() override;
    const char* className() const override { return "MasterViewController"; }

    // The panel's mode for the grid, the tab and the page: 0 category, 1 tag.
    static int getCurrentState();
    // Back to category mode: at logout, and when a panel goes.
    static void resetCurrentState();

    void loadView() override;
    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;

    void tagTableSelectRow(int row);
    void btnbackClicked();
    void selectSwitchButtonIndex(SwitchButton& sender, int index) override;
    void switchTagButton();
    void didSelectDelegateWithTagName(const std::vector<int>& productIds, const std::string& tagName) override;
    void showAllCells() override {}
    void clickToAppearOrHiddenCategory();
    void refreshData();
    void calculateProductNumber();
    unsigned getTotalNumberOfProductsUnderCategory() const { return m_totalProductsNumber; }
    int getProductCountUnderCategory(int categoryId) const;
    void addUncategorized();
    void selectFirstTag();
    void selectTopCell(ui::TableView& table);
    void setCellToHighLightRow(ui::TableView& table, int row);

    int currentStte() const { return m_currentStte; }
    ui::TableView* myTable() const { return m_myTable.get(); }
    const std::vector<brivanta_category_Entity>& dataArray() const { return m_dataArray; }
    // The count shown on the row of dataArray's entry i.
    int categoryNumberOfProducts(size_t i) const { return i < m_counts.size() ? m_counts[i] : 0; }
    ui::Label* lbcategory() const { return m_lbcategory.get(); }
    ui::Button* btnback() const { return m_btnback.get(); }
    SwitchButton* btnCatalogSwitch() const { return m_btnCatalogSwitch.get(); }
    TagsLeftView* tagsLeftView() const { return m_tagsLeftView.get(); }
    int cid() const { return m_cid; }
    const std::optional<std::string>& cname() const { return m_cname; }
    int clickIndex() const { return m_clickIndex; }
    int selectRow() const { return m_selectRow; }
    const std::vector<brivanta_product_Entity>& allProducts() const { return m_allProducts; }
    // The catalogue's title label, which the panel also sets; not retained.
    void setLblTitle(const std::shared_ptr<ui::Label>& label) { m_lblTitle = label; }

private:
    void setHeader(const std::string& text);
    void setCatalogTitle(const std::string& key);
    void postCategory(int categoryId);
    // Moves the visible rows but the summary sideways by `dx`, as a level changes.
    void slideRows(double dx, bool easeIn, std::function<void()> completion);
    void placeRowsAt(double x);

    int m_currentStte = 0;
    std::shared_ptr<ui::TableView> m_myTable;
    std::vector<brivanta_category_Entity> m_dataArray;
    std::vector<int> m_counts;
    std::shared_ptr<ui::ImageView> m_imgBackground;
    std::shared_ptr<ui::ImageView> m_titlebg;
    std::shared_ptr<ui::Label> m_lbcategory;
    std::shared_ptr<ui::Button> m_btnback;
    std::shared_ptr<ui::ImageView> m_shadowImageView;
    std::shared_ptr<SwitchButton> m_btnCatalogSwitch;
    std::shared_ptr<TagsLeftView> m_tagsLeftView;
    int m_cid = 0;
    std::optional<std::string> m_cname = std::string();
    int m_clickIndex = 0;
    int m_selectRow = 0;
    unsigned m_totalProductsNumber = 0;
    std::vector<brivanta_product_Entity> m_allProducts;
    std::weak_ptr<ui::Label> m_lblTitle;
    base::ObserverToken m_stateObserver;
};
