#include "Classes/Customer/CustomerTable.h"

#include "Classes/Customer/CustomerListCell.h"
#include "Classes/Customer/Pinyin.h"
#include "Common/Language.h"
#include "Platform/Base/Text.h"
#include "Platform/UI/Button.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace {

constexpr const char* kOtherKey = "#";
constexpr const char* kCellIdentifier = "Cell";

size_t characterCount(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(),
                                              [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool startsWithDigit(const std::string& text)
{
    return !text.empty() && text[0] >= '0' && text[0] <= '9';
}

// The upper-cased first letter of the text's pinyin; "#" when there is none.
std::string initialOf(const std::string& pinyin)
{
    if (pinyin.empty())
        return kOtherKey;
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(pinyin[0]))));
}

// Pinyin of each distinct text, converted once per grouping.
class PinyinCache {
public:
    const std::string& of(const std::string& text)
    {
        auto [it, added] = m_cache.try_emplace(text);
        if (added)
            it->second = pinyinOfName(text);
        return it->second;
    }

private:
    std::unordered_map<std::string, std::string> m_cache;
};

std::string stateOf(const PersonInfo& person)
{
    std::string state;
    for (const auto& cell : person.attribute) {
        if (cell.fieldName == std::optional<std::string>("State/Province/Region"))
            state = cell.attributeValue.value_or("");
    }
    return state;
}

// Keys in pinyin order with "#" last.
std::vector<std::string> orderedKeys(std::vector<std::string> keys, PinyinCache& cache)
{
    std::vector<std::pair<std::string, std::string>> sortable;
    bool other = false;
    for (auto& key : keys) {
        if (key == kOtherKey) {
            other = true;
            continue;
        }
        sortable.emplace_back(characterCount(key) < 2 ? key : cache.of(key), key);
    }
    std::sort(sortable.begin(), sortable.end(), [](const auto& a, const auto& b) {
        // Two one-character keys compare as they are, else their pinyin texts.
        if (characterCount(a.second) < 2 && characterCount(b.second) < 2)
            return a.second < b.second;
        return a.first < b.first;
    });
    std::vector<std::string> out;
    for (auto& [sortKey, key] : sortable)
        out.push_back(std::move(key));
    if (other)
        out.emplace_back(kOtherKey);
    return out;
}

} // namespace

CustomerTable::CustomerTable(const gfx::Rect& frame)
{
    m_tableView = ui::View::make<ui::TableView>(frame, ui::TableViewStyle::Plain);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_tableView->setRowHeight(kRowHeight);
}

CustomerTable::~CustomerTable()
{
    m_tableView->setDataSource(nullptr);
    m_tableView->setDelegate(nullptr);
}

bool CustomerTable::pinyinNameLess(const std::string& a, const std::string& b)
{
    if (characterCount(a) < 2 && characterCount(b) < 2)
        return a < b;
    return pinyinOfName(a) < pinyinOfName(b);
}

void CustomerTable::RefrashByType(int mode)
{
    m_selectedRow.reset();
    m_customerdic.clear();
    m_arraypersons.clear();
    m_customerlist.clear();
    groupPersons();
    groupPersonsBy(mode);
}

void CustomerTable::groupPersons()
{
    m_arraypersons.reserve(m_allcustomerdic.size());
    for (const auto& [customerId, entry] : m_allcustomerdic)
        m_arraypersons.push_back(CustomerDataModel::personInfoFromEntry(customerId, entry));
}

void CustomerTable::groupPersonsBy(int mode)
{
    m_selectedRow.reset();
    m_currentSoryByType = mode;
    if (mode == ByContact) {
        groupByContact();
        m_selectedContactRow.reset();
        if (m_delegate)
            m_delegate->changedCustomerFirstNameLastName(std::nullopt, std::nullopt, std::nullopt);
        m_tableView->reloadData();
        return;
    }
    groupByNameOrState(mode == ByState ? ByState : ByName);
    m_tableView->reloadData();
    refreshFocus();
}

