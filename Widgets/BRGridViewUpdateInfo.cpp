#include "Widgets/BRGridViewUpdateInfo.h"

#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"
#include "Widgets/BRGridView.h"
#include "Widgets/BRGridViewCell.h"

#include <algorithm>
#include <map>

namespace {

void sortDescending(BRGridViewUpdateInfo::Items& items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const BRGridViewUpdateItem& a, const BRGridViewUpdateItem& b) { return a.inverseCompare(b) < 0; });
}

uint32_t countBelow(const BRIndexSet& set, uint32_t index)
{
    return static_cast<uint32_t>(std::distance(set.begin(), set.lower_bound(index)));
}

// The displacement of one cell size in an animation's direction.
gfx::Point shiftFor(int animation, gfx::Size size)
{
    switch (animation) {
    case BRGridViewUpdateItem::AnimationRight:
        return {size.width, 0};
    case BRGridViewUpdateItem::AnimationLeft:
        return {-size.width, 0};
    case BRGridViewUpdateItem::AnimationTop:
        return {0, -size.height};
    case BRGridViewUpdateItem::AnimationBottom:
        return {0, size.height};
    default:
        return {0, 0};
    }
}

class AnimationsOff {
public:
    AnimationsOff() : m_was(ui::View::areAnimationsEnabled()) { ui::View::setAnimationsEnabled(false); }
    ~AnimationsOff() { ui::View::setAnimationsEnabled(m_was); }

private:
    bool m_was;
};

} // namespace

bool aq_isSetContiguous(const BRIndexSet& set)
{
    if (set.empty())
        return true;
    return static_cast<uint64_t>(*set.rbegin()) + 1 - *set.begin() == set.size();
}

BRGridViewUpdateInfo::BRGridViewUpdateInfo(BRGridView& gridView, const BRGridViewData& data)
    : m_gridView(&gridView)
    , m_oldGridData(data)
    , m_newGridData(data)
{
}

BRGridViewUpdateInfo::Items* BRGridViewUpdateInfo::updateItemArrayForAction(int action)
{
    switch (action) {
    case BRGridViewUpdateItem::ActionInsert:
        return &m_insertItems;
    case BRGridViewUpdateItem::ActionDelete:
        return &m_deleteItems;
    case BRGridViewUpdateItem::ActionMove:
        return &m_moveItems;
    case BRGridViewUpdateItem::ActionReload:
        return &m_reloadItems;
    default:
        return nullptr;
    }
}

void BRGridViewUpdateInfo::updateItemsAtIndicesUpdateActionWithAnimation(const BRIndexSet& indices, int action,
                                                                         int animation)
{
    Items* items = updateItemArrayForAction(action);
    if (!items)
        return;
    for (uint32_t index : indices)
        items->emplace_back(index, action, animation);
}

void BRGridViewUpdateInfo::moveItemAtIndexToIndexWithAnimation(uint32_t index, uint32_t newIndex, int animation)
{
    BRGridViewUpdateItem item(index, BRGridViewUpdateItem::ActionMove, animation);
    item.setNewIndex(newIndex);
    m_moveItems.push_back(item);
}

uint32_t BRGridViewUpdateInfo::numberOfUpdates() const
{
    return static_cast<uint32_t>(m_insertItems.size() + m_deleteItems.size() + m_moveItems.size() + m_reloadItems.size());
}

uint32_t BRGridViewUpdateInfo::numberOfItemsAfterUpdates() const
{
    return m_newGridData.numberOfItems() + static_cast<uint32_t>(m_insertItems.size()) -
           static_cast<uint32_t>(m_deleteItems.size());
}

