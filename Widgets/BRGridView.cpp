#include "Widgets/BRGridView.h"

#include "Platform/Base/DeferredCall.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/Touch.h"
#include "Widgets/BRGridViewCell.h"
#include "Widgets/BRGridViewUpdateInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr gfx::Size kDefaultDesiredCellSize{96.0, 128.0};
constexpr double kBackgroundOverhang = 500;
constexpr size_t kReusePoolCapacity = 32;
constexpr const char* kDeferredHighlightKey = "_gridViewDeferredTouchesBegan:";
constexpr const char* kDeferredSelectKey = "_userSelectItemAtIndex:";

// Switches view animations off and brings back what was there before, also on the way out
// of an exception.
class AnimationsOff {
public:
    AnimationsOff() : m_was(ui::View::areAnimationsEnabled()) { ui::View::setAnimationsEnabled(false); }
    ~AnimationsOff() { ui::View::setAnimationsEnabled(m_was); }

private:
    bool m_was;
};

} // namespace

BRGridView::BRGridView(const gfx::Rect& frame)
    : ScrollView(frame)
    , m_gridData(this)
    , m_separatorColor(gfx::Color::fromWhite(0.85, 1.0))
{
    m_gridData.setDesiredCellSize(kDefaultDesiredCellSize);
    m_numColumns = m_gridData.numberOfItemsPerRow();
    setClipsToBounds(true);
}

BRGridView::~BRGridView()
{
    base::cancelPerforms(weak_from_this());
}

BRGridViewDelegate* BRGridView::delegate() const
{
    return dynamic_cast<BRGridViewDelegate*>(ui::ScrollView::delegate());
}

// MARK: Reload and counts

void BRGridView::reloadData()
{
    // Dropped while a batch is open or its animation runs: the batch installs its own layout.
    if (m_reloadingSuspendedCount > 0 || m_animationCount > 0)
        return;
    if (m_dataSource) {
        if (auto size = m_dataSource->portraitGridCellSizeForGridView(*this)) {
            m_gridData.setDesiredCellSize(*size);
            m_numColumns = m_gridData.numberOfItemsPerRow();
        }
    }
    uint32_t count = m_dataSource ? m_dataSource->numberOfItemsInGridView(*this) : 0;
    m_gridData.setNumberOfItems(count);
    setContentSize(m_gridData.sizeForEntireGrid());
    m_visibleLocation = std::min(m_visibleLocation, count - m_visibleLength);
    m_visibleLength = 0;
    m_visibleIndices.clear();
    auto cells = std::move(m_visibleCells);
    m_visibleCells.clear();
    for (auto& cell : cells)
        cell->removeFromSuperview();
    enqueueReusableCells(cells);
    m_allCellsNeedLayout = true;
    setNeedsLayout();
}

uint32_t BRGridView::numberOfColumns()
{
    if (m_numColumns == 0)
        m_numColumns = 1;
    return m_numColumns;
}

uint32_t BRGridView::numberOfRows() const
{
    return m_numColumns == 0 ? 0 : m_gridData.numberOfItems() / m_numColumns;
}

double BRGridView::lineKeyOffset(double offsetY, bool down)
{
    uint32_t perRow = m_gridData.numberOfItemsPerRow();
    uint32_t items = m_gridData.numberOfItems();
    if (m_gridData.layoutDirection() != BRGridViewData::Vertical || perRow == 0 || items == 0)
        return ui::ScrollView::lineKeyOffset(offsetY, down);
    constexpr double kSlack = 0.5;
    double top = contentInset().top;
    std::optional<double> best;
    for (uint32_t first = 0; first < items; first += perRow) {
        double at = m_gridData.cellRectAtIndex(first).y() - top;
        if (down && at > offsetY + kSlack && (!best || at < *best))
            best = at;
        if (!down && at < offsetY - kSlack && (!best || at > *best))
            best = at;
    }
    return best ? *best : ui::ScrollView::lineKeyOffset(offsetY, down);
}

void BRGridView::viewDidRotate()
{
    if (m_reloadingSuspendedCount > 0)
        resumeReloading();
}

void BRGridView::resumeReloading()
{
    if (m_reloadingSuspendedCount <= 0)
        return;
    if (--m_reloadingSuspendedCount == 0)
        updateVisibleGridCellsNow();
}

// MARK: Switches and decorations

void BRGridView::setLayoutDirection(int direction)
{
    m_gridData.setLayoutDirection(direction);
    m_numColumns = m_gridData.numberOfItemsPerRow();
    // Pages are whole screens across; a vertical grid scrolls freely.
    setPagingEnabled(m_usesPagedHorizontalScrolling && direction == BRGridViewData::Horizontal);
    setNeedsLayout();
}

void BRGridView::setClipsContentWidthToBounds(bool clips)
{
    setLayoutDirection(clips ? BRGridViewData::Vertical : BRGridViewData::Horizontal);
}

void BRGridView::setResizesCellWidthToFit(bool resizes)
{
    if (resizes == m_resizesCellWidths)
        return;
    m_resizesCellWidths = resizes;
    m_allCellsNeedLayout = true;
    setNeedsLayout();
}

