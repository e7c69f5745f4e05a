#include "UITestSupport.h"

#include "Platform/UI/ActionSheet.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/ViewController.h"

using namespace ui;

namespace {

class ModalTest : public uitest::WindowTest {
protected:
    void TearDown() override
    {
        AlertView::dismissAllForTesting();
        WindowTest::TearDown();
    }
};

struct AlertLog : AlertViewDelegate {
    std::vector<std::string> events;
    void alertViewClickedButtonAtIndex(AlertView& a, int i) override { events.push_back(a.title() + " clicked " + std::to_string(i)); }
    void alertViewDidDismissWithButtonIndex(AlertView& a, int i) override { events.push_back(a.title() + " dismissed " + std::to_string(i)); }
};

TEST_F(ModalTest, AlertsQueueAndAreAnsweredByTheirButtons)
{
    AlertLog log;
    Driver driver(*window);
    auto first = std::make_shared<AlertView>("First", "Really?", &log, "Cancel", std::vector<std::string>{"Delete"});
    auto second = std::make_shared<AlertView>("Second", "", &log, "OK");
    first->setTag(7);
    first->show();
    second->show();
    EXPECT_EQ(AlertView::visibleAlert(), first);
    EXPECT_EQ(AlertView::queuedCount(), 1u);
    EXPECT_EQ(first->cancelButtonIndex(), 0);
    EXPECT_EQ(first->firstOtherButtonIndex(), 1);
    EXPECT_EQ(driver.findByText("Second"), nullptr);

    // The alert is modal: the screen behind takes no taps.
    auto behind = std::make_shared<uitest::RecordingView>(gfx::Rect(0, 0, 100, 100));
    window->insertSubviewAtIndex(behind, 0);
    driver.tap(gfx::Point{50, 50});
    EXPECT_TRUE(behind->log.empty());
    EXPECT_EQ(AlertView::visibleAlert(), first);

    ASSERT_TRUE(driver.tap(driver.findByText("Delete")));
    EXPECT_EQ(log.events, (std::vector<std::string>{"First clicked 1", "First dismissed 1"}));
    EXPECT_EQ(AlertView::visibleAlert(), second);
    ASSERT_NE(driver.findByText("Second"), nullptr);
    ASSERT_TRUE(driver.tap(driver.findByText("OK")));
    EXPECT_EQ(log.events.back(), "Second dismissed 0");
    EXPECT_EQ(AlertView::visibleAlert(), nullptr);
    driver.tap(gfx::Point{50, 50});
    EXPECT_FALSE(behind->log.empty());
}

struct PopoverLog : PopoverControllerDelegate {
    bool allow = true;
    int dismissed = 0;
    bool popoverControllerShouldDismissPopover(PopoverController&) override { return allow; }
    void popoverControllerDidDismissPopover(PopoverController&) override { ++dismissed; }
};

TEST_F(ModalTest, PopoverPointsAtItsRectAndTappingOutsideDismissesIt)
{
    auto content = std::make_shared<ViewController>();
    auto popover = std::make_shared<PopoverController>(content);
    popover->setPopoverContentSize({300, 200});
    PopoverLog log;
    popover->setDelegate(&log);
    auto anchor = std::make_shared<View>(gfx::Rect(500, 100, 40, 30));
    window->addSubview(anchor);
    popover->presentPopoverFromRect(anchor->bounds(), anchor.get(), PopoverArrowDirectionAny, false);
    ASSERT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->popoverArrowDirection(), PopoverArrowDirectionUp);
    gfx::Rect box = popover->popoverFrame();
    EXPECT_GE(box.y(), 130);
    EXPECT_NEAR(box.midX(), 520, 1);
    EXPECT_TRUE(content->isVisible());

    Driver driver(*window);
    driver.tap(gfx::Point{box.midX(), box.maxY() - 20}); // inside: stays
    EXPECT_TRUE(popover->isPopoverVisible());
    log.allow = false;
    driver.tap(gfx::Point{10, 700});
    EXPECT_TRUE(popover->isPopoverVisible());
    log.allow = true;
    driver.tap(gfx::Point{10, 700});
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_EQ(log.dismissed, 1);
    EXPECT_FALSE(content->isVisible());
    EXPECT_EQ(window->hitTest({10, 700}), window.get());

    // Near the bottom there is no room below: the arrow points down.
    anchor->setFrame({500, 700, 40, 30});
    popover->presentPopoverFromRect(anchor->bounds(), anchor.get(), PopoverArrowDirectionAny, false);
    EXPECT_EQ(popover->popoverArrowDirection(), PopoverArrowDirectionDown);
    EXPECT_LE(popover->popoverFrame().maxY(), 700);
    popover->dismissPopoverAnimated(false);
    EXPECT_EQ(log.dismissed, 1); // only the user's dismissals are reported
}

struct SheetLog : ActionSheetDelegate {
    std::vector<int> clicked, dismissed;
    void actionSheetClickedButtonAtIndex(ActionSheet&, int i) override { clicked.push_back(i); }
    void actionSheetDidDismissWithButtonIndex(ActionSheet&, int i) override { dismissed.push_back(i); }
};

TEST_F(ModalTest, ActionSheetIndicesAndCancelByTappingOutside)
{
    SheetLog log;
    auto sheet = std::make_shared<ActionSheet>("Send", &log, "Cancel", "Delete", std::vector<std::string>{"Mail", "Print"});
    EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet->buttonTitleAtIndex(2), "Print");
    EXPECT_EQ(sheet->cancelButtonIndex(), 3);
    Driver driver(*window);
    sheet->showFromRect({0, 0, 40, 40}, window.get(), false);
    EXPECT_EQ(driver.findByText("Cancel"), nullptr); // beside a rect, outside is the cancel
    ASSERT_TRUE(driver.tap(driver.findByText("Print")));
    EXPECT_EQ(log.clicked, (std::vector<int>{2}));
    sheet->showFromRect({0, 0, 40, 40}, window.get(), false);
    driver.tap(gfx::Point{900, 700});
    EXPECT_EQ(log.dismissed, (std::vector<int>{2, 3}));
    EXPECT_FALSE(sheet->isVisible());

    // A sheet still shown when its owner and then the window let go of it goes with them.
    sheet->showFromRect({0, 0, 40, 40}, window.get(), false);
    std::weak_ptr<ActionSheet> shown = sheet;
    sheet.reset();
    EXPECT_FALSE(shown.expired()) << "the window keeps the sheet it shows";
    window.reset();
    EXPECT_TRUE(shown.expired()) << "the sheet and its overlay keep each other alive";
}

} // namespace
