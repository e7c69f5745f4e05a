#include "Platform/UI/TableView.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/SwipeGestureRecognizer.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Touch.h"

#include <algorithm>
#include <set>

namespace ui {

namespace {
constexpr double kPlainHeaderHeight = 22;
constexpr double kGroupedHeaderHeight = 40;
constexpr double kGroupedSpacing = 10;
constexpr double kGroupedRadius = 8;
constexpr double kRowAnimationDuration = 0.3;

// The title of a section: a tinted bar in plain tables, dark text above the group otherwise.
class SectionHeaderView : public View {
public:
    SectionHeaderView(const std::string& title, bool grouped, double inset) : m_grouped(grouped), m_inset(inset)
    {
        setUserInteractionEnabled(false);
        m_label = View::make<Label>();
        m_label->setText(title);
        if (grouped) {
            m_label->setFont(gfx::Font::boldSystemFont(17));
            m_label->setTextColor(gfx::Color::fromRgb(76, 86, 108));
        } else {
            m_label->setFont(gfx::Font::boldSystemFont(16));
            m_label->setTextColor(gfx::Color::white());
        }
        addSubview(m_label);
    }
    void layoutSubviews() override
    {
        double x = m_inset + (m_grouped ? 10 : 12);
        double top = m_grouped ? bounds().height() - 30 : 0;
        m_label->setFrame({x, top, std::max(0.0, bounds().width() - 2 * x), bounds().height() - top});
    }
    void drawRect(gfx::Context& ctx, const gfx::Rect&) override
    {
        if (m_grouped)
            return;
        gfx::Rect b = bounds();
        ctx.fillLinearGradient(b, {b.x(), b.y()}, {b.x(), b.maxY()},
                               {{0, gfx::Color::fromRgb(144, 159, 170)}, {1, gfx::Color::fromRgb(184, 193, 200)}});
    }

private:
    std::shared_ptr<Label> m_label;
    bool m_grouped;
    double m_inset;
};

// The note under a group: small grey text, centred, at the top of the footer.
class SectionFooterView : public View {
public:
    SectionFooterView(const std::string& title, double inset) : m_inset(inset)
    {
        setUserInteractionEnabled(false);
        m_label = View::make<Label>();
        m_label->setText(title);
        m_label->setFont(gfx::Font::systemFont(15));
        m_label->setTextColor(gfx::Color::fromRgb(76, 86, 108));
        m_label->setTextAlignment(gfx::TextAlignment::Center);
        addSubview(m_label);
    }
    void layoutSubviews() override
    {
        double x = m_inset + 10;
        m_label->setFrame({x, 0, std::max(0.0, bounds().width() - 2 * x), bounds().height()});
    }

private:
    std::shared_ptr<Label> m_label;
    double m_inset;
};

std::map<int, std::vector<int>> rowsBySection(const std::vector<IndexPath>& indexPaths)
{
    std::map<int, std::vector<int>> out;
    for (auto& ip : indexPaths)
        out[ip.section].push_back(ip.row);
    for (auto& [section, rows] : out) {
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    }
    return out;
}
}

double TableViewDelegate::heightForRowAtIndexPath(TableView& tableView, const IndexPath&)
{
    return tableView.rowHeight();
}

double TableViewDelegate::heightForHeaderInSection(TableView& tableView, int section)
{
    return tableView.defaultHeightForHeaderInSection(section);
}

TableView::TableView(const gfx::Rect& frame, TableViewStyle style) : ScrollView(frame), m_style(style)
{
    setBackgroundColor(style == TableViewStyle::Grouped ? gfx::Color::fromRgb(214, 218, 225) : gfx::Color::white());
    setAlwaysBounceVertical(true);
    m_swipe = std::make_shared<SwipeGestureRecognizer>();
    m_swipe->setDirection(SwipeGestureRecognizer::Left | SwipeGestureRecognizer::Right);
    m_swipe->addTarget([this](GestureRecognizer&) { handleSwipe(); });
    addGestureRecognizer(m_swipe);
}

TableView::~TableView()
{
    removeGestureRecognizer(m_swipe.get());
}

void TableView::setDataSource(TableViewDataSource* dataSource)
{
    m_dataSource = dataSource;
    m_geometryValid = false;
    setNeedsLayout();
}

void TableView::setDelegate(TableViewDelegate* delegate)
{
    m_tableDelegate = delegate;
    ScrollView::setDelegate(delegate);
    m_geometryValid = false;
    setNeedsLayout();
}

void TableView::setRowHeight(double height)
{
    m_rowHeight = height;
    m_geometryValid = false;
    setNeedsLayout();
}

double TableViewDelegate::heightForFooterInSection(TableView& tableView, int section)
{
    return tableView.defaultHeightForFooterInSection(section);
}

double TableView::defaultHeightForFooterInSection(int section)
{
    bool titled = m_dataSource && !m_dataSource->titleForFooterInSection(*this, section).empty();
    return titled ? kPlainHeaderHeight + 8 : 0;
}

double TableView::defaultHeightForHeaderInSection(int section)
{
    bool titled = m_dataSource && !m_dataSource->titleForHeaderInSection(*this, section).empty();
    if (m_style == TableViewStyle::Grouped)
        return titled ? kGroupedHeaderHeight : kGroupedSpacing;
    return titled ? kPlainHeaderHeight : 0;
}

void TableView::setTableHeaderView(std::shared_ptr<View> view)
{
    if (m_tableHeaderView)
        m_tableHeaderView->removeFromSuperview();
    m_tableHeaderView = std::move(view);
    if (m_tableHeaderView)
        addSubview(m_tableHeaderView);
    m_geometryValid = false;
    setNeedsLayout();
}

void TableView::setTableFooterView(std::shared_ptr<View> view)
{
    if (m_tableFooterView)
        m_tableFooterView->removeFromSuperview();
    m_tableFooterView = std::move(view);
    if (m_tableFooterView)
        addSubview(m_tableFooterView);
    m_geometryValid = false;
    setNeedsLayout();
}

double TableView::rowInset() const
{
    if (m_style != TableViewStyle::Grouped)
        return 0;
    return bounds().width() > 600 ? 45 : 10;
}

void TableView::ensureGeometry()
{
    if (!m_geometryValid)
        rebuildGeometry();
}

void TableView::rebuildGeometry()
{
    m_geometryValid = true;
    m_sections.clear();
    double y = m_tableHeaderView ? m_tableHeaderView->bounds().height() : 0;
    int sections = m_dataSource ? std::max(0, m_dataSource->numberOfSectionsInTableView(*this)) : 0;
    for (int s = 0; s < sections; ++s) {
        Section section;
        section.headerY = y;
        section.headerHeight = std::max(0.0, m_tableDelegate ? m_tableDelegate->heightForHeaderInSection(*this, s)
                                                              : defaultHeightForHeaderInSection(s));
        y += section.headerHeight;
        int rows = std::max(0, m_dataSource->numberOfRowsInSection(*this, s));
        section.rowY.reserve(static_cast<size_t>(rows) + 1);
        for (int r = 0; r < rows; ++r) {
            section.rowY.push_back(y);
            IndexPath ip{s, r};
            y += std::max(0.0, m_tableDelegate ? m_tableDelegate->heightForRowAtIndexPath(*this, ip) : m_rowHeight);
        }
        section.rowY.push_back(y);
        section.footerY = y;
        section.footerHeight = std::max(0.0, m_tableDelegate ? m_tableDelegate->heightForFooterInSection(*this, s)
                                                              : defaultHeightForFooterInSection(s));
        y += section.footerHeight;
        if (m_style == TableViewStyle::Grouped)
            y += kGroupedSpacing;
        m_sections.push_back(std::move(section));
    }
    m_footerY = y;
    if (m_tableFooterView)
        y += m_tableFooterView->bounds().height();
    setContentSize({bounds().width(), y});
}

std::vector<int> TableView::rowCounts() const
{
    std::vector<int> counts;
    for (auto& s : m_sections)
        counts.push_back(static_cast<int>(s.rowY.size()) - 1);
    return counts;
}

int TableView::numberOfSections()
{
    ensureGeometry();
    return static_cast<int>(m_sections.size());
}

int TableView::numberOfRowsInSection(int section)
{
    ensureGeometry();
    if (section < 0 || section >= static_cast<int>(m_sections.size()))
        return 0;
    return static_cast<int>(m_sections[static_cast<size_t>(section)].rowY.size()) - 1;
}

bool TableView::isValid(const IndexPath& ip) const
{
    if (ip.section < 0 || ip.section >= static_cast<int>(m_sections.size()))
        return false;
    return ip.row >= 0 && ip.row + 1 < static_cast<int>(m_sections[static_cast<size_t>(ip.section)].rowY.size());
}

gfx::Rect TableView::rectForRowAtIndexPath(const IndexPath& ip)
{
    ensureGeometry();
    if (!isValid(ip))
        return {};
    auto& rowY = m_sections[static_cast<size_t>(ip.section)].rowY;
    double inset = rowInset();
    auto r = static_cast<size_t>(ip.row);
    return {inset, rowY[r], bounds().width() - 2 * inset, rowY[r + 1] - rowY[r]};
}

gfx::Rect TableView::rectForHeaderInSection(int section)
{
    ensureGeometry();
    if (section < 0 || section >= static_cast<int>(m_sections.size()))
        return {};
    auto& s = m_sections[static_cast<size_t>(section)];
    return {0, s.headerY, bounds().width(), s.headerHeight};
}

gfx::Rect TableView::shownHeaderRect(int section)
{
    gfx::Rect rect = rectForHeaderInSection(section);
    if (m_style != TableViewStyle::Plain || rect.height() <= 0)
        return rect;
    // A plain table keeps the header of the section at the top in view until the section's
    // last row pushes it up.
    auto& s = m_sections[static_cast<size_t>(section)];
    double top = contentOffset().y + contentInset().top;
    rect.origin.y = std::max(s.headerY, std::min(top, s.footerY - s.headerHeight));
    return rect;
}

gfx::Rect TableView::rectForFooterInSection(int section)
{
    ensureGeometry();
    if (section < 0 || section >= static_cast<int>(m_sections.size()))
        return {};
    auto& s = m_sections[static_cast<size_t>(section)];
    return {0, s.footerY, bounds().width(), s.footerHeight};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(gfx::Point point)
{
    ensureGeometry();
    double inset = rowInset();
    if (point.x < inset || point.x >= bounds().width() - inset)
        return std::nullopt;
    for (size_t s = 0; s < m_sections.size(); ++s) {
        auto& rowY = m_sections[s].rowY;
        if (rowY.size() < 2 || point.y < rowY.front() || point.y >= rowY.back())
            continue;
        auto r = std::upper_bound(rowY.begin(), rowY.end(), point.y) - rowY.begin() - 1;
        return IndexPath{static_cast<int>(s), static_cast<int>(r)};
    }
    return std::nullopt;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const
{
    for (auto& [ip, c] : m_visible)
        if (c.get() == cell)
            return ip;
    return std::nullopt;
}

TableViewCell* TableView::cellForRowAtIndexPath(const IndexPath& ip) const
{
    auto it = m_visible.find(ip);
    return it == m_visible.end() ? nullptr : it->second.get();
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const
{
    std::vector<IndexPath> out;
    for (auto& [ip, cell] : m_visible)
        out.push_back(ip);
    return out;
}

std::vector<TableViewCell*> TableView::visibleCells() const
{
    std::vector<TableViewCell*> out;
    for (auto& [ip, cell] : m_visible)
        out.push_back(cell.get());
    return out;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    auto it = m_pool.find(identifier);
    if (it == m_pool.end() || it->second.empty())
        return nullptr;
    auto cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

void TableView::placeCell(TableViewCell& cell, const gfx::Rect& rect)
{
    cell.setFrame(rect);
    m_placedRows[&cell] = rect;
}

void TableView::recycle(const std::shared_ptr<TableViewCell>& cell)
{
    m_placedRows.erase(cell.get());
    cell->removeFromSuperview();
    cell->setHighlighted(false);
    if (!cell->reuseIdentifier().empty())
        m_pool[cell->reuseIdentifier()].push_back(cell);
}

void TableView::configureCell(TableViewCell& cell, const IndexPath& ip)
{
    cell.m_grouped = m_style == TableViewStyle::Grouped;
    // The group's panel shows through a plain white row; a row of another colour keeps it.
    if (cell.m_grouped && cell.backgroundColor() == gfx::Color::white())
        cell.setBackgroundColor(std::nullopt);
    cell.m_separatorColor = m_separatorColor;
    cell.setHighlighted(false);
    cell.setSelected(m_selected == ip);
    bool editable = m_dataSource && m_dataSource->canEditRowAtIndexPath(*this, ip);
    TableViewCellEditingStyle style = TableViewCellEditingStyle::None;
    if (editable)
        style = m_tableDelegate ? m_tableDelegate->editingStyleForRowAtIndexPath(*this, ip) : TableViewCellEditingStyle::Delete;
    cell.setEditingStyle(style);
    cell.setEditing(m_editing, false);
}

void TableView::tileSectionViews(std::map<int, std::shared_ptr<View>>& views, bool footers, const gfx::Rect& visible)
{
    std::set<int> shown;
    for (size_t s = 0; s < m_sections.size(); ++s) {
        auto& sec = m_sections[s];
        double top = footers ? sec.footerY : sec.headerY;
        double height = footers ? sec.footerHeight : sec.headerHeight;
        // A pinned header shows while any of its section does.
        double bottom = !footers && m_style == TableViewStyle::Plain ? std::max(top + height, sec.footerY) : top + height;
        if (height > 0 && top < visible.maxY() && bottom > visible.minY())
            shown.insert(static_cast<int>(s));
    }
    for (auto it = views.begin(); it != views.end();) {
        if (shown.count(it->first)) {
            ++it;
            continue;
        }
        it->second->removeFromSuperview();
        it = views.erase(it);
    }
    for (int s : shown) {
        auto it = views.find(s);
        if (it == views.end()) {
            auto view = footers ? makeFooterView(s) : makeHeaderView(s);
            if (!view)
                continue;
            addSubview(view);
            it = views.emplace(s, view).first;
        }
        it->second->setFrame(footers ? rectForFooterInSection(s) : shownHeaderRect(s));
        bringSubviewToFront(it->second.get());
    }
}

void TableView::insertCellView(const std::shared_ptr<View>& cell)
{
    // Under the section headers and footers and the indicators, but over what the owner put
    // at the bottom (a background picture inserted at index 0).
    auto isOverlay = [this](const View* v) {
        if (isScrollIndicator(v))
            return true;
        for (auto* views : {&m_headers, &m_footers})
            for (auto& [section, view] : *views)
                if (view.get() == v)
                    return true;
        return false;
    };
    const auto& subs = subviews();
    for (size_t i = 0; i < subs.size(); ++i) {
        if (isOverlay(subs[i].get())) {
            insertSubviewAtIndex(cell, i);
            return;
        }
    }
    addSubview(cell);
}

std::shared_ptr<View> TableView::makeFooterView(int section)
{
    std::string title = m_dataSource ? m_dataSource->titleForFooterInSection(*this, section) : std::string();
    if (title.empty())
        return nullptr;
    return View::make<SectionFooterView>(title, rowInset());
}

std::shared_ptr<View> TableView::makeHeaderView(int section)
{
    if (m_tableDelegate)
        if (auto view = m_tableDelegate->viewForHeaderInSection(*this, section))
            return view;
    std::string title = m_dataSource ? m_dataSource->titleForHeaderInSection(*this, section) : std::string();
    if (title.empty())
        return nullptr;
    return View::make<SectionHeaderView>(title, m_style == TableViewStyle::Grouped, rowInset());
}

void TableView::layoutSubviews()
{
    if (contentSize().width != bounds().width())
        setContentSize({bounds().width(), contentSize().height});
    tile();
}

void TableView::tile()
{
    ensureGeometry();
    gfx::Rect visible = bounds();

    std::vector<IndexPath> needed;
    for (size_t s = 0; s < m_sections.size(); ++s) {
        auto& rowY = m_sections[s].rowY;
        if (rowY.size() < 2 || rowY.back() <= visible.minY() || rowY.front() >= visible.maxY())
            continue;
        auto first = std::upper_bound(rowY.begin(), rowY.end(), visible.minY()) - rowY.begin() - 1;
        for (auto r = static_cast<size_t>(std::max<long>(0, first)); r + 1 < rowY.size() && rowY[r] < visible.maxY(); ++r)
            if (rowY[r + 1] > visible.minY())
                needed.push_back({static_cast<int>(s), static_cast<int>(r)});
    }
    std::set<IndexPath> wanted(needed.begin(), needed.end());
    for (auto it = m_visible.begin(); it != m_visible.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        if (m_confirming == it->first) {
            it->second->hideDeleteConfirmation();
            m_confirming.reset();
        }
        recycle(it->second);
        it = m_visible.erase(it);
    }
    for (auto& ip : needed) {
        auto it = m_visible.find(ip);
        if (it != m_visible.end()) {
            // Only a changed row moves its cell, so a caller's animation of it survives the pass.
            gfx::Rect rect = rectForRowAtIndexPath(ip);
            auto placed = m_placedRows.find(it->second.get());
            if (placed == m_placedRows.end() || placed->second != rect)
                placeCell(*it->second, rect);
            continue;
        }
        if (!m_dataSource)
            break;
        auto cell = m_dataSource->cellForRowAtIndexPath(*this, ip);
        if (!cell)
            continue;
        configureCell(*cell, ip);
        placeCell(*cell, rectForRowAtIndexPath(ip));
        insertCellView(cell);
        cell->layoutIfNeeded();
        m_visible[ip] = cell;
        if (std::find(m_fadingIn.begin(), m_fadingIn.end(), ip) != m_fadingIn.end() && View::areAnimationsEnabled()) {
            cell->setAlpha(0);
            View::animate(kRowAnimationDuration, [&cell] { cell->setAlpha(1); });
        }
        if (m_tableDelegate)
            m_tableDelegate->willDisplayCell(*this, *cell, ip);
    }

    tileSectionViews(m_headers, false, visible);
    tileSectionViews(m_footers, true, visible);
    double width = bounds().width();
    if (m_tableHeaderView)
        m_tableHeaderView->setFrame({0, 0, width, m_tableHeaderView->bounds().height()});
    if (m_tableFooterView)
        m_tableFooterView->setFrame({0, m_footerY, width, m_tableFooterView->bounds().height()});
    ScrollView::layoutSubviews();
}

void TableView::drawRect(gfx::Context& ctx, const gfx::Rect& rect)
{
    if (m_style != TableViewStyle::Grouped)
        return;
    ensureGeometry();
    double inset = rowInset();
    double width = bounds().width() - 2 * inset;
    for (auto& sec : m_sections) {
        auto& rowY = sec.rowY;
        if (rowY.size() < 2 || rowY.back() <= rect.minY() || rowY.front() >= rect.maxY())
            continue;
        gfx::Rect panel{inset, rowY.front(), width, rowY.back() - rowY.front()};
        ctx.setFillColor(gfx::Color::white());
        ctx.fillRoundedRect(panel, kGroupedRadius);
        if (m_separatorColor) {
            ctx.setFillColor(*m_separatorColor);
            auto first = std::upper_bound(rowY.begin(), rowY.end(), rect.minY()) - rowY.begin();
            for (auto r = static_cast<size_t>(std::max<long>(1, first)); r + 1 < rowY.size() && rowY[r] <= rect.maxY(); ++r)
                ctx.fillRect({inset, rowY[r] - 0.5, width, 1});
        }
        ctx.setStrokeColor(gfx::Color::fromWhite(0.67));
        ctx.setLineWidth(1);
        ctx.strokeRoundedRect(panel.insetBy(0.5, 0.5), kGroupedRadius);
    }
}

void TableView::reloadData()
{
    setNeedsDisplay();
    hideDeleteConfirmation();
    for (auto& [ip, cell] : m_visible)
        recycle(cell);
    m_visible.clear();
    for (auto* views : {&m_headers, &m_footers}) {
        for (auto& [s, view] : *views)
            view->removeFromSuperview();
        views->clear();
    }
    m_selected.reset();
    m_touchRow.reset();
    m_geometryValid = false;
    tile();
}

void TableView::reloadRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    hideDeleteConfirmation();
    for (auto& ip : indexPaths) {
        auto it = m_visible.find(ip);
        if (it == m_visible.end())
            continue;
        recycle(it->second);
        m_visible.erase(it);
        if (animation != TableViewRowAnimation::None)
            m_fadingIn.push_back(ip);
    }
    m_geometryValid = false;
    tile();
    m_fadingIn.clear();
}

bool TableView::rowsMatch(const std::vector<int>& oldCounts, const std::map<int, int>& delta)
{
    std::vector<int> counts = rowCounts();
    if (counts.size() != oldCounts.size())
        return false;
    for (size_t s = 0; s < counts.size(); ++s) {
        auto it = delta.find(static_cast<int>(s));
        if (counts[s] != oldCounts[s] + (it == delta.end() ? 0 : it->second))
            return false;
    }
    return true;
}

void TableView::insertRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    ensureGeometry();
    hideDeleteConfirmation();
    std::vector<int> oldCounts = rowCounts();
    auto inserted = rowsBySection(indexPaths);
    auto shifted = [&inserted](IndexPath ip) {
        auto it = inserted.find(ip.section);
        if (it != inserted.end())
            for (int r : it->second)
                if (r <= ip.row)
                    ++ip.row;
        return ip;
    };
    std::map<IndexPath, std::shared_ptr<TableViewCell>> moved;
    for (auto& [ip, cell] : m_visible)
        moved[shifted(ip)] = cell;
    m_visible.swap(moved);
    if (m_selected)
        m_selected = shifted(*m_selected);
    std::map<int, int> delta;
    for (auto& [s, rows] : inserted)
        delta[s] = static_cast<int>(rows.size());
    rebuildGeometry();
    if (!rowsMatch(oldCounts, delta)) {
        reloadData(); // the data source disagrees with the update; show what it has
        return;
    }
    if (animation != TableViewRowAnimation::None)
        m_fadingIn = indexPaths;
    animateMovedCells(animation);
    m_fadingIn.clear();
}

void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& indexPaths, TableViewRowAnimation animation)
{
    ensureGeometry();
    hideDeleteConfirmation();
    std::vector<int> oldCounts = rowCounts();
    auto deleted = rowsBySection(indexPaths);
    auto isDeleted = [&deleted](const IndexPath& ip) {
        auto it = deleted.find(ip.section);
        return it != deleted.end() && std::binary_search(it->second.begin(), it->second.end(), ip.row);
    };
    auto shifted = [&deleted](IndexPath ip) {
        auto it = deleted.find(ip.section);
        if (it != deleted.end())
            ip.row -= static_cast<int>(std::lower_bound(it->second.begin(), it->second.end(), ip.row) - it->second.begin());
        return ip;
    };
    std::map<IndexPath, std::shared_ptr<TableViewCell>> moved;
    for (auto& [ip, cell] : m_visible) {
        if (isDeleted(ip))
            fadeOutAndRecycle(cell, animation);
        else
            moved[shifted(ip)] = cell;
    }
    m_visible.swap(moved);
    if (m_selected)
        m_selected = isDeleted(*m_selected) ? std::nullopt : std::optional<IndexPath>(shifted(*m_selected));
    m_touchRow.reset();
    std::map<int, int> delta;
    for (auto& [s, rows] : deleted)
        delta[s] = -static_cast<int>(rows.size());
    rebuildGeometry();
    if (!rowsMatch(oldCounts, delta)) {
        reloadData();
        return;
    }
    animateMovedCells(animation);
}

void TableView::fadeOutAndRecycle(const std::shared_ptr<TableViewCell>& cell, TableViewRowAnimation animation)
{
    if (animation == TableViewRowAnimation::None || !View::areAnimationsEnabled()) {
        recycle(cell);
        return;
    }
    std::weak_ptr<Responder> weak = weak_from_this();
    View::animate(kRowAnimationDuration, [&cell] { cell->setAlpha(0); }, [weak, cell](bool) {
        auto self = std::static_pointer_cast<TableView>(weak.lock());
        if (self && cell->superview() == self.get() && !self->indexPathForCell(cell.get()))
            self->recycle(cell);
    });
}

void TableView::animateMovedCells(TableViewRowAnimation animation)
{
    auto place = [this] {
        for (auto& [ip, cell] : m_visible)
            placeCell(*cell, rectForRowAtIndexPath(ip));
        for (auto& [s, header] : m_headers)
            header->setFrame(shownHeaderRect(s));
        for (auto& [s, footer] : m_footers)
            footer->setFrame(rectForFooterInSection(s));
    };
    if (animation != TableViewRowAnimation::None)
        View::animate(kRowAnimationDuration, place);
    else
        place();
    tile();
}

void TableView::scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition position, bool animated)
{
    gfx::Rect row = rectForRowAtIndexPath(ip);
    if (row.isEmpty() && !isValid(ip))
        return;
    double h = bounds().height();
    gfx::Point offset = contentOffset();
    switch (position) {
    case TableViewScrollPosition::Top: offset.y = row.minY(); break;
    case TableViewScrollPosition::Middle: offset.y = row.midY() - h / 2; break;
    case TableViewScrollPosition::Bottom: offset.y = row.maxY() - h; break;
    case TableViewScrollPosition::None:
        if (row.minY() < offset.y)
            offset.y = row.minY();
        else if (row.maxY() > offset.y + h)
            offset.y = row.maxY() - h;
        break;
    }
    offset.y = std::clamp(offset.y, minimumContentOffset().y, maximumContentOffset().y);
    setContentOffset(offset, animated);
}

void TableView::selectRowAtIndexPath(const std::optional<IndexPath>& ip, bool animated, TableViewScrollPosition position)
{
    ensureGeometry();
    if (m_selected && m_selected != ip)
        if (auto* cell = cellForRowAtIndexPath(*m_selected))
            cell->setSelected(false, animated);
    m_selected = ip && isValid(*ip) ? ip : std::nullopt;
    if (!m_selected)
        return;
    if (auto* cell = cellForRowAtIndexPath(*m_selected))
        cell->setSelected(true, animated);
    if (position != TableViewScrollPosition::None)
        scrollToRowAtIndexPath(*m_selected, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& ip, bool animated)
{
    if (m_selected != ip)
        return;
    if (auto* cell = cellForRowAtIndexPath(ip))
        cell->setSelected(false, animated);
    m_selected.reset();
}

void TableView::userSelect(const IndexPath& ip)
{
    std::optional<IndexPath> target = m_tableDelegate ? m_tableDelegate->willSelectRowAtIndexPath(*this, ip) : ip;
    if (!target || !isValid(*target))
        return;
    std::optional<IndexPath> previous = m_selected;
    if (previous && previous != target) {
        deselectRowAtIndexPath(*previous, false);
        if (m_tableDelegate)
            m_tableDelegate->didDeselectRowAtIndexPath(*this, *previous);
    }
    selectRowAtIndexPath(target, false);
    if (m_tableDelegate)
        m_tableDelegate->didSelectRowAtIndexPath(*this, *target);
}

bool TableView::pickByKey(const std::string& key)
{
    ensureGeometry();
    if (key == "\n") {
        if (!m_selected || !isValid(*m_selected))
            return false;
        userSelect(*m_selected);
        return true;
    }
    bool down = key == "down";
    if (!down && key != "up")
        return false;
    int sections = numberOfSections();
    std::optional<IndexPath> next;
    if (m_selected && isValid(*m_selected)) {
        IndexPath at = *m_selected;
        if (down && at.row + 1 < numberOfRowsInSection(at.section))
            next = IndexPath{at.section, at.row + 1};
        else if (!down && at.row > 0)
            next = IndexPath{at.section, at.row - 1};
        for (int s = at.section + (down ? 1 : -1); !next && s >= 0 && s < sections; s += down ? 1 : -1)
            if (int rows = numberOfRowsInSection(s); rows > 0)
                next = IndexPath{s, down ? 0 : rows - 1};
    } else {
        for (int s = down ? 0 : sections - 1; !next && s >= 0 && s < sections; s += down ? 1 : -1)
            if (int rows = numberOfRowsInSection(s); rows > 0)
                next = IndexPath{s, down ? 0 : rows - 1};
    }
    if (!next)
        return m_selected.has_value(); // at the end of the list: the key is still the list's
    selectRowAtIndexPath(next, false);
    scrollToRowAtIndexPath(*next, TableViewScrollPosition::None, false);
    return true;
}

double TableView::lineKeyOffset(double offsetY, bool down)
{
    ensureGeometry();
    constexpr double kSlack = 0.5;
    double top = contentInset().top;
    std::optional<double> best;
    for (const auto& section : m_sections) {
        double pinned = m_style == TableViewStyle::Plain ? section.headerHeight : 0;
        for (size_t r = 0; r + 1 < section.rowY.size(); ++r) {
            double at = section.rowY[r] - pinned - top; // the offset that brings this row to the top
            if (down && at > offsetY + kSlack && (!best || at < *best))
                best = at;
            if (!down && at < offsetY - kSlack && (!best || at > *best))
                best = at;
        }
    }
    // Past the last row (a footer) or before the first (a header) the list moves a notch.
    return best ? *best : ScrollView::lineKeyOffset(offsetY, down);
}

void TableView::setEditing(bool editing, bool animated)
{
    if (editing == m_editing)
        return;
    m_editing = editing;
    hideDeleteConfirmation();
    for (auto& [ip, cell] : m_visible)
        cell->setEditing(editing, animated);
}

void TableView::handleSwipe()
{
    if (m_swipe->state() != GestureRecognizer::State::Ended || m_editing || !m_dataSource)
        return;
    auto ip = indexPathForRowAtPoint(m_swipe->locationInView(this));
    if (!ip)
        return;
    if (m_confirming == ip) {
        hideDeleteConfirmation(); // swiping the row again takes the button away
        return;
    }
    if (!m_dataSource->canEditRowAtIndexPath(*this, *ip))
        return;
    auto style = m_tableDelegate ? m_tableDelegate->editingStyleForRowAtIndexPath(*this, *ip) : TableViewCellEditingStyle::Delete;
    if (style == TableViewCellEditingStyle::Delete)
        showDeleteConfirmation(*ip);
}

void TableView::showDeleteConfirmation(const IndexPath& ip)
{
    hideDeleteConfirmation();
    auto* cell = cellForRowAtIndexPath(ip);
    if (!cell)
        return;
    std::string title = m_tableDelegate ? m_tableDelegate->titleForDeleteConfirmationButtonForRowAtIndexPath(*this, ip) : "Delete";
    m_confirming = ip;
    if (m_tableDelegate)
        m_tableDelegate->willBeginEditingRowAtIndexPath(*this, ip);
    std::weak_ptr<Responder> weak = weak_from_this();
    cell->showDeleteConfirmation(title, [weak] {
        auto self = std::static_pointer_cast<TableView>(weak.lock());
        if (self && self->m_confirming)
            self->commitDelete(*self->m_confirming);
    });
}

void TableView::hideDeleteConfirmation()
{
    if (!m_confirming)
        return;
    if (auto* cell = cellForRowAtIndexPath(*m_confirming))
        cell->hideDeleteConfirmation();
    IndexPath ended = *m_confirming;
    m_confirming.reset();
    if (m_tableDelegate)
        m_tableDelegate->didEndEditingRowAtIndexPath(*this, ended);
}

void TableView::commitDelete(const IndexPath& ip)
{
    hideDeleteConfirmation();
    if (m_dataSource)
        m_dataSource->commitEditingStyle(*this, TableViewCellEditingStyle::Delete, ip);
}

void TableView::touchesBegan(const std::vector<Touch*>& touches, Event&)
{
    if (touches.empty() || m_touchId >= 0)
        return;
    Touch* touch = touches.front();
    m_touchId = touch->identifier();
    m_touchRow.reset();
    if (m_confirming) {
        hideDeleteConfirmation(); // a touch elsewhere only dismisses the delete button
        return;
    }
    auto ip = indexPathForRowAtPoint(touch->locationInView(this));
    if (!ip)
        return;
    m_touchRow = ip;
    if (!m_editing)
        if (auto* cell = cellForRowAtIndexPath(*ip))
            cell->setHighlighted(true);
}

void TableView::touchesMoved(const std::vector<Touch*>&, Event&)
{
}

void TableView::touchesEnded(const std::vector<Touch*>& touches, Event&)
{
    Touch* touch = nullptr;
    for (Touch* t : touches)
        if (t->identifier() == m_touchId)
            touch = t;
    if (!touch)
        return;
    m_touchId = -1;
    if (!m_touchRow)
        return;
    IndexPath ip = *m_touchRow;
    m_touchRow.reset();
    auto* cell = cellForRowAtIndexPath(ip);
    if (cell)
        cell->setHighlighted(false);
    gfx::Point p = touch->locationInView(this);
    if (indexPathForRowAtPoint(p) != ip)
        return;
    if (m_editing) {
        // The round control at the left shows the delete button.
        bool onControl = cell && cell->convertPointFromView(p, this).x < TableViewCell::kEditingControlWidth;
        if (onControl && cell->editingStyle() == TableViewCellEditingStyle::Delete)
            showDeleteConfirmation(ip);
        return;
    }
    // A form's row: the click edits the row's field wherever on the row it lands.
    if (TextField* field = cell ? cell->fieldForRowClicks() : nullptr) {
        bool shown = true;
        for (View* v = field; v && v != cell; v = v->superview())
            shown = shown && !v->isHidden();
        if (shown && field->isEnabled() && field->isUserInteractionEnabled() && field->becomeFirstResponder())
            return;
    }
    userSelect(ip);
}

void TableView::touchesCancelled(const std::vector<Touch*>& touches, Event&)
{
    for (Touch* t : touches) {
        if (t->identifier() != m_touchId)
            continue;
        m_touchId = -1;
        if (m_touchRow)
            if (auto* cell = cellForRowAtIndexPath(*m_touchRow))
                cell->setHighlighted(false);
        m_touchRow.reset();
    }
}

} // namespace ui
