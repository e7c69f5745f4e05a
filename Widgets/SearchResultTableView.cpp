#include "Widgets/SearchResultTableView.h"

#include "Platform/UI/Label.h"
#include "Platform/UI/TableViewCell.h"

#include <algorithm>

namespace {

bool blank(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

} // namespace

void SearchResultTableView::loadView()
{
    m_tableView = ui::View::make<ui::TableView>(gfx::Rect(0, 0, 263, 200));
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    setView(m_tableView);
}

void SearchResultTableView::setArrResult(std::vector<PersonInfo> people)
{
    // Blank names after every other, names byte by byte otherwise: a strict order, so the
    // sort is well defined, and stable for equal names.
    std::stable_sort(people.begin(), people.end(), [](const PersonInfo& a, const PersonInfo& b) {
        bool blankA = blank(a.name), blankB = blank(b.name);
        if (blankA || blankB)
            return !blankA && blankB;
        return a.name < b.name;
    });
    m_people = std::move(people);
    m_contacts.clear();
    reloadData();
}

void SearchResultTableView::setArrResult(std::vector<ContactMode> contacts)
{
    m_contacts = std::move(contacts);
    m_people.clear();
    reloadData();
}

void SearchResultTableView::reloadData()
{
    if (m_tableView)
        m_tableView->reloadData();
}

int SearchResultTableView::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_byContact ? m_contacts.size() : m_people.size());
}

std::shared_ptr<ui::TableViewCell> SearchResultTableView::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    auto cell = table.dequeueReusableCellWithIdentifier(kReuseIdentifier);
    if (!cell)
        cell = ui::View::make<ui::TableViewCell>(ui::TableViewCellStyle::Default, kReuseIdentifier);
    cell->textLabel().setTextColor(gfx::Color::black());
    size_t row = static_cast<size_t>(path.row);
    if (m_byContact && row < m_contacts.size())
        cell->textLabel().setText(m_contacts[row].lastName + "  " + m_contacts[row].fristName);
    else if (!m_byContact && row < m_people.size())
        cell->textLabel().setText(m_people[row].name);
    return cell;
}

void SearchResultTableView::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path)
{
    if (!m_delegate)
        return;
    size_t row = static_cast<size_t>(path.row);
    // Copies: the delegate may give the list new entries while it handles this one.
    if (m_byContact && row < m_contacts.size()) {
        ContactMode chosen = m_contacts[row];
        m_delegate->didSelectCellByConatct(chosen);
    } else if (!m_byContact && row < m_people.size()) {
        PersonInfo chosen = m_people[row];
        m_delegate->didSelectCell(chosen);
    }
}
