#include "Widgets/BRGridViewData.h"

#include <gtest/gtest.h>

#include <random>

namespace {

BRGridViewData layout(double width, gfx::Size desired, uint32_t items, double left = 0, double right = 0,
                      double height = 704)
{
    BRGridViewData data;
    data.setLeftPadding(left);
    data.setRightPadding(right);
    data.gridViewDidChangeBoundsSize({width, height});
    data.setDesiredCellSize(desired);
    data.setNumberOfItems(items);
    return data;
}

TEST(BRGridViewDataTest, CellSizesColumnsAndGridSize)
{
    struct Case {
        const char* what;
        double width;
        gfx::Size desired;
        uint32_t items;
        double left, right;
        uint32_t perRow;
        gfx::Size cell;
        gfx::Size grid;
    };
    const Case cases[] = {
        {"beside the panel", 774, {193, 212}, 1000, 0, 0, 4, {193, 212}, {772, 53000}},
        {"full width", 1024, {193, 212}, 1000, 0, 0, 5, {204, 212}, {1020, 42400}},
        {"partial last row rounds up", 1024, {193, 212}, 1001, 0, 0, 5, {204, 212}, {1020, 42612}},
        {"short content fills the bounds", 1024, {193, 212}, 3, 0, 0, 5, {204, 212}, {1020, 704}},
        {"no items", 1024, {193, 212}, 0, 0, 0, 5, {204, 212}, {1020, 704}},
        {"library insets", 1024, {193, 212}, 10, 40, 40, 4, {236, 212}, {1024, 704}},
        {"narrower than a cell", 150, {193, 212}, 10, 0, 0, 0, {193, 212}, {0, 0}},
        {"paddings wider than the view", 60, {193, 212}, 10, 40, 40, 0, {193, 212}, {0, 0}},
        {"desired width below one point", 10, {0.5, 20}, 100, 0, 0, 10, {1, 20}, {10, 704}},
        {"desired width zero", 4, {0, 20}, 100, 0, 0, 4, {1, 20}, {4, 704}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BRGridViewData data = layout(c.width, c.desired, c.items, c.left, c.right);
        EXPECT_EQ(data.numberOfItemsPerRow(), c.perRow);
        EXPECT_EQ(data.cellSize(), c.cell);
        EXPECT_EQ(data.sizeForEntireGrid(), c.grid);
        EXPECT_EQ(data.rectForEntireGrid().origin, (gfx::Point{c.left, 0}));
    }
}

TEST(BRGridViewDataTest, EveryCellLiesInsideTheBoundsWithPaddings)
{
    for (double inset : {0.0, 13.0, 40.0, 77.5}) {
        for (double width : {774.0, 1024.0, 1023.0, 500.0}) {
            BRGridViewData data = layout(width, {193, 212}, 50, inset, inset);
            uint32_t n = data.numberOfItemsPerRow();
            ASSERT_GT(n, 0u);
            for (uint32_t i = 0; i < 50; ++i) {
                gfx::Rect r = data.cellRectAtIndex(i);
                EXPECT_GE(r.minX(), inset) << width << " " << inset << " item " << i;
                EXPECT_LE(r.maxX(), width - inset) << width << " " << inset << " item " << i;
            }
        }
    }
}

TEST(BRGridViewDataTest, PointsMapToItemsAndRows)
{
    BRGridViewData data = layout(774, {193, 212}, 10);
    data.setTopPadding(30);
    struct Case {
        gfx::Point p;
        uint32_t index;
    };
    const Case cases[] = {
        {{0, 30}, 0},
        {{192.9, 241.9}, 0},
        {{193, 30}, 1},
        {{-50, 100}, 0},        // left of the cells: column 0
        {{200, -80}, 1},        // above: row 0
        {{773, 30}, 4},         // the sub-point remainder runs into the next row's first item
        {{0, 30 + 212}, 4},
        {{400, 30 + 424}, NSNotFound}, // item 10 does not exist
        {{193, 30 + 424}, 9},
        {{0, 30 + 212 * 50}, NSNotFound},
    };
    for (const auto& c : cases)
        EXPECT_EQ(data.itemIndexForPoint(c.p), c.index) << c.p.x << "," << c.p.y;
    EXPECT_EQ(data.cellRectForPoint({200, 250}), gfx::Rect(193, 242, 193, 212));
    // 10 items in rows of 4: the grid is 3 rows (636) + 30 high, raised to 704.
    EXPECT_TRUE(data.pointIsInLastRow({0, 704 - 212}));
    EXPECT_FALSE(data.pointIsInLastRow({0, 704 - 213}));
}

TEST(BRGridViewDataTest, CopiesCarryTheLayoutAndHorizontalRowsFillDown)
{
    BRGridViewData data = layout(1024, {193, 212}, 23, 5, 7);
    data.setTopPadding(3);
    data.setBottomPadding(4);
    data.setReorderedIndex(9);
    BRGridViewData copy = data;
    EXPECT_EQ(copy.cellSize(), data.cellSize());
    EXPECT_EQ(copy.numberOfItems(), 23u);
    EXPECT_EQ(copy.reorderedIndex(), 9u);
    EXPECT_EQ(copy.sizeForEntireGrid(), data.sizeForEntireGrid());
    copy.setNumberOfItems(3);
    EXPECT_EQ(data.numberOfItems(), 23u) << "a copy is independent";

    // Horizontal: the desired size is used as it is, and the items run over as many rows as
    // the height holds.
    BRGridViewData across = layout(1024, {100, 200}, 23, 0, 0, 450);
    across.setLayoutDirection(BRGridViewData::Horizontal);
    EXPECT_EQ(across.cellSize(), (gfx::Size{100, 200}));
    EXPECT_EQ(across.numberOfItemsPerRow(), 12u); // 2 rows
    EXPECT_TRUE(across.pointIsInLastRow({1100, 0}));
    EXPECT_FALSE(across.pointIsInLastRow({1099, 0}));
    across.setLayoutDirection(BRGridViewData::Vertical);
    EXPECT_EQ(across.cellSize(), (gfx::Size{102, 200}));
}

TEST(BRGridViewDataTest, IndicesInARectMatchTheFullScan)
{
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> unit(0, 1);
    int nonEmpty = 0;
    for (int round = 0; round < 400; ++round) {
        double width = 200 + unit(random) * 900;
        gfx::Size desired{20 + unit(random) * 250, 20 + unit(random) * 250};
        auto items = static_cast<uint32_t>(unit(random) * 3000);
        double inset = round % 3 == 0 ? unit(random) * 60 : 0;
        BRGridViewData data = layout(width, desired, items, inset, inset, 300 + unit(random) * 500);
        data.setTopPadding(round % 5 == 0 ? unit(random) * 100 : 0);
        gfx::Size grid = data.sizeForEntireGrid();
        for (int r = 0; r < 10; ++r) {
            gfx::Rect rect(unit(random) * grid.width - 100, unit(random) * (grid.height + 400) - 200,
                           unit(random) * width * 1.2, unit(random) * 900);
            if (r == 0) // the visible bounds of the grid, exactly on row edges
                rect = {0, std::floor(unit(random) * 10) * data.cellSize().height, width, 704};
            BRIndexSet fast = data.indicesOfCellsInRect(rect), scanned = data.indicesOfCellsInRectByScan(rect);
            ASSERT_EQ(fast, scanned) << "round " << round << " rect " << rect.x() << "," << rect.y() << " "
                                     << rect.width() << "x" << rect.height();
            nonEmpty += !fast.empty();
        }
    }
    EXPECT_GT(nonEmpty, 1000) << "the rectangles should mostly hit cells";
    // A rectangle wider than the row and past the last item.
    BRGridViewData data = layout(774, {193, 212}, 10);
    EXPECT_EQ(data.indicesOfCellsInRect({-10, 430, 900, 1000}), (BRIndexSet{8, 9}));
    EXPECT_TRUE(layout(150, {193, 212}, 10).indicesOfCellsInRect({0, 0, 150, 700}).empty());
}

} // namespace