void BRGridView::setUsesPagedHorizontalScrolling(bool paged)
{
    if (paged == m_usesPagedHorizontalScrolling)
        return;
    m_usesPagedHorizontalScrolling = paged;
    setPagingEnabled(paged && layoutDirection() == BRGridViewData::Horizontal);
    setNeedsLayout();
}

void BRGridView::setSeparatorStyle(int style)
{
    if (style == m_separatorStyle)
        return;
    m_separatorStyle = style;
    for (auto& cell : m_visibleCells)
        cell->setSeparatorStyle(style);
    setNeedsLayout();
}

void BRGridView::setSeparatorColor(gfx::Color color)
{
    if (color == m_separatorColor)
        return;
    m_separatorColor = color;
    for (auto& cell : m_visibleCells)
        cell->setSeparatorColor(color);
}

void BRGridView::setBackgroundView(std::shared_ptr<ui::View> view)
{
    if (view == m_backgroundView)
        return;
    if (m_backgroundView)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (!m_backgroundView)
        return;
    m_backgroundView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    double height = bounds().height() + (m_backgroundViewExtendsUp ? kBackgroundOverhang : 0) +
                    (m_backgroundViewExtendsDown ? kBackgroundOverhang : 0);
    m_backgroundView->setFrame({0, m_backgroundViewExtendsUp ? -kBackgroundOverhang : 0, bounds().width(), height});
    insertSubviewAtIndex(m_backgroundView, 0);
    setNeedsLayout();
}

void BRGridView::setGridHeaderView(std::shared_ptr<ui::View> view)
{
    if (view == m_headerView)
        return;
    if (m_headerView)
        m_headerView->removeFromSuperview();
    m_headerView = std::move(view);
    m_gridData.setTopPadding(m_headerView ? m_headerView->frame().height() : 0);
    if (m_headerView)
        addSubview(m_headerView);
    // The cells move down by the header, and the content grows with them.
    setContentSize(m_gridData.sizeForEntireGrid());
    m_allCellsNeedLayout = true;
    setNeedsLayout();
}

void BRGridView::setGridFooterView(std::shared_ptr<ui::View> view)
{
    if (view == m_footerView)
        return;
    if (m_footerView)
        m_footerView->removeFromSuperview();
    m_footerView = std::move(view);
    m_gridData.setBottomPadding(m_footerView ? m_footerView->frame().height() : 0);
    if (m_footerView)
        addSubview(m_footerView);
    setContentSize(m_gridData.sizeForEntireGrid());
    setNeedsLayout();
}

void BRGridView::setEditing(bool editing, bool animated)
{
    m_isEditing = editing;
    for (auto& cell : m_visibleCells)
        cell->setEditing(editing, animated);
}

// MARK: Cells

std::shared_ptr<BRGridViewCell> BRGridView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    auto it = m_reusableGridCells.find(identifier);
    if (it == m_reusableGridCells.end() || it->second.empty())
        return nullptr;
    auto cell = it->second.back();
    cell->prepareForReuse();
    it->second.pop_back();
    return cell;
}

void BRGridView::enqueueReusableCells(const std::vector<std::shared_ptr<BRGridViewCell>>& cells)
{
    for (auto& cell : cells) {
        if (!cell)
            continue;
        auto [it, created] = m_reusableGridCells.try_emplace(cell->reuseIdentifier());
        if (created)
            it->second.reserve(kReusePoolCapacity);
        if (std::find(it->second.begin(), it->second.end(), cell) != it->second.end()) {
            base::log("Warning: tried to add duplicate gridview cell");
            continue;
        }
        it->second.push_back(cell);
    }
}

size_t BRGridView::reusableCellCount(const std::string& identifier) const
{
    auto it = m_reusableGridCells.find(identifier);
    return it == m_reusableGridCells.end() ? 0 : it->second.size();
}

std::shared_ptr<BRGridViewCell> BRGridView::cellForItemAtIndex(uint32_t index) const
{
    // By the cells' own indices: the visible items need not be one run.
    for (auto& cell : m_visibleCells)
        if (cell->displayIndex() == index)
            return cell;
    return nullptr;
}

std::shared_ptr<BRGridViewCell> BRGridView::cellForItemAtPoint(gfx::Point point) const
{
    return cellForItemAtIndex(indexForItemAtPoint(point));
}

uint32_t BRGridView::indexForCell(const BRGridViewCell* cell) const
{
    for (auto& visible : m_visibleCells)
        if (visible.get() == cell)
            return visible->displayIndex();
    return NSNotFound;
}

gfx::Rect BRGridView::rectForItemAtIndex(uint32_t index) const
{
    if (auto cell = cellForItemAtIndex(index))
        return cell->frame();
    return const_cast<BRGridView*>(this)->fixCellFrameForGridRect({}, m_gridData.cellRectAtIndex(index));
}

std::shared_ptr<BRGridViewCell> BRGridView::createPreparedCellForIndex(uint32_t index)
{
    return createPreparedCellForIndexUsingGridData(index, m_gridData);
}

