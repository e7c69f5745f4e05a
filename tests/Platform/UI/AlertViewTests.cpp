#include "UITestSupport.h"

#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"

using namespace ui;

namespace {

class AlertViewTest : public uitest::WindowTest {
protected:
    void TearDown() override
    {
        AlertView::dismissAllForTesting();
        WindowTest::TearDown();
    }
};

struct EventLog : AlertViewDelegate {
    std::vector<std::string> events;
    void alertViewClickedButtonAtIndex(AlertView&, int i) override { events.push_back("clicked " + std::to_string(i)); }
    void alertViewCancel(AlertView&) override { events.push_back("cancel"); }
    void willPresentAlertView(AlertView&) override { events.push_back("willPresent"); }
    void didPresentAlertView(AlertView&) override { events.push_back("didPresent"); }
    void alertViewWillDismissWithButtonIndex(AlertView&, int i) override { events.push_back("willDismiss " + std::to_string(i)); }
    void alertViewDidDismissWithButtonIndex(AlertView&, int i) override { events.push_back("didDismiss " + std::to_string(i)); }
};

TEST_F(AlertViewTest, CustomSubviewsStayAndTheBoxGrowsToHoldThem)
{
    auto alert = std::make_shared<AlertView>("         ", "", nullptr, "");
    auto indicator = std::make_shared<ActivityIndicator>();
    indicator->setFrame({132, 33.5, 20, 20});
    alert->addSubview(indicator);
    auto label = std::make_shared<Label>(gfx::Rect(0, 56.5, 280, 44));
    label->setTag(888);
    label->setText("Loading");
    alert->addSubview(label);
    alert->show();

    EXPECT_EQ(alert->numberOfButtons(), 0);
    EXPECT_EQ(alert->cancelButtonIndex(), -1);
    // Title, then message, then the owner's views as they were placed.
    ASSERT_EQ(alert->subviews().size(), 4u);
    EXPECT_EQ(alert->subviews()[0].get(), &alert->titleLabel());
    EXPECT_EQ(alert->subviews()[1].get(), &alert->messageLabel());
    EXPECT_EQ(alert->subviews()[2], indicator);
    EXPECT_EQ(label->frame(), gfx::Rect(0, 56.5, 280, 44));
    EXPECT_GE(alert->bounds().height(), label->frame().maxY());
    // Shown in an overlay that covers the window.
    ASSERT_NE(alert->superview(), nullptr);
    EXPECT_STREQ(alert->superview()->className(), "Overlay");
    EXPECT_EQ(alert->superview()->superview(), window.get());
    Driver driver(*window);
    EXPECT_EQ(driver.findByTag(888), label.get());

    // A new message keeps the owner's views and the message's alignment.
    alert->messageLabel().setTextAlignment(gfx::TextAlignment::Left);
    alert->setMessage("Still loading the catalogue");
    EXPECT_EQ(alert->subviews().size(), 4u);
    EXPECT_EQ(alert->messageLabel().text(), "Still loading the catalogue");
    EXPECT_EQ(alert->messageLabel().textAlignment(), gfx::TextAlignment::Left);
    EXPECT_GE(alert->messageLabel().frame().height(), 1);
    EXPECT_GE(alert->bounds().height(), label->frame().maxY());
}

TEST_F(AlertViewTest, TheSixEventsAndDismissalByTheOwner)
{
    EventLog log;
    Driver driver(*window);
    auto alert = std::make_shared<AlertView>("Sync", "Start now?", &log, "Later", std::vector<std::string>{"Start"});
    alert->show();
    EXPECT_EQ(log.events, std::vector<std::string>{"willPresent"});
    driver.wait(0.3);
    EXPECT_EQ(log.events, (std::vector<std::string>{"willPresent", "didPresent"}));

    // Dismissed by its owner: no click, the index given passed on.
    log.events.clear();
    alert->dismissWithClickedButtonIndex(1, true);
    EXPECT_EQ(log.events, std::vector<std::string>{"willDismiss 1"});
    EXPECT_FALSE(alert->isVisible());
    EXPECT_NE(alert->superview(), nullptr); // still fading
    driver.wait(0.3);
    EXPECT_EQ(log.events, (std::vector<std::string>{"willDismiss 1", "didDismiss 1"}));
    EXPECT_EQ(alert->superview(), nullptr);

    // Tapped: clicked first.
    log.events.clear();
    auto second = std::make_shared<AlertView>("Sync", "", &log, "Later");
    second->show();
    driver.wait(0.3);
    ASSERT_TRUE(driver.tap(driver.findByText("Later")));
    EXPECT_EQ(log.events, (std::vector<std::string>{"willPresent", "didPresent", "clicked 0", "willDismiss 0",
                                                    "didDismiss 0"}));

    // Taken away unanswered: only cancel, and the next waiting alert comes up.
    log.events.clear();
    auto third = std::make_shared<AlertView>("Third", "", &log, "OK");
    auto fourth = std::make_shared<AlertView>("Fourth", "", nullptr, "OK");
    third->show();
    fourth->show();
    log.events.clear();
    third->cancel();
    EXPECT_EQ(log.events, std::vector<std::string>{"cancel"});
    EXPECT_EQ(third->superview(), nullptr);
    EXPECT_EQ(AlertView::visibleAlert(), fourth);
    third->cancel();
    EXPECT_EQ(log.events.size(), 1u);
}

} // namespace
