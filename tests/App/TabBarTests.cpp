#include "MainScreenTestSupport.h"
#include "tests/Support/PicturesArrived.h"

#include "Classes/Catalog/CatalogViewController.h"
#include "Classes/Catalog/InventoryViewController.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Classes/Library/SaleslibraryController.h"
#include "Classes/Order/QuoteOrderHistoryController.h"
#include "Common/SkinManager.h"
#include "Database/IconModel.h"
#include "Database/brivanta_icon_Entity.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Classes/Sync/SyncViewController.h"

#include <cmath>
#include <functional>

namespace {

using apptest::MainScreenTest;

class TabBarTest : public MainScreenTest {
protected:
    std::vector<int> shownTags(const UITabBarControllerExt& tabs) const
    {
        std::vector<int> tags;
        for (auto& button : tabs.itmeButtonArray())
            if (!button->isHidden())
                tags.push_back(button->tag());
        return tags;
    }
    static std::vector<double> shownX(const UITabBarControllerExt& tabs)
    {
        std::vector<double> xs;
        for (auto& button : tabs.itmeButtonArray())
            if (!button->isHidden())
                xs.push_back(button->frame().x());
        return xs;
    }
    template <typename Screen>
    static std::shared_ptr<Screen> screen(const UITabBarControllerExt& tabs, int tag)
    {
        auto controller = tabs.viewControllers().at(static_cast<size_t>(tag));
        if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(controller))
            controller = nav->viewControllers().front();
        return std::dynamic_pointer_cast<Screen>(controller);
    }
    bool onTabView(UITabBarControllerExt& tabs, int tag) const
    {
        for (auto& sub : tabs.view()->subviews())
            if (sub->tag() == tag)
                return true;
        return false;
    }
    void tapTab(const UITabBarControllerExt& tabs, int tag)
    {
        ASSERT_TRUE(driver->tap(tabs.buttonWithTag(tag)->btn().get())) << tag;
        settle();
    }
};

TEST_F(TabBarTest, TheSwitchesChooseTheButtonsAndTheMainScreenLooksRight)
{
    loginAsDemo("1,1,0,1,1,1,1");
    auto tabs = showMain();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(app->window()->rootViewController()->className(), std::string("BrivantaNavigationController"));
    // Asking again changes nothing.
    app->showMainController();
    EXPECT_EQ(app->tabBarController(), tabs);

    EXPECT_EQ(shownTags(*tabs), (std::vector<int>{0, 1, 3, 4, 5, 6, 7}));
    EXPECT_EQ(shownX(*tabs), (std::vector<double>{320, 420, 520, 620, 720, 820, 920}));
    EXPECT_TRUE(tabs->buttonWithTag(2)->isHidden());
    EXPECT_EQ(tabs->backgroundImage()->frame(), gfx::Rect(0, 702, 1024, 66));
    EXPECT_TRUE(tabs->buttonWithTag(0)->isSelected());
    EXPECT_EQ(tabs->buttonWithTag(0)->lableTitle()->text(), text("HOME"));
    EXPECT_EQ(tabs->buttonWithTag(0)->lableTitle()->textColor(), TabBarItemButton::captionColor(true));
    EXPECT_FALSE(tabs->buttonWithTag(0)->imgNormal().isNull());
    EXPECT_TRUE(driver->screenshot(reviewPath("main_screen.png")));

    // The sheet offers no show-all switch without the customer module.
    ASSERT_TRUE(driver->tap(tabs->buttonWithTag(7)->btn().get()));
    settle();
    EXPECT_EQ(driver->findByText(text("SHOWALLCUSTOMER")), nullptr);
    EXPECT_NE(driver->findByText(text("FULLSYNC")), nullptr);
}

TEST_F(TabBarTest, WithEveryButtonShownTheSettingsButtonStaysOnScreenInEveryLayout)
{
    loginAsDemo();
    auto tabs = showMain();
    auto settingsEnd = [&] { return tabs->buttonWithTag(7)->frame().maxX(); };
    tabs->loadByConfig();
    EXPECT_LE(settingsEnd(), 1024);
    EXPECT_EQ(shownX(*tabs)[1] - shownX(*tabs)[0], 90); // the switches' step fits as it is
    tabs->itemsMove(true);
    EXPECT_LE(settingsEnd(), 1024);
    EXPECT_GT(settingsEnd(), 1000); // shrunk only as far as needed
    tabs->itemsMove(false);
    EXPECT_LE(settingsEnd(), 1024);
    EXPECT_EQ(shownX(*tabs).front(), 490);
    EXPECT_EQ(tabs->btnLogo()->frame(), gfx::Rect(265, 705, 225, 51));
    EXPECT_EQ(tabs->buttonWithTag(0)->frame().width(), 68);
}

