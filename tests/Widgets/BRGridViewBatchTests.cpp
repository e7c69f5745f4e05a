// Batch updates of the grid on a headless window and the manual clock: cells sliding to their
// new slots, the count check, nesting, selection through the index maps, and the deletion,
// insertion and reload looks.
#include "GridTestSupport.h"

#include "Platform/UI/ImageView.h"
#include "Widgets/BRGridViewUpdateInfo.h"

#include <algorithm>

namespace {

using gridtest::NumberCell;

// Items named by text, as a real list changes under the grid.
class NamedSource : public BRGridViewDataSource {
public:
    std::vector<std::string> names;
    uint32_t numberOfItemsInGridView(BRGridView&) override { return static_cast<uint32_t>(names.size()); }
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index) override
    {
        auto cell = std::dynamic_pointer_cast<NumberCell>(grid.dequeueReusableCellWithIdentifier("named"));
        if (!cell)
            cell = ui::View::make<NumberCell>(gfx::Rect(0, 0, 200, 212), "named");
        cell->label->setText(index < names.size() ? names[index] : "?");
        return cell;
    }
    std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView&) override { return gfx::Size{200, 212}; }
};

class EndRecorder : public BRGridViewDelegate {
public:
    int ends = 0;
    void gridViewDidEndUpdateAnimation(BRGridView&) override { ++ends; }
};

class GridBatchTest : public gridtest::GridWindowTest {
protected:
    void makeNamedGrid(std::vector<std::string> names)
    {
        named.names = std::move(names);
        grid = ui::View::make<BRGridView>(gfx::Rect(0, 0, 1024, 700));
        grid->setDataSource(&named);
        grid->setDelegate(&ends);
        window->addSubview(grid);
        grid->reloadData();
        window->layoutIfNeeded();
    }
    static void advance(double seconds) { base::RunLoop::main().advance(seconds); }
    // Every cell on screen stands in its item's slot and shows that item's name.
    void expectSettled()
    {
        ASSERT_FALSE(grid->visibleCells().empty());
        for (auto& cell : grid->visibleCells()) {
            uint32_t i = cell->displayIndex();
            EXPECT_EQ(cell->frame(), grid->rectForItemAtIndex(i)) << i;
            EXPECT_EQ(std::static_pointer_cast<NumberCell>(cell)->label->text(), named.names.at(i)) << i;
            EXPECT_EQ(cell->superview(), grid.get());
        }
        EXPECT_EQ(grid->visibleCells().size(), grid->gridData().indicesOfCellsInRect(grid->gridViewVisibleBounds()).size());
    }
    std::vector<ui::ImageView*> snapshots() const
    {
        std::vector<ui::ImageView*> found;
        for (auto& view : grid->subviews())
            if (auto* image = dynamic_cast<ui::ImageView*>(view.get()))
                found.push_back(image);
        return found;
    }

    NamedSource named;
    EndRecorder ends;
};

TEST_F(GridBatchTest, InsertingSlidesTheCellsToTheirNewSlotsWithinThreeTenthsOfASecond)
{
    makeNamedGrid({"A", "B", "C", "D", "E"});
    gfx::Rect oldSlot = grid->rectForItemAtIndex(4); // E: row 0, column 4
    auto e = grid->cellForItemAtIndex(4);
    named.names.insert(named.names.begin(), {"X", "Y"});
    double start = base::RunLoop::main().now();
    ASSERT_TRUE(grid->insertItemsAtIndicesWithAnimation({0, 1}, BRGridViewUpdateItem::AnimationFade));
    EXPECT_TRUE(grid->isAnimatingUpdates());
    gfx::Rect newSlot = grid->gridData().cellRectAtIndex(6);

    advance(start + 0.15 - base::RunLoop::main().now());
    gfx::Rect shown = e->presentation().rectToSuperview(e->bounds());
    // E moves from the end of row 0 to the second slot of row 1: between the two on both axes.
    EXPECT_LT(shown.y(), newSlot.y());
    EXPECT_GT(shown.y(), oldSlot.y());
    EXPECT_LT(shown.x(), oldSlot.x());
    EXPECT_GT(shown.x(), newSlot.x());
    review(*window, "grid_batch_mid_insert.png");
    EXPECT_EQ(ends.ends, 0);

    advance(0.2);
    EXPECT_FALSE(grid->isAnimatingUpdates());
    EXPECT_EQ(ends.ends, 1);
    EXPECT_EQ(grid->numberOfItems(), 7u);
    EXPECT_EQ(e->displayIndex(), 6u);
    expectSettled();
    EXPECT_TRUE(snapshots().empty());
}

