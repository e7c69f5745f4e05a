// The pull-to-refresh table through held drags on a headless window and the manual clock:
// the arming distance at both ends, the loading bands, the owner's flags, the forwarding of
// the owner's delegate and the last-updated text.
#include "Widgets/BRPullTableView.h"

#include "tests/App/AppWindowTestSupport.h"

#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/UI/ViewController.h"

#include <gtest/gtest.h>

namespace {

const gfx::Rect kTableFrame{0, 100, 600, 500};

class Rows : public ui::TableViewDataSource {
public:
    int count = 30;
    int numberOfRowsInSection(ui::TableView&, int) override { return count; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell)
            cell = ui::View::make<ui::TableViewCell>(ui::TableViewCellStyle::Default, "row");
        cell->textLabel().setText("Order " + std::to_string(path.row + 1));
        return cell;
    }
};

class Owner : public ui::TableViewDelegate, public BRPullTableViewDelegate {
public:
    std::vector<std::string> calls;
    int refreshes = 0;
    int loads = 0;
    void pullTableViewDidTriggerRefresh(BRPullTableView&) override { ++refreshes; }
    void pullTableViewDidTriggerLoadMore(BRPullTableView&) override { ++loads; }
    void note(const std::string& call)
    {
        if (std::find(calls.begin(), calls.end(), call) == calls.end())
            calls.push_back(call);
    }
    void scrollViewDidScroll(ui::ScrollView&) override { note("didScroll"); }
    void scrollViewWillBeginDragging(ui::ScrollView&) override { note("willBeginDragging"); }
    void scrollViewDidEndDragging(ui::ScrollView&, bool) override { note("didEndDragging"); }
    void scrollViewWillEndDragging(ui::ScrollView&, gfx::Point, gfx::Point*) override { note("willEndDragging"); }
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override
    {
        note("heightForRow");
        return 50;
    }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) override
    {
        note("didSelect " + std::to_string(path.row));
    }
};