std::shared_ptr<BRGridViewCell> BRGridView::createPreparedCellForIndexUsingGridData(uint32_t index,
                                                                                   const BRGridViewData& data)
{
    if (!m_dataSource)
        return nullptr;
    AnimationsOff off;
    auto cell = m_dataSource->gridViewCellForItemAtIndex(*this, index);
    if (!cell) {
        base::logf("Data source gave no cell for index %u", index);
        return nullptr;
    }
    cell->setSeparatorStyle(m_separatorStyle);
    cell->setEditing(m_isEditing, false);
    cell->setDisplayIndex(index);
    cell->setFrame(fixCellFrameForGridRect(cell->frame(), data.cellRectAtIndex(index)));
    insertCellView(cell);
    return cell;
}

void BRGridView::insertCellView(const std::shared_ptr<BRGridViewCell>& cell)
{
    if (m_backgroundView && m_backgroundView->superview() == this)
        insertSubviewAboveSubview(cell, m_backgroundView.get());
    else
        insertSubviewAtIndex(cell, 0);
}

gfx::Rect BRGridView::fixCellFrameForGridRect(const gfx::Rect& cellFrame, const gfx::Rect& gridRect)
{
    gfx::Rect frame;
    if (m_resizesCellWidths) {
        frame = gridRect;
    } else {
        double width = std::min(cellFrame.width(), gridRect.width());
        double height = std::min(cellFrame.height(), gridRect.height());
        frame = {gridRect.x() + std::floor((gridRect.width() - width) * 0.5),
                 gridRect.y() + std::floor((gridRect.height() - height) * 0.5), width, height};
    }
    if (BRGridViewDelegate* d = delegate())
        frame = d->gridViewAdjustCellFrameWithinGridCellFrame(*this, frame, gridRect);
    return frame;
}

void BRGridView::doAddVisibleCell(const std::shared_ptr<BRGridViewCell>& cell)
{
    m_visibleCells.push_back(cell);
    if (!cell->superview()) {
        base::log("Visible cell not in gridview - adding");
        insertCellView(cell);
    }
}

void BRGridView::delegateWillDisplayCellAtIndex(BRGridViewCell& cell, uint32_t index)
{
    if (cell.separatorStyle() == BRGridViewCell::kSeparatorStyleLines) {
        uint32_t columns = numberOfColumns();
        bool lastColumn = index % columns == columns - 1;
        cell.setSeparatorEdge(lastColumn ? BRGridViewCell::SeparatorEdgeBottom
                                         : BRGridViewCell::SeparatorEdgeBottom | BRGridViewCell::SeparatorEdgeRight);
    }
    if (BRGridViewDelegate* d = delegate())
        d->gridViewWillDisplayCellForItemAtIndex(*this, cell, index);
}

bool BRGridView::isAnimatingView(const ui::View* view) const
{
    return std::any_of(m_animatingCells.begin(), m_animatingCells.end(),
                       [view](const BRGridViewAnimatorItem& item) { return item.animatingView.get() == view; });
}

void BRGridView::layoutAllCells()
{
    std::stable_sort(m_visibleCells.begin(), m_visibleCells.end(),
                     [](const auto& a, const auto& b) { return a->displayIndex() < b->displayIndex(); });
    for (auto& cell : m_visibleCells) {
        uint32_t index = cell->displayIndex();
        if (m_animatingIndices.count(index))
            continue;
        cell->setFrame(fixCellFrameForGridRect(cell->frame(), m_gridData.cellRectAtIndex(index)));
        cell->setSelected(index == m_selectedIndex, false);
    }
}

void BRGridView::insertVisibleCellAtIndex(const std::shared_ptr<BRGridViewCell>& cell, uint32_t position)
{
    if (position < m_visibleCells.size())
        m_visibleCells.insert(m_visibleCells.begin() + position, cell);
}

void BRGridView::deleteVisibleCellAtIndexAppendingNewCell(uint32_t position, const std::shared_ptr<BRGridViewCell>& cell)
{
    if (position >= m_visibleCells.size())
        return;
    m_visibleCells.erase(m_visibleCells.begin() + position);
    if (cell)
        doAddVisibleCell(cell);
}

void BRGridView::ensureCellInVisibleList(const std::shared_ptr<BRGridViewCell>& cell)
{
    if (std::find(m_visibleCells.begin(), m_visibleCells.end(), cell) != m_visibleCells.end())
        return;
    doAddVisibleCell(cell);
    std::stable_sort(m_visibleCells.begin(), m_visibleCells.end(),
                     [](const auto& a, const auto& b) { return a->compareOriginAgainstCell(*b) < 0; });
}

// MARK: The visible cells

