#include "DemoScreen.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"

namespace uidemo {

namespace {
int g_alive = 0;
}

DemoCell::DemoCell(const std::string& identifier) : TableViewCell(ui::TableViewCellStyle::Subtitle, identifier)
{
    ++g_alive;
}

DemoCell::~DemoCell()
{
    --g_alive;
}

int DemoCell::alive()
{
    return g_alive;
}

DemoListController::DemoListController()
{
    setTitle("Demo");
}

void DemoListController::loadView()
{
    auto root = std::make_shared<ui::View>(gfx::Rect({0, 0}, ui::Window::kScreenSize));
    root->setBackgroundColor(gfx::Color::fromRgb(236, 239, 244));

    auto alertButton = std::make_shared<ui::Button>(ui::ButtonType::RoundedRect, gfx::Rect(20, 16, 180, 40));
    alertButton->setTitle("Show alert");
    alertButton->addTarget([this](ui::Control&) { showAlert(); }, ui::ControlEventTouchUpInside);
    root->addSubview(alertButton);

    auto popoverButton = std::make_shared<ui::Button>(ui::ButtonType::RoundedRect, gfx::Rect(220, 16, 180, 40));
    popoverButton->setTitle("Show popover");
    ui::Button* raw = popoverButton.get();
    popoverButton->addTarget([this, raw](ui::Control&) { showPopover(raw); }, ui::ControlEventTouchUpInside);
    root->addSubview(popoverButton);

    auto status = std::make_shared<ui::Label>(gfx::Rect(420, 16, 580, 40));
    status->setText(m_status);
    status->setTag(kStatusTag);
    status->setTextColor(gfx::Color::fromRgb(40, 60, 90));
    root->addSubview(status);
    m_statusLabel = status;

    m_table = std::make_shared<ui::TableView>(gfx::Rect(20, 72, 984, 560));
    m_table->setTag(kTableTag);
    m_table->setDataSource(this);
    m_table->setDelegate(this);
    m_table->setBackgroundColor(gfx::Color::white());
    m_table->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    root->addSubview(m_table);
    setView(root);
}

std::shared_ptr<ui::TableViewCell> DemoListController::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    auto cell = table.dequeueReusableCellWithIdentifier("row");
    if (!cell)
        cell = std::make_shared<DemoCell>("row");
    cell->textLabel().setText("Row " + std::to_string(path.row + 1));
    cell->detailTextLabel().setText(path.row % 2 ? "Odd" : "Even");
    cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    return cell;
}

void DemoListController::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path)
{
    setStatus("Selected Row " + std::to_string(path.row + 1));
}

void DemoListController::setStatus(const std::string& status)
{
    m_status = status;
    static_cast<ui::Label*>(m_statusLabel.get())->setText(status);
}

void DemoListController::showAlert()
{
    auto alert = std::make_shared<ui::AlertView>("Hello", "Answer with a button.", this, "Cancel",
                                                 std::vector<std::string>{"Agree"});
    alert->show();
}

void DemoListController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    setStatus("Alert answered " + alert.buttonTitleAtIndex(index));
}

void DemoListController::showPopover(ui::View* from)
{
    auto content = std::make_shared<ui::ViewController>();
    auto label = std::make_shared<ui::Label>(gfx::Rect(20, 20, 240, 40));
    label->setText("Popover content");
    content->view()->addSubview(label);
    content->setContentSizeForViewInPopover({280, 160});
    m_popover = std::make_shared<ui::PopoverController>(content);
    m_popover->setDelegate(this);
    m_popover->presentPopoverFromRect(from->bounds(), from, ui::PopoverArrowDirectionUp, true);
    setStatus("Popover shown");
}

void DemoListController::popoverControllerDidDismissPopover(ui::PopoverController&)
{
    setStatus("Popover dismissed");
}

std::shared_ptr<ui::NavigationController> makeDemoScreen()
{
    return std::make_shared<ui::NavigationController>(std::make_shared<DemoListController>());
}

} // namespace uidemo
