#include "tests/App/AppWindowTestSupport.h"

#include "Common/BadgeButton.h"
#include "Common/FreeDismissAlertView.h"
#include "Common/UIHelpers.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

namespace {

using apptest::AppWindowTest;

class AlertLog : public ui::AlertViewDelegate {
public:
    std::vector<std::string> events;
    void alertViewClickedButtonAtIndex(ui::AlertView&, int index) override { note("clicked", index); }
    void alertViewWillDismissWithButtonIndex(ui::AlertView&, int index) override { note("willDismiss", index); }
    void alertViewDidDismissWithButtonIndex(ui::AlertView&, int index) override { note("didDismiss", index); }

private:
    void note(const char* what, int index) { events.push_back(std::string(what) + " " + std::to_string(index)); }
};

class SmallViewTest : public AppWindowTest {
protected:
    std::shared_ptr<FreeDismissAlertView> question(AlertLog& log)
    {
        return std::make_shared<FreeDismissAlertView>("Save the signature?", "", &log, "DONTSAVE",
                                                      std::vector<std::string>{"SAVE"});
    }
    // The cover is unseen, so the driver's lookups pass it by.
    static FreeDismissAlertViewCover* coverBeside(const ui::AlertView& alert)
    {
        if (!alert.superview())
            return nullptr;
        for (auto& sub : alert.superview()->subviews())
            if (auto* cover = dynamic_cast<FreeDismissAlertViewCover*>(sub.get()))
                return cover;
        return nullptr;
    }
};

TEST_F(SmallViewTest, ATapOutsideAFreeDismissAlertClosesItWithoutAnAnswer)
{
    AlertLog log;
    auto alert = question(log);
    alert->show();
    driver->wait(0.3);
    auto* cover = coverBeside(*alert);
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(cover->frame(), gfx::Rect(0, 0, 1024, 768));
    EXPECT_EQ(cover->alpha(), 0.01);
    EXPECT_TRUE(cover->isUserInteractionEnabled());
    // Above the alert, yet the alert's buttons stay reachable through it.
    EXPECT_EQ(window->hitTest({20, 20}), cover);
    auto* save = driver->findByText("SAVE");
    ASSERT_NE(save, nullptr);
    ui::View* hit = window->hitTest(driver->centerOf(save));
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit->isDescendantOfView(alert.get()));

    driver->tap(gfx::Point{20, 20});
    EXPECT_EQ(coverBeside(*alert), nullptr);
    driver->wait(0.3);
    EXPECT_EQ(log.events, (std::vector<std::string>{"willDismiss 0", "didDismiss 0"}));
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);

    // Its buttons answer as usual.
    log.events.clear();
    auto again = question(log);
    again->show();
    driver->wait(0.3);
    ASSERT_TRUE(driver->tap(driver->findByText("SAVE")));
    EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1", "willDismiss 1", "didDismiss 1"}));
}

TEST_F(SmallViewTest, AFreeDismissAlertThatWaitsItsTurnGetsItsCoverWhenItComesUp)
{
    AlertLog log;
    auto first = std::make_shared<ui::AlertView>("Busy", "", nullptr, "OK");
    first->show();
    auto waiting = question(log);
    waiting->show();
    EXPECT_EQ(coverBeside(*waiting), nullptr);
    driver->wait(0.3);
    ASSERT_TRUE(driver->tap(driver->findByText("OK")));
    driver->wait(0.3);
    ASSERT_EQ(ui::AlertView::visibleAlert(), waiting);
    ASSERT_NE(coverBeside(*waiting), nullptr);
    driver->tap(gfx::Point{1000, 700});
    driver->wait(0.3);
    EXPECT_EQ(log.events, (std::vector<std::string>{"willDismiss 0", "didDismiss 0"}));
}