TEST_F(GridBatchTest, ACountThatDoesNotMatchIsRefusedAndTheGridStaysUsable)
{
    makeNamedGrid({"A", "B", "C", "D", "E"});
    named.names.insert(named.names.begin(), "X"); // one added, two announced
    EXPECT_FALSE(grid->insertItemsAtIndicesWithAnimation({0, 1}, BRGridViewUpdateItem::AnimationFade));
    EXPECT_EQ(grid->lastUpdateFailure(),
              "Invalid number of items in BRGridView: Started with 5, added 2, deleted 0. Expected 7 items after changes, but got 6");
    EXPECT_FALSE(grid->isAnimatingUpdates());
    EXPECT_EQ(grid->reloadingSuspendedCount(), 0);
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(grid->numberOfItems(), 6u);
    expectSettled();

    // An index beyond the list is refused the same way rather than read out of range.
    EXPECT_FALSE(grid->deleteItemsAtIndicesWithAnimation({9}, BRGridViewUpdateItem::AnimationFade));
    named.names.erase(named.names.begin());
    EXPECT_FALSE(grid->deleteItemsAtIndicesWithAnimation({9}, BRGridViewUpdateItem::AnimationFade));
    EXPECT_FALSE(grid->lastUpdateFailure().empty());

    // While a batch animates, reloadData is dropped.
    grid->reloadData();
    named.names.push_back("Z");
    ASSERT_TRUE(grid->insertItemsAtIndicesWithAnimation({5}, BRGridViewUpdateItem::AnimationNone));
    named.names.push_back("W");
    grid->reloadData();
    EXPECT_EQ(grid->numberOfItems(), 6u);
    advance(0.5);
    grid->reloadData();
    window->layoutIfNeeded();
    EXPECT_EQ(grid->numberOfItems(), 7u);
}

TEST_F(GridBatchTest, NestedBeginsMakeOneBatchAndAnEmptyBatchDoesNothing)
{
    makeNamedGrid({"A", "B", "C", "D", "E"});
    grid->beginUpdates();
    grid->endUpdates();
    EXPECT_FALSE(grid->isAnimatingUpdates());
    EXPECT_EQ(grid->reloadingSuspendedCount(), 0);
    advance(0.5);
    EXPECT_EQ(ends.ends, 0);

    named.names = {"A", "C", "Q", "D", "E", "R"};
    grid->beginUpdates();
    grid->deleteItemsAtIndicesWithAnimation({1}, BRGridViewUpdateItem::AnimationLeft);
    grid->beginUpdates();
    grid->insertItemsAtIndicesWithAnimation({2, 5}, BRGridViewUpdateItem::AnimationTop);
    EXPECT_TRUE(grid->endUpdates());
    EXPECT_FALSE(grid->isAnimatingUpdates()); // still open
    EXPECT_TRUE(grid->endUpdates());
    EXPECT_TRUE(grid->isAnimatingUpdates());
    advance(0.5);
    EXPECT_EQ(ends.ends, 1);
    expectSettled();
}

