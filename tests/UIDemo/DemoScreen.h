#pragma once
#include "Platform/UI/AlertView.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/ViewController.h"

#include <memory>
#include <string>

namespace uidemo {

// A row cell that counts how many of its kind are alive, to check that rows are reused.
class DemoCell : public ui::TableViewCell {
public:
    explicit DemoCell(const std::string& identifier);
    ~DemoCell() override;
    static int alive();
};

// The demonstration screen: a table of 1,000 rows, a button that opens an alert and one that
// opens a popover, and a status line saying what happened last.
class DemoListController : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate,
                           public ui::AlertViewDelegate, public ui::PopoverControllerDelegate {
public:
    static constexpr int kRows = 1000;
    static constexpr int kTableTag = 100;
    static constexpr int kStatusTag = 101;

    DemoListController();
    void loadView() override;

    int numberOfRowsInSection(ui::TableView&, int) override { return kRows; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void popoverControllerDidDismissPopover(ui::PopoverController&) override;

    const std::string& status() const { return m_status; }
    ui::TableView* table() const { return m_table.get(); }
    bool isPopoverVisible() const { return m_popover && m_popover->isPopoverVisible(); }

private:
    void setStatus(const std::string& status);
    void showAlert();
    void showPopover(ui::View* from);

    std::shared_ptr<ui::TableView> m_table;
    std::shared_ptr<ui::View> m_statusLabel;
    std::shared_ptr<ui::PopoverController> m_popover;
    std::string m_status = "Nothing chosen yet";
};

// The screen inside a navigation controller, as the window's root.
std::shared_ptr<ui::NavigationController> makeDemoScreen();

} // namespace uidemo
