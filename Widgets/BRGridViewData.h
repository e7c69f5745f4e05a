#pragma once
#include "Platform/Graphics/Geometry.h"
#include "Widgets/BRIndexSet.h"

#include <cstdint>

class BRGridView;

// The arithmetic of a grid's layout: cell size, items per row and the slot of every item.
// A plain value, so that a change can be laid out while the old layout is still on screen.
class BRGridViewData {
public:
    enum LayoutDirection { Vertical = 0, Horizontal = 1 };

    // The bounds size is read from the grid view (none: zero until told).
    explicit BRGridViewData(BRGridView* gridView = nullptr);
    // A copy belongs to the same grid view and reads its bounds size from it again.
    BRGridViewData(const BRGridViewData& other);
    BRGridViewData& operator=(const BRGridViewData& other) = default;

    BRGridView* gridView() const { return m_gridView; }
    gfx::Size boundsSize() const { return m_boundsSize; }
    void gridViewDidChangeBoundsSize(gfx::Size size);

    gfx::Size desiredCellSize() const { return m_desiredCellSize; }
    void setDesiredCellSize(gfx::Size size);
    int layoutDirection() const { return m_layoutDirection; }
    void setLayoutDirection(int direction);
    // The size used: the desired width widened so that the cells fill a row.
    gfx::Size cellSize() const { return m_actualCellSize; }

    uint32_t numberOfItemsPerRow() const;
    gfx::Rect cellRectAtIndex(uint32_t index) const;
    // The item under a point, or NSNotFound past the last one; the column is not limited
    // to the row, so the right padding maps to the next row's first item.
    uint32_t itemIndexForPoint(gfx::Point point) const;
    gfx::Rect cellRectForPoint(gfx::Point point) const;
    bool pointIsInLastRow(gfx::Point point) const;
    // The items whose slots intersect the rectangle; works out the rows and columns it
    // covers instead of scanning from the first item.
    BRIndexSet indicesOfCellsInRect(const gfx::Rect& rect) const;
    // The same answer by scanning from item 0, skipping whole rows above the rectangle.
    BRIndexSet indicesOfCellsInRectByScan(const gfx::Rect& rect) const;
    gfx::Size sizeForEntireGrid() const;
    gfx::Rect rectForEntireGrid() const;
    void fixDesiredCellSizeForWidth(double width);

    uint32_t numberOfItems() const { return m_numberOfItems; }
    void setNumberOfItems(uint32_t count) { m_numberOfItems = count; }
    double topPadding() const { return m_topPadding; }
    void setTopPadding(double padding) { m_topPadding = padding; }
    double bottomPadding() const { return m_bottomPadding; }
    void setBottomPadding(double padding) { m_bottomPadding = padding; }
    double leftPadding() const { return m_leftPadding; }
    void setLeftPadding(double padding) { m_leftPadding = padding; }
    double rightPadding() const { return m_rightPadding; }
    void setRightPadding(double padding) { m_rightPadding = padding; }
    uint32_t reorderedIndex() const { return m_reorderedIndex; }
    void setReorderedIndex(uint32_t index) { m_reorderedIndex = index; }

private:
    BRGridView* m_gridView = nullptr;
    gfx::Size m_boundsSize;
    int m_layoutDirection = Vertical;
    gfx::Size m_desiredCellSize;
    gfx::Size m_actualCellSize;
    double m_topPadding = 0;
    double m_bottomPadding = 0;
    double m_leftPadding = 0;
    double m_rightPadding = 0;
    uint32_t m_numberOfItems = 0;
    uint32_t m_reorderedIndex = NSNotFound;
};
