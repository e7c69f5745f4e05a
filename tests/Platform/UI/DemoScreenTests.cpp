#include "UITestSupport.h"

#include "DemoScreen.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"

#include <cmath>
#include <cstdlib>

using namespace ui;

namespace {

class DemoScreenTest : public uitest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        nav = uidemo::makeDemoScreen();
        window->setRootViewController(nav);
        list = static_cast<uidemo::DemoListController*>(nav->topViewController().get());
    }
    void TearDown() override
    {
        AlertView::dismissAllForTesting();
        window->setRootViewController(nullptr);
        nav.reset();
        WindowTest::TearDown();
    }
    std::string status(Driver& driver) const
    {
        auto* label = dynamic_cast<Label*>(driver.findByTag(uidemo::DemoListController::kStatusTag));
        return label ? label->text() : "";
    }

    std::shared_ptr<NavigationController> nav;
    uidemo::DemoListController* list = nullptr;
};

TEST_F(DemoScreenTest, DrivenOnlyThroughTheDriverLikeAUser)
{
    Driver driver(*window);
    ASSERT_NE(driver.findByText("Row 1"), nullptr);
    ASSERT_EQ(driver.findByText("Row 40"), nullptr);

    // Scroll by dragging until row 40 shows; rows are reused as they leave the screen.
    View* table = driver.findByTag(uidemo::DemoListController::kTableTag);
    ASSERT_NE(table, nullptr);
    gfx::Point centre = driver.centerOf(table);
    double visibleRows = std::ceil(table->bounds().height() / 44.0) + 1;
    int peakAlive = 0;
    for (int i = 0; i < 12 && !driver.findByText("Row 40"); ++i) {
        driver.drag({centre.x, centre.y + 200}, {centre.x, centre.y - 200}, 0.5, 20);
        peakAlive = std::max(peakAlive, uidemo::DemoCell::alive());
    }
    View* row40 = driver.findByText("Row 40");
    ASSERT_NE(row40, nullptr);
    EXPECT_LE(peakAlive, visibleRows + 1);
    EXPECT_GT(table->bounds().y(), 0);

    // A drag is not a tap: nothing was selected on the way.
    EXPECT_EQ(status(driver), "Nothing chosen yet");
    ASSERT_TRUE(driver.tap(row40));
    EXPECT_EQ(status(driver), "Selected Row 40");

    ASSERT_TRUE(driver.tap(driver.findByText("Show alert")));
    ASSERT_NE(driver.findByText("Answer with a button."), nullptr);
    ASSERT_TRUE(driver.tap(driver.findByText("Agree")));
    EXPECT_EQ(status(driver), "Alert answered Agree");
    EXPECT_EQ(driver.findByText("Answer with a button."), nullptr);

    ASSERT_TRUE(driver.tap(driver.findByText("Show popover")));
    ASSERT_NE(driver.findByText("Popover content"), nullptr);
    EXPECT_TRUE(list->isPopoverVisible());
    driver.tap(gfx::Point{900, 700});
    EXPECT_FALSE(list->isPopoverVisible());
    EXPECT_EQ(status(driver), "Popover dismissed");
    EXPECT_EQ(driver.findByText("Popover content"), nullptr);

    // The screen renders; keep a picture when asked to look at it.
    if (const char* out = std::getenv("BRIVANTA_DEMO_PNG")) {
        EXPECT_TRUE(driver.screenshot(out));
    }
    gfx::Image shot = window->snapshot();
    EXPECT_NEAR(shot.colorAt(512, 300).r, 1.0, 0.02); // table rows are white
}

} // namespace
