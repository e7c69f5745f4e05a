#include "GridTestSupport.h"

#include "Platform/Base/Log.h"
#include "Platform/UI/ScrollView.h"

#include <algorithm>
#include <cmath>

using namespace gridtest;

namespace {

class GridLayoutTest : public GridWindowTest {
protected:
    // Cells that are subviews of the grid, whether listed as visible or not.
    size_t liveCells() const
    {
        return static_cast<size_t>(std::count_if(grid->subviews().begin(), grid->subviews().end(), [](auto& v) {
            return dynamic_cast<BRGridViewCell*>(v.get()) != nullptr;
        }));
    }
    // Every visible cell is on the grid, shows its own number and sits in its own slot.
    void expectCellsShowTheirItems()
    {
        auto cells = grid->visibleCells();
        ASSERT_EQ(cells.size(), grid->visibleCellIndices().size());
        ASSERT_EQ(grid->gridData().indicesOfCellsInRect(grid->gridViewVisibleBounds()), grid->visibleCellIndices());
        for (auto& cell : cells) {
            uint32_t index = grid->indexForCell(cell.get());
            ASSERT_EQ(cell->superview(), grid.get());
            EXPECT_EQ(static_cast<NumberCell&>(*cell).label->text(), std::to_string(index));
            gfx::Rect slot = grid->gridData().cellRectAtIndex(index);
            // Centred in the slot, to the point below.
            EXPECT_TRUE(slot.contains(cell->frame())) << index;
            EXPECT_LE(std::abs(cell->center().x - slot.midX()), 0.5) << index;
            EXPECT_LE(std::abs(cell->center().y - slot.midY()), 0.5) << index;
            EXPECT_EQ(grid->cellForItemAtIndex(index), cell);
        }
    }
};

// Watches every scroll step of the grid: the cells of the previous step's layout.
class StepWatcher : public RecordingDelegate {
public:
    std::function<void()> onStep;
    int steps = 0;
    void scrollViewDidScroll(ui::ScrollView&) override
    {
        ++steps;
        if (onStep)
            onStep();
    }
};

TEST_F(GridLayoutTest, DraggedToTheEndAndBackCellsAreReusedAndShowTheirOwnItems)
{
    StepWatcher watcher;
    makeGrid({0, 0, 1024, 704}, 10000);
    grid->setDelegate(&watcher);
    ASSERT_EQ(grid->numberOfColumns(), 5u);
    // Five columns of 204; partly shown rows make at most five rows on screen.
    const size_t visibleSlots = 25, oneRow = 5;
    size_t mostLive = liveCells();
    watcher.onStep = [&] { mostLive = std::max(mostLive, liveCells()); };
    expectCellsShowTheirItems();

    double end = 2000 * 212 - 704;
    int flicks = 0;
    while (grid->contentOffset().y < end && flicks < 400) {
        driver->drag({500, 650}, {500, 50}, 0.1, 6);
        driver->wait(4); // the flick slows to a stop
        ++flicks;
        expectCellsShowTheirItems();
    }
    EXPECT_EQ(grid->contentOffset().y, end);
    EXPECT_NE(grid->cellForItemAtIndex(9999), nullptr);
    while (grid->contentOffset().y > 0 && flicks < 800) {
        driver->drag({500, 50}, {500, 650}, 0.1, 6);
        driver->wait(4);
        ++flicks;
        expectCellsShowTheirItems();
    }
    EXPECT_EQ(grid->contentOffset().y, 0);
    EXPECT_GT(watcher.steps, 1000) << "many scroll steps were watched";
    EXPECT_LE(mostLive, visibleSlots + oneRow);
    EXPECT_LE(source.cellsCreated, static_cast<int>(visibleSlots + oneRow));
    EXPECT_GT(source.cellsAskedFor, 9000) << "every item was shown on the way";
    grid->setDelegate(nullptr);
}

TEST_F(GridLayoutTest, PoolsSuspensionAndAnEmptyGrid)
{
    makeGrid({0, 0, 1024, 704}, 40);
    auto cell = grid->visibleCells().front();
    {
        base::ScopedLogCapture log;
        size_t before = grid->reusableCellCount("number");
        grid->enqueueReusableCells({cell, cell});
        EXPECT_EQ(grid->reusableCellCount("number"), before + 1);
        EXPECT_TRUE(log.contains("Warning: tried to add duplicate gridview cell"));
        EXPECT_EQ(grid->dequeueReusableCellWithIdentifier("number"), cell);
        EXPECT_EQ(grid->dequeueReusableCellWithIdentifier("nothing"), nullptr);
    }

    // A reload while suspended is dropped, not deferred.
    auto before = grid->visibleCells();
    int asked = source.cellsAskedFor;
    grid->suspendReloading();
    source.count = 3;
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(grid->numberOfItems(), 40u);
    EXPECT_EQ(grid->visibleCells(), before);
    EXPECT_EQ(source.cellsAskedFor, asked);
    grid->resumeReloading();
    EXPECT_EQ(grid->numberOfItems(), 40u);
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(grid->visibleCells().size(), 3u);

    // No items: no cell is asked for and the content is as tall as the bounds.
    source.count = 0;
    asked = source.cellsAskedFor;
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(source.cellsAskedFor, asked);
    EXPECT_TRUE(grid->visibleCells().empty());
    EXPECT_EQ(grid->contentSize(), (gfx::Size{1020, 704}));
    EXPECT_EQ(grid->numberOfRows(), 0u);
    EXPECT_EQ(grid->cellForItemAtIndex(0), nullptr);
}

TEST_F(GridLayoutTest, ScrollPositionsLandWhereAsked)
{
    makeGrid({0, 0, 1024, 704}, 10000);
    const double end = 2000 * 212 - 704;
    struct Case {
        double from;
        uint32_t index;
        int position;
        double offset;
    };
    // Item 500 is at 21200 (row 100); item 9999 in the last row, at 423788.
    const Case cases[] = {
        {0, 0, BRGridView::ScrollPositionNone, 0},
        {0, 0, BRGridView::ScrollPositionTop, 0},
        {5000, 0, BRGridView::ScrollPositionMiddle, 0},
        {5000, 1, BRGridView::ScrollPositionBottom, 0},
        {5000, 7, BRGridView::ScrollPositionMiddle, 0}, // row 1: never above the top
        {0, 500, BRGridView::ScrollPositionNone, 21200 + 212 - 704},
        {30000, 500, BRGridView::ScrollPositionNone, 21200},
        {21000, 500, BRGridView::ScrollPositionNone, 21000}, // already in view: stays
        {0, 500, BRGridView::ScrollPositionTop, 21200},
        {0, 500, BRGridView::ScrollPositionMiddle, 21200 - 246},
        {0, 500, BRGridView::ScrollPositionBottom, 21200 - 492},
        {0, 9999, BRGridView::ScrollPositionNone, end},
        {0, 9999, BRGridView::ScrollPositionTop, end},
        {0, 9999, BRGridView::ScrollPositionMiddle, end},
        {0, 9999, BRGridView::ScrollPositionBottom, end},
    };
    for (const auto& c : cases) {
        grid->setContentOffset({0, c.from});
        grid->scrollToItemAtIndexAtScrollPositionAnimated(c.index, c.position, false);
        EXPECT_EQ(grid->contentOffset().y, c.offset) << "item " << c.index << " position " << c.position;
        auto cell = grid->cellForItemAtIndex(c.index);
        ASSERT_NE(cell, nullptr) << "item " << c.index << " position " << c.position;
        EXPECT_TRUE(grid->isRectVisible(cell->frame()));
        expectCellsShowTheirItems();
    }
    // Animated: the grid gets there on the clock and brings the cells along.
    grid->scrollToItemAtIndexAtScrollPositionAnimated(5000, BRGridView::ScrollPositionTop, true);
    driver->wait(1);
    EXPECT_EQ(grid->contentOffset().y, 1000 * 212);
    expectCellsShowTheirItems();
}

TEST_F(GridLayoutTest, AUserAtTheEndStaysThereWhenTheContentChanges)
{
    makeGrid({0, 0, 1024, 704}, 10000);
    grid->scrollToItemAtIndexAtScrollPositionAnimated(9999, BRGridView::ScrollPositionBottom, false);
    ASSERT_EQ(grid->contentOffset().y, 424000 - 704);

    // Fewer items: the end comes up and the grid follows it.
    source.count = 9000;
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(grid->contentOffset().y, 1800 * 212 - 704);
    expectCellsShowTheirItems();
    EXPECT_NE(grid->cellForItemAtIndex(8999), nullptr);

    // The product grid's two widths, with its tiles, ending where the content ends.
    source.count = 10000;
    source.desiredSize = gfx::Size{193, 212};
    grid->setFrame({250, 0, 774, 704});
    grid->reloadData();
    grid->scrollToItemAtIndexAtScrollPositionAnimated(9999, BRGridView::ScrollPositionBottom, false);
    ASSERT_EQ(grid->numberOfColumns(), 4u);
    ASSERT_EQ(grid->contentOffset().y, 2500 * 212 - 704);
    grid->setFrame({0, 0, 1024, 704});
    window->layoutIfNeeded();
    EXPECT_EQ(grid->numberOfColumns(), 5u);
    EXPECT_EQ(grid->contentOffset().y, 2000 * 212 - 704);
    expectCellsShowTheirItems();
    // And narrower again: the content grows below, and the grid moves down with it.
    grid->setFrame({250, 0, 774, 704});
    window->layoutIfNeeded();
    EXPECT_EQ(grid->contentOffset().y, 2500 * 212 - 704);
    expectCellsShowTheirItems();

    // Not at the end: a resize keeps the offset where it is.
    grid->setContentOffset({0, 1000});
    grid->setFrame({0, 0, 1024, 704});
    window->layoutIfNeeded();
    EXPECT_EQ(grid->contentOffset().y, 1000);
}

TEST_F(GridLayoutTest, TheWheelScrollsTheGridAndBringsNewCells)
{
    makeGrid({0, 0, 1024, 704}, 10000);
    EXPECT_EQ(grid->cellForItemAtIndex(25), nullptr);
    EXPECT_TRUE(driver->scrollWheel({500, 300}, 0, 40 * 12));
    EXPECT_EQ(grid->contentOffset().y, 480);
    EXPECT_NE(grid->cellForItemAtIndex(25), nullptr);
    EXPECT_EQ(grid->cellForItemAtIndex(0), nullptr);
    expectCellsShowTheirItems();
    ui::ScriptRunner runner(*driver);
    EXPECT_TRUE(runner.runText("wheel 500 300 0 -1000\n")) << runner.error();
    EXPECT_EQ(grid->contentOffset().y, 0);
    EXPECT_NE(grid->cellForItemAtIndex(0), nullptr);
    EXPECT_FALSE(driver->scrollWheel({500, 300}, 300, 0)) << "a vertical grid does not move sideways";

    // Line keys move the grid by one row of cells, not by a wheel's notch.
    ASSERT_EQ(grid->numberOfColumns(), 5u);
    window->setPointerLocation({500, 300});
    for (auto [key, row] : {std::pair{"down", 1}, {"down", 2}, {"up", 1}, {"up", 0}}) {
        driver->pressKey(key);
        EXPECT_EQ(grid->contentOffset().y, grid->gridData().cellRectAtIndex(static_cast<uint32_t>(row) * 5).y()) << key;
    }
}

TEST_F(GridLayoutTest, BackgroundHeaderFooterAndSeparatorLines)
{
    makeGrid({0, 0, 1024, 704}, 12);
    auto background = ui::View::make();
    grid->setBackgroundViewExtendsUp(true);
    grid->setBackgroundView(background);
    EXPECT_EQ(background->frame(), gfx::Rect(0, -500, 1024, 704 + 500));
    EXPECT_EQ(grid->subviews().front(), background);
    auto header = ui::View::make(gfx::Rect(0, 0, 10, 50));
    auto footer = ui::View::make(gfx::Rect(0, 0, 10, 40));
    grid->setGridHeaderView(header);
    grid->setGridFooterView(footer);
    grid->reloadData();
    window->layoutIfNeeded();
    // 12 items in rows of 5: three rows below a 50-point header, the footer below.
    EXPECT_EQ(grid->rectForItemAtIndex(0), gfx::Rect(2, 50, 200, 212));
    EXPECT_EQ(header->frame(), gfx::Rect(0, 0, 1024, 50));
    EXPECT_EQ(grid->contentSize().height, 704 + 40) << "room for the footer below a full screen";
    EXPECT_EQ(footer->frame(), gfx::Rect(0, 704, 1024, 40));
    EXPECT_EQ(grid->subviews().back(), footer);
    // Whole cell heights from the header down, 500 above: 212 x 3 grows to 848 to cover 654.
    EXPECT_EQ(background->frame(), gfx::Rect(0, 50 - 500, 1024, 848));
    // The cells lie above the background.
    auto cell = grid->cellForItemAtIndex(0);
    auto& subs = grid->subviews();
    EXPECT_LT(std::find(subs.begin(), subs.end(), background) - subs.begin(),
              std::find(subs.begin(), subs.end(), cell) - subs.begin());

    grid->setSeparatorStyle(2);
    grid->reloadData();
    window->layoutIfNeeded();
    for (uint32_t i = 0; i < 12; ++i) {
        auto c = grid->cellForItemAtIndex(i);
        ASSERT_NE(c, nullptr);
        bool last = i % 5 == 4;
        EXPECT_EQ(c->separatorEdge(), last ? 1u : 3u) << i;
        ASSERT_NE(c->bottomSeparatorView(), nullptr);
        EXPECT_EQ(c->bottomSeparatorView()->frame(), gfx::Rect(0, 211, 200, 1));
        EXPECT_EQ(c->rightSeparatorView() && c->rightSeparatorView()->superview() == c.get(), !last) << i;
        EXPECT_EQ(c->contentView()->frame(), gfx::Rect(0, 0, last ? 200 : 199, 211)) << i;
    }
    grid->setGridHeaderView(nullptr);
    EXPECT_EQ(header->superview(), nullptr);
    EXPECT_EQ(grid->gridData().topPadding(), 0);
}

TEST_F(GridLayoutTest, NumberedGridsAtBothWidthsLookRight)
{
    window->setBackgroundColor(gfx::Color::white());
    source.configure = [](NumberCell& cell) { cell.label->setFont(gfx::Font::systemFont(22)); };
    for (double width : {774.0, 1024.0}) {
        makeGrid({1024 - width, 0, width, 704}, 10000, {193, 212});
        grid->setBackgroundColor(gfx::Color::fromRgb(200, 210, 225));
        grid->scrollToItemAtIndexAtScrollPositionAnimated(500, BRGridView::ScrollPositionMiddle, false);
        window->layoutIfNeeded();
        gfx::Image shot = window->snapshot();
        review(*window, "grid_" + std::to_string(static_cast<int>(width)) + ".png");
        double cellWidth = width == 774 ? 193 : 204;
        // Inside a cell: its content; between the slots of a 200-point tile: the grid.
        auto first = grid->cellForItemAtIndex(500);
        ASSERT_NE(first, nullptr);
        gfx::Point inside = grid->convertPointToView({first->frame().x() + 100, first->frame().y() + 150}, nullptr);
        EXPECT_EQ(shot.colorAt(static_cast<int>(inside.x), static_cast<int>(inside.y)), gfx::Color::fromRgb(242, 242, 242)) << inside.x << "," << inside.y << " cell " << first->frame().x() << "," << first->frame().y();
        if (width == 1024) {
            gfx::Point gap = grid->convertPointToView({cellWidth - 1, first->frame().y() + 150}, nullptr);
            EXPECT_EQ(shot.colorAt(static_cast<int>(gap.x), static_cast<int>(gap.y)), gfx::Color::fromRgb(200, 210, 225));
        }
        grid->removeFromSuperview();
    }
}

} // namespace

