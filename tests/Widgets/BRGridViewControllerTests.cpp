#include "GridTestSupport.h"

#include "Widgets/BRGridViewController.h"

using namespace gridtest;

namespace {

class TwelveItems : public BRGridViewController {
public:
    uint32_t numberOfItemsInGridView(BRGridView&) override { return 12; }
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index) override
    {
        return source.gridViewCellForItemAtIndex(grid, index);
    }
    NumberedSource source;
};

using GridControllerTest = GridWindowTest;

void reappear(ui::ViewController& controller)
{
    controller.beginAppearanceTransition(false);
    controller.endAppearanceTransition();
    controller.beginAppearanceTransition(true);
    controller.endAppearanceTransition();
}

TEST_F(GridControllerTest, AFullSizeGridThatAsksItsControllerAndClearsItsSelection)
{
    auto plain = std::make_shared<BRGridViewController>();
    auto grid = plain->gridView();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(plain->view(), grid);
    EXPECT_EQ(grid->dataSource(), plain.get());
    EXPECT_EQ(grid->delegate(), plain.get());
    EXPECT_EQ(grid->frame(), gfx::Rect({0, 0}, ui::Window::kScreenSize));
    EXPECT_EQ(grid->numberOfItems(), 0u) << "no items of its own";

    auto twelve = std::make_shared<TwelveItems>();
    window->setRootViewController(twelve);
    window->layoutIfNeeded();
    EXPECT_EQ(twelve->gridView()->numberOfItems(), 12u) << "reloaded when loaded";
    EXPECT_EQ(twelve->gridView()->visibleCells().size(), 12u);
    twelve->gridView()->selectItemAtIndexAnimatedScrollPosition(4, false, 0);
    reappear(*twelve);
    EXPECT_EQ(twelve->gridView()->indexOfSelectedItem(), NSNotFound);

    twelve->setClearsSelectionOnViewWillAppear(false);
    twelve->gridView()->selectItemAtIndexAnimatedScrollPosition(4, false, 0);
    reappear(*twelve);
    EXPECT_EQ(twelve->gridView()->indexOfSelectedItem(), 4u);

    // A rotation of the window ends a suspension of the grid's updates.
    twelve->gridView()->suspendReloading();
    ui::InterfaceOrientation turned = window->interfaceOrientation() == ui::InterfaceOrientation::LandscapeLeft
                                          ? ui::InterfaceOrientation::LandscapeRight
                                          : ui::InterfaceOrientation::LandscapeLeft;
    ASSERT_TRUE(window->rotateToInterfaceOrientation(turned, false));
    EXPECT_EQ(twelve->gridView()->reloadingSuspendedCount(), 0);

    // A grid that outlives its controller no longer asks it.
    auto kept = plain->gridView();
    plain.reset();
    EXPECT_EQ(kept->dataSource(), nullptr);
    EXPECT_EQ(kept->delegate(), nullptr);
    window->setRootViewController(nullptr);
}

} // namespace