class PullTableTest : public apptest::AppWindowTest {
protected:
    PullTableTest()
    {
        base::Date::setFixedNow(base::Date(1'800'000'000));
        screen = std::make_shared<ui::ViewController>();
        window->setRootViewController(screen);
        screen->view()->setBackgroundColor(gfx::Color::white());
    }
    ~PullTableTest() override
    {
        // The window outlives this fixture's owner: no table may call it afterwards.
        for (auto& view : screen->view()->subviews()) {
            if (auto* pull = dynamic_cast<BRPullTableView*>(view.get())) {
                pull->setDelegate(nullptr);
                pull->setPullDelegate(nullptr);
                pull->setDataSource(nullptr);
            }
        }
        base::Date::setFixedNow(std::nullopt);
    }

    void build(int rows, bool refresh = true, bool loadMore = true)
    {
        if (table)
            table->removeFromSuperview();
        source.count = rows;
        table = ui::View::make<BRPullTableView>(kTableFrame);
        table->setDelegate(&owner);
        table->setDataSource(&source);
        table->setPullDelegate(&owner);
        table->setRefreshEnable(refresh);
        table->setLoadMoreEnable(loadMore);
        screen->view()->addSubview(table);
        table->reloadData();
        window->layoutIfNeeded();
    }
    // A held drag: down by enough to start the pan, then the offset put exactly where the
    // case wants it, then released without moving.
    void releaseAt(double offsetY)
    {
        gfx::Point start{300, 350};
        driver->press(start);
        driver->moveTo({300, 380});
        driver->moveTo({300, 390});
        ASSERT_TRUE(table->isDragging());
        table->setContentOffset({0, offsetY});
        driver->wait(0.05);
        driver->release();
    }
    // A real pull: the finger moves the whole way.
    void pull(double fingerDistance)
    {
        driver->press({300, 150});
        for (int i = 1; i <= 12; ++i) {
            driver->moveTo({300, 150 + fingerDistance * i / 12});
            driver->wait(1.0 / 60);
        }
        driver->release();
    }
    void settle() { driver->wait(1.0); }

    std::shared_ptr<ui::ViewController> screen;
    Rows source;
    Owner owner;
    std::shared_ptr<BRPullTableView> table;
};

TEST_F(PullTableTest, ReleasedAtTheArmingDistanceTheHeaderRefreshesUntilTheOwnerSaysDone)
{
    build(30);
    EXPECT_EQ(table->refreshView().frame(), gfx::Rect(0, -500, 600, 500));

    releaseAt(-119);
    settle();
    EXPECT_EQ(owner.refreshes, 0);
    EXPECT_EQ(table->refreshView().state(), BRPullRefreshNormal);
    EXPECT_EQ(table->contentOffset().y, 0);

    releaseAt(-120);
    EXPECT_EQ(owner.refreshes, 1);
    EXPECT_TRUE(table->pullTableIsRefreshing());
    EXPECT_EQ(table->refreshView().state(), BRPullRefreshLoading);
    EXPECT_EQ(table->contentInset().top, 60);
    settle();
    // The bounce back rests on the open band, not on the list's top.
    EXPECT_EQ(table->contentOffset().y, -60);
    EXPECT_EQ(table->contentInset().top, 60);

    // While loading, further pulls change nothing.
    pull(300);
    settle();
    EXPECT_EQ(owner.refreshes, 1);
    EXPECT_EQ(table->refreshView().state(), BRPullRefreshLoading);

    // The owner's NO closes the band over 0.3 s; a second NO does nothing.
    double start = now();
    table->setPullTableIsRefreshing(false);
    EXPECT_EQ(table->contentInset().top, 0);
    advanceTo(start, 0.15);
    double shown = table->presentation().bounds.y();
    EXPECT_GT(shown, -60);
    EXPECT_LT(shown, 0);
    settle();
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_EQ(table->refreshView().state(), BRPullRefreshNormal);
    table->setPullTableIsRefreshing(false);
    EXPECT_FALSE(table->hasRunningAnimations());

    // A full pull by the finger arms and triggers too; setting YES does not tell the owner.
    pull(500);
    EXPECT_EQ(owner.refreshes, 2);
    table->setPullTableIsRefreshing(false);
    settle();
    table->setPullTableIsRefreshing(true);
    EXPECT_EQ(owner.refreshes, 2);
    EXPECT_EQ(table->refreshView().state(), BRPullRefreshLoading);
}

TEST_F(PullTableTest, PulledUpPastTheEndTheFooterLoadsMoreAlsoUnderAShortList)
{
    struct Case {
        int rows;
        double releaseY;  // offset at which the end lies exactly 120 points above the bottom edge
        double emptyBelow;
    } cases[] = {{30, 30 * 50 - 500 + 120, 0}, {4, 120, 500 - 4 * 50}};
    for (const auto& c : cases) {
        owner.loads = 0;
        build(c.rows);
        double content = c.rows * 50.0;
        EXPECT_EQ(table->loadMoreView().frame().y(), content + c.emptyBelow) << c.rows;

        releaseAt(c.releaseY - 1);
        settle();
        EXPECT_EQ(owner.loads, 0);
        releaseAt(c.releaseY);
        EXPECT_EQ(owner.loads, 1) << c.rows;
        EXPECT_TRUE(table->pullTableIsLoadingMore());
        EXPECT_EQ(table->loadMoreView().state(), BRPullRefreshLoading);
        EXPECT_EQ(table->contentInset().bottom, 60 + c.emptyBelow);
        settle();
        EXPECT_EQ(table->loadMoreView().state(), BRPullRefreshLoading);

        table->setPullTableIsLoadingMore(false);
        EXPECT_EQ(table->contentInset().bottom, 0);
        settle();
        EXPECT_EQ(table->loadMoreView().state(), BRPullRefreshNormal);
        table->setPullTableIsLoadingMore(false);
        EXPECT_FALSE(table->hasRunningAnimations());
    }
}

TEST_F(PullTableTest, DisabledPartsAreHiddenAndInertAndUnsetFlagsShowButDoNotReact)
{
    // Only load-more on: the header is hidden and no pull reaches it.
    build(30, false, true);
    EXPECT_TRUE(table->refreshView().isHidden());
    EXPECT_FALSE(table->loadMoreView().isHidden());
    releaseAt(-400);
    settle();
    EXPECT_EQ(owner.refreshes, 0);
    EXPECT_EQ(table->contentInset().top, 0);

    // Neither flag set: both views show, neither reacts.
    source.count = 4;
    table = ui::View::make<BRPullTableView>(kTableFrame);
    table->setDelegate(&owner);
    table->setDataSource(&source);
    table->setPullDelegate(&owner);
    screen->view()->addSubview(table);
    table->reloadData();
    EXPECT_FALSE(table->refreshView().isHidden());
    EXPECT_FALSE(table->loadMoreView().isHidden());
    releaseAt(-400);
    settle();
    releaseAt(400);
    settle();
    EXPECT_EQ(owner.refreshes, 0);
    EXPECT_EQ(owner.loads, 0);
    EXPECT_EQ(table->refreshView().state(), BRPullRefreshNormal);
    EXPECT_EQ(table->loadMoreView().state(), BRPullRefreshNormal);
}

TEST_F(PullTableTest, TheOwnersOwnDelegateHearsEveryScrollAndTableCall)
{
    build(30);
    EXPECT_EQ(table->ownerDelegate(), &owner);
    pull(200);
    settle();
    driver->tap(gfx::Point{300, 100 + 75});
    for (const char* call : {"heightForRow", "willBeginDragging", "didScroll", "willEndDragging", "didEndDragging",
                             "didSelect 1"})
        EXPECT_NE(std::find(owner.calls.begin(), owner.calls.end(), call), owner.calls.end()) << call;
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}).height(), 50);
}

