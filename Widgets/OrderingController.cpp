#include "Widgets/OrderingController.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/PopoverController.h"

OrderingController::OrderingController(const gfx::Rect& buttonFrame, std::vector<std::string> orderingsNames,
                                       OrderingControllerDelegate* delegate, ui::View* view)
    : m_containingView(view), m_delegate(delegate)
{
    m_orderingTableViewController = std::make_shared<OrderingTableViewController>();
    m_orderingTableViewController->setOrderingsArray(std::move(orderingsNames));
    m_orderingTableViewController->setCurrentOrderingIndex(0);
    m_orderingTableViewController->setDelegate(this);
    m_orderingTableViewController->view(); // the table's row height sizes the popover
    m_orderingPopoverController = std::make_shared<ui::PopoverController>(m_orderingTableViewController);

    m_orderingButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, buttonFrame);
    PublicFunction::initializeToButtonHeight34(m_orderingButton.get());
    m_orderingButton->addTarget([this](ui::Control&) { orderButtonDidTapped(); }, ui::ControlEventTouchUpInside);
    sizePopover();
    showCurrentTitle();
}

OrderingController::~OrderingController()
{
    // The button may outlive the controller in its superview; it must not call back here.
    m_orderingButton->removeTargets(ui::ControlEventAll);
    m_orderingTableViewController->setDelegate(nullptr);
    if (m_orderingPopoverController->isPopoverVisible())
        m_orderingPopoverController->dismissPopoverAnimated(false);
}

void OrderingController::sizePopover()
{
    double rows = static_cast<double>(m_orderingTableViewController->orderingsArray().size());
    m_orderingPopoverController->setPopoverContentSize(
        {m_orderingButton->frame().width() + 15, m_orderingTableViewController->rowHeight() * rows});
}

void OrderingController::showCurrentTitle()
{
    const auto& keys = m_orderingTableViewController->orderingsArray();
    unsigned index = m_orderingTableViewController->currentOrderingIndex();
    m_orderingButton->setTitle(index < keys.size() ? Language::stringWithName(keys[index]) : std::string());
}

void OrderingController::setTableCurrentOrderingIndex(unsigned index)
{
    size_t count = m_orderingTableViewController->orderingsArray().size();
    if (index >= count) {
        base::logf("Error: index = %d, self.orderingsArray.count = %d", static_cast<int>(index), static_cast<int>(count));
        return;
    }
    m_orderingTableViewController->setCurrentOrderingIndex(index);
    showCurrentTitle();
}

unsigned OrderingController::getTableCurrentOrderingIndex() const
{
    return m_orderingTableViewController->currentOrderingIndex();
}

void OrderingController::setTableOrderingsArray(std::vector<std::string> keys)
{
    auto count = static_cast<unsigned>(keys.size());
    m_orderingTableViewController->setOrderingsArray(std::move(keys));
    unsigned index = m_orderingTableViewController->currentOrderingIndex();
    // An empty list would give count - 1 wrapped to the largest index; it stays at 0.
    if (index >= count)
        m_orderingTableViewController->setCurrentOrderingIndex(count == 0 ? 0 : count - 1);
    sizePopover();
    showCurrentTitle();
    if (auto* table = m_orderingTableViewController->tableView())
        table->reloadData();
}

void OrderingController::orderButtonDidTapped()
{
    m_orderingTableViewController->view();
    sizePopover();
    if (auto* table = m_orderingTableViewController->tableView())
        table->reloadData();
    m_orderingPopoverController->presentPopoverFromRect(m_orderingButton->frame(), m_containingView,
                                                        ui::PopoverArrowDirectionAny, true);
}

void OrderingController::updateLanguage()
{
    showCurrentTitle();
    if (auto* table = m_orderingTableViewController->tableView())
        table->reloadData();
}

void OrderingController::orderingDidSelected(unsigned index)
{
    if (index < m_orderingTableViewController->orderingsArray().size()) {
        showCurrentTitle();
        if (m_delegate)
            m_delegate->orderingDidSelected(index);
    }
    m_orderingPopoverController->dismissPopoverAnimated(true);
}
