#pragma once
#include "Platform/Graphics/Geometry.h"
#include "Widgets/BRGridViewData.h"
#include "Widgets/BRGridViewUpdateItem.h"
#include "Widgets/BRIndexSet.h"

#include <memory>
#include <vector>

namespace ui {
class View;
}
class BRGridView;
class BRGridViewCell;
struct BRGridViewAnimatorItem;

// One batch of grid changes: what the caller recorded, the layouts before and after, and the
// maps between old and new item indices.
class BRGridViewUpdateInfo {
public:
    using Items = std::vector<BRGridViewUpdateItem>;

    BRGridViewUpdateInfo(BRGridView& gridView, const BRGridViewData& data);

    // Insert, delete or reload: one item per index, ascending.
    void updateItemsAtIndicesUpdateActionWithAnimation(const BRIndexSet& indices, int action, int animation);
    void moveItemAtIndexToIndexWithAnimation(uint32_t index, uint32_t newIndex, int animation);
    // The list of an action; null for any other value.
    Items* updateItemArrayForAction(int action);

    uint32_t numberOfUpdates() const;
    // Asked before cleanupUpdateItems: the new layout still holds the old count then.
    uint32_t numberOfItemsAfterUpdates() const;
    Items sortedInsertItems() const { return m_insertItems; }
    Items sortedDeleteItems() const { return m_deleteItems; }
    Items sortedMoveItems() const { return m_moveItems; }
    Items sortedReloadItems() const { return m_reloadItems; }

    // Sorts the lists, fills the index sets and offsets, and lays out the new count and maps.
    void cleanupUpdateItems();
    // NSNotFound for a deleted item; the index itself when the batch had no old items.
    uint32_t newIndexForOldIndex(uint32_t index) const;
    // NSNotFound for an inserted item; the index itself when the batch has no new items.
    uint32_t oldIndexForNewIndex(uint32_t index) const;

    const BRGridViewData& oldGridViewData() const { return m_oldGridData; }
    const BRGridViewData& newGridViewData() const { return m_newGridData; }
    const BRIndexSet& insertedIndices() const { return m_insertedIndices; }
    const BRIndexSet& deletedIndices() const { return m_deletedIndices; }
    const BRIndexSet& oldMovedIndices() const { return m_oldMovedIndices; }
    const BRIndexSet& newMovedIndices() const { return m_newMovedIndices; }
    const BRIndexSet& reloadedIndices() const { return m_reloadedIndices; }

    // Inside the batch's animation: moves, removes, brings in and cross-fades the cells of the
    // visible rectangle; the views in flight and the item each will show.
    std::vector<BRGridViewAnimatorItem> animateCellUpdatesUsingVisibleContentRect(gfx::Rect rect);

private:
    void updateNewGridDataAndCreateMappingTables();
    int animationForIndex(const Items& items, uint32_t index) const;
    void animateDeletionForCell(const std::shared_ptr<BRGridViewCell>& cell, int animation);
    void animateInsertionForCell(BRGridViewCell& cell, int animation);
    void animateReloadForCell(BRGridViewCell& cell, const std::shared_ptr<BRGridViewCell>& originalCell, int animation);
    // A picture of the view in its place, above the grid's background; kept as in flight.
    std::shared_ptr<ui::View> imageViewForView(ui::View& view);

    BRGridView* m_gridView;
    Items m_insertItems;
    Items m_deleteItems;
    Items m_moveItems;
    Items m_reloadItems;
    BRIndexSet m_insertedIndices;
    BRIndexSet m_deletedIndices;
    BRIndexSet m_oldMovedIndices;
    BRIndexSet m_newMovedIndices;
    BRIndexSet m_reloadedIndices;
    BRGridViewData m_oldGridData;
    BRGridViewData m_newGridData;
    std::vector<uint32_t> m_oldToNewIndexMap;
    std::vector<uint32_t> m_newToOldIndexMap;
    std::vector<BRGridViewAnimatorItem> m_animatingCells;
};

// The indices of the set that are not in the other one.
inline BRIndexSet aq_indexesOutsideIndexSet(const BRIndexSet& set, const BRIndexSet& other)
{
    return indexesOutsideIndexSet(set, other);
}
// Last index + 1 - first index equals the count (an empty set counts as contiguous).
bool aq_isSetContiguous(const BRIndexSet& set);