TEST_F(PullTableTest, TheLastUpdatedTextCountsMinutesHoursAndDaysAndNeverBackwards)
{
    build(30);
    struct Case {
        double secondsAgo;
        const char* expected;
    } cases[] = {
        {0, "Updated 0 minutes ago"},      {60, "Updated 1 minute ago"},   {3540, "Updated 59 minutes ago"},
        {3599, "Updated 59 minutes ago"}, {3600, "Updated 1 hour ago"},   {7199, "Updated 1 hour ago"},
        {7200, "Updated 2 hours ago"},     {86400, "Updated 1 day ago"},   {3 * 86400 + 5, "Updated 3 days ago"},
        {-120, "Updated 0 minutes ago"},
    };
    for (const auto& c : cases) {
        table->setPullLastRefreshDate(base::Date::now().addingTimeInterval(-c.secondsAgo));
        EXPECT_EQ(table->refreshView().lastUpdatedLabel().text(), c.expected) << c.secondsAgo;
        EXPECT_EQ(table->refreshView().statusLabel().frame().y(), 500 - 48);
    }
    table->setPullLastRefreshDate(std::nullopt);
    EXPECT_EQ(table->refreshView().lastUpdatedLabel().text(), "");
    EXPECT_EQ(table->refreshView().statusLabel().frame().y(), 500 - 38);
}

TEST_F(PullTableTest, ArmedAndLoadingInEnglishAndChinese)
{
    struct Case {
        int language;
        const char* tag;
        const char* armed;
        const char* loadMore;
    } cases[] = {{1, "en", "Release to refresh...", "Pull up to load more..."},
                 {2, "zh-Hans", "松开即可刷新...", "上拉加载更多..."}};
    for (const auto& c : cases) {
        defaults()->setObject(base::Value(base::Array{base::Value(c.tag)}), base::UserDefaults::kPreferredLanguagesKey);
        LanguageManager::sharedInstance()->setCurrentLanguage(c.language);
        Language::resetLanguageCache();
        build(30);
        table->setPullLastRefreshDate(base::Date::now().addingTimeInterval(-7200));
        driver->press({300, 150});
        for (int i = 1; i <= 12; ++i)
            driver->moveTo({300, 150 + 400.0 * i / 12});
        driver->wait(0.3);
        EXPECT_EQ(table->refreshView().state(), BRPullRefreshPulling);
        EXPECT_EQ(table->refreshView().statusLabel().text(), c.armed);
        window->savePng(reviewPath(std::string("pull_armed_") + c.tag + ".png"));
        driver->release();
        settle();
        EXPECT_EQ(table->refreshView().state(), BRPullRefreshLoading);
        EXPECT_EQ(table->loadMoreView().statusLabel().text(), c.loadMore);
        window->savePng(reviewPath(std::string("pull_loading_") + c.tag + ".png"));
    }
}

} // namespace

namespace {

TEST(PullTableStrings, BothLanguageTablesHoldEveryHeaderTextWithItsCount)
{
    const char* texts[] = {"Release to refresh...", "Pull down to refresh...", "Loading...",
                           "Updated %ld minute ago", "Updated %ld minutes ago", "Updated %ld hour ago",
                           "Updated %ld hours ago", "Updated %ld day ago", "Updated %ld days ago"};
    for (const char* folder : {"en.lproj", "zh-Hans.lproj"}) {
        auto table = base::PropertyList::readFile(std::string(BRIVANTA_SOURCE_DIR "/Resources/") + folder
                                                  + "/BRPullTableViewLan.strings");
        ASSERT_TRUE(table && table->isDictionary()) << folder;
        for (const char* key : texts) {
            base::Value text = (*table)[key];
            ASSERT_TRUE(text.isString()) << folder << " " << key;
            EXPECT_EQ(std::string(key).find("%ld") != std::string::npos, text.asString().find("%ld") != std::string::npos)
                << folder << " " << key;
        }
    }
}

} // namespace
