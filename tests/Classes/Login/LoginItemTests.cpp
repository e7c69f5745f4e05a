// One shortcut tile on a headless window: its looks, its delete badge and the confirmation
// the badge asks for, in English and Chinese.
#include "Classes/Login/LoginItem.h"

#include "tests/App/AppWindowTestSupport.h"

#include "Platform/UI/Label.h"
#include "Platform/UI/ViewController.h"

#include <gtest/gtest.h>

namespace {

class RecordingDelegate : public LoginItemDelegate {
public:
    void btnDeleteClick(LoginItem& item) override { deleted.push_back(item.clientId()); }
    std::vector<std::string> deleted;
};

class LoginItemTest : public apptest::AppWindowTest {
protected:
    LoginItemTest()
    {
        screen = std::make_shared<ui::ViewController>();
        window->setRootViewController(screen);
        screen->view()->setBackgroundColor(gfx::Color::fromRgb(40, 60, 90));
    }
    std::shared_ptr<LoginItem> place(gfx::Point origin)
    {
        auto item = std::make_shared<LoginItem>(gfx::Rect{origin, {LoginItem::kWidth, LoginItem::kHeight}});
        item->setDelegate(&delegate);
        screen->view()->addSubview(item);
        return item;
    }

    std::shared_ptr<ui::ViewController> screen;
    RecordingDelegate delegate;
};

TEST_F(LoginItemTest, LabelShowsTheClientIdOrDemoOnlyWithoutALogo)
{
    auto saved = place({100, 100});
    saved->setClientId("acme");
    EXPECT_EQ(saved->lblCompany().text(), "acme");
    EXPECT_TRUE(saved->lblCompany().isHidden());
    EXPECT_FALSE(driver->isOnScreen(&saved->lblCompany()));
    saved->setHasNoLogo(true);
    EXPECT_TRUE(driver->isOnScreen(&saved->lblCompany()));
    EXPECT_EQ(saved->lblCompany().frame(), (gfx::Rect{70, 15, 150, 30}));
    saved->setHasNoLogo(false);
    EXPECT_TRUE(saved->lblCompany().isHidden());

    auto demo = place({400, 100});
    demo->setIsDemo(true);
    demo->setClientId("tolbernix_");
    demo->setHasNoLogo(true);
    EXPECT_EQ(demo->lblCompany().text(), "Demo");
    EXPECT_EQ(demo->lblCompany().frame(), (gfx::Rect{110, 15, 90, 30}));
    EXPECT_EQ(driver->findByText("Demo"), &demo->lblCompany());
}

TEST_F(LoginItemTest, ShakingShowsTheBadgeAndWiggles)
{
    auto item = place({100, 100});
    EXPECT_FALSE(driver->isOnScreen(&item->btnDelete()));
    item->setShaking(true);
    EXPECT_TRUE(item->shaking());
    EXPECT_TRUE(driver->isOnScreen(&item->btnDelete()));
    EXPECT_EQ(item->btnDelete().frame(), (gfx::Rect{210, -10, 30, 30}));
    EXPECT_NE(item->animationForKey("wiggle"), nullptr);
    item->setShaking(false);
    EXPECT_FALSE(driver->isOnScreen(&item->btnDelete()));
    EXPECT_EQ(item->animationForKey("wiggle"), nullptr);
}

TEST_F(LoginItemTest, TheBadgeAsksFirstInTheCurrentLanguage)
{
    struct Case {
        int language;
        bool demo;
        const char* clientId;
        const char* title;
        const char* message;
        const char* answer;
        bool deletes;
    };
    const Case cases[] = {
        {1, true, "tolbernix_", "Delete the Demo shortcut?",
         "The demo shortcut leaves the login screen. Settings can bring it back.", "Delete", true},
        {1, false, "acme", "Delete the acme shortcut?",
         "The shortcut of acme leaves the login screen. The account stays saved on this device.", "Cancel", false},
        // A client id is filled in as it is, never read as a format.
        {1, false, "%@%s%n", "Delete the %@%s%n shortcut?",
         "The shortcut of %@%s%n leaves the login screen. The account stays saved on this device.", "Delete", true},
        {2, true, "wendloft_", "删除 演示 快捷登录？", "演示快捷登录将从登录界面移除，可在设置中恢复。", "删除", true},
        {2, false, "acme", "删除 acme 快捷登录？", "acme 的快捷登录将从登录界面移除，该账户仍保存在本设备上。", "取消",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clientId);
        LanguageManager::sharedInstance()->setCurrentLanguage(c.language);
        Language::resetLanguageCache();
        delegate.deleted.clear();
        auto item = place({100, 300});
        item->setIsDemo(c.demo);
        item->setClientId(c.clientId);
        item->setShaking(true);

        ASSERT_TRUE(driver->tap(&item->btnDelete()));
        auto alert = ui::AlertView::visibleAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->title(), c.title);
        EXPECT_EQ(alert->message(), c.message);
        // A second tap on the badge while it asks opens no second question.
        driver->tap(gfx::Point{100 + 225, 300 + 5});
        EXPECT_EQ(ui::AlertView::queuedCount(), 0u);
        if (c.demo) {
            EXPECT_TRUE(driver->screenshot(reviewPath(c.language == 2 ? "login_item_delete_alert_cn.png"
                                                                      : "login_item_delete_alert_en.png")));
        }

        ui::View* answer = driver->findByText(c.answer);
        ASSERT_NE(answer, nullptr);
        ASSERT_TRUE(driver->tap(answer));
        driver->wait(1);
        EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
        EXPECT_EQ(delegate.deleted, c.deletes ? std::vector<std::string>{c.clientId} : std::vector<std::string>{});
        item->removeFromSuperview();
    }
}

TEST_F(LoginItemTest, AnAnswerAfterTheTileWentTellsNoOne)
{
    auto item = place({100, 300});
    item->setClientId("acme");
    item->setShaking(true);
    ASSERT_TRUE(driver->tap(&item->btnDelete()));
    item->removeFromSuperview();
    item.reset();
    ui::View* answer = driver->findByText("Delete");
    ASSERT_NE(answer, nullptr);
    driver->tap(answer);
    EXPECT_TRUE(delegate.deleted.empty());
}

} // namespace
