#pragma once
// A logged-in client with a small catalogue, the panel in a window on the manual clock, and a
// recorder of the notifications the panel sends to the grid and the catalogue.
#include "tests/App/AppWindowTestSupport.h"

#include "Classes/Catalog/MasterViewController.h"
#include "Classes/Catalog/ProductBigCatalog.h"
#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Database/brivanta_product_related_tag_Entity.h"
#include "Database/productAndcategoryXrefModel.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Value.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Protocol/LoginMode.h"

#include <string>
#include <vector>

namespace paneltest {

// "displayFourColumn 7", "refushRightData Zebra: 3 4 5", "refushRightData none", "btnBackClick".
class NotificationRecorder {
public:
    NotificationRecorder()
    {
        auto& center = base::NotificationCenter::defaultCenter();
        m_tokens.push_back(center.addObserver("displayFourColumn", nullptr, [this](const base::Notification& n) {
            auto id = std::static_pointer_cast<base::Value>(n.object);
            log.push_back("displayFourColumn " + (id ? std::to_string(id->asInteger()) : std::string("none")));
        }));
        m_tokens.push_back(center.addObserver("refushRightData", nullptr, [this](const base::Notification& n) {
            auto tags = std::static_pointer_cast<MasterViewController::TagProducts>(n.object);
            std::string line = "refushRightData";
            if (!tags)
                line += " none";
            for (auto& [name, products] : tags ? *tags : MasterViewController::TagProducts{}) {
                line += " " + name + ":";
                for (auto& p : products)
                    line += " " + std::to_string(p.product_id);
            }
            log.push_back(line);
        }));
        for (const char* name : {"btnBackClick", "AppearOrHiddenMasterView"})
            m_tokens.push_back(center.addObserver(name, nullptr, [this, name](const base::Notification&) { log.push_back(name); }));
    }
    std::vector<std::string> take()
    {
        auto taken = std::move(log);
        log.clear();
        return taken;
    }
    std::vector<std::string> log;

private:
    std::vector<base::ObserverToken> m_tokens;
};

inline brivanta_category_Entity category(int id, const std::string& name, int parent)
{
    brivanta_category_Entity c;
    c.category_id = id;
    c.category_name = name;
    c.category_parent_id = parent;
    c.category_publish = 1;
    c.category_type = "category";
    return c;
}

inline brivanta_product_Entity product(int id, int publish = 1)
{
    brivanta_product_Entity p;
    p.product_id = id;
    p.product_name = "Product " + std::to_string(id);
    p.product_sku = "SKU-" + std::to_string(id);
    p.product_publish = publish;
    return p;
}

class PanelTest : public apptest::AppWindowTest {
protected:
    // Categories: A (10) with products 1-2; B (20) with B1 (21: 3-5), B2 (22: 6) and 7-10 filed
    // directly under it; 11-15 under no category. Tags: "Zebra" twice (the later one with 4 and
    // 5), "apple" (1, 2) and "empty" (only the unpublished 16).
    PanelTest()
    {
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setClientID("AcMe");
        data = DataAccessManager::sharedDataModel();
        EXPECT_TRUE(data && data->hasModels());
        std::vector<brivanta_product_Entity> products;
        for (int id = 1; id <= 15; ++id)
            products.push_back(product(id));
        products.push_back(product(16, 0));
        EXPECT_TRUE(data->saveToDatabaseProduct(products));
        EXPECT_TRUE(data->saveToDatabaseCategory(std::vector{
            category(10, "A", 0), category(20, "B \n", 0), category(21, "B1", 20), category(22, "B2", 20)}));
        std::vector<brivanta_product_category_xref_Entity> links;
        auto file = [&](int categoryId, int from, int to) {
            for (int id = from; id <= to; ++id)
                links.push_back({categoryId, id});
        };
        file(10, 1, 2);
        file(21, 3, 5);
        file(22, 6, 6);
        file(20, 7, 10);
        file(0, 11, 15);
        EXPECT_TRUE(data->pacmodel()->saveToDatabasePxrefC(links));
        EXPECT_TRUE(data->saveToDatabaseProductTag(std::vector{tag(1, "Zebra"), tag(2, "apple"), tag(3, "Zebra"), tag(4, "empty")}));
        EXPECT_TRUE(data->saveToDatabaseProductRelatedTag(std::vector<brivanta_product_related_tag_Entity>{
            {3, 1}, {1, 2}, {2, 2}, {4, 3}, {5, 3}, {16, 4}}));
    }
    ~PanelTest() override
    {
        if (panel)
            panel->view()->removeFromSuperview();
        panel.reset();
        MasterViewController::resetCurrentState();
        data.reset();
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
    }
    static brivanta_tag_entity tag(int id, const std::string& name)
    {
        brivanta_tag_entity t;
        t.tag_id = id;
        t.tag_name = name;
        return t;
    }
    void showPanel()
    {
        panel = std::make_shared<MasterViewController>();
        title = std::make_shared<ui::Label>(gfx::Rect(300, 10, 300, 30));
        panel->setLblTitle(title);
        window->addSubview(title);
        window->addSubview(panel->view());
        panel->view()->layoutIfNeeded();
        recorder.take();
    }
    // The category rows as shown: "title (count)", row 0 first.
    std::vector<std::string> rows(ui::TableView& table)
    {
        table.layoutIfNeeded();
        std::vector<std::string> shown;
        for (auto& ip : table.indexPathsForVisibleRows()) {
            auto* cell = dynamic_cast<ProductBigCatalog*>(table.cellForRowAtIndexPath(ip));
            shown.push_back(cell->lbTitle().text() + " " + cell->lbcount().text());
        }
        return shown;
    }
    void tapRow(ui::TableView& table, int row)
    {
        table.layoutIfNeeded();
        auto* cell = table.cellForRowAtIndexPath(ui::IndexPath::forRow(row, 0));
        ASSERT_NE(cell, nullptr) << row;
        ASSERT_TRUE(driver->tap(cell)) << row;
    }
    void settle() { driver->wait(0.5); }

    std::shared_ptr<DataAccessManager> data;
    std::shared_ptr<MasterViewController> panel;
    std::shared_ptr<ui::Label> title;
    NotificationRecorder recorder;
};

} // namespace paneltest