void BRGridViewUpdateInfo::cleanupUpdateItems()
{
    sortDescending(m_insertItems);
    sortDescending(m_deleteItems);
    sortDescending(m_moveItems);
    sortDescending(m_reloadItems);
    for (auto& item : m_deleteItems)
        m_deletedIndices.insert(item.originalIndex());
    for (auto& item : m_moveItems) {
        m_oldMovedIndices.insert(item.originalIndex());
        m_newMovedIndices.insert(item.newIndex());
    }
    for (auto& item : m_insertItems) {
        m_insertedIndices.insert(item.originalIndex());
        item.setOffset(-static_cast<int32_t>(countBelow(m_deletedIndices, item.originalIndex())));
    }
    for (auto& item : m_reloadItems)
        item.setOffset(-static_cast<int32_t>(countBelow(m_deletedIndices, item.originalIndex())));
    for (auto& item : m_reloadItems) {
        uint32_t inserted = countBelow(m_insertedIndices, item.index());
        if (inserted == 0)
            break;
        item.setOffset(item.offset() + static_cast<int32_t>(inserted));
    }
    updateNewGridDataAndCreateMappingTables();
    // Where the reloaded items stand after the batch.
    for (auto& item : m_reloadItems) {
        uint32_t now = newIndexForOldIndex(item.originalIndex());
        if (now != NSNotFound)
            m_reloadedIndices.insert(now);
    }
}

void BRGridViewUpdateInfo::updateNewGridDataAndCreateMappingTables()
{
    uint32_t oldCount = m_oldGridData.numberOfItems();
    uint32_t newCount = oldCount + static_cast<uint32_t>(m_insertItems.size()) - static_cast<uint32_t>(m_deleteItems.size());
    m_newGridData.setNumberOfItems(newCount);

    // The batch applied to the list of old indices: deletes and move sources leave (highest
    // first), inserts and move targets come in (lowest first), so several moves in one batch
    // still give maps that are each other's inverse.
    std::vector<uint32_t> items(oldCount);
    for (uint32_t i = 0; i < oldCount; ++i)
        items[i] = i;
    BRIndexSet leaving = m_deletedIndices;
    leaving.insert(m_oldMovedIndices.begin(), m_oldMovedIndices.end());
    for (auto it = leaving.rbegin(); it != leaving.rend(); ++it)
        if (*it < items.size())
            items.erase(items.begin() + *it);
    std::vector<std::pair<uint32_t, uint32_t>> arriving; // new index, old index or NSNotFound
    for (auto& item : m_insertItems)
        arriving.emplace_back(item.originalIndex(), NSNotFound);
    for (auto& item : m_moveItems)
        arriving.emplace_back(item.newIndex(), item.originalIndex());
    std::stable_sort(arriving.begin(), arriving.end(), [](auto& a, auto& b) { return a.first < b.first; });
    for (auto& [at, old] : arriving)
        items.insert(items.begin() + std::min<size_t>(at, items.size()), old);

    m_oldToNewIndexMap.assign(oldCount, NSNotFound);
    m_newToOldIndexMap.assign(items.size(), NSNotFound);
    for (uint32_t j = 0; j < items.size(); ++j) {
        m_newToOldIndexMap[j] = items[j];
        if (items[j] != NSNotFound && items[j] < oldCount)
            m_oldToNewIndexMap[items[j]] = j;
    }
}

uint32_t BRGridViewUpdateInfo::newIndexForOldIndex(uint32_t index) const
{
    if (m_oldToNewIndexMap.empty())
        return index;
    return index < m_oldToNewIndexMap.size() ? m_oldToNewIndexMap[index] : NSNotFound;
}

uint32_t BRGridViewUpdateInfo::oldIndexForNewIndex(uint32_t index) const
{
    if (m_newToOldIndexMap.empty())
        return index;
    return index < m_newToOldIndexMap.size() ? m_newToOldIndexMap[index] : NSNotFound;
}

int BRGridViewUpdateInfo::animationForIndex(const Items& items, uint32_t index) const
{
    for (auto& item : items)
        if (item.originalIndex() == index)
            return item.animation();
    return BRGridViewUpdateItem::AnimationFade;
}

