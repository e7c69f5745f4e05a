#pragma once
#include "Platform/UI/TableView.h"
#include "Platform/UI/ViewController.h"

#include <memory>
#include <string>
#include <vector>

class OrderingTableViewControllerDelegate {
public:
    virtual ~OrderingTableViewControllerDelegate() = default;
    virtual void orderingDidSelected(unsigned index) {}
};

// The list of sort orders inside the picker's popover: one row per language key, the current
// one checked.
class OrderingTableViewController : public ui::ViewController,
                                    public ui::TableViewDataSource,
                                    public ui::TableViewDelegate {
public:
    OrderingTableViewController() = default;
    const char* className() const override { return "OrderingTableViewController"; }

    const std::vector<std::string>& orderingsArray() const { return m_orderingsArray; }
    void setOrderingsArray(std::vector<std::string> keys) { m_orderingsArray = std::move(keys); }
    unsigned currentOrderingIndex() const { return m_currentOrderingIndex; }
    void setCurrentOrderingIndex(unsigned index) { m_currentOrderingIndex = index; }
    OrderingTableViewControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(OrderingTableViewControllerDelegate* delegate) { m_delegate = delegate; }

    // Null until the view is loaded.
    ui::TableView* tableView() const { return m_tableView.get(); }
    double rowHeight() const;

    void loadView() override;
    void viewDidUnload() override;

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;

private:
    std::vector<std::string> m_orderingsArray;
    unsigned m_currentOrderingIndex = 0;
    OrderingTableViewControllerDelegate* m_delegate = nullptr;
    std::shared_ptr<ui::TableView> m_tableView;
};