void BRGridView::updateVisibleGridCellsNow()
{
    if (m_reloadingSuspendedCount > 0)
        return;
    // Never re-entered: creating cells may lay out, which comes back here.
    struct Suspension {
        int32_t& count;
        explicit Suspension(int32_t& c) : count(c) { ++count; }
        ~Suspension() { --count; }
    } suspension(m_reloadingSuspendedCount);
    AnimationsOff off;

    BRIndexSet fresh = m_gridData.indicesOfCellsInRect(gridViewVisibleBounds());
    const BRIndexSet& current = m_visibleIndices;
    if (m_visibleCells.size() == fresh.size() &&
        std::includes(fresh.begin(), fresh.end(), current.begin(), current.end()))
        return;

    BRIndexSet toRemove = indexesOutsideIndexSet(current, fresh);
    BRIndexSet toAdd = indexesOutsideIndexSet(fresh, current);

    // Removal of the cells whose items left.
    std::vector<std::shared_ptr<BRGridViewCell>> recycled;
    for (auto it = m_visibleCells.begin(); it != m_visibleCells.end();) {
        auto cell = *it;
        if (!toRemove.count(cell->displayIndex())) {
            ++it;
            continue;
        }
        it = m_visibleCells.erase(it);
        if (!isAnimatingView(cell.get())) {
            cell->removeFromSuperview();
            recycled.push_back(cell);
        }
    }
    enqueueReusableCells(recycled);

    // Views in an update animation keep their place; the rest get fresh cells.
    for (auto& item : m_animatingCells) {
        if (!fresh.count(item.index))
            continue;
        if (auto cell = std::dynamic_pointer_cast<BRGridViewCell>(item.animatingView)) {
            if (std::find(m_visibleCells.begin(), m_visibleCells.end(), cell) == m_visibleCells.end())
                doAddVisibleCell(cell);
        } else if (auto prepared = createPreparedCellForIndex(item.index)) {
            doAddVisibleCell(prepared);
            prepared->setHiddenForAnimation(true);
        }
    }
    for (uint32_t index : toAdd) {
        if (m_animatingIndices.count(index))
            continue;
        if (auto cell = createPreparedCellForIndex(index)) {
            doAddVisibleCell(cell);
            delegateWillDisplayCellAtIndex(*cell, index);
        }
    }

    if (m_visibleCells.size() > fresh.size()) {
        BRIndexSet seen;
        auto list = m_visibleCells;
        for (auto& cell : list) {
            uint32_t index = cell->displayIndex();
            bool drop = false;
            if (!fresh.count(index) && !m_animatingIndices.count(index)) {
                base::logf("Cell for index %lu is still in visible list, removing...", static_cast<unsigned long>(index));
                drop = true;
            } else if (!seen.insert(index).second) {
                base::logf("Multiple cells with index %lu found-- removing duplicate...", static_cast<unsigned long>(index));
                drop = true;
            }
            if (drop) {
                cell->removeFromSuperview();
                m_visibleCells.erase(std::find(m_visibleCells.begin(), m_visibleCells.end(), cell));
            }
        }
    }
    if (m_visibleCells.size() < fresh.size()) {
        base::log("Visible cell list is missing some items!");
        BRIndexSet present;
        for (auto& cell : m_visibleCells)
            present.insert(cell->displayIndex());
        BRIndexSet missing = indexesOutsideIndexSet(fresh, present);
        base::logf("Got %lu missing indices", static_cast<unsigned long>(missing.size()));
        for (uint32_t index : missing) {
            if (auto cell = createPreparedCellForIndex(index)) {
                doAddVisibleCell(cell);
                delegateWillDisplayCellAtIndex(*cell, index);
            }
        }
    }

    m_visibleLocation = fresh.empty() ? NSNotFound : *fresh.begin();
    m_visibleLength = static_cast<uint32_t>(fresh.size());
    m_visibleIndices = std::move(fresh);
    layoutAllCells();
}

void BRGridView::layoutSubviews()
{
    ScrollView::layoutSubviews();
    if (m_reloadingSuspendedCount == 0 && !gridViewVisibleBounds().isEmpty())
        updateVisibleGridCellsNow();
    if (m_allCellsNeedLayout) {
        m_allCellsNeedLayout = false;
        if (m_visibleLength > 0)
            layoutAllCells();
    }
    if (m_backgroundView) {
        double cellHeight = m_gridData.cellSize().height;
        uint32_t count = m_gridData.numberOfItems(), perRow = m_gridData.numberOfItemsPerRow();
        double y = m_gridData.topPadding() - (m_backgroundViewExtendsUp ? kBackgroundOverhang : 0);
        double height = count && perRow ? cellHeight * (count / perRow + 1) : cellHeight;
        double floor = contentSize().height - (m_gridData.topPadding() + m_gridData.bottomPadding());
        // Whole cell heights until the content is covered.
        if (cellHeight > 0 && height < floor)
            height += std::ceil((floor - height) / cellHeight) * cellHeight;
        m_backgroundView->setFrame({0, y, bounds().width(), height});
    }
    if (m_headerView)
        m_headerView->setFrame({0, 0, bounds().width(), m_headerView->frame().height()});
    if (m_footerView) {
        double height = m_footerView->frame().height();
        m_footerView->setFrame({0, contentSize().height - height, bounds().width(), height});
        bringSubviewToFront(m_footerView.get());
    }
}

// MARK: Batch updates

void BRGridView::beginUpdates()
{
    if (++m_updateCount == 1)
        setupUpdateAnimations();
}

bool BRGridView::endUpdates()
{
    if (m_updateCount <= 0)
        return true;
    if (--m_updateCount > 0)
        return true;
    return endUpdateAnimations();
}

bool BRGridView::insertItemsAtIndicesWithAnimation(const BRIndexSet& indices, int animation)
{
    return updateItemsAtIndicesUpdateActionWithAnimation(indices, BRGridViewUpdateItem::ActionInsert, animation);
}