std::shared_ptr<ui::View> BRGridViewUpdateInfo::imageViewForView(ui::View& view)
{
    double scale = view.window() ? view.window()->scale() : 1.0;
    AnimationsOff off;
    auto snapshot = ui::View::make<ui::ImageView>(view.snapshotImage(scale));
    snapshot->setFrame(view.frame());
    auto background = m_gridView->backgroundView();
    if (background && background->superview() == m_gridView)
        m_gridView->insertSubviewAboveSubview(snapshot, background.get());
    else
        m_gridView->insertSubviewAtIndex(snapshot, 0);
    m_animatingCells.push_back({snapshot, NSNotFound});
    return snapshot;
}

void BRGridViewUpdateInfo::animateDeletionForCell(const std::shared_ptr<BRGridViewCell>& cell, int animation)
{
    if (animation == BRGridViewUpdateItem::AnimationNone) {
        cell->removeFromSuperview();
        return;
    }
    auto snapshot = imageViewForView(*cell);
    cell->removeFromSuperview();
    gfx::Point shift = shiftFor(animation, cell->bounds().size);
    snapshot->setAlpha(0);
    snapshot->setCenter({snapshot->center().x + shift.x, snapshot->center().y + shift.y});
}

void BRGridViewUpdateInfo::animateInsertionForCell(BRGridViewCell& cell, int animation)
{
    if (animation == BRGridViewUpdateItem::AnimationNone)
        return;
    gfx::Point home = cell.center();
    gfx::Point shift = shiftFor(animation, cell.bounds().size);
    {
        AnimationsOff off;
        cell.setAlpha(0);
        cell.setCenter({home.x + shift.x, home.y + shift.y});
    }
    cell.setAlpha(1.0);
    cell.setCenter(home);
}

void BRGridViewUpdateInfo::animateReloadForCell(BRGridViewCell& cell, const std::shared_ptr<BRGridViewCell>& originalCell,
                                                int animation)
{
    if (animation == BRGridViewUpdateItem::AnimationNone) {
        originalCell->removeFromSuperview();
        return;
    }
    auto snapshot = imageViewForView(*originalCell);
    originalCell->removeFromSuperview();
    gfx::Point home = cell.center();
    gfx::Point shift = shiftFor(animation, cell.bounds().size);
    {
        AnimationsOff off;
        cell.setAlpha(0);
        cell.setCenter({home.x + shift.x, home.y + shift.y});
    }
    snapshot->setCenter({snapshot->center().x - shift.x, snapshot->center().y - shift.y});
    snapshot->setAlpha(0);
    cell.setAlpha(1.0);
    cell.setCenter(home);
}

