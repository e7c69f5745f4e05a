// The shortcut tile row on a test screen like the login form's: the row at (0, 628, 1024, 80)
// with the page control below it, driven through the headless window's hit testing.
#include "Classes/Login/LoginItemList.h"
#include "tests/Support/PicturesArrived.h"

#include "tests/App/AppWindowTestSupport.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ViewController.h"
#include "Protocol/SavedLogins.h"
#include "Widgets/BRPageControl.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// Posts the application's state notices, as the application delegate does.
class StateNotices : public ui::ApplicationDelegate {
public:
    bool didFinishLaunching(ui::Application&) override { return true; }
    void didEnterBackground(ui::Application&) override
    {
        base::NotificationCenter::defaultCenter().post("AppWillEnterBackgound");
    }
    void willEnterForeground(ui::Application&) override
    {
        base::NotificationCenter::defaultCenter().post("AppWillEnterForegroud");
    }
};

class RecordingListDelegate : public LoginItemListDelegate {
public:
    void loginItemClick(LoginItem& item) override { clicked.push_back(item.clientId()); }
    void loginItemDelete(LoginItem& item) override { deleted.push_back(item.clientId()); }
    std::vector<std::string> clicked;
    std::vector<std::string> deleted;
};

base::Value entry(const std::string& user, const std::string& client, std::optional<std::string> shortcut)
{
    base::Dictionary d{{SavedLogins::kUser, user}, {SavedLogins::kCredential, "pw-" + user},
                       {SavedLogins::kClient, client}, {SavedLogins::kDevice, "device-1"}};
    if (shortcut)
        d.set(SavedLogins::kShortcut, *shortcut);
    return base::Value(std::move(d));
}

class LoginItemListTest : public apptest::AppWindowTest {
protected:
    LoginItemListTest()
    {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().launch(std::make_shared<StateNotices>());
        screen = std::make_shared<ui::ViewController>();
        window->setRootViewController(screen);
        screen->view()->setBackgroundColor(gfx::Color::fromRgb(30, 52, 84));
    }
    ~LoginItemListTest() override { ui::Application::shared().resetForTesting(); }

    // The row as the login form builds it, after the flags and the list are stored.
    void show(bool zKorv, bool wendloft, base::Array list)
    {
        defaults()->setBool(zKorv, LoginItemList::kZKorvKey);
        defaults()->setBool(wendloft, LoginItemList::kWendloftKey);
        SavedLogins::store(list);
        row = std::make_shared<LoginItemList>(gfx::Rect{0, 628, 1024, 80});
        row->setItemListDelegate(&delegate);
        screen->view()->addSubview(row);
        row->setLoginArry(SavedLogins::stored());
        pageControl = std::make_shared<BRPageControl>();
        pageControl->setHidesForSinglePage(true);
        pageControl->setCurrentPageIndicatorTintColor(gfx::Color::fromRgb(53, 107, 168));
        pageControl->setPageIndicatorTintColor(gfx::Color::lightGray());
        screen->view()->addSubview(pageControl);
        sizePageControl();
    }
    void sizePageControl()
    {
        pageControl->setNumberOfPages(row->page());
        gfx::Size size = pageControl->sizeForNumberOfPages(pageControl->numberOfPages());
        pageControl->setFrame({(1024 - size.width) / 2, 720, size.width, size.height});
    }
    std::vector<double> tileXs() const
    {
        std::vector<double> xs;
        for (auto& item : row->itemList())
            xs.push_back(item->frame().x());
        return xs;
    }
    std::vector<std::string> tileIds() const
    {
        std::vector<std::string> ids;
        for (auto& item : row->itemList())
            ids.push_back(item->clientId());
        return ids;
    }
    // The middle of a tile in window points, the row scrolled to its page.
    gfx::Point tileCenter(size_t index)
    {
        auto& item = row->itemList().at(index);
        double pageX = std::floor(item->frame().x() / 1024) * 1024;
        row->setContentOffset({pageX, 0});
        return driver->centerOf(item.get());
    }

    std::shared_ptr<ui::ViewController> screen;
    std::shared_ptr<LoginItemList> row;
    std::shared_ptr<BRPageControl> pageControl;
    RecordingListDelegate delegate;
};