namespace {

// Answers nothing the first time it is asked for one item, as a faulty source might.
class ForgetfulSource : public NumberedSource {
public:
    uint32_t forget = 3;
    bool forgotten = false;
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index) override
    {
        if (index == forget && !forgotten) {
            forgotten = true;
            return nullptr;
        }
        return NumberedSource::gridViewCellForItemAtIndex(grid, index);
    }
};

class SlotFiller : public RecordingDelegate {
public:
    gfx::Rect gridViewAdjustCellFrameWithinGridCellFrame(BRGridView&, const gfx::Rect&, const gfx::Rect& slot) override
    {
        return slot.insetBy(10, 10);
    }
};

TEST_F(GridLayoutTest, AMissingCellIsAskedForAgainAndTheListRepaired)
{
    ForgetfulSource forgetful;
    forgetful.count = 20;
    forgetful.desiredSize = gfx::Size{200, 212};
    grid = ui::View::make<BRGridView>(gfx::Rect(0, 0, 1024, 704));
    grid->setDataSource(&forgetful);
    window->addSubview(grid);
    base::ScopedLogCapture log;
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_TRUE(log.contains("Data source gave no cell for index 3"));
    EXPECT_TRUE(log.contains("Visible cell list is missing some items!"));
    EXPECT_TRUE(log.contains("Got 1 missing indices"));
    ASSERT_EQ(grid->visibleCells().size(), 20u);
    for (uint32_t i = 0; i < 20; ++i)
        EXPECT_EQ(static_cast<NumberCell&>(*grid->cellForItemAtIndex(i)).label->text(), std::to_string(i));
}