std::vector<BRGridViewAnimatorItem> BRGridViewUpdateInfo::animateCellUpdatesUsingVisibleContentRect(gfx::Rect rect)
{
    BRGridView& grid = *m_gridView;
    gfx::Size newSize = m_newGridData.sizeForEntireGrid();
    bool vertical = m_newGridData.layoutDirection() == BRGridViewData::Vertical;
    if (vertical && newSize.height < rect.maxY()) {
        double d = rect.maxY() - newSize.height;
        double y = std::max(0.0, rect.y() - d);
        rect = {rect.x(), y, rect.width(), rect.height() + d};
        grid.setContentSize({rect.width(), newSize.height});
    } else if (!vertical && newSize.width < rect.maxX()) {
        double d = rect.maxX() - newSize.width;
        double x = std::max(0.0, rect.x() - d);
        rect = {x, rect.y(), rect.width() + d, rect.height()};
        grid.setContentSize({newSize.width, rect.height()});
    } else {
        grid.updateGridViewBoundsForNewGridData(m_newGridData);
    }
    BRIndexSet newVisible = m_newGridData.indicesOfCellsInRect(rect);
    BRIndexSet oldVisible = grid.m_visibleIndices;

    // The cells by their old indices, taken before any is renumbered.
    std::map<uint32_t, std::shared_ptr<BRGridViewCell>> oldCells;
    for (auto& cell : grid.m_visibleCells)
        oldCells.emplace(cell->displayIndex(), cell);
    for (auto& item : grid.m_animatingCells)
        if (auto cell = std::dynamic_pointer_cast<BRGridViewCell>(item.animatingView); cell && item.index != NSNotFound)
            oldCells[item.index] = cell;
    auto visibleCellFor = [&](uint32_t oldIndex) -> std::shared_ptr<BRGridViewCell> {
        auto it = oldCells.find(oldIndex);
        return it == oldCells.end() ? nullptr : it->second;
    };
    BRIndexSet reloadedOld;
    for (auto& item : m_reloadItems)
        reloadedOld.insert(item.originalIndex());

    // Survivors seen before or after the change slide to their new slots.
    BRIndexSet survivors;
    for (uint32_t i : oldVisible)
        if (newIndexForOldIndex(i) != NSNotFound)
            survivors.insert(i);
    for (uint32_t j : newVisible) {
        uint32_t i = oldIndexForNewIndex(j);
        if (i != NSNotFound)
            survivors.insert(i);
    }
    std::vector<BRGridViewAnimatorItem> items;
    std::vector<std::shared_ptr<BRGridViewCell>> kept;
    for (uint32_t i : survivors) {
        if (reloadedOld.count(i))
            continue;
        uint32_t j = newIndexForOldIndex(i);
        auto cell = oldVisible.count(i) ? visibleCellFor(i) : nullptr;
        if (!cell) {
            cell = grid.createPreparedCellForIndexUsingGridData(j, m_newGridData);
            if (!cell)
                continue;
            AnimationsOff off;
            cell->setFrame(grid.fixCellFrameForGridRect(cell->frame(), m_oldGridData.cellRectAtIndex(i)));
        }
        cell->setDisplayIndex(j);
        cell->setFrame(grid.fixCellFrameForGridRect(cell->frame(), m_newGridData.cellRectAtIndex(j)));
        items.push_back({cell, j});
        kept.push_back(cell);
    }

    // Deleted items on screen leave by their animation.
    std::vector<std::shared_ptr<BRGridViewCell>> gone;
    for (uint32_t i : oldVisible) {
        if (newIndexForOldIndex(i) != NSNotFound)
            continue;
        if (auto cell = visibleCellFor(i)) {
            animateDeletionForCell(cell, animationForIndex(m_deleteItems, i));
            gone.push_back(cell);
        }
    }

    // Inserted items that will show come in.
    for (uint32_t j : newVisible) {
        if (oldIndexForNewIndex(j) != NSNotFound)
            continue;
        auto cell = grid.createPreparedCellForIndexUsingGridData(j, m_newGridData);
        if (!cell)
            continue;
        animateInsertionForCell(*cell, animationForIndex(m_insertItems, j));
        grid.delegateWillDisplayCellAtIndex(*cell, j);
        items.push_back({cell, j});
        kept.push_back(cell);
    }

    // Reloaded items on screen cross-fade from a picture of the old cell to a new one.
    for (uint32_t i : reloadedOld) {
        uint32_t j = newIndexForOldIndex(i);
        auto original = oldVisible.count(i) ? visibleCellFor(i) : nullptr;
        if (j == NSNotFound || !original)
            continue;
        auto cell = grid.createPreparedCellForIndexUsingGridData(j, m_newGridData);
        if (!cell)
            continue;
        grid.delegateWillDisplayCellAtIndex(*cell, j);
        animateReloadForCell(*cell, original, animationForIndex(m_reloadItems, i));
        gone.push_back(original);
        items.push_back({cell, j});
        kept.push_back(cell);
    }

    // The grid's visible list now speaks in new indices: the cells in flight.
    grid.m_visibleCells = kept;
    BRIndexSet indices;
    for (auto& cell : kept)
        indices.insert(cell->displayIndex());
    grid.m_visibleIndices = indices;
    grid.m_visibleLocation = indices.empty() ? 0 : *indices.begin();
    grid.m_visibleLength = static_cast<uint32_t>(indices.size());
    grid.enqueueReusableCells(gone);

    for (auto& snapshot : m_animatingCells)
        items.push_back(snapshot);
    return items;
}
