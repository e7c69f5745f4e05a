#pragma once
#include "Platform/Graphics/Geometry.h"
#include "Widgets/OrderingTableViewController.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {
class Button;
class PopoverController;
class View;
}

class OrderingControllerDelegate {
public:
    virtual ~OrderingControllerDelegate() = default;
    virtual void orderingDidSelected(unsigned index) {}
};

// A button showing the current sort order that opens the list of orders in a popover.
// The owner adds the button to its view and keeps the controller for the screen's life.
class OrderingController : public OrderingTableViewControllerDelegate {
public:
    // The popover points into `view`, which is not retained.
    OrderingController(const gfx::Rect& buttonFrame, std::vector<std::string> orderingsNames,
                       OrderingControllerDelegate* delegate, ui::View* view);
    ~OrderingController() override;

    std::shared_ptr<ui::Button> orderingButton() const { return m_orderingButton; }
    std::shared_ptr<OrderingTableViewController> orderingTableViewController() const { return m_orderingTableViewController; }
    std::shared_ptr<ui::PopoverController> orderingPopoverController() const { return m_orderingPopoverController; }
    OrderingControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(OrderingControllerDelegate* delegate) { m_delegate = delegate; }

    void setTableCurrentOrderingIndex(unsigned index);
    unsigned getTableCurrentOrderingIndex() const;
    // An empty list leaves index 0, an empty title and no rows.
    void setTableOrderingsArray(std::vector<std::string> keys);
    void orderButtonDidTapped();
    void updateLanguage();
    void orderingDidSelected(unsigned index) override;

private:
    void showCurrentTitle();
    void sizePopover();

    ui::View* m_containingView;
    std::shared_ptr<ui::Button> m_orderingButton;
    std::shared_ptr<OrderingTableViewController> m_orderingTableViewController;
    std::shared_ptr<ui::PopoverController> m_orderingPopoverController;
    OrderingControllerDelegate* m_delegate;
};
