#include "Classes/Catalog/TagsLeftView.h"

#include "Classes/Catalog/ProductBigCatalog.h"
#include "Platform/Graphics/Font.h"
#include "Platform/UI/Label.h"

#include <algorithm>

namespace {

std::string trimmed(const std::string& text)
{
    const char* space = " \t\r\n\v\f";
    auto first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

} // namespace

TagsLeftView::TagsLeftView(const gfx::Rect& frame) : ui::View(frame)
{
    m_tableView = std::make_shared<ui::TableView>(gfx::Rect(0, 0, frame.width(), frame.height()));
    m_tableView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_tableView->setBackgroundColor(gfx::Color::clear());
    m_tableView->setSeparatorColor(std::nullopt);
    m_tableView->setRowHeight(60);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    addSubview(m_tableView);
    setBackgroundColor(gfx::Color::clear());
    // Owned by this view: the token unregisters before the view goes.
    m_selectObserver = base::NotificationCenter::defaultCenter().addObserver(
        "didSelectToFromNotification", nullptr, [this](const base::Notification& note) {
            if (auto name = std::static_pointer_cast<std::string>(note.object))
                didSelectToFromNotification(*name);
        });
}

void TagsLeftView::setDataArray(std::vector<brivanta_tag_entity> tags)
{
    m_selectRow = -1;
    m_dataArray = std::move(tags);
    m_sortDict.clear();
    for (const auto& tag : m_dataArray)
        m_sortDict[tag.tag_name.value_or("")] = tag;
    m_names.clear();
    for (const auto& [name, tag] : m_sortDict)
        m_names.push_back(name); // the map's order: byte-wise, case-sensitive
    m_tableView->reloadData();
}

int TagsLeftView::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_names.size());
}

std::shared_ptr<ui::TableViewCell> TagsLeftView::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    static const std::string kIdentifier = "TagsCell";
    auto cell = std::dynamic_pointer_cast<ProductBigCatalog>(table.dequeueReusableCellWithIdentifier(kIdentifier));
    if (!cell)
        cell = std::make_shared<ProductBigCatalog>(kIdentifier);
    const std::string& name = m_names[static_cast<size_t>(ip.row)];
    cell->lbTitle().setFont(gfx::Font::systemFont(16));
    cell->lbcount().setFont(gfx::Font::systemFont(16));
    cell->lbTitle().setText(trimmed(name));
    cell->lbcount().setText("(" + std::to_string(m_sortDict.at(name).products.size()) + ")");
    return cell;
}

void TagsLeftView::tellDelegate(int row)
{
    if (!m_delegate || row < 0 || row >= static_cast<int>(m_names.size()))
        return;
    const std::string name = m_names[static_cast<size_t>(row)];
    m_delegate->didSelectDelegateWithTagName(m_sortDict.at(name).products, name);
}

void TagsLeftView::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip)
{
    if (!m_delegate || ip.row == m_selectRow)
        return;
    m_selectRow = ip.row;
    tellDelegate(ip.row);
}

void TagsLeftView::didSelectToFromNotification(const std::string& tagName)
{
    auto it = std::find(m_names.begin(), m_names.end(), tagName);
    if (it == m_names.end())
        return;
    int row = static_cast<int>(it - m_names.begin());
    if (!m_delegate || row == m_selectRow)
        return;
    m_selectRow = row;
    m_tableView->selectRowAtIndexPath(ui::IndexPath::forRow(row, 0), false, ui::TableViewScrollPosition::Top);
    tellDelegate(row);
}

void TagsLeftView::resetData()
{
    tellDelegate(m_selectRow);
}