TEST_F(SmallViewTest, HelperAlertsHaveOneButtonAndNoDelegate)
{
    UIHelpers::showAlertWithTitle("Title only");
    UIHelpers::showAlertWithTitleMsg("With text", "Body");
    UIHelpers::showAlertWithTitleMsgButtonTitle("Own button", "Body", "Fine");
    struct Expected {
        const char* title;
        const char* message;
        const char* button;
    };
    for (const Expected& e : {Expected{"Title only", "", "OK"}, Expected{"With text", "Body", "OK"},
                              Expected{"Own button", "Body", "Fine"}}) {
        auto alert = ui::AlertView::visibleAlert();
        ASSERT_NE(alert, nullptr) << e.title;
        EXPECT_EQ(alert->title(), e.title);
        EXPECT_EQ(alert->message(), e.message);
        EXPECT_EQ(alert->delegate(), nullptr);
        ASSERT_EQ(alert->numberOfButtons(), 1);
        EXPECT_EQ(alert->buttonTitleAtIndex(0), e.button);
        driver->wait(0.3);
        ASSERT_TRUE(driver->tap(driver->findByText(e.button)));
        driver->wait(0.3);
    }
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
}

TEST_F(SmallViewTest, TheBadgeSitsOnTheRightEdgeWidensForLongTextsAndBouncesTwice)
{
    auto button = ui::View::make<BadgeButton>(gfx::Rect(200, 200, 100, 40));
    button->setBackgroundColor(gfx::Color::fromWhite(0.85));
    button->setTitle("Add to order");
    button->setTitleColor(gfx::Color::black());
    window->addSubview(button);
    auto& badge = *button->badgeView();
    EXPECT_TRUE(badge.isHidden());
    EXPECT_FALSE(badge.image().isNull());

    button->setBadgeValueAnimated(std::string("7"), false);
    EXPECT_FALSE(badge.isHidden());
    EXPECT_EQ(badge.frame(), gfx::Rect(87, -13, 26, 26));
    EXPECT_EQ(button->badgeLabel()->text(), "7");
    EXPECT_TRUE(badge.animationKeys().empty());
    button->setBadgeValueAnimated(std::string(""), false);
    EXPECT_TRUE(badge.isHidden());
    button->setBadgeValueAnimated(std::nullopt, true);
    EXPECT_TRUE(badge.isHidden());
    EXPECT_TRUE(badge.animationKeys().empty());

    button->setBadgeValueAnimated(std::string("12345"), false);
    double w = gfx::sizeOfText("12345", gfx::Font("Helvetica-Bold", 12)).width;
    ASSERT_GT(w, 10);
    EXPECT_EQ(badge.frame(), gfx::Rect(100 - (w + 14) / 2, -13, w + 14, 26));
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
        EXPECT_TRUE(driver->screenshot(std::string(review) + "/badge_button.png"));
    }

    double y = badge.presentation().center.y;
    double start = ui::LayerAnimation::layerTime();
    button->setBadgeValueAnimated(std::string("8"), true);
    auto bounce = badge.animationForKey("bounce");
    auto bounce2 = badge.animationForKey("bounce2");
    ASSERT_NE(bounce, nullptr);
    ASSERT_NE(bounce2, nullptr);
    EXPECT_EQ(bounce->values, (std::vector<double>{y, y - 44, y - 40}));
    EXPECT_EQ(bounce2->values, (std::vector<double>{y, y - 22, y - 20}));
    for (auto* a : {bounce.get(), bounce2.get()}) {
        EXPECT_EQ(a->keyPath, "position.y");
        EXPECT_EQ(a->keyTimes, (std::vector<double>{0, 0.7, 1.0}));
        EXPECT_TRUE(a->autoreverses);
    }
    EXPECT_EQ(bounce->duration, 0.15);
    EXPECT_EQ(bounce2->duration, 0.1);
    EXPECT_NEAR(bounce->beginTime.value_or(-1), start, 1e-9);
    EXPECT_NEAR(bounce2->beginTime.value_or(-1), start + 0.3, 1e-9);
    // Shown, not kept: the badge rises at 0.7 of the first bounce and ends where it was.
    driver->wait(0.105);
    EXPECT_NEAR(badge.presentation().center.y, y - 44, 1);
    EXPECT_EQ(badge.center().y, y);
    driver->wait(1);
    EXPECT_EQ(badge.presentation().center.y, y);
}

} // namespace