TEST_F(TabBarTest, TheClientsOwnBarPictureWinsOverTheSkin)
{
    loginAsDemo();
    // Without an icon row the skin's bar is used.
    auto tabs = showMain();
    gfx::Image skinBar = SkinManager::skinFromImageName(std::string("btmbar-bg.png"));
    ASSERT_FALSE(skinBar.isNull());
    EXPECT_EQ(tabs->backgroundImage()->image().pixelAt(500, 30), skinBar.pixelAt(500, 30));

    brivanta_icon_Entity icon;
    icon._id = 1;
    icon.title = "top bar";
    icon.name = "bar.png";
    icon.publish = 1;
    ASSERT_TRUE(DataAccessManager::sharedDataModel()->iconmodel()->saveToDatabaseIcon(std::vector{icon}));
    auto folder = documents() / kDemoClient / "ConfigImages";
    std::filesystem::create_directories(folder);
    auto ctx = gfx::Context::createBitmap({1024, 66});
    ctx->setFillColor(gfx::Color::fromRgb(200, 30, 30));
    ctx->fillRect({0, 0, 1024, 66});
    ASSERT_EQ(ctx->savePng((folder / "bar.png").string()), nullptr);

    tabs->setBackgroundView();
    ASSERT_TRUE(testsupport::picturesArrived());
    gfx::Color shown = tabs->backgroundImage()->image().colorAt(500, 30);
    EXPECT_NEAR(shown.r, 200 / 255.0, 0.01);
    EXPECT_NEAR(shown.g, 30 / 255.0, 0.01);
}

TEST_F(TabBarTest, TabsMoveThePanelsAndEveryAppearanceReappliesTheSwitches)
{
    loginAsDemo("1,1,0,1,1,1,1");
    auto tabs = showMain();
    auto catalog = screen<CatalogViewController>(*tabs, 1);
    auto library = screen<SaleslibraryController>(*tabs, 4);
    ASSERT_TRUE(catalog && library);
    EXPECT_EQ(tabs->catalogDelegate(), std::dynamic_pointer_cast<CatalogViewDelegate>(catalog));
    EXPECT_EQ(tabs->iCurSelectTab(), 0);
    // Right after start, going back selects home.
    tabs->returnPerselectTab();
    EXPECT_EQ(tabs->selectedIndex(), 0u);

    tapTab(*tabs, 1);
    EXPECT_EQ(tabs->selectedIndex(), 1u);
    EXPECT_TRUE(onTabView(*tabs, 6001) && onTabView(*tabs, 6002));

    tapTab(*tabs, 4);
    EXPECT_FALSE(onTabView(*tabs, 6001) || onTabView(*tabs, 6002));
    ASSERT_TRUE(onTabView(*tabs, 6003) && onTabView(*tabs, 6004));
    EXPECT_EQ(tabs->view()->viewWithTag(6003)->frame(), gfx::Rect(0, 0, 244, 768));
    EXPECT_EQ(tabs->view()->viewWithTag(6004)->frame(), gfx::Rect(0, 64, 1024, 638));

    tabs->returnPerselectTab();
    EXPECT_EQ(tabs->selectedIndex(), 1u);
    tabs->itemsMove(false);
    tapTab(*tabs, 0);
    for (int tag : {6001, 6002, 6003, 6004})
        EXPECT_FALSE(onTabView(*tabs, tag)) << tag;
    EXPECT_EQ(shownX(*tabs)[1] - shownX(*tabs)[0], 100);
    EXPECT_EQ(tabs->btnLogo()->frame(), gfx::Rect(15, 705, 225, 51));

    // Opening the sheet marks the settings button; any tab change clears it.
    ASSERT_TRUE(driver->tap(tabs->buttonWithTag(7)->btn().get()));
    settle();
    EXPECT_TRUE(tabs->buttonWithTag(7)->isSelected());
    tabs->selectTab(3);
    EXPECT_FALSE(tabs->buttonWithTag(7)->isSelected());
    tabs->dismissViewController(false);

    auto counts = [&] {
        return std::vector<int>{catalog->loadByConfigCount(), screen<CustomerViewController>(*tabs, 2)->loadByConfigCount(),
                                screen<InventoryViewController>(*tabs, 3)->loadByConfigCount(), library->loadByConfigCount(),
                                screen<QuoteOrderHistoryController>(*tabs, 5)->loadByConfigCount()};
    };
    auto sync = screen<SyncViewController>(*tabs, 6);
    int syncBefore = sync->loadByConfigCount();
    auto before = counts();
    for (int count : before)
        EXPECT_EQ(count, 1);
    // The main screen comes and goes: each appearance asks every screen once.
    auto root = app->window()->rootViewController();
    root->beginAppearanceTransition(false);
    root->endAppearanceTransition();
    root->beginAppearanceTransition(true);
    root->endAppearanceTransition();
    for (int count : counts())
        EXPECT_EQ(count, 2);
    EXPECT_EQ(sync->loadByConfigCount(), syncBefore + 1);
}

