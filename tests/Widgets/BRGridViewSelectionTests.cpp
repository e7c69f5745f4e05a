#include "GridTestSupport.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/Button.h"

using namespace gridtest;
using Log = std::vector<std::string>;

namespace {

class GridSelectionTest : public GridWindowTest {
protected:
    void SetUp() override
    {
        GridWindowTest::SetUp();
        makeGrid({0, 0, 1024, 704}, 100);
        observer = base::NotificationCenter::defaultCenter().addObserver(
            BRGridView::kSelectionDidChangeNotification, grid.get(),
            [this](const base::Notification&) { delegate.log.push_back("notification"); });
    }
    void TearDown() override
    {
        observer = {};
        GridWindowTest::TearDown();
    }
    gfx::Point centerOfItem(uint32_t index) const
    {
        gfx::Rect slot = grid->gridData().cellRectAtIndex(index);
        return grid->convertPointToView({slot.midX(), slot.midY()}, nullptr);
    }
    bool highlighted(uint32_t index) const
    {
        auto cell = grid->cellForItemAtIndex(index);
        EXPECT_NE(cell, nullptr) << "item " << index << " is not on screen";
        return cell && cell->isHighlighted();
    }
    bool selected(uint32_t index) const
    {
        auto cell = grid->cellForItemAtIndex(index);
        EXPECT_NE(cell, nullptr) << "item " << index << " is not on screen";
        return cell && cell->isSelected();
    }
    static void nextTurn() { base::RunLoop::main().runPending(); }

