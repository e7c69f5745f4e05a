#include "Widgets/OrderingTableViewController.h"

#include "Common/Language.h"
#include "Platform/Base/Log.h"
#include "Platform/Graphics/Font.h"
#include "Platform/UI/Label.h"

namespace {
constexpr double kDefaultRowHeight = 44;
}

double OrderingTableViewController::rowHeight() const
{
    return m_tableView ? m_tableView->rowHeight() : kDefaultRowHeight;
}

void OrderingTableViewController::loadView()
{
    m_tableView = std::make_shared<ui::TableView>(gfx::Rect(0, 0, 320, 480), ui::TableViewStyle::Plain);
    m_tableView->setRowHeight(kDefaultRowHeight);
    m_tableView->setContentInset(gfx::EdgeInsets{1, 0, 0, 0});
    m_tableView->setScrollEnabled(false);
    m_tableView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    setView(m_tableView);
}

void OrderingTableViewController::viewDidUnload()
{
    m_tableView.reset();
    // The owner sets the keys again with the controller's setTableOrderingsArray.
    setOrderingsArray({});
}

int OrderingTableViewController::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_orderingsArray.size());
}

std::shared_ptr<ui::TableViewCell> OrderingTableViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                     const ui::IndexPath& indexPath)
{
    static const std::string kIdentifier = "OrderingTableViewCell";
    auto cell = table.dequeueReusableCellWithIdentifier(kIdentifier);
    if (!cell)
        cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, kIdentifier);
    auto row = static_cast<size_t>(indexPath.row);
    cell->textLabel().setFont(gfx::Font::boldSystemFont(15));
    cell->textLabel().setText(row < m_orderingsArray.size() ? Language::stringWithName(m_orderingsArray[row]) : "");
    cell->setAccessoryType(row == m_currentOrderingIndex ? ui::TableViewCellAccessoryType::Checkmark
                                                         : ui::TableViewCellAccessoryType::None);
    return cell;
}

void OrderingTableViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath)
{
    table.deselectRowAtIndexPath(indexPath, true);
    auto row = static_cast<unsigned>(indexPath.row);
    if (indexPath.row < 0 || row >= m_orderingsArray.size()) {
        base::logf("Error: indexPath.row = %d, self.orderingsArray.count = %d", indexPath.row,
                   static_cast<int>(m_orderingsArray.size()));
        return;
    }
    if (row == m_currentOrderingIndex)
        return;
    if (auto* old = table.cellForRowAtIndexPath(ui::IndexPath::forRow(static_cast<int>(m_currentOrderingIndex), 0)))
        old->setAccessoryType(ui::TableViewCellAccessoryType::None);
    if (auto* chosen = table.cellForRowAtIndexPath(indexPath))
        chosen->setAccessoryType(ui::TableViewCellAccessoryType::Checkmark);
    m_currentOrderingIndex = row;
    if (m_delegate)
        m_delegate->orderingDidSelected(row);
}