TEST_F(GridBatchTest, TheSelectionFollowsItsItem)
{
    makeNamedGrid({"A", "B", "C", "D", "E"});
    grid->selectItemAtIndexAnimatedScrollPosition(2, false, BRGridView::ScrollPositionNone); // C
    struct Step {
        std::function<bool()> change;
        uint32_t selected;
    } steps[] = {
        {[&] { named.names.insert(named.names.begin(), "X");
               return grid->insertItemsAtIndicesWithAnimation({0}, 0); }, 3},
        {[&] { named.names.erase(named.names.begin() + 1);
               return grid->deleteItemsAtIndicesWithAnimation({1}, 0); }, 2},
        {[&] { named.names = {"X", "B", "D", "E", "C"};
               return grid->moveItemAtIndexToIndexWithAnimation(2, 4, 0); }, 4},
    };
    for (auto& step : steps) {
        ASSERT_TRUE(step.change());
        advance(0.5);
        EXPECT_EQ(grid->indexOfSelectedItem(), step.selected);
        EXPECT_EQ(named.names[grid->indexOfSelectedItem()], "C");
        EXPECT_TRUE(grid->cellForItemAtIndex(step.selected)->isSelected());
        expectSettled();
    }
}

TEST_F(GridBatchTest, TheIndexMapsMatchTheChangesAppliedToAList)
{
    makeNamedGrid({"0", "1", "2", "3", "4", "5", "6", "7"});
    struct Case {
        std::vector<std::pair<uint32_t, uint32_t>> moves;
        BRIndexSet deletes;
        BRIndexSet inserts;
    } cases[] = {
        {{{1, 3}, {4, 0}}, {}, {}},
        {{{6, 1}}, {}, {}},
        {{{2, 5}}, {0, 7}, {3}},
        {{}, {1, 2}, {0, 4, 5}},
    };
    for (const auto& c : cases) {
        BRGridViewUpdateInfo batch(*grid, grid->gridData());
        for (auto [from, to] : c.moves)
            batch.moveItemAtIndexToIndexWithAnimation(from, to, 0);
        batch.updateItemsAtIndicesUpdateActionWithAnimation(c.deletes, BRGridViewUpdateItem::ActionDelete, 0);
        batch.updateItemsAtIndicesUpdateActionWithAnimation(c.inserts, BRGridViewUpdateItem::ActionInsert, 0);
        batch.cleanupUpdateItems();

        // The same changes on a list of labels: old items leave, then new ones come in.
        std::vector<std::string> list;
        for (int i = 0; i < 8; ++i)
            list.push_back(std::to_string(i));
        std::vector<std::pair<uint32_t, std::string>> arriving;
        BRIndexSet leaving = c.deletes;
        for (auto [from, to] : c.moves) {
            leaving.insert(from);
            arriving.emplace_back(to, std::to_string(from));
        }
        for (uint32_t i : c.inserts)
            arriving.emplace_back(i, "new");
        for (auto it = leaving.rbegin(); it != leaving.rend(); ++it)
            list.erase(list.begin() + *it);
        std::sort(arriving.begin(), arriving.end());
        for (auto& [at, label] : arriving)
            list.insert(list.begin() + at, label);

        ASSERT_EQ(batch.newGridViewData().numberOfItems(), list.size());
        BRIndexSet targets;
        for (uint32_t j = 0; j < list.size(); ++j) {
            uint32_t old = batch.oldIndexForNewIndex(j);
            EXPECT_EQ(old == NSNotFound ? "new" : std::to_string(old), list[j]) << j;
            if (old != NSNotFound) {
                EXPECT_EQ(batch.newIndexForOldIndex(old), j);
            }
        }
        for (uint32_t i = 0; i < 8; ++i) {
            uint32_t now = batch.newIndexForOldIndex(i);
            EXPECT_EQ(now == NSNotFound, c.deletes.count(i) == 1) << i;
            if (now != NSNotFound) {
                EXPECT_TRUE(targets.insert(now).second) << "two old items map to " << now;
            }
        }
    }
    EXPECT_TRUE(aq_isSetContiguous({3, 4, 5}));
    EXPECT_FALSE(aq_isSetContiguous({3, 5}));
    EXPECT_EQ(aq_indexesOutsideIndexSet({1, 2, 3}, {2}), (BRIndexSet{1, 3}));
}