void CustomerTable::groupByNameOrState(int mode)
{
    PinyinCache cache;
    std::map<std::string, std::vector<std::pair<std::string, const PersonInfo*>>> groups;
    for (const auto& person : m_arraypersons) {
        std::string key;
        if (mode == ByState) {
            key = stateOf(person);
            if (key.empty())
                key = kOtherKey;
        } else {
            if (base::trimmingWhitespaceAndNewlines(person.name).empty())
                continue;
            key = initialOf(cache.of(person.name));
        }
        if (startsWithDigit(key))
            key = kOtherKey;
        groups[key].emplace_back(cache.of(person.name), &person);
    }
    std::vector<std::string> keys;
    for (const auto& [key, rows] : groups)
        keys.push_back(key);
    m_customerdic.clear();
    m_customerlist.clear();
    for (const auto& key : orderedKeys(keys, cache)) {
        auto& rows = groups[key];
        // Within a group: by pinyin, then name, then id (keys computed above, once per name).
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            if (a.first != b.first)
                return a.first < b.first;
            if (a.second->name != b.second->name)
                return a.second->name < b.second->name;
            return a.second->pid < b.second->pid;
        });
        CustomerInfoList group;
        group.prefex = key;
        for (const auto& [pinyin, person] : rows)
            group.arrayPersons.push_back({"", "", *person});
        m_customerdic[key] = m_customerlist.size();
        m_customerlist.push_back(std::move(group));
    }
}

void CustomerTable::groupByContact()
{
    PinyinCache cache;
    std::map<std::string, CustomerInfoList> groups;
    auto add = [&](const std::string& key, ContactMode row) {
        auto& group = groups[key];
        group.prefex = key;
        group.arrayPersons.push_back(std::move(row));
    };
    for (const auto& person : m_arraypersons) {
        if (person.contact.empty()) {
            add(kOtherKey, {"", person.name, person});
            continue;
        }
        for (const auto& contact : person.contact) {
            std::string last = contact.last_name.value_or("");
            std::string key = last.empty() || startsWithDigit(last) ? std::string(kOtherKey) : initialOf(cache.of(last));
            add(key, {contact.first_name.value_or(""), last, person});
        }
    }
    m_customerdic.clear();
    m_customerlist.clear();
    std::optional<CustomerInfoList> other;
    for (auto& [key, group] : groups) {
        if (key == kOtherKey) {
            other = std::move(group);
            continue;
        }
        m_customerdic[key] = m_customerlist.size();
        m_customerlist.push_back(std::move(group));
    }
    if (other) {
        m_customerdic[kOtherKey] = m_customerlist.size();
        m_customerlist.push_back(std::move(*other));
    }
}

const ContactMode* CustomerTable::rowAt(const ui::IndexPath& ip) const
{
    if (ip.section < 0 || static_cast<size_t>(ip.section) >= m_customerlist.size())
        return nullptr;
    const auto& rows = m_customerlist[static_cast<size_t>(ip.section)].arrayPersons;
    if (ip.row < 0 || static_cast<size_t>(ip.row) >= rows.size())
        return nullptr;
    return &rows[static_cast<size_t>(ip.row)];
}

bool CustomerTable::isSelectedRow(const ui::IndexPath& ip) const
{
    if (m_currentSoryByType == ByContact)
        return m_selectedContactRow == ip;
    const ContactMode* row = rowAt(ip);
    return row && m_selectedPID != 0 && row->personInfo.pid == m_selectedPID;
}

gfx::Color CustomerTable::normalColorOf(const ContactMode& row) const
{
    return row.personInfo.hidden ? gfx::Color::gray() : CustomerListCell::listColor();
}

// --- Table -----------------------------------------------------------------------------------

int CustomerTable::numberOfSectionsInTableView(ui::TableView&)
{
    return static_cast<int>(m_customerlist.size());
}