    base::ObserverToken observer;
};

TEST_F(GridSelectionTest, TheHighlightWaitsOneTurnAndTheSelectionComesOnLiftOverTheSameItem)
{
    driver->press(centerOfItem(7));
    EXPECT_FALSE(highlighted(7)) << "never inside the touch handler";
    nextTurn();
    EXPECT_TRUE(highlighted(7));
    EXPECT_EQ(grid->highlightedIndices(), (BRIndexSet{7}));
    driver->release();
    EXPECT_FALSE(highlighted(7)) << "the lift clears the highlight";
    EXPECT_TRUE(delegate.log.empty()) << "the selection waits a turn too";
    nextTurn();
    EXPECT_EQ(delegate.log, (Log{"willSelect 7", "willSelect 7 fingers 1", "notification", "didSelect 7",
                                 "didSelect 7 fingers 1"}));
    EXPECT_EQ(grid->indexOfSelectedItem(), 7u);
    EXPECT_TRUE(selected(7));
    EXPECT_TRUE(highlighted(7)) << "a selected cell shows highlighted";

    // Sideways onto the neighbour (the grid does not scroll sideways): nothing is selected.
    delegate.log.clear();
    driver->press(centerOfItem(2));
    nextTurn();
    driver->moveTo(centerOfItem(3));
    driver->release();
    driver->wait(0.5);
    EXPECT_TRUE(delegate.log.empty());
    EXPECT_EQ(grid->indexOfSelectedItem(), 7u);
    EXPECT_FALSE(highlighted(2));
    EXPECT_FALSE(highlighted(3));
}

TEST_F(GridSelectionTest, FingersAreCountedAndDragsCancel)
{
    driver->tap(centerOfItem(12), 2);
    EXPECT_EQ(delegate.log, (Log{"willSelect 12", "willSelect 12 fingers 2", "notification", "didSelect 12",
                                 "didSelect 12 fingers 2"}));

    // Within the slop the highlight stays; past it the grid scrolls and the tap is gone.
    delegate.log.clear();
    gfx::Point p = centerOfItem(6);
    driver->press(p);
    nextTurn();
    driver->moveTo({p.x + 3, p.y + 4});
    nextTurn();
    EXPECT_TRUE(highlighted(6));
    driver->moveTo({p.x, p.y - 60});
    EXPECT_FALSE(highlighted(6));
    EXPECT_TRUE(grid->isDragging());
    driver->moveTo({p.x, p.y - 100});
    driver->release();
    driver->wait(2);
    EXPECT_TRUE(delegate.log.empty());
    EXPECT_EQ(grid->indexOfSelectedItem(), 12u);
    EXPECT_GT(grid->contentOffset().y, 0);
}

TEST_F(GridSelectionTest, AButtonInACellKeepsItsTap)
{
    int pressed = 0;
    std::shared_ptr<ui::Button> button;
    // A button on item 4.
    source.configure = [&](NumberCell& cell) {
        if (cell.label->text() != "4" || button)
            return;
        button = ui::View::make<ui::Button>(ui::ButtonType::RoundedRect, gfx::Rect(20, 100, 120, 40));
        button->addTarget([&](ui::Control&) { ++pressed; }, ui::ControlEventTouchUpInside);
        cell.contentView()->addSubview(button);
    };
    grid->reloadData();
    window->layoutIfNeeded();
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(driver->tap(button.get()));
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(delegate.log.empty());
    EXPECT_EQ(grid->indexOfSelectedItem(), NSNotFound);
    EXPECT_TRUE(grid->highlightedIndices().empty());
    // The same cell beside the button selects.
    gfx::Point beside = driver->centerOf(button.get());
    driver->tap({beside.x, beside.y + 50});
    EXPECT_EQ(grid->indexOfSelectedItem(), 4u);
}

TEST_F(GridSelectionTest, TogglingRedirectingAndSelectionByCode)
{
    struct Step {
        const char* what;
        std::function<void()> act;
        uint32_t selected;
        Log log;
    };
    const Step steps[] = {
        {"tap selects", [&] { driver->tap(centerOfItem(7)); }, 7,
         {"willSelect 7", "willSelect 7 fingers 1", "notification", "didSelect 7", "didSelect 7 fingers 1"}},
        {"tapping the selected item deselects it", [&] { driver->tap(centerOfItem(7)); }, NSNotFound,
         {"willDeselect 7", "didDeselect 7", "notification"}},
        {"another item: the old one is deselected first", [&] {
             driver->tap(centerOfItem(8));
             delegate.log.clear();
             driver->tap(centerOfItem(9));
         }, 9,
         {"willDeselect 8", "didDeselect 8", "notification", "willSelect 9", "willSelect 9 fingers 1", "notification",
          "didSelect 9", "didSelect 9 fingers 1"}},
        {"required: tapping the selected item keeps it and tells nobody", [&] {
             grid->setRequiresSelection(true);
             driver->tap(centerOfItem(9));
             grid->setRequiresSelection(false);
         }, 9, {}},
        {"the delegate may pick another item", [&] {
             delegate.redirectTo = 3;
             driver->tap(centerOfItem(11));
             delegate.redirectTo.reset();
         }, 3,
         {"willDeselect 9", "didDeselect 9", "notification", "willSelect 11", "willSelect 3 fingers 1", "notification",
          "didSelect 3", "didSelect 3 fingers 1"}},
        {"by code, nobody is told", [&] { grid->selectItemAtIndexAnimatedScrollPosition(5, false, 0); }, 5, {}},
        {"by code, the same item again changes nothing", [&] { grid->selectItemAtIndexAnimatedScrollPosition(5, false, 0); },
         5, {}},
        {"deselecting another item by code changes nothing", [&] { grid->deselectItemAtIndexAnimated(6, false); }, 5, {}},
        {"without selection nothing highlights and code only deselects", [&] {
             grid->setAllowsSelection(false);
             driver->press(centerOfItem(13));
             nextTurn();
             EXPECT_FALSE(highlighted(13));
             driver->release();
             driver->wait(0.5);
             grid->selectItemAtIndexAnimatedScrollPosition(21, false, 0);
         }, NSNotFound, {}},
        {"selection by code with scrolling", [&] {
             grid->setAllowsSelection(true);
             grid->selectItemAtIndexAnimatedScrollPosition(95, false, BRGridView::ScrollPositionTop);
         }, 95, {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        delegate.log.clear();
        step.act();
        EXPECT_EQ(grid->indexOfSelectedItem(), step.selected);
        EXPECT_EQ(delegate.log, step.log);
        // Only the selected item's cell shows selected, also after recycling.
        for (auto& cell : grid->visibleCells())
            EXPECT_EQ(cell->isSelected(), grid->indexForCell(cell.get()) == step.selected) << cell->displayIndex();
    }
    // Item 95 in the last of 20 rows: scrolled as far as the content goes.
    EXPECT_EQ(grid->contentOffset().y, 20 * 212 - 704);
}

TEST_F(GridSelectionTest, ASelectedCellSeenAgainAfterScrollingShowsSelectedAndOthersDoNot)
{
    grid->selectItemAtIndexAnimatedScrollPosition(2, false, 0);
    ASSERT_TRUE(selected(2));
    grid->scrollToItemAtIndexAtScrollPositionAnimated(90, BRGridView::ScrollPositionTop, false);
    EXPECT_EQ(grid->cellForItemAtIndex(2), nullptr);
    for (auto& cell : grid->visibleCells())
        EXPECT_FALSE(cell->isSelected());
    grid->scrollToItemAtIndexAtScrollPositionAnimated(0, BRGridView::ScrollPositionTop, false);
    EXPECT_TRUE(selected(2));
    grid->deselectItemAtIndexAnimated(2, false);
    EXPECT_FALSE(selected(2));
    EXPECT_FALSE(highlighted(2));
}

} // namespace
