#include "Widgets/BRGridViewData.h"

#include "Widgets/BRGridView.h"

#include <algorithm>
#include <cmath>

namespace {

// Truncation to an unsigned count: negative (and NaN) gives 0, beyond the range the largest.
uint64_t whole(double value)
{
    if (!(value > 0))
        return 0;
    if (value >= 4294967295.0)
        return 4294967295u;
    return static_cast<uint64_t>(value);
}

} // namespace

BRGridViewData::BRGridViewData(BRGridView* gridView) : m_gridView(gridView)
{
    if (gridView)
        m_boundsSize = gridView->bounds().size;
}

BRGridViewData::BRGridViewData(const BRGridViewData& other)
    : m_gridView(other.m_gridView)
    , m_boundsSize(other.m_gridView ? other.m_gridView->bounds().size : other.m_boundsSize)
    , m_layoutDirection(other.m_layoutDirection)
    , m_desiredCellSize(other.m_desiredCellSize)
    , m_actualCellSize(other.m_actualCellSize)
    , m_topPadding(other.m_topPadding)
    , m_bottomPadding(other.m_bottomPadding)
    , m_leftPadding(other.m_leftPadding)
    , m_rightPadding(other.m_rightPadding)
    , m_numberOfItems(other.m_numberOfItems)
    , m_reorderedIndex(other.m_reorderedIndex)
{
}

void BRGridViewData::gridViewDidChangeBoundsSize(gfx::Size size)
{
    m_boundsSize = size;
    if (m_layoutDirection == Vertical)
        fixDesiredCellSizeForWidth(size.width);
}

void BRGridViewData::setDesiredCellSize(gfx::Size size)
{
    m_desiredCellSize = size;
    if (m_layoutDirection == Vertical)
        fixDesiredCellSizeForWidth(m_boundsSize.width);
    else
        m_actualCellSize = size;
}

void BRGridViewData::setLayoutDirection(int direction)
{
    m_layoutDirection = direction;
    if (direction == Vertical)
        fixDesiredCellSizeForWidth(m_boundsSize.width);
    else
        m_actualCellSize = m_desiredCellSize;
}

void BRGridViewData::fixDesiredCellSizeForWidth(double width)
{
    double available = std::floor(width - m_leftPadding - m_rightPadding);
    // A desired width below one point counts as one, so the division below is sound.
    double desired = std::max(1.0, std::floor(m_desiredCellSize.width));
    uint64_t perRow = whole(std::floor(available / desired));
    // Narrower than one cell: no item fits, and the cell keeps its desired width.
    double actualWidth = perRow == 0 ? std::max(1.0, m_desiredCellSize.width) : std::floor(available / double(perRow));
    m_actualCellSize = {actualWidth, m_desiredCellSize.height};
}

uint32_t BRGridViewData::numberOfItemsPerRow() const
{
    if (m_layoutDirection == Vertical) {
        if (m_actualCellSize.width <= 0)
            return 0;
        // The paddings are not room for cells: counting them gave one column too many.
        double room = m_boundsSize.width - m_leftPadding - m_rightPadding;
        return static_cast<uint32_t>(whole(std::floor(room / m_actualCellSize.width)));
    }
    uint64_t rows = m_actualCellSize.height > 0 ? whole(std::floor(m_boundsSize.height / m_actualCellSize.height)) : 0;
    rows = std::max<uint64_t>(1, rows);
    return static_cast<uint32_t>((uint64_t(m_numberOfItems) + rows - 1) / rows);
}

gfx::Rect BRGridViewData::cellRectAtIndex(uint32_t index) const
{
    uint32_t n = numberOfItemsPerRow();
    if (n == 0)
        return {};
    uint32_t row = index / n, column = index % n;
    return {column * m_actualCellSize.width + m_leftPadding, row * m_actualCellSize.height + m_topPadding,
            m_actualCellSize.width, m_actualCellSize.height};
}