TEST_F(TabBarTest, BadgesCountOrdersAndBounce)
{
    loginAsDemo();
    auto tabs = showMain();
    auto orders = tabs->buttonWithTag(5);
    auto shownText = [&] { return orders->badgeView()->isHidden() ? std::string("<hidden>") : orders->badgeLabel()->text(); };
    tabs->setBadgeValueTabBarItemTagAnimated("1000", 5, false);
    EXPECT_EQ(shownText(), "999+");
    tabs->setBadgeValueTabBarItemTagAnimated("999", 5, false);
    EXPECT_EQ(shownText(), "999");
    tabs->setBadgeValueTabBarItemTagAnimated("0", 5, false);
    EXPECT_EQ(shownText(), "<hidden>");
    tabs->setBadgeValueTabBarItemTagAnimated("7", 5, false);
    tabs->setBadgeValueTabBarItemTagAnimated("x", 5, false);
    EXPECT_EQ(shownText(), "<hidden>");
    // Other tabs show any text as it is.
    tabs->setBadgeValueTabBarItemTagAnimated("x", 6, false);
    EXPECT_EQ(tabs->buttonWithTag(6)->badgeLabel()->text(), "x");

    tabs->setBadgeValueTabBarItemTagAnimated("7", 5, false);
    EXPECT_EQ(orders->badgeView()->frame(), gfx::Rect(37, -5, 26, 26));
    tabs->setBadgeValueTabBarItemTagAnimated("NEW ITEMS", 5, false);
    tabs->setBadgeValueTabBarItemTagAnimated("NEW ITEMS", 6, false);
    auto sync = tabs->buttonWithTag(6);
    double w = gfx::sizeOfText("NEW ITEMS", sync->badgeLabel()->font()).width;
    EXPECT_EQ(sync->badgeView()->frame(), gfx::Rect(50 - (w + 14) / 2, -5, w + 14, 26));

    double now = ui::LayerAnimation::layerTime();
    double y = orders->badgeView()->center().y;
    tabs->setBadgeValueTabBarItemTagAnimated("8", 5, true);
    auto bounce = orders->badgeView()->animationForKey("bounce");
    auto bounce2 = orders->badgeView()->animationForKey("bounce2");
    ASSERT_TRUE(bounce && bounce2);
    EXPECT_EQ(bounce->keyPath, "position.y");
    EXPECT_EQ(bounce->values, (std::vector<double>{y, y - 22, y - 20}));
    EXPECT_EQ(bounce->keyTimes, (std::vector<double>{0, 0.7, 1.0}));
    EXPECT_TRUE(bounce->autoreverses);
    EXPECT_DOUBLE_EQ(bounce->duration, 0.15);
    EXPECT_DOUBLE_EQ(*bounce->beginTime, now);
    EXPECT_EQ(bounce2->values, (std::vector<double>{y, y - 11, y - 10}));
    EXPECT_DOUBLE_EQ(bounce2->duration, 0.1);
    EXPECT_DOUBLE_EQ(*bounce2->beginTime, now + 0.3);
    settle(1);
    EXPECT_TRUE(orders->badgeView()->animationKeys().empty());

    // The blinking sync icon.
    auto icon = [&] { return &sync->btn()->imageView(); };
    tabs->startSyncIconAnimation();
    auto blink = icon()->animationForKey("blink");
    ASSERT_NE(blink, nullptr);
    EXPECT_TRUE(std::isinf(blink->repeatCount));
    EXPECT_TRUE(blink->autoreverses);
    EXPECT_NE(sync->animatedImageView()->animationForKey("blink"), nullptr);
    settle(5);
    EXPECT_NE(icon()->animationForKey("blink"), nullptr);
    tabs->stopSyncIconAnimation();
    EXPECT_TRUE(icon()->animationKeys().empty());
    EXPECT_TRUE(sync->animatedImageView()->animationKeys().empty());
    EXPECT_EQ(icon()->alpha(), 1);
    EXPECT_EQ(sync->animatedImageView()->alpha(), 0);

    // The icon's jump ends where it began.
    sync->animateIconBouncing();
    EXPECT_NEAR(sync->btn()->transform().a, 1.5, 1e-9);
    settle(1);
    EXPECT_NEAR(sync->btn()->transform().a, 1, 1e-9);
    EXPECT_NEAR(sync->btn()->transform().d, 1, 1e-9);
}