int CustomerTable::numberOfRowsInSection(ui::TableView&, int section)
{
    if (section < 0 || static_cast<size_t>(section) >= m_customerlist.size())
        return 0;
    const auto& group = m_customerlist[static_cast<size_t>(section)];
    return group.opened ? static_cast<int>(group.arrayPersons.size()) : 0;
}

std::shared_ptr<ui::TableViewCell> CustomerTable::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    auto cell = std::dynamic_pointer_cast<CustomerListCell>(table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell)
        cell = std::make_shared<CustomerListCell>(ui::TableViewCellStyle::Subtitle, kCellIdentifier);
    const ContactMode* row = rowAt(ip);
    if (!row)
        return cell;
    if (m_currentSoryByType == ByContact)
        cell->setFristNameWithLastName(row->fristName, row->lastName);
    else
        cell->setCellValue(row->personInfo.name);
    gfx::Color normal = normalColorOf(*row);
    cell->setNormalColor(normal);
    cell->setTextsColor(isSelectedRow(ip) ? gfx::Color::white() : normal);
    cell->tagLocal().setTitle(Language::stringWithName("LOCAL"));
    cell->tagLocal().setTitle(Language::stringWithName("LOCAL"), ui::ControlStateDisabled);
    cell->tagLocal().setHidden(row->personInfo.pid >= 0);
    cell->tagLocal().setFrame({280, 17, 68, 30});
    return cell;
}

std::shared_ptr<ui::View> CustomerTable::viewForHeaderInSection(ui::TableView& table, int section)
{
    if (section < 0 || static_cast<size_t>(section) >= m_customerlist.size())
        return nullptr;
    const auto& group = m_customerlist[static_cast<size_t>(section)];
    return std::make_shared<SectionHeaderView>(gfx::Rect{0, 0, table.bounds().width(), kHeaderHeight}, group.prefex,
                                               section, group.opened, this);
}

void CustomerTable::whiten(const ui::IndexPath& ip)
{
    if (auto* cell = dynamic_cast<CustomerListCell*>(m_tableView->cellForRowAtIndexPath(ip)))
        cell->setTextsColor(gfx::Color::white());
}

void CustomerTable::restoreColors(const ui::IndexPath& ip)
{
    const ContactMode* row = rowAt(ip);
    auto* cell = dynamic_cast<CustomerListCell*>(m_tableView->cellForRowAtIndexPath(ip));
    if (row && cell)
        cell->setTextsColor(normalColorOf(*row));
}

void CustomerTable::handleTap(const ui::IndexPath& ip)
{
    const ContactMode* row = rowAt(ip);
    if (!row)
        return;
    if (m_delegate)
        m_delegate->resignSearchBar();
    // The row may go while the delegate hears: keep what it says.
    ContactMode chosen = *row;
    if (m_currentSoryByType == ByContact) {
        m_selectedContactRow = ip;
        if (m_delegate)
            m_delegate->changedCustomerFirstNameLastName(chosen.personInfo, chosen.fristName, chosen.lastName);
    } else {
        m_selectedPID = chosen.personInfo.pid;
        if (m_delegate)
            m_delegate->changedCustomerFirstNameLastName(chosen.personInfo, std::nullopt, std::nullopt);
    }
    markSelected(ip);
}

void CustomerTable::markSelected(const ui::IndexPath& ip)
{
    if (m_currentSoryByType == ByContact)
        m_selectedContactRow = ip;
    whiten(ip);
    m_selectedRow = ip;
}

void CustomerTable::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip)
{
    handleTap(ip);
}

void CustomerTable::didDeselectRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip)
{
    restoreColors(ip);
    m_selectedRow.reset();
}

void CustomerTable::desSelected()
{
    if (!m_selectedRow)
        return;
    ui::IndexPath ip = *m_selectedRow;
    m_tableView->deselectRowAtIndexPath(ip, false);
    restoreColors(ip);
    m_selectedRow.reset();
}