TEST_F(GridBatchTest, DeletionInsertionAndReloadLooks)
{
    makeNamedGrid({"A", "B", "C", "D", "E"});
    // None: the deleted cell goes and the inserted one shows at once.
    auto b = grid->cellForItemAtIndex(1);
    named.names = {"A", "N", "C", "D", "E"};
    grid->beginUpdates();
    grid->deleteItemsAtIndicesWithAnimation({1}, BRGridViewUpdateItem::AnimationNone);
    grid->insertItemsAtIndicesWithAnimation({1}, BRGridViewUpdateItem::AnimationNone);
    ASSERT_TRUE(grid->endUpdates());
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_TRUE(snapshots().empty());
    auto n = grid->cellForItemAtIndex(1);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->presentation().alpha, 1.0);
    advance(0.5);
    expectSettled();

    // Right: a picture of the deleted cell slides one cell width right while it fades.
    auto c = grid->cellForItemAtIndex(2);
    gfx::Rect cFrame = c->frame();
    named.names = {"A", "N", "D", "E"};
    double start = base::RunLoop::main().now();
    ASSERT_TRUE(grid->deleteItemsAtIndicesWithAnimation({2}, BRGridViewUpdateItem::AnimationRight));
    EXPECT_EQ(c->superview(), nullptr);
    ASSERT_EQ(snapshots().size(), 1u);
    ui::ImageView* picture = snapshots()[0];
    EXPECT_EQ(picture->frame().x(), cFrame.x() + cFrame.width());
    advance(start + 0.15 - base::RunLoop::main().now());
    auto shown = picture->presentation();
    EXPECT_GT(shown.center.x, cFrame.center().x);
    EXPECT_LT(shown.center.x, cFrame.center().x + cFrame.width());
    EXPECT_GT(shown.alpha, 0.0);
    EXPECT_LT(shown.alpha, 1.0);
    advance(0.5);
    EXPECT_TRUE(snapshots().empty());
    expectSettled();

    // A reload cross-fades the old picture into the new cell.
    named.names = {"A", "N2", "D", "E"};
    start = base::RunLoop::main().now();
    ASSERT_TRUE(grid->reloadItemsAtIndicesWithAnimation({1}, BRGridViewUpdateItem::AnimationFade));
    auto fresh = grid->cellForItemAtIndex(1);
    EXPECT_NE(fresh, n);
    ASSERT_EQ(snapshots().size(), 1u);
    advance(start + 0.15 - base::RunLoop::main().now());
    EXPECT_GT(fresh->presentation().alpha, 0.0);
    EXPECT_LT(fresh->presentation().alpha, 1.0);
    EXPECT_GT(snapshots()[0]->presentation().alpha, 0.0);
    advance(0.5);
    EXPECT_EQ(std::static_pointer_cast<NumberCell>(fresh)->label->text(), "N2");
    expectSettled();
}

TEST(GridUpdateItem, DescribesItselfAndOrdersByIndex)
{
    BRGridViewUpdateItem item(7, BRGridViewUpdateItem::ActionReload, BRGridViewUpdateItem::AnimationMiddle);
    item.setOffset(-2);
    EXPECT_EQ(item.index(), 5u);
    std::string text = item.description();
    EXPECT_NE(text.find("{index=7, action=Reload, animation=Middle, offset=-2.00}"), std::string::npos) << text;
    item.setOffset(-9);
    EXPECT_EQ(item.index(), 0u);
    BRGridViewUpdateItem odd(3, 9, -1);
    EXPECT_NE(odd.description().find("action=<Unknown>, animation=<Unknown>"), std::string::npos);
    EXPECT_EQ(odd.compare(item), -1);
    EXPECT_EQ(odd.inverseCompare(item), 1);
    EXPECT_EQ(BRGridViewAnimatorItem::itemWithViewIndex(nullptr, 4), BRGridViewAnimatorItem::itemWithViewIndex(ui::View::make(), 4));
}

} // namespace