TEST_F(LoginItemListTest, TilesFillPagesOfFour)
{
    const double gap4 = (1024.0 - 924) / 7;
    const double gap1 = (1024.0 - 231) / 4;
    struct Case {
        const char* name;
        bool zKorv;
        bool wendloft;
        base::Array list;
        std::vector<std::string> ids;
        std::vector<double> xs;
        int pages;
    };
    const Case cases[] = {
        {"both demos and three shortcuts",
         true,
         true,
         {entry("alice", "acme", "YES"), entry("carol", "other", "NO"), entry("bob", "beta", "YES"),
          entry("dave", "delta", std::nullopt), entry("erin", "echo", "yes"), entry("fay", "fox", " ")},
         {"tolbernix_", "wendloft_", "acme", "beta", "echo"},
         {2 * gap4, 2 * gap4 + 231 + gap4, 2 * gap4 + 2 * (231 + gap4), 2 * gap4 + 3 * (231 + gap4), 1024 + 2 * gap4},
         2},
        {"one tile alone", false, true, {entry("carol", "other", "NO")}, {"wendloft_"}, {2 * gap1}, 1},
        {"no tiles", false, false, {entry("dave", "delta", std::nullopt)}, {}, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        show(c.zKorv, c.wendloft, c.list);
        EXPECT_EQ(tileIds(), c.ids);
        ASSERT_EQ(tileXs().size(), c.xs.size());
        for (size_t i = 0; i < c.xs.size(); ++i) {
            EXPECT_NEAR(tileXs()[i], c.xs[i], 1e-9);
            EXPECT_EQ(row->itemList()[i]->frame().y(), 10);
            EXPECT_EQ(row->itemList()[i]->frame().size, (gfx::Size{231, 60}));
        }
        EXPECT_EQ(row->page(), c.pages);
        EXPECT_EQ(row->contentSize().width, 1024.0 * c.pages);
        EXPECT_TRUE(row->isPagingEnabled());
        // Every tile answers a tap through hit testing, on its own page.
        for (size_t i = 0; i < c.ids.size(); ++i)
            driver->tap(tileCenter(i));
        EXPECT_EQ(delegate.clicked, c.ids);
        delegate.clicked.clear();
        row->removeFromSuperview();
        pageControl->removeFromSuperview();
    }
}

TEST_F(LoginItemListTest, PicturesOfOneAndTwoPagesInBothLanguages)
{
    auto skin = m_home.path() / "Documents" / "acme" / "SkinImages";
    std::filesystem::create_directories(skin);
    writeSolidPng(skin / "homelogo.png", {180, 36}, 200, 60, 40);
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        std::string suffix = language == 1 ? "_en.png" : "_cn.png";
        show(true, true, {entry("alice", "acme", "YES"), entry("bob", "beta", "YES")});
        EXPECT_TRUE(driver->screenshot(reviewPath("tile_row_one_page" + suffix)));
        EXPECT_FALSE(driver->isOnScreen(pageControl.get()) && pageControl->numberOfPages() > 1);
        row->removeFromSuperview();
        pageControl->removeFromSuperview();

        show(true, true,
             {entry("alice", "acme", "YES"), entry("bob", "beta", "YES"), entry("erin", "echo", "YES")});
        EXPECT_EQ(pageControl->numberOfPages(), 2);
        EXPECT_TRUE(driver->screenshot(reviewPath("tile_row_two_pages" + suffix)));
        row->removeFromSuperview();
        pageControl->removeFromSuperview();
    }
}