TEST_F(TabBarTest, ACaptionSelectsItsTabInEveryLayoutAndLanguage)
{
    loginAsDemo(); // all eight buttons: the squeezed layout is the tightest
    auto tabs = showMain();
    const std::pair<const char*, std::function<void()>> layouts[] = {
        {"by the switches", [&] { tabs->loadByConfig(); }},
        {"panel hidden", [&] { tabs->itemsMove(true); }},
        {"panel shown", [&] { tabs->itemsMove(false); }},
    };
    auto inWindow = [&](const TabBarItemButton& item, gfx::Point point) { return item.convertPointToView(point, nullptr); };
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        for (const auto& [name, layout] : layouts) {
            for (int tag = 0; tag <= 6; ++tag) {
                tabs->selectTab(tag == 0 ? 6 : 0);
                layout();
                auto item = tabs->buttonWithTag(tag);
                gfx::Rect caption = item->lableTitle()->frame();
                // The caption's centre, then its lower edge, which hangs below the item's frame.
                for (double y : {caption.midY(), caption.maxY() - 2}) {
                    tabs->selectTab(tag == 0 ? 6 : 0);
                    layout();
                    driver->tap(inWindow(*item, {caption.midX(), y}));
                    settle();
                    EXPECT_EQ(tabs->selectedIndex(), static_cast<size_t>(tag))
                        << name << ", language " << language << ", tag " << tag << ", y " << y;
                }
            }
        }
        // Between two captions lies no item.
        tabs->selectTab(0);
        tabs->loadByConfig();
        auto home = tabs->buttonWithTag(0);
        driver->tap(inWindow(*home, {home->lableTitle()->frame().maxX() + 9, home->lableTitle()->frame().midY()}));
        settle();
        EXPECT_EQ(tabs->selectedIndex(), 0u) << language;
    }

    // A script taps a caption by its text, and the settings caption opens the sheet.
    tabs->selectTab(0);
    tabs->itemsMove(false);
    ui::ScriptRunner runner(*driver);
    ASSERT_TRUE(runner.runText("tap \"" + text("CATALOG") + "\"\n")) << runner.error();
    settle();
    EXPECT_EQ(tabs->selectedIndex(), 1u);
    ASSERT_TRUE(runner.runText("tap \"" + text("SETTINGS") + "\"\n")) << runner.error();
    settle();
    EXPECT_TRUE(tabs->buttonWithTag(7)->isSelected());
    EXPECT_NE(driver->findByText(text("FULLSYNC")), nullptr);
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
}

TEST_F(TabBarTest, LanguageChangesReTextTheCaptions)
{
    loginAsDemo();
    auto tabs = showMain();
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    EXPECT_EQ(tabs->buttonWithTag(1)->lableTitle()->text(), text("CATALOG"));
    EXPECT_EQ(tabs->buttonWithTag(7)->title(), text("SETTINGS"));
    EXPECT_NE(text("CATALOG"), "Catalog");
}

} // namespace
