// The tab strip on a headless window: stacking, selection by touch, adding and removing with
// the reuse queue, the close mark and the guarded inputs.
#include "Widgets/BrowserTab.h"
#include "Widgets/BrowserTabView.h"

#include "tests/App/AppWindowTestSupport.h"

#include "Platform/UI/ViewController.h"

#include <gtest/gtest.h>

namespace {

class RecordingTabDelegate : public BrowserTabViewDelegate {
public:
    std::vector<std::string> log;
    void BrowserTabViewDidSelecedAtIndex(BrowserTabView&, unsigned index) override
    {
        log.push_back("select " + std::to_string(index));
    }
    void BrowserTabViewDidRemoveTabAtIndex(BrowserTabView&, unsigned index) override
    {
        log.push_back("remove " + std::to_string(index));
    }
};

class TabStripTest : public apptest::AppWindowTest {
protected:
    TabStripTest()
    {
        screen = std::make_shared<ui::ViewController>();
        window->setRootViewController(screen);
        screen->view()->setBackgroundColor(gfx::Color::white());
    }
    void build(const std::vector<std::string>& titles)
    {
        strip = ui::View::make<BrowserTabView>(titles, &delegate);
        strip->setFrame({0, 100, 1024, 44});
        screen->view()->addSubview(strip);
        window->layoutIfNeeded();
    }
    // Subview order of the tabs, back to front, as their indexes.
    std::vector<int> stacking() const
    {
        std::vector<int> order;
        for (auto& view : strip->subviews())
            if (auto* tab = dynamic_cast<BrowserTab*>(view.get()))
                order.push_back(tab->index());
        return order;
    }
    BrowserTab& tab(int i) { return *strip->tabsArray()[static_cast<size_t>(i)]; }
    // A point inside tab i that no neighbour covers.
    gfx::Point uncovered(int i) const { return {139.0 * i + 80, 120}; }

    std::shared_ptr<ui::ViewController> screen;
    RecordingTabDelegate delegate;
    std::shared_ptr<BrowserTabView> strip;
};

TEST_F(TabStripTest, BuildingSelectsTheFirstTabAndTheSelectedTabLiesOnTop)
{
    build({"Sales", "Collection"});
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"select 0"}));
    EXPECT_EQ(strip->selectedTabIndex(), 0);
    EXPECT_TRUE(tab(0).selected());
    EXPECT_FALSE(tab(0).imageViewClose().isHidden());
    EXPECT_TRUE(tab(1).imageViewClose().isHidden());
    EXPECT_EQ(tab(0).frame(), gfx::Rect(0, 0, 167, 39));
    EXPECT_EQ(tab(1).frame(), gfx::Rect(139, 0, 167, 39));
    EXPECT_EQ(tab(0).imageViewClose().frame(), gfx::Rect(115, 12, 19, 18));
    EXPECT_EQ(tab(1).textLabel().text(), "Collection");
    EXPECT_EQ(tab(0).textLabel().font(), gfx::Font("HelveticaNeue-Bold", 17));
    EXPECT_EQ(stacking(), (std::vector<int>{1, 0}));

    // Touching a tab selects it, and touching it again tells the delegate again.
    driver->tap(uncovered(1));
    driver->tap(uncovered(1));
    EXPECT_EQ(delegate.log, (std::vector<std::string>{"select 0", "select 1", "select 1"}));
    EXPECT_EQ(stacking(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(tab(1).selected());
    EXPECT_FALSE(tab(0).selected());
    apptest::AppWindowTest::window->savePng(reviewPath("tab_strip_two.png"));
}

TEST_F(TabStripTest, ThreeTabsStackTowardsTheSelectedOne)
{
    build({"A", "B", "C"});
    strip->setSelectedTabIndex(1, false);
    // Tab 1 on top, tab 0 under it on the left, tab 2 under it on the right.
    EXPECT_EQ(stacking().back(), 1);
    ui::View* front = window->hitTest({139 + 10, 120});
    ASSERT_NE(front, nullptr);
    EXPECT_TRUE(front == &tab(1) || front->isDescendantOfView(&tab(1)));
    ui::View* rightOverlap = window->hitTest({278 + 10, 120});
    EXPECT_TRUE(rightOverlap == &tab(1) || rightOverlap->isDescendantOfView(&tab(1)));

    strip->setSelectedTabIndex(2, false);
    EXPECT_EQ(stacking(), (std::vector<int>{0, 1, 2}));
    strip->setSelectedTabIndex(0, false);
    EXPECT_EQ(stacking(), (std::vector<int>{2, 1, 0}));

    // An index outside the tabs is ignored rather than read out of range.
    delegate.log.clear();
    strip->setSelectedTabIndex(3, false);
    strip->setSelectedTabIndex(-1, false);
    EXPECT_TRUE(delegate.log.empty());
    EXPECT_EQ(strip->selectedTabIndex(), 0);
}

TEST_F(TabStripTest, RemovingPicksTheNextSelectionAndAddingReusesRemovedTabs)
{
    struct Case {
        int remove;
        int selectedBefore;
        int expected;
    } cases[] = {{2, 0, 1}, {0, 2, 0}, {1, 1, 1}};
    for (const auto& c : cases) {
        build({"A", "B", "C"});
        strip->setSelectedTabIndex(c.selectedBefore, false);
        delegate.log.clear();
        strip->removeTabAtIndex(c.remove, false);
        EXPECT_EQ(strip->numberOfTabs(), 2u);
        EXPECT_EQ(strip->selectedTabIndex(), c.expected) << c.remove;
        EXPECT_EQ(delegate.log.back(), "remove " + std::to_string(c.remove));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(tab(i).index(), i);
            EXPECT_EQ(tab(i).frame().x(), 139.0 * i);
        }
        strip->removeFromSuperview();
    }

    build({"Only"});
    EXPECT_TRUE(tab(0).imageViewClose().isHidden()); // one tab: no close mark
    delegate.log.clear();
    strip->removeTabAtIndex(0, false);
    strip->removeTabAtIndex(5, false);
    strip->removeTabAtIndex(-1, false);
    EXPECT_EQ(strip->numberOfTabs(), 1u);
    EXPECT_TRUE(delegate.log.empty());

    strip->addTabWithTitle(std::nullopt);
    EXPECT_EQ(tab(1).textLabel().text(), "new Tab");
    EXPECT_EQ(strip->selectedTabIndex(), 1);
    EXPECT_FALSE(tab(1).imageViewClose().isHidden());

    // A removed tab comes back from the queue, reset.
    BrowserTab* removed = &tab(0);
    strip->removeTabAtIndex(0, false);
    EXPECT_EQ(strip->reuseQueue().size(), 1u);
    strip->addTabWithTitle(std::string("Again"));
    EXPECT_EQ(&tab(1), removed);
    EXPECT_EQ(tab(1).textLabel().text(), "Again");
    EXPECT_EQ(tab(1).delegate(), strip.get());
    EXPECT_TRUE(strip->reuseQueue().empty());
    EXPECT_EQ(strip->dequeueTabUsingReuseIdentifier(BrowserTabView::kReuseIdentifier), nullptr);

    // At width 1024 the strip stops at seven tabs.
    for (int i = 0; i < 8; ++i)
        strip->addTabWithTitle("T" + std::to_string(i));
    EXPECT_EQ(strip->numberOfTabs(), 7u);
    window->layoutIfNeeded();
    apptest::AppWindowTest::window->savePng(reviewPath("tab_strip_seven.png"));
}

} // namespace