TEST_F(LoginItemListTest, SavedTilesShowTheClientLogoOrTheirIdAndReadOnlyClientFolders)
{
    auto documents = m_home.path() / "Documents";
    std::filesystem::create_directories(documents / "acme" / "SkinImages");
    writeSolidPng(documents / "acme" / "SkinImages" / "homelogo.png", {120, 30}, 200, 60, 40);
    // A logo outside every client folder that an unsafe id could reach.
    std::filesystem::create_directories(m_home.path() / "SkinImages");
    writeSolidPng(m_home.path() / "SkinImages" / "homelogo.png", {120, 30}, 0, 255, 0);
    std::filesystem::create_directories(documents / "SkinImages");
    writeSolidPng(documents / "SkinImages" / "homelogo.png", {120, 30}, 0, 255, 0);

    struct Case {
        const char* clientId;
        bool logo;
    };
    const Case cases[] = {{"acme", true}, {"ACME", true}, {"beta", false}, {"", false},
                          {"..", false}, {"../SkinImages/..", false}, {".", false}, {"acme/..", false}};
    base::Array list;
    for (const Case& c : cases)
        list.push_back(entry("u", c.clientId, "YES"));
    show(false, false, list);
    ASSERT_EQ(row->itemList().size(), std::size(cases));
    ASSERT_TRUE(testsupport::picturesArrived());
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].clientId);
        LoginItem& item = *row->itemList()[i];
        // On screen, as a user sees the tile after a restart: the logo's own colour.
        tileCenter(i);
        gfx::Image drawn = window->snapshot();
        gfx::Point middle = driver->centerOf(&item.imageView());
        gfx::Color seen = drawn.colorAt(int(middle.x), int(middle.y));
        EXPECT_FALSE(item.imageView().isHidden());
        EXPECT_EQ(seen == gfx::Color::fromRgb(200, 60, 40), cases[i].logo) << middle.x << "," << middle.y;
        EXPECT_EQ(item.hasNoLogo(), !cases[i].logo);
        EXPECT_EQ(item.lblCompany().isHidden(), cases[i].logo);
        EXPECT_EQ(item.lblCompany().text(), cases[i].clientId);
        gfx::Image shown = item.currentImage();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown.size(), cases[i].logo ? (gfx::Size{120, 30}) : (gfx::Size{50, 40}));
        EXPECT_EQ(item.imageEdgeInsets(), cases[i].logo ? (gfx::EdgeInsets{10, 10, 10, 10})
                                                         : (gfx::EdgeInsets{10, 10, 10, 160}));
    }
}

TEST_F(LoginItemListTest, LongPressShakesEveryTileUntilStopped)
{
    show(true, true, {entry("alice", "acme", "YES"), entry("bob", "beta", "YES"), entry("erin", "echo", "YES")});
    auto wiggling = [&] {
        size_t n = 0;
        for (auto& item : row->itemList())
            n += item->animationForKey("wiggle") != nullptr;
        return n;
    };
    auto badges = [&] {
        size_t n = 0;
        for (auto& item : row->itemList())
            n += !item->btnDelete().isHidden();
        return n;
    };

    driver->longPress(tileCenter(1));
    EXPECT_TRUE(row->isShaking());
    EXPECT_EQ(wiggling(), 5u);
    EXPECT_EQ(badges(), 5u);
    EXPECT_TRUE(delegate.clicked.empty());
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    EXPECT_TRUE(driver->screenshot(reviewPath("tile_row_delete_mode.png")));
    ASSERT_TRUE(driver->tap(&row->itemList()[2]->btnDelete()));
    EXPECT_EQ(ui::AlertView::visibleAlert()->title(), "删除 acme 快捷登录？");
    EXPECT_TRUE(driver->screenshot(reviewPath("tile_row_delete_alert_cn.png")));
    ASSERT_TRUE(driver->tap(driver->findByText("取消")));
    EXPECT_EQ(row->itemList().size(), 5u);

    // A tap on a shaking tile reaches no one.
    driver->tap(tileCenter(0));
    driver->tap(tileCenter(4));
    EXPECT_TRUE(delegate.clicked.empty());

    driver->enterBackground();
    EXPECT_EQ(wiggling(), 0u);
    EXPECT_EQ(badges(), 5u);
    EXPECT_TRUE(row->isShaking());
    driver->enterForeground();
    EXPECT_EQ(wiggling(), 5u);

    row->stopSharking();
    EXPECT_FALSE(row->isShaking());
    EXPECT_EQ(wiggling(), 0u);
    EXPECT_EQ(badges(), 0u);
    driver->tap(tileCenter(2));
    EXPECT_EQ(delegate.clicked, std::vector<std::string>{"acme"});

    // Out of delete mode, coming back from the background starts nothing.
    driver->enterBackground();
    driver->enterForeground();
    EXPECT_EQ(wiggling(), 0u);
}