bool BRGridView::deleteItemsAtIndicesWithAnimation(const BRIndexSet& indices, int animation)
{
    return updateItemsAtIndicesUpdateActionWithAnimation(indices, BRGridViewUpdateItem::ActionDelete, animation);
}

bool BRGridView::reloadItemsAtIndicesWithAnimation(const BRIndexSet& indices, int animation)
{
    return updateItemsAtIndicesUpdateActionWithAnimation(indices, BRGridViewUpdateItem::ActionReload, animation);
}

bool BRGridView::moveItemAtIndexToIndexWithAnimation(uint32_t index, uint32_t newIndex, int animation)
{
    return recordChange([&](BRGridViewUpdateInfo& batch) { batch.moveItemAtIndexToIndexWithAnimation(index, newIndex, animation); });
}

bool BRGridView::updateItemsAtIndicesUpdateActionWithAnimation(const BRIndexSet& indices, int action, int animation)
{
    return recordChange(
        [&](BRGridViewUpdateInfo& batch) { batch.updateItemsAtIndicesUpdateActionWithAnimation(indices, action, animation); });
}

bool BRGridView::recordChange(const std::function<void(BRGridViewUpdateInfo&)>& record)
{
    // No batch open (every batch on the stack is one whose animation runs): this change is one.
    bool own = m_updateInfoStack.size() <= static_cast<size_t>(m_animationCount);
    if (own)
        setupUpdateAnimations();
    record(*m_updateInfoStack.back());
    return own ? endUpdateAnimations() : true;
}

void BRGridView::setupUpdateAnimations()
{
    ++m_reloadingSuspendedCount;
    m_updateInfoStack.push_back(std::make_shared<BRGridViewUpdateInfo>(*this, m_gridData));
}

void BRGridView::setAnimatingCells(std::vector<BRGridViewAnimatorItem> cells)
{
    m_animatingCells = std::move(cells);
    m_animatingIndices.clear();
    for (auto& item : m_animatingCells)
        if (item.index != NSNotFound)
            m_animatingIndices.insert(item.index);
}

bool BRGridView::endUpdateAnimations()
{
    auto batch = m_updateInfoStack.back();
    auto drop = [&] {
        m_updateInfoStack.pop_back();
        if (m_reloadingSuspendedCount > 0)
            --m_reloadingSuspendedCount;
    };
    if (batch->numberOfUpdates() == 0) {
        drop();
        return true;
    }
    uint32_t started = m_gridData.numberOfItems();
    uint32_t expected = batch->numberOfItemsAfterUpdates();
    uint32_t actual = m_dataSource ? m_dataSource->numberOfItemsInGridView(*this) : 0;
    uint32_t added = static_cast<uint32_t>(batch->sortedInsertItems().size());
    uint32_t deleted = static_cast<uint32_t>(batch->sortedDeleteItems().size());
    char reason[256];
    reason[0] = 0;
    if (expected != actual) {
        std::snprintf(reason, sizeof reason,
                      "Invalid number of items in BRGridView: Started with %u, added %u, deleted %u. Expected %u items after changes, but got %u",
                      started, added, deleted, expected, actual);
    } else {
        // Indices outside the lists they name would be read out of range below.
        auto outside = [](const BRGridViewUpdateInfo::Items& items, uint32_t limit, bool target) {
            return std::any_of(items.begin(), items.end(), [&](const BRGridViewUpdateItem& item) {
                return (target ? item.newIndex() : item.originalIndex()) >= limit;
            });
        };
        if (outside(batch->sortedDeleteItems(), started, false) || outside(batch->sortedReloadItems(), started, false) ||
            outside(batch->sortedMoveItems(), started, false) || outside(batch->sortedInsertItems(), expected, false) ||
            outside(batch->sortedMoveItems(), expected, true))
            std::snprintf(reason, sizeof reason, "Invalid index in BRGridView batch: %u items before and %u after the changes",
                          started, expected);
    }
    if (reason[0]) {
        drop();
        m_lastUpdateFailure = reason;
        base::logf("NSInternalInconsistencyException: %s", reason);
        return false;
    }
    m_lastUpdateFailure.clear();

    batch->cleanupUpdateItems();
    ++m_animationCount;
    std::weak_ptr<ui::Responder> weakSelf = weak_from_this();
    ui::View::animate(
        0.3,
        [&] {
            setAnimatingCells(batch->animateCellUpdatesUsingVisibleContentRect(gridViewVisibleBounds()));
            m_gridData = batch->newGridViewData();
            m_numColumns = m_gridData.numberOfItemsPerRow();
            if (m_selectedIndex != NSNotFound)
                m_selectedIndex = batch->newIndexForOldIndex(m_selectedIndex);
            if (m_reloadingSuspendedCount > 0)
                --m_reloadingSuspendedCount;
        },
        [weakSelf, batch](bool) {
            auto self = std::static_pointer_cast<BRGridView>(weakSelf.lock());
            if (!self)
                return;
            self->fixCellsFromAnimation();
            auto& stack = self->m_updateInfoStack;
            stack.erase(std::remove(stack.begin(), stack.end(), batch), stack.end());
            --self->m_animationCount;
            if (BRGridViewDelegate* d = self->delegate())
                d->gridViewDidEndUpdateAnimation(*self);
        });
    return true;
}

