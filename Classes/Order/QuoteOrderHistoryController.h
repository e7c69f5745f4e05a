#pragma once
#include "Classes/Order/HistoryEditPopController.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/SearchBar.h"
#include "Widgets/BRPullTableView.h"

#include <memory>
#include <vector>

class QuoteOrderHistoryTableView;
class QuoteOrderHistoryTableViewCell;
namespace base {
class Timer;
}
namespace ui {
class Button;
class GestureRecognizer;
class ImageView;
class Label;
class SegmentedControl;
}

// The orders tab: the stored orders by kind and search text, opened in the order editor,
// submitted one or all at a time, copied or deleted from a long press, and older submitted
// orders loaded ten at a time by pulling up.
class QuoteOrderHistoryController : public BaseViewController,
                                    public ConfigDelegate,
                                    public QuoteOrderStoreDelegate,
                                    public ui::TableViewDataSource,
                                    public ui::TableViewDelegate,
                                    public BRPullTableViewDelegate,
                                    public ui::SearchBarDelegate,
                                    public ui::AlertViewDelegate,
                                    public ui::PopoverControllerDelegate,
                                    public HistoryEditPopControllerDelegate {
public:
    using Order = QuoteOrderStore::Order;
    static constexpr int kRowTagBase = 4500;
    static constexpr int kDemoAlertTag = 1002;
    static constexpr int kLoginLostAlertTag = 1003;
    static constexpr double kSubmitWaitSeconds = 20;
    static constexpr double kLoadMoreDelay = 1.0;
    static constexpr double kLongPressSeconds = 0.7;

    QuoteOrderHistoryController() = default;
    ~QuoteOrderHistoryController() override;
    const char* className() const override { return "QuoteOrderHistoryController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    void hightVersionViewDidUnload() override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    int currentShowType() const { return m_currentShowType; }
    const std::vector<Order>& selectOrders() const { return m_selectOrders; }
    int selectedRow() const { return m_selectedRow; }
    const std::shared_ptr<ui::PopoverController>& popCellEdit() const { return m_popCellEdit; }
    QuoteOrderHistoryTableView* historyOrderTable() const { return m_historyOrderTable.get(); }
    ui::SegmentedControl* segments() const { return m_segments.get(); }
    ui::SearchBar* searchBar() const { return m_searchBar.get(); }
    ui::Button* btnNewOrder() const { return m_btnNewOrder.get(); }
    ui::Button* btnSubmitAll() const { return m_btnSubmitAll.get(); }

    void refreshData();
    void btnNewOrderClick();
    void btnSubmitAllClick();
    void btnSubmitClick(int tag);
    void columnLongPressed(ui::GestureRecognizer& recognizer);

    // QuoteOrderStoreDelegate
    void finishedUploadQuoteOrdersMessage(const Text& status, const Text& message) override;
    void finishedSyncHistoryQuoteOrdersMessage(const Text& status, const Text& message) override;

    // The table
    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    bool canEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return true; }
    void commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return 50; }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    std::string titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void pullTableViewDidTriggerRefresh(BRPullTableView&) override {}
    void pullTableViewDidTriggerLoadMore(BRPullTableView&) override;

    // The search bar
    void searchBarTextDidChange(ui::SearchBar&, const std::string& text) override;
    void searchBarSearchButtonClicked(ui::SearchBar&) override;

    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void popoverControllerDidDismissPopover(ui::PopoverController&) override;
    void historyOrderCopy(int cellTag, int orderSerial) override;
    void historyOrderDelete(int cellTag, int orderSerial) override;

private:
    // The editor in that state over the order, pushed on this tab's navigation.
    void pushEditor(int state, const Order& order, bool changed);
    void openNewOrder(bool changed);
    void fillCell(QuoteOrderHistoryTableViewCell& cell, int row);
    void submit(int orderId);
    void showAlert(const std::string& message, const std::string& cancel, std::vector<std::string> others, int tag);
    void releaseHeldRow();
    void dismissPopover();
    // The listed order of that serial, or null once it is gone.
    Order orderWithSerial(int serial) const;

    int m_currentShowType = 0;
    std::vector<Order> m_selectOrders;
    int m_selectedRow = -1;
    std::shared_ptr<ui::PopoverController> m_popCellEdit;
    std::shared_ptr<QuoteOrderHistoryTableView> m_historyOrderTable;
    std::shared_ptr<ui::Label> m_title;
    std::shared_ptr<ui::Button> m_btnNewOrder;
    std::shared_ptr<ui::SegmentedControl> m_segments;
    std::shared_ptr<ui::SearchBar> m_searchBar;
    std::vector<std::shared_ptr<ui::Label>> m_headerTitles;
    std::shared_ptr<ui::Button> m_btnSubmitAll;
    std::shared_ptr<base::Timer> m_loadMoreTimer;
    // The order the open delete question is about.
    int m_deleteSerial = 0;
    int m_loadByConfigCount = 0;
};