void CustomerTable::forgetSelection()
{
    desSelected();
    m_selectedPID = 0;
    m_selectedContactRow.reset();
}

void CustomerTable::focuseCustomerName(int customerId)
{
    focus(customerId, true);
}

void CustomerTable::focus(int customerId, bool tell)
{
    for (size_t s = 0; s < m_customerlist.size(); ++s) {
        auto& group = m_customerlist[s];
        auto found = std::find_if(group.arrayPersons.begin(), group.arrayPersons.end(),
                                  [&](const ContactMode& row) { return row.personInfo.pid == customerId; });
        if (found == group.arrayPersons.end())
            continue;
        if (!group.opened) {
            group.opened = true;
            group.indexPaths.clear();
            m_tableView->reloadData();
        }
        const int section = static_cast<int>(s);
        ui::IndexPath ip{section, static_cast<int>(found - group.arrayPersons.begin())};
        m_tableView->scrollToRowAtIndexPath({section, 0}, ui::TableViewScrollPosition::Top, false);
        m_tableView->selectRowAtIndexPath(ip, false, ui::TableViewScrollPosition::None);
        if (m_selectedRow && *m_selectedRow != ip)
            restoreColors(*m_selectedRow);
        if (tell)
            handleTap(ip);
        else
            markSelected(ip);
    }
}

void CustomerTable::selectedCustomerByConatct(const ContactMode& hit)
{
    if (m_currentSoryByType != ByContact || m_customerlist.empty())
        return;
    for (size_t s = 0; s < m_customerlist.size(); ++s) {
        const auto& rows = m_customerlist[s].arrayPersons;
        for (size_t r = 0; r < rows.size(); ++r) {
            if (rows[r].fristName != hit.fristName || rows[r].lastName != hit.lastName)
                continue;
            ui::IndexPath ip{static_cast<int>(s), static_cast<int>(r)};
            if (m_selectedContactRow && *m_selectedContactRow != ip)
                restoreColors(*m_selectedContactRow);
            m_tableView->selectRowAtIndexPath(ip, false, ui::TableViewScrollPosition::Middle);
            m_selectedContactRow = ip;
            m_selectedRow = ip;
            whiten(ip);
            if (m_delegate)
                m_delegate->changedCustomerFirstNameLastName(rows[r].personInfo, rows[r].fristName, rows[r].lastName);
            return;
        }
    }
}

void CustomerTable::updateCustomerInfoDicWithHidden(int customerId, bool hidden)
{
    auto person = std::find_if(m_arraypersons.begin(), m_arraypersons.end(),
                               [&](const PersonInfo& p) { return p.pid == customerId; });
    if (person != m_arraypersons.end())
        person->hidden = hidden;
    if (auto it = m_allcustomerdic.find(customerId); it != m_allcustomerdic.end())
        it->second.hidden = hidden;
}

// --- Groups opening and closing ----------------------------------------------------------------

void CustomerTable::sectionHeaderViewSectionOpened(SectionHeaderView&, int section)
{
    if (section < 0 || static_cast<size_t>(section) >= m_customerlist.size())
        return;
    auto& group = m_customerlist[static_cast<size_t>(section)];
    group.opened = !group.opened;
    std::vector<ui::IndexPath> saved = std::move(group.indexPaths);
    group.indexPaths.clear();
    if (saved.empty())
        return;
    m_tableView->insertRowsAtIndexPaths(saved, ui::TableViewRowAnimation::Fade);
    for (const auto& ip : saved) {
        if (m_selectedRow == ip) {
            whiten(ip);
            m_tableView->selectRowAtIndexPath(ip, false);
        } else {
            restoreColors(ip);
        }
    }
    m_tableView->scrollToRowAtIndexPath({section, 0}, ui::TableViewScrollPosition::Top, true);
}