void BRGridView::fixCellsFromAnimation()
{
    for (auto& cell : m_visibleCells) {
        if (cell->hiddenForAnimation()) {
            cell->setHiddenForAnimation(false);
            cell->setHidden(false);
            delegateWillDisplayCellAtIndex(*cell, cell->displayIndex());
        }
    }
    gfx::Rect b = bounds();
    BRIndexSet visible = m_gridData.indicesOfCellsInRect(b);
    std::vector<std::shared_ptr<BRGridViewCell>> recycled;
    auto takeOff = [&](const std::shared_ptr<ui::View>& view) {
        view->removeFromSuperview();
        if (auto cell = std::dynamic_pointer_cast<BRGridViewCell>(view))
            recycled.push_back(cell);
    };
    std::vector<std::shared_ptr<BRGridViewCell>> list;
    if (!visible.empty()) {
        for (auto& item : m_animatingCells) {
            auto cell = std::dynamic_pointer_cast<BRGridViewCell>(item.animatingView);
            if (cell && m_gridData.cellRectForPoint(cell->center()).intersects(b)) {
                if (std::find(list.begin(), list.end(), cell) == list.end())
                    list.push_back(cell);
            } else {
                takeOff(item.animatingView);
            }
        }
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& c) { return a->compareOriginAgainstCell(*c) < 0; });
    } else {
        for (auto& item : m_animatingCells)
            takeOff(item.animatingView);
    }
    for (auto& cell : m_visibleCells)
        if (std::find(list.begin(), list.end(), cell) == list.end() && cell->superview() == this)
            takeOff(cell);
    m_visibleCells = list;
    m_animatingCells.clear();
    m_animatingIndices.clear();
    auto subviews = this->subviews();
    for (auto& view : subviews) {
        auto cell = std::dynamic_pointer_cast<BRGridViewCell>(view);
        if (cell && std::find(list.begin(), list.end(), cell) == list.end())
            takeOff(cell);
    }
    // A cell may be taken off twice above; it goes into the pool once.
    std::sort(recycled.begin(), recycled.end());
    recycled.erase(std::unique(recycled.begin(), recycled.end()), recycled.end());
    enqueueReusableCells(recycled);
    m_visibleIndices.clear();
    for (auto& cell : m_visibleCells)
        m_visibleIndices.insert(cell->displayIndex());
    m_visibleLocation = m_visibleIndices.empty() ? 0 : *m_visibleIndices.begin();
    m_visibleLength = static_cast<uint32_t>(m_visibleIndices.size());
    updateContentRectWithOldMaxLocationGridSize({b.maxX(), b.maxY()}, m_gridData.sizeForEntireGrid());
    // Items that came into view while the cells moved get theirs now.
    updateVisibleGridCellsNow();
    layoutAllCells();
}

// MARK: Size, bounds and scrolling

double BRGridView::minimumContentHeightForFooter() const
{
    // A full screen of cells and the footer below it.
    return bounds().height() + (m_footerView ? m_footerView->frame().height() : 0);
}

void BRGridView::setContentSize(gfx::Size size)
{
    if (m_contentSizeFillsBounds)
        size.height = std::max(size.height, bounds().height());
    if (m_footerView)
        size.height = std::max(size.height, minimumContentHeightForFooter());
    size.height = std::max(size.height, frame().height());
    double oldWidth = contentSize().width;
    ScrollView::setContentSize(size);
    if (size.width != oldWidth)
        m_gridData.gridViewDidChangeBoundsSize(bounds().size);
    gfx::Rect b = bounds();
    if (b.maxY() > size.height) {
        b.origin.y = std::max(0.0, b.origin.y - (b.maxY() - size.height));
        setBounds(b);
    }
}

void BRGridView::setContentOffset(gfx::Point offset, bool animated)
{
    ScrollView::setContentOffset(offset, animated);
    if (!animated)
        updateVisibleGridCellsNow();
}

void BRGridView::boundsDidChange(const gfx::Rect& oldBounds)
{
    ScrollView::boundsDidChange(oldBounds);
    if (oldBounds.size != bounds().size)
        handleGridViewBoundsChanged(oldBounds, bounds());
}

void BRGridView::handleGridViewBoundsChanged(const gfx::Rect& oldBounds, const gfx::Rect& newBounds)
{
    double oldGridHeight = m_gridData.sizeForEntireGrid().height;
    bool wasAtBottom = oldGridHeight != 0 && oldBounds.maxY() == oldGridHeight;
    m_gridData.gridViewDidChangeBoundsSize(newBounds.size);
    m_numColumns = m_gridData.numberOfItemsPerRow();
    gfx::Size gridSize = m_gridData.sizeForEntireGrid();
    updateContentRectWithOldMaxLocationGridSize({oldBounds.maxX(), oldBounds.maxY()}, gridSize);
    if (wasAtBottom && oldBounds.origin != gfx::Point{0, 0}) {
        double growth = gridSize.height - oldGridHeight;
        if (growth > 0 && bounds().maxY() < gridSize.height) {
            gfx::Point offset = contentOffset();
            offset.y += growth;
            ScrollView::setContentOffset(offset, false);
        }
    }
    updateVisibleGridCellsNow();
    m_allCellsNeedLayout = true;
    setNeedsLayout();
}

