#pragma once
#include "Common/BaseViewController.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/UI/TableView.h"

#include <memory>
#include <vector>

class UISearchControllerDelegate {
public:
    virtual ~UISearchControllerDelegate() = default;
    virtual void didselectSearchResultIndex(const brivanta_product_Entity& product, int index) = 0;
};

// The catalogue's search results, shown in a popover: one row per product, or one row reading
// NORESULT; choosing a product tells the delegate.
class UISearchController : public BaseViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    static constexpr double kRowHeight = 82;

    UISearchController() = default;
    const char* className() const override { return "UISearchController"; }

    const std::vector<brivanta_product_Entity>& searchProductArray() const { return m_searchProductArray; }
    void setSearchProductArray(std::vector<brivanta_product_Entity> products);
    UISearchControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(UISearchControllerDelegate* delegate) { m_delegate = delegate; }
    ui::TableView* tableView() const { return m_tableView.get(); }

    void loadView() override;
    void viewDidLoad() override;

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return kRowHeight; }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;

private:
    std::vector<brivanta_product_Entity> m_searchProductArray;
    UISearchControllerDelegate* m_delegate = nullptr;
    std::shared_ptr<ui::TableView> m_tableView;
};