void CustomerTable::sectionHeaderViewSectionClosed(SectionHeaderView& header, int section)
{
    if (section < 0 || static_cast<size_t>(section) >= m_customerlist.size())
        return;
    auto& group = m_customerlist[static_cast<size_t>(section)];
    const int count = m_tableView->numberOfRowsInSection(section);
    int visible = 0;
    bool firstVisible = false;
    for (const auto& ip : m_tableView->indexPathsForVisibleRows()) {
        if (ip.section != section)
            continue;
        ++visible;
        firstVisible = firstVisible || ip.row == 0;
    }
    if (count > 0 && visible < count && !firstVisible) {
        // The group's top is out of sight: bring it back rather than fold what cannot be seen.
        m_tableView->scrollToRowAtIndexPath({section, 0}, ui::TableViewScrollPosition::Top, true);
        header.disclosureButton().setSelected(true);
        return;
    }
    if (count == 1 && m_tableView->rectForRowAtIndexPath({section, 0}).y() <= m_tableView->contentOffset().y) {
        m_tableView->scrollToRowAtIndexPath({section, 0}, ui::TableViewScrollPosition::Top, true);
        header.disclosureButton().setSelected(true);
        return;
    }
    group.opened = !group.opened;
    group.indexPaths.clear();
    for (int row = 0; row < count; ++row)
        group.indexPaths.push_back({section, row});
    if (count > 0)
        m_tableView->deleteRowsAtIndexPaths(group.indexPaths, ui::TableViewRowAnimation::Fade);
}

// --- Deleting local customers ------------------------------------------------------------------

bool CustomerTable::canEditRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip)
{
    const ContactMode* row = rowAt(ip);
    return row && row->personInfo.pid < 0;
}

std::string CustomerTable::titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView&, const ui::IndexPath&)
{
    return Language::stringWithName("DELETE");
}

void CustomerTable::willBeginEditingRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip)
{
    if (m_selectedRow) {
        if (auto* selected = dynamic_cast<CustomerListCell*>(m_tableView->cellForRowAtIndexPath(*m_selectedRow)))
            selected->setTextsColor(CustomerListCell::listColor());
    }
    auto* cell = dynamic_cast<CustomerListCell*>(m_tableView->cellForRowAtIndexPath(ip));
    if (!cell)
        return;
    ui::View::AnimationOptions options;
    options.duration = 0.3;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    ui::Button* tag = &cell->tagLocal();
    ui::View::animate(options, [tag] {
        gfx::Rect frame = tag->frame();
        tag->setFrame({180, frame.y(), frame.width(), frame.height()});
    });
}

void CustomerTable::didEndEditingRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip)
{
    auto* cell = dynamic_cast<CustomerListCell*>(m_tableView->cellForRowAtIndexPath(ip));
    if (!cell)
        return;
    ui::View::AnimationOptions options;
    options.duration = 0.3;
    ui::Button* tag = &cell->tagLocal();
    ui::View::animate(options, [tag] { tag->setFrame({280, 17, 68, 30}); });
}

void CustomerTable::commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle style, const ui::IndexPath& ip)
{
    if (style != ui::TableViewCellEditingStyle::Delete)
        return;
    const ContactMode* row = rowAt(ip);
    if (!row || row->personInfo.pid >= 0)
        return;
    const int customerId = row->personInfo.pid;
    if (m_selectedRow == ip)
        m_selectedRow.reset();
    if (m_selectedContactRow == ip)
        m_selectedContactRow.reset();
    if (m_selectedPID == customerId)
        m_selectedPID = 0;
    auto& rows = m_customerlist[static_cast<size_t>(ip.section)].arrayPersons;
    rows.erase(rows.begin() + ip.row);
    table.deleteRowsAtIndexPaths({ip}, ui::TableViewRowAnimation::Fade);
    if (m_delegate)
        m_delegate->deleteLocalCustomer(customerId);
}