void BRGridView::updateContentRectWithOldMaxLocationGridSize(gfx::Point oldMaxLocation, gfx::Size gridSize)
{
    if (contentSize() == gridSize)
        return;
    setContentSize(gridSize);
    gfx::Point offset = contentOffset();
    gfx::Size boundsSize = bounds().size;
    gfx::Size content = contentSize();
    if (offset.y + boundsSize.height > gridSize.height) {
        offset.y = std::max(0.0, content.height - boundsSize.height);
    } else if (offset != gfx::Point{0, 0} && m_gridData.pointIsInLastRow(oldMaxLocation)) {
        // Scrolled to the end: stay there.
        if (layoutDirection() == BRGridViewData::Vertical)
            offset.y = std::max(0.0, content.height - boundsSize.height);
        else
            offset.x = std::max(0.0, content.width - boundsSize.width);
    }
    ScrollView::setContentOffset(offset, false);
}

void BRGridView::updateGridViewBoundsForNewGridData(const BRGridViewData& data)
{
    gfx::Rect b = bounds();
    updateContentRectWithOldMaxLocationGridSize({b.maxX(), b.maxY()}, data.sizeForEntireGrid());
}

void BRGridView::scrollToItemAtIndexAtScrollPositionAnimated(uint32_t index, int position, bool animated)
{
    gfx::Rect slot = m_gridData.cellRectAtIndex(index);
    gfx::Rect target = bounds();
    double boundsHeight = bounds().height();
    switch (position) {
    case ScrollPositionTop:
        target.origin.y = slot.y();
        break;
    case ScrollPositionMiddle:
        target.origin.y = std::max(0.0, slot.y() - std::ceil((boundsHeight - slot.height()) * 0.5));
        break;
    case ScrollPositionBottom:
        target.origin.y = std::max(0.0, std::floor(slot.y() - (boundsHeight - slot.height())));
        break;
    default:
        target = slot;
        break;
    }
    scrollRectToVisible(target, animated);
    if (!animated)
        updateVisibleGridCellsNow();
}

// MARK: Selection

void BRGridView::selectItemAtIndexAnimatedScrollPosition(uint32_t index, bool animated, int position)
{
    selectItemInternal(index, animated, position, false, 1);
}

void BRGridView::deselectItemAtIndexAnimated(uint32_t index, bool animated)
{
    deselectItemInternal(index, animated, false);
}

void BRGridView::selectItemInternal(uint32_t index, bool animated, int position, bool notify, uint32_t fingers)
{
    if (index == m_selectedIndex)
        return;
    if (m_selectedIndex != NSNotFound)
        deselectItemInternal(m_selectedIndex, animated, notify);
    if (!m_allowsSelection)
        return;
    BRGridViewDelegate* d = delegate();
    if (notify && d) {
        index = d->gridViewWillSelectItemAtIndex(*this, index);
        index = d->gridViewWillSelectItemAtIndexNumFingersTouch(*this, index, fingers);
    }
    m_selectedIndex = index;
    if (auto cell = cellForItemAtIndex(index))
        cell->setSelected(true, animated);
    if (position != ScrollPositionNone)
        scrollToItemAtIndexAtScrollPositionAnimated(index, position, animated);
    if (notify) {
        postSelectionDidChange();
        // The delegate may have gone while the notification was handled.
        if ((d = delegate())) {
            d->gridViewDidSelectItemAtIndex(*this, index);
            d->gridViewDidSelectItemAtIndexNumFingersTouch(*this, index, fingers);
        }
    }
    m_highlightedIndices.erase(index);
}

void BRGridView::deselectItemInternal(uint32_t index, bool animated, bool notify)
{
    if (index != m_selectedIndex || index == NSNotFound)
        return;
    if (notify)
        if (BRGridViewDelegate* d = delegate())
            d->gridViewWillDeselectItemAtIndex(*this, index);
    m_selectedIndex = NSNotFound;
    if (auto cell = cellForItemAtIndex(index))
        cell->setSelected(false, animated);
    if (notify) {
        if (BRGridViewDelegate* d = delegate())
            d->gridViewDidDeselectItemAtIndex(*this, index);
        postSelectionDidChange();
    }
}

void BRGridView::postSelectionDidChange()
{
    base::NotificationCenter::defaultCenter().post(kSelectionDidChangeNotification,
                                                   std::static_pointer_cast<void>(shared_from_this()));
}

void BRGridView::highlightItemAtIndexAnimatedScrollPosition(uint32_t index, bool animated, int position)
{
    if (index == NSNotFound) {
        for (uint32_t highlighted : m_highlightedIndices)
            if (auto cell = cellForItemAtIndex(highlighted))
                cell->setHighlighted(false, animated);
        m_highlightedIndices.clear();
        return;
    }
    if (!m_highlightedIndices.count(index)) {
        if (auto cell = cellForItemAtIndex(index))
            cell->setHighlighted(true, animated);
        m_highlightedIndices.insert(index);
    }
    if (position != ScrollPositionNone)
        scrollToItemAtIndexAtScrollPositionAnimated(index, position, animated);
}