TEST_F(LoginItemListTest, DeletingASavedTileMovesItsEntryLastWithoutShortcut)
{
    base::Array list{entry("alice", "acme", "YES"), entry("bob", "beta", "YES"), entry("carol", "other", "NO")};
    show(true, true, list);
    driver->longPress(tileCenter(2));
    ASSERT_TRUE(driver->tap(&row->itemList()[2]->btnDelete()));
    ASSERT_NE(ui::AlertView::visibleAlert(), nullptr);
    EXPECT_EQ(ui::AlertView::visibleAlert()->title(), "Delete the acme shortcut?");
    ASSERT_TRUE(driver->tap(driver->findByText("Delete")));

    base::Array stored = SavedLogins::stored();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0], list[1]);
    EXPECT_EQ(stored[1], list[2]);
    EXPECT_EQ(stored[2], base::Value(base::Dictionary{{SavedLogins::kUser, "alice"},
                                                      {SavedLogins::kCredential, "pw-alice"},
                                                      {SavedLogins::kClient, "acme"},
                                                      {SavedLogins::kShortcut, "NO"}}));
    EXPECT_EQ(tileIds(), (std::vector<std::string>{"tolbernix_", "wendloft_", "beta"}));
    const double gap3 = (1024.0 - 693) / 6;
    EXPECT_NEAR(tileXs()[2], 2 * gap3 + 2 * (231 + gap3), 1e-9);
    EXPECT_EQ(delegate.deleted, std::vector<std::string>{"acme"});
    EXPECT_TRUE(row->isShaking()); // the mode stays for the other tiles
    EXPECT_EQ(row->itemList()[2]->animationForKey("wiggle") != nullptr, true);

    // A rebuild after a flag change does not bring the deleted tile back.
    defaults()->setBool(false, LoginItemList::kWendloftKey);
    EXPECT_EQ(tileIds(), (std::vector<std::string>{"tolbernix_", "beta"}));
}

TEST_F(LoginItemListTest, DeletingADemoTileClearsOnlyItsFlag)
{
    base::Array list{entry("alice", "acme", "YES")};
    show(true, true, list);
    row->addDeleteItemBtn();

    // "Cancel" changes nothing.
    ASSERT_TRUE(driver->tap(&row->itemList()[0]->btnDelete()));
    ASSERT_TRUE(driver->tap(driver->findByText("Cancel")));
    EXPECT_EQ(tileIds(), (std::vector<std::string>{"tolbernix_", "wendloft_", "acme"}));
    EXPECT_TRUE(defaults()->boolForKey(LoginItemList::kZKorvKey));
    EXPECT_TRUE(delegate.deleted.empty());

    ASSERT_TRUE(driver->tap(&row->itemList()[0]->btnDelete()));
    EXPECT_EQ(ui::AlertView::visibleAlert()->title(), "Delete the Demo shortcut?");
    ASSERT_TRUE(driver->tap(driver->findByText("Delete")));
    EXPECT_EQ(defaults()->objectForKey(LoginItemList::kZKorvKey), base::Value(false));
    EXPECT_TRUE(defaults()->boolForKey(LoginItemList::kWendloftKey));
    EXPECT_EQ(SavedLogins::stored(), list);
    EXPECT_EQ(tileIds(), (std::vector<std::string>{"wendloft_", "acme"}));
    EXPECT_FALSE(row->isShowZKorv());
    EXPECT_EQ(delegate.deleted, std::vector<std::string>{"tolbernix_"});
    sizePageControl();
    EXPECT_EQ(pageControl->numberOfPages(), 1);
}

TEST_F(LoginItemListTest, AFlagChangedElsewhereRebuildsTheRow)
{
    show(true, true, {entry("alice", "acme", "YES")});
    auto first = row->itemList()[0];
    // A change to another key leaves the tiles as they are.
    defaults()->setObject(base::Value("x"), "unrelated");
    EXPECT_EQ(row->itemList()[0], first);

    defaults()->setBool(false, LoginItemList::kWendloftKey);
    EXPECT_EQ(tileIds(), (std::vector<std::string>{"tolbernix_", "acme"}));
    EXPECT_FALSE(row->isShowWendloft());
    EXPECT_EQ(row->subviews().size() >= 2, true);

    // From another thread the rebuild waits for the main loop.
    std::thread([] { base::UserDefaults::standard()->setBool(true, LoginItemList::kWendloftKey); }).join();
    EXPECT_EQ(tileIds(), (std::vector<std::string>{"tolbernix_", "acme"}));
    base::RunLoop::main().advance(0);
    EXPECT_EQ(tileIds(), (std::vector<std::string>{"tolbernix_", "wendloft_", "acme"}));
}

} // namespace