TEST_F(GridLayoutTest, SidewaysGridsWholeSlotsAndTheDelegatesFrames)
{
    makeGrid({0, 0, 1024, 704}, 100);
    EXPECT_EQ(grid->numberOfRows(), 20u);
    EXPECT_EQ(grid->visibleCellIndices(), indexSetWithRange(0, 20));
    EXPECT_EQ(grid->gridViewVisibleBounds(), gfx::Rect(0, 0, 1024, 704));
    EXPECT_TRUE(grid->isRectVisible({1000, 700, 50, 50}));
    EXPECT_FALSE(grid->isRectVisible({0, 704, 50, 50}));

    // Cells may take their whole slot, or what the delegate makes of it.
    grid->setResizesCellWidthToFit(true);
    window->layoutIfNeeded();
    EXPECT_EQ(grid->cellForItemAtIndex(6)->frame(), gfx::Rect(204, 212, 204, 212));
    SlotFiller filler;
    grid->setDelegate(&filler);
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(grid->cellForItemAtIndex(6)->frame(), gfx::Rect(214, 222, 184, 192));
    grid->setDelegate(&delegate);
    grid->setResizesCellWidthToFit(false);

    // Sideways: as many rows as the height holds, filled left to right, scrolled sideways.
    grid->setUsesPagedHorizontalScrolling(true);
    EXPECT_FALSE(grid->isPagingEnabled()) << "only sideways";
    grid->setClipsContentWidthToBounds(false);
    EXPECT_TRUE(grid->isPagingEnabled());
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(grid->layoutDirection(), BRGridViewData::Horizontal);
    EXPECT_EQ(grid->gridCellSize(), (gfx::Size{200, 212}));
    EXPECT_EQ(grid->numberOfColumns(), 34u); // 100 items over 3 rows
    EXPECT_EQ(grid->contentSize(), (gfx::Size{6800, 704}));
    EXPECT_NE(grid->cellForItemAtIndex(34), nullptr);
    EXPECT_EQ(grid->cellForItemAtIndex(6), nullptr) << "off to the right";
    EXPECT_TRUE(driver->scrollWheel({500, 300}, 1024, 0));
    EXPECT_EQ(grid->contentOffset(), (gfx::Point{1024, 0}));
    EXPECT_EQ(grid->cellForItemAtIndex(0), nullptr);
    EXPECT_NE(grid->cellForItemAtIndex(6), nullptr);
    expectCellsShowTheirItems();
}

} // namespace