void BRGridView::unhighlightItemAtIndexAnimated(uint32_t index, bool animated)
{
    if (!m_highlightedIndices.erase(index))
        return;
    if (index != m_selectedIndex)
        if (auto cell = cellForItemAtIndex(index))
            cell->setHighlighted(false, animated);
}

// MARK: Touches

ui::View* BRGridView::basicHitTest(gfx::Point point)
{
    return View::hitTest(point);
}

bool BRGridView::canSelectItemContainingHitView(ui::View* view) const
{
    if (!view || view->isControl())
        return false;
    return dynamic_cast<BRGridViewCell*>(view) || dynamic_cast<BRGridViewCell*>(view->superview());
}

bool BRGridView::gestureRecognizerIsHandlingTouches(const std::vector<ui::Touch*>& touches)
{
    // The platform's long-press recogniser takes a number of touches, so the check applies.
    for (auto& recognizer : gestureRecognizers()) {
        auto state = recognizer->state();
        if (state == ui::GestureRecognizer::State::Ended || state == ui::GestureRecognizer::State::Cancelled ||
            state == ui::GestureRecognizer::State::Failed)
            continue;
        if (recognizer->numberOfTouches() != touches.size())
            continue;
        for (ui::Touch* tracked : recognizer->trackedTouches())
            for (ui::Touch* touch : touches)
                if (tracked->locationInView(this) == touch->locationInView(this))
                    return true;
    }
    return false;
}

void BRGridView::touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    m_ignoreTouchSelect = isDragging();
    if (m_pendingSelectionIndex == NSNotFound && !touches.empty()) {
        gfx::Point point = touches.front()->locationInView(this);
        ui::View* hit = basicHitTest(point);
        m_touchedContentView = hit ? hit->weak_from_this() : std::weak_ptr<ui::Responder>();
        if (hit != this)
            highlightItemAtIndexAnimatedScrollPosition(NSNotFound, false, ScrollPositionNone);
        if (canSelectItemContainingHitView(hit)) {
            uint32_t index = indexForItemAtPoint(point);
            if (index != NSNotFound && m_allowsSelection) {
                m_pendingSelectionIndex = index;
                std::weak_ptr<ui::Responder> weak = weak_from_this();
                base::performAfterDelay(weak, kDeferredHighlightKey, 0, [this, weak] {
                    if (weak.lock())
                        gridViewDeferredTouchesBegan();
                });
            }
        }
    }
    ScrollView::touchesBegan(touches, event);
}

void BRGridView::gridViewDeferredTouchesBegan()
{
    if (!isDragging() && !m_ignoreTouchSelect && m_pendingSelectionIndex != NSNotFound)
        highlightItemAtIndexAnimatedScrollPosition(m_pendingSelectionIndex, false, ScrollPositionNone);
}

void BRGridView::touchesMoved(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    if (!m_ignoreTouchSelect && !gestureRecognizerIsHandlingTouches(touches)) {
        highlightItemAtIndexAnimatedScrollPosition(NSNotFound, false, ScrollPositionNone);
        m_ignoreTouchSelect = true;
        m_touchedContentView.reset();
    }
    ScrollView::touchesMoved(touches, event);
}

void BRGridView::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    base::cancelPerforms(weak, kDeferredHighlightKey);
    auto hit = std::dynamic_pointer_cast<ui::View>(m_touchedContentView.lock());
    m_touchedContentView.reset();
    ScrollView::touchesEnded(touches, event);
    if (hit && !hit->superview())
        hit.reset();
    if (!isDragging() && !touches.empty()) {
        gfx::Point point = touches.front()->locationInView(this);
        // A touch that began on no item selects nothing, wherever it ends.
        if (m_pendingSelectionIndex != NSNotFound && (!hit || canSelectItemContainingHitView(hit.get())) &&
            m_pendingSelectionIndex == indexForItemAtPoint(point) && m_allowsSelection) {
            UserSelectItemIndexParams params{m_pendingSelectionIndex, static_cast<uint32_t>(event.allTouches().size())};
            base::performAfterDelay(weak, kDeferredSelectKey, 0, [this, weak, params] {
                if (weak.lock())
                    userSelectItemAtIndex(params);
            });
        }
    }
    if (m_pendingSelectionIndex != NSNotFound)
        unhighlightItemAtIndexAnimated(m_pendingSelectionIndex, false);
    m_pendingSelectionIndex = NSNotFound;
}

void BRGridView::touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    m_pendingSelectionIndex = NSNotFound;
    highlightItemAtIndexAnimatedScrollPosition(NSNotFound, false, ScrollPositionNone);
    ScrollView::touchesCancelled(touches, event);
    m_touchedContentView.reset();
}

void BRGridView::userSelectItemAtIndex(const UserSelectItemIndexParams& params)
{
    unhighlightItemAtIndexAnimated(params.indexNum, false);
    auto cell = cellForItemAtIndex(params.indexNum);
    if (cell && cell->isSelected() && !m_requiresSelection)
        deselectItemInternal(params.indexNum, false, true);
    else
        selectItemInternal(params.indexNum, false, ScrollPositionNone, true, params.numFingers);
    m_pendingSelectionIndex = NSNotFound;
}