uint32_t BRGridViewData::itemIndexForPoint(gfx::Point point) const
{
    uint64_t n = numberOfItemsPerRow();
    uint64_t cellWidth = whole(m_actualCellSize.width), cellHeight = whole(m_actualCellSize.height);
    uint64_t column = cellWidth ? whole(std::floor(point.x - m_leftPadding)) / cellWidth : 0;
    uint64_t row = cellHeight ? whole(std::floor(point.y - m_topPadding)) / cellHeight : 0;
    uint64_t index = column + n * row;
    return index < m_numberOfItems ? static_cast<uint32_t>(index) : NSNotFound;
}

gfx::Rect BRGridViewData::cellRectForPoint(gfx::Point point) const
{
    return cellRectAtIndex(itemIndexForPoint(point));
}

bool BRGridViewData::pointIsInLastRow(gfx::Point point) const
{
    gfx::Rect grid = rectForEntireGrid();
    if (m_layoutDirection == Vertical)
        return point.y >= grid.height() - m_actualCellSize.height;
    return point.x >= grid.width() - m_actualCellSize.width;
}

BRIndexSet BRGridViewData::indicesOfCellsInRectByScan(const gfx::Rect& rect) const
{
    BRIndexSet found;
    uint32_t n = numberOfItemsPerRow();
    for (uint64_t i = 0; i < m_numberOfItems;) {
        gfx::Rect slot = cellRectAtIndex(static_cast<uint32_t>(i));
        if (slot.maxY() < rect.minY() && n > 0) {
            i += n;
            continue;
        }
        if (slot.intersects(rect))
            found.insert(found.end(), static_cast<uint32_t>(i));
        if (slot.maxY() > rect.maxY() && slot.maxX() > rect.maxX())
            break;
        ++i;
    }
    return found;
}

BRIndexSet BRGridViewData::indicesOfCellsInRect(const gfx::Rect& rect) const
{
    BRIndexSet found;
    uint32_t n = numberOfItemsPerRow();
    double w = m_actualCellSize.width, h = m_actualCellSize.height;
    if (n == 0 || m_numberOfItems == 0 || !(w > 0) || !(h > 0) || rect.isNull())
        return found;
    uint64_t rows = (uint64_t(m_numberOfItems) + n - 1) / n;
    // Rows and columns the rectangle may touch, one wider on each side for rounding; every
    // candidate is then checked against its slot exactly as the scan checks it.
    auto span = [](double from, double to, double origin, double size, uint64_t count, uint64_t& first, uint64_t& last) {
        double a = std::floor((from - origin) / size) - 1, b = std::floor((to - origin) / size) + 1;
        if (!(b >= 0) || !(a < double(count)))
            return false;
        first = a <= 0 ? 0 : static_cast<uint64_t>(a);
        last = b >= double(count - 1) ? count - 1 : static_cast<uint64_t>(b);
        return first <= last;
    };
    uint64_t firstRow, lastRow, firstColumn, lastColumn;
    if (!span(rect.minY(), rect.maxY(), m_topPadding, h, rows, firstRow, lastRow) ||
        !span(rect.minX(), rect.maxX(), m_leftPadding, w, n, firstColumn, lastColumn))
        return found;
    for (uint64_t row = firstRow; row <= lastRow; ++row) {
        for (uint64_t column = firstColumn; column <= lastColumn; ++column) {
            uint64_t i = row * n + column;
            if (i >= m_numberOfItems)
                break;
            if (cellRectAtIndex(static_cast<uint32_t>(i)).intersects(rect))
                found.insert(found.end(), static_cast<uint32_t>(i));
        }
    }
    return found;
}

gfx::Size BRGridViewData::sizeForEntireGrid() const
{
    uint64_t n = numberOfItemsPerRow();
    if (n == 0)
        return {};
    uint64_t rows = (uint64_t(m_numberOfItems) + n - 1) / n;
    double height = std::ceil(double(rows) * m_actualCellSize.height) + m_topPadding + m_bottomPadding;
    height = std::max(height, m_boundsSize.height);
    double width = std::ceil(double(n) * m_actualCellSize.width) + m_leftPadding + m_rightPadding;
    return {width, height};
}

gfx::Rect BRGridViewData::rectForEntireGrid() const
{
    return {gfx::Point{m_leftPadding, m_topPadding}, sizeForEntireGrid()};
}
