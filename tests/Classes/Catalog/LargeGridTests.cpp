// The product grid over the large test catalogue (5,000 products sharing 40 picture sets), in
// the headless window: where the tiles sit beside the panel and at full width, and every
// visible tile showing its own product's picture after a fling and a run to the end of the
// list and back.
#include "tests/App/AppWindowTestSupport.h"

#include "CatalogFixture.h"

#include "Classes/Catalog/DetailViewController.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Value.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NavigationController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kProducts = 5000;
constexpr int kPictureSets = 40; // as the large fixture shares them

class LargeGridTest : public apptest::AppWindowTest {
protected:
    LargeGridTest()
    {
        DataAccessManager::releaseDataModel();
        ConfigManager::freeInstance();
        QuoteOrderStore::freeInstance();
        DetailViewController::resetSharedState();
        MasterViewController::resetCurrentState();
        client = catalogfixture::build({.seed = 5, .products = kProducts}).clientId;
    }
    ~LargeGridTest() override
    {
        window->setRootViewController(nullptr);
        nav.reset();
        screen.reset();
        base::RunLoop::main().advance(1);
        DetailViewController::resetSharedState();
        QuoteOrderStore::freeInstance();
        ConfigManager::freeInstance();
        DataAccessManager::releaseDataModel();
    }

    void show(const std::string& leftPanel)
    {
        ConfigEntity modules;
        modules.clientid = client;
        modules.configType = "configuration";
        modules.desc = "1,1,1,1,1,1,1";
        ConfigEntity panel;
        panel.clientid = client;
        panel.configType = "left_panel";
        panel.desc = leftPanel;
        ConfigManager::sharedInstance()->syncConfigData(std::vector<ConfigEntity>{modules, panel});
        window->setRootViewController(nullptr);
        screen = std::make_shared<DetailViewController>();
        nav = std::make_shared<ui::NavigationController>(screen);
        nav->setNavigationBarHidden(true);
        window->setRootViewController(nav);
        window->layoutIfNeeded();
    }
    BRGridView& grid() const { return *screen->productShowView(); }

    // Tiles lying wholly inside the grid's visible part.
    std::vector<DetailCell*> wholeTiles() const
    {
        std::vector<DetailCell*> tiles;
        gfx::Rect seen = grid().bounds();
        for (auto& cell : grid().visibleCells())
            if (auto* tile = dynamic_cast<DetailCell*>(cell.get()); tile && !tile->isHidden() && seen.contains(tile->frame()))
                tiles.push_back(tile);
        return tiles;
    }
    // The reads run on worker threads: real time until every whole tile shows a picture.
    bool picturesArrive()
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(false);
        bool done = loop.runUntil(
            [&] {
                window->layoutIfNeeded();
                for (auto* tile : wholeTiles())
                    if (!tile->productImageView().image() || tile->productImageView().alpha() < 1)
                        return false;
                return true;
            },
            20);
        loop.setManualClock(true);
        loop.advance(1); // the pictures' fade-in runs on the loop's clock
        return done;
    }
    // The tiles whose picture, sampled left of the drawing in the middle, is not their
    // product's colour; "" when every whole tile shows its own.
    std::string wrongPictures()
    {
        gfx::Image shot = window->snapshot();
        std::string wrong;
        for (auto* tile : wholeTiles()) {
            gfx::Rect area = tile->productImageView().convertRectToView(tile->productImageView().bounds(), nullptr);
            gfx::Color seen = shot.colorAt(static_cast<int>(area.x() + 12), static_cast<int>(area.midY()));
            gfx::Color want = catalogfixture::colorOfProduct(1 + tile->productId() % kPictureSets);
            if (std::abs(seen.r - want.r) > 0.1 || std::abs(seen.g - want.g) > 0.1 || std::abs(seen.b - want.b) > 0.1)
                wrong += " " + std::to_string(tile->productId());
        }
        return wrong;
    }
    // Stepped at 60 steps a second, 2,400 points a step, to the given offset.
    void runTo(double target)
    {
        auto& loop = base::RunLoop::main();
        double y = grid().contentOffset().y;
        while (std::abs(target - y) > 0.5) {
            y = target > y ? std::min(target, y + 2400) : std::max(target, y - 2400);
            grid().setContentOffset({0, y});
            loop.advance(1.0 / 60);
        }
    }

    std::string client;
    std::shared_ptr<DetailViewController> screen;
    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(LargeGridTest, TilesSitInTheirSlotsAndShowTheirOwnPicturesAfterAFlingThroughTheList)
{
    struct Case {
        const char* leftPanel;
        gfx::Rect gridFrame;
        uint32_t columns;
        double firstX, step, width;
        const char* picture;
    } cases[] = {
        {"normal", {250, 0, 774, 638}, 4, 0, 193, 193, "grid_tiles_774.png"},
        {"overlay", {0, 0, 1024, 638}, 5, 2, 204, 200, "grid_tiles_1024.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leftPanel);
        show(c.leftPanel);
        ASSERT_EQ(screen->productArray().size(), static_cast<size_t>(kProducts));
        EXPECT_EQ(grid().frame(), c.gridFrame);
        ASSERT_EQ(grid().numberOfColumns(), c.columns);
        for (uint32_t i = 0; i < c.columns * 2; ++i) {
            auto cell = grid().cellForItemAtIndex(i);
            ASSERT_TRUE(cell) << i;
            EXPECT_EQ(cell->frame(), gfx::Rect(c.firstX + (i % c.columns) * c.step, (i / c.columns) * 212.0, c.width, 212))
                << i;
            EXPECT_EQ(cell->tag(), DetailViewController::kTileTagBase + static_cast<int>(i));
        }
        ASSERT_TRUE(picturesArrive());
        EXPECT_EQ(wrongPictures(), "");
        driver->screenshot(reviewPath(c.picture));
    }

    // A fling through the driver, then a run to the last row and back, at 60 steps a second;
    // reused tiles whose reads come back late must not keep an earlier product's picture.
    auto& loop = base::RunLoop::main();
    driver->drag({600, 600}, {600, 150}, 0.08, 4);
    for (int frame = 0; frame < 90; ++frame)
        loop.advance(1.0 / 60);
    EXPECT_GT(grid().contentOffset().y, 450) << "the fling carried on after the finger lifted";
    double end = grid().contentSize().height - grid().bounds().height();
    EXPECT_EQ(end, std::ceil(kProducts / 5.0) * 212 - 638);
    runTo(end);
    ASSERT_TRUE(picturesArrive());
    EXPECT_EQ(wrongPictures(), "") << "at the end";
    int lastTag = 0;
    for (auto* tile : wholeTiles())
        lastTag = std::max(lastTag, tile->tag());
    EXPECT_EQ(lastTag, DetailViewController::kTileTagBase + kProducts - 1) << "the last row shows whole";
    driver->screenshot(reviewPath("grid_tiles_1024_end.png"));
    runTo(0);
    ASSERT_TRUE(picturesArrive());
    EXPECT_EQ(wrongPictures(), "") << "back at the top";
    EXPECT_EQ(grid().cellForItemAtIndex(0)->tag(), DetailViewController::kTileTagBase);

    // A sort value that names no order keeps the list, reloads and returns to the top.
    runTo(21200);
    auto before = screen->productArray();
    base::NotificationCenter::defaultCenter().post("SORT_PRODUCT", std::make_shared<base::Value>(3));
    EXPECT_EQ(grid().contentOffset().y, 0);
    ASSERT_EQ(screen->productArray().size(), before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), screen->productArray().begin(),
                           [](const auto& a, const auto& b) { return a.product_id == b.product_id; }));
}

} // namespace
