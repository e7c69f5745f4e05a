#pragma once
#include "Classes/Catalog/MultiColumnTableCellInfo.h"
#include "Classes/Catalog/ProductDetailController.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Platform/Graphics/Image.h"
#include "Widgets/BRMultiColumnTableView.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ui {
class Button;
class ImageView;
class Label;
}

// The inventory tab: every published product as a row of a five-column stock sheet (SKU,
// picture, name, description, stock). A tap on a picture opens the product's page.
class InventoryViewController : public BaseViewController,
                                public ConfigDelegate,
                                public BRMultiColumnTableViewDataSource,
                                public ProductDetailDelegate {
public:
    static constexpr double kRowHeight = 120;
    // The picture put behind the navigation bar while a product page shows, found again by it.
    static constexpr int kBarBackgroundTag = 4118;

    InventoryViewController() = default;
    ~InventoryViewController() override;
    const char* className() const override { return "InventoryViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidUnload() override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    // Button actions.
    void tapImage(ui::Button& sender);
    void skuTap(ui::Button& sender) {}
    void back(ui::Button* sender);

    // ProductDetailDelegate: nothing to do here.
    void saveOrderItemIndex(const brivanta_product_Entity&, int) override {}
    void back() override {}

    // BRMultiColumnTableViewDataSource.
    bool answers(Optional operation) const override;
    std::shared_ptr<ui::View> tableViewCellForIndexPathColumn(T&, const IndexPath&, int column) override;
    void tableViewSetContentForCellIndexPathColumn(T&, ui::View& cell, const IndexPath&, int column) override;
    int tableViewNumberOfRowsInSection(T&, int section) override;
    int numberOfColumnsInTableView(T&) override { return m_numberOfColumns; }
    int numberOfSectionsInTableView(T&) override { return 1; }
    double tableViewHeightForCellAtIndexPathColumn(T&, const IndexPath&, int) override { return kRowHeight; }
    double tableViewWidthForColumn(T&, int column) override;
    double heightForHeaderCellOfTableView(T&) override { return 0; }
    double widthForHeaderCellOfTableView(T&) override { return 0; }
    std::shared_ptr<ui::View> topleftHeaderCellOfTableView(T&) override;
    std::shared_ptr<ui::View> tableViewHeaderCellForColumn(T&, int column) override;
    gfx::Color backgroundColorAtIndexPath(T&, const IndexPath&) override;

    // What the tests and the owner look at.
    const std::vector<MultiColumnTableCellInfo>& multiColumnTableHeaderInfos() const { return m_headerInfos; }
    const std::vector<MultiColumnTableCellInfo>& multiColumnTableRegularCellInfos() const { return m_regularInfos; }
    const std::vector<std::string>& multiColumnTableHeaderTitles() const { return m_headerTitles; }
    const std::vector<brivanta_product_Entity>& multiColumnTableData() const { return m_data; }
    const std::vector<std::shared_ptr<ui::Label>>& labelArray() const { return m_labelArray; }
    ui::Label* titleLabel() const { return m_title.get(); }
    BRMultiColumnTableView* tblView() const { return m_tblView.get(); }

    // The language keys of the column titles, in column order.
    static const std::vector<std::string>& columnTitleKeys();

private:
    void loadData();
    void loadMultiColumnTableData();
    void buildBands();
    std::shared_ptr<ui::View> multiColumnTableCell(const MultiColumnTableCellInfo* info);
    void showThumbnail(ui::Button& button, int row, const std::optional<std::string>& path);

    int m_numberOfColumns = 5;
    std::vector<MultiColumnTableCellInfo> m_headerInfos;
    std::vector<std::string> m_headerTitles;
    std::vector<MultiColumnTableCellInfo> m_regularInfos;
    std::vector<brivanta_product_Entity> m_data;
    double m_lastViewVerticalPosition = 0;
    std::shared_ptr<ui::ImageView> m_navigationView;
    std::shared_ptr<ui::Label> m_title;
    std::shared_ptr<ui::View> m_tableHeaderView;
    std::vector<std::shared_ptr<ui::Label>> m_labelArray;
    std::shared_ptr<BRMultiColumnTableView> m_tblView;
    gfx::Image m_defaultThumbnail;
    // The picture each image button waits for: a read finishing for another one is dropped.
    std::map<const ui::Button*, std::string> m_wantedThumbnail;
    int m_loadByConfigCount = 0;
};
