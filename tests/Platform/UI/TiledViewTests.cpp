#include "Platform/Graphics/Context.h"
#include "Platform/UI/TiledView.h"
#include "Platform/UI/Driver.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Platform/UI/UITestSupport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using uitest::WindowTest;

// Paints each point with a colour from its position, so any tile can be checked.
class TiledViewTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        holder = ui::View::make<ui::View>(gfx::Rect(0, 0, 1024, 768));
        window->addSubview(holder);
        tiled = ui::View::make<ui::TiledView>(gfx::Rect(0, 0, 3000, 3000));
        tiled->setLevelsOfDetail(4);
        tiled->setLevelsOfDetailBias(ui::TiledView::biasForScale(window->scale()));
        tiled->setTileSize(ui::TiledView::tileSizeForWindow(window->scale(), window->bounds().size));
        tiled->setDrawCallback([this](gfx::Context& context, const gfx::Rect& rect) {
            ++calls;
            if (std::this_thread::get_id() != mainThread)
                ++offMain;
            if (gate) {
                std::unique_lock lock(gateMutex);
                gateOpen.wait(lock, [&] { return !gate; });
            }
            context.setFillColor(gfx::Color{0, 0.5, 1, 1});
            context.fillRect(rect);
        });
        holder->addSubview(tiled);
    }
    // Waits in real time for work the tile threads post back.
    bool pollUntil(const std::function<bool()>& done, int turns = 30000)
    {
        for (int i = 0; i < turns && !done(); ++i) {
            base::RunLoop::main().runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    void zoom(double scale, gfx::Point shift = {})
    {
        holder->setTransform(gfx::AffineTransform::scaling(scale, scale));
        holder->setCenter({512 * scale + shift.x, 384 * scale + shift.y});
    }

    std::shared_ptr<ui::View> holder;
    std::shared_ptr<ui::TiledView> tiled;
    std::atomic<int> calls{0};
    std::atomic<int> offMain{0};
    std::thread::id mainThread = std::this_thread::get_id();
    std::mutex gateMutex;
    std::condition_variable gateOpen;
    bool gate = false;
};

TEST_F(TiledViewTest, SettingsFollowTheWindow)
{
    struct Case {
        double scale;
        gfx::Size size;
        int tile, bias;
    } cases[] = {{1, {1024, 768}, 1024, 3}, {2, {1024, 768}, 1024, 2}, {1, {400, 300}, 512, 3}, {1.5, {300, 200}, 512, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(ui::TiledView::tileSizeForWindow(c.scale, c.size), c.tile);
        EXPECT_EQ(ui::TiledView::biasForScale(c.scale), c.bias);
    }
}

// Each step zooms or scrolls and draws what is due; the counters say which tiles were drawn.
TEST_F(TiledViewTest, OnlyVisibleTilesOfTheNeededLevelAreDrawn)
{
    struct Step {
        double zoom;
        gfx::Point shift;
        double levelScale;
        int drawnAtLevel; // cumulative at that level
    } steps[] = {
        {1, {}, 1, 1},            // 1024 points a tile: the window sees one
        {3, {}, 4, 2},            // 256 points a tile at 4 pixels a point: 341 x 256 visible
        {3, {-768, 0}, 4, 3},     // scrolled right by 256 points: one new column
        {3, {-768, 0}, 4, 3},     // nothing new
        {0.9, {}, 1, 2},          // back down: the first tile is still kept, its neighbour shows
        {8, {}, 8, 1},            // beyond the top level: the top level, 128-point tiles
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.zoom);
        zoom(s.zoom, s.shift);
        tiled->drawVisibleTilesNow();
        EXPECT_EQ(tiled->tilesDrawnAtScale(s.levelScale), s.drawnAtLevel);
    }
    EXPECT_EQ(tiled->tilesDrawn(), 2 + 3 + 1);
    // Shown without further drawing.
    zoom(1);
    gfx::Image shot = window->snapshot();
    EXPECT_NEAR(shot.colorAt(500, 400).g, 0.5, 0.01);
    EXPECT_NEAR(shot.colorAt(500, 400).b, 1.0, 0.01);
}

// A view resting at a fitted zoom is drawn at that exact scale, not the next power of two.
TEST_F(TiledViewTest, TheFittingLevelServesAtAndBelowItsScale)
{
    tiled->setFitLevelScale(0.75);
    struct Step {
        double zoom;
        double levelScale;
        int drawnAtLevel; // cumulative at that level
    } steps[] = {
        {0.75, 0.75, 1}, // 1365-point tiles: the window sees one
        {0.5, 0.75, 4},  // further out, still the fitting level: 2 x 2, one kept
        {0.9, 1, 2},     // above it: the power of two, 1024-point tiles
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.zoom);
        zoom(s.zoom);
        tiled->drawVisibleTilesNow();
        EXPECT_EQ(tiled->tilesDrawnAtScale(s.levelScale), s.drawnAtLevel);
    }
    zoom(0.75);
    gfx::Image shot = window->snapshot();
    EXPECT_NEAR(shot.colorAt(700, 500).b, 1.0, 0.01);
    // Another fitting scale: the old tiles no longer line up and go.
    EXPECT_EQ(tiled->keptTileCount(), 6u);
    tiled->setFitLevelScale(0.6);
    EXPECT_EQ(tiled->keptTileCount(), 2u);
    zoom(0.6);
    int before = tiled->tilesDrawn();
    tiled->drawVisibleTilesNow();
    // 1707-point tiles: one shows; the count goes on from the old scale.
    EXPECT_EQ(tiled->tilesDrawnAtScale(0.6), 4 + 1);
    EXPECT_EQ(tiled->tilesDrawn(), before + 1);
}

TEST_F(TiledViewTest, WorkersDrawAndTheWindowShowsTheirTiles)
{
    zoom(3);
    window->snapshot(); // draws, and so asks for the due tiles
    ASSERT_TRUE(pollUntil([&] { return tiled->tilesDrawnAtScale(4) == 2; }));
    EXPECT_EQ(offMain, calls);
    // One pass drew the two tiles of the level together.
    EXPECT_EQ(calls, 1);
    gfx::Image shot = window->snapshot();
    for (gfx::Point p : {gfx::Point{5, 5}, gfx::Point{1000, 700}, gfx::Point{600, 100}})
        EXPECT_NEAR(shot.colorAt(int(p.x), int(p.y)).b, 1.0, 0.01) << p.x << "," << p.y;
}

// Tiles cut from one pass share its pixels: each must show its own part, after the pass's
// drawing context is gone.
TEST_F(TiledViewTest, TilesOfOnePassShowTheirOwnParts)
{
    tiled->setDrawCallback([this](gfx::Context& context, const gfx::Rect&) {
        ++calls;
        const gfx::Color colours[] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 1}};
        for (int i = 0; i < 4; ++i) {
            context.setFillColor(colours[i]);
            context.fillRect(gfx::Rect(i % 2 * 256, i / 2 * 256, 256, 256));
        }
    });
    // 4 pixels a point: 256-point tiles; the window shows points 0..341 x 128..384, 2 x 2 tiles.
    zoom(3, {0, -384});
    tiled->drawVisibleTilesNow();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(tiled->tilesDrawnAtScale(4), 4);
    gfx::Image shot = window->snapshot();
    struct Probe {
        int x, y;
        double r, g, b;
    } probes[] = {{300, 216, 1, 0, 0}, {900, 216, 0, 1, 0}, {300, 516, 0, 0, 1}, {900, 516, 1, 1, 0}};
    for (const auto& p : probes) {
        auto c = shot.colorAt(p.x, p.y);
        EXPECT_NEAR(c.r, p.r, 0.01) << p.x << "," << p.y;
        EXPECT_NEAR(c.g, p.g, 0.01) << p.x << "," << p.y;
        EXPECT_NEAR(c.b, p.b, 0.01) << p.x << "," << p.y;
    }
}

TEST_F(TiledViewTest, ScriptedScreenshotsWaitForNoWorker)
{
    ui::Driver driver(*window);
    basetest::TempDir dir;
    ASSERT_TRUE(driver.screenshot((dir / "shot.png").string()));
    EXPECT_EQ(tiled->tilesDrawnAtScale(1), 1);
    gfx::Image shot = gfx::Image::fromFile((dir / "shot.png").string());
    EXPECT_NEAR(shot.colorAt(500, 400).b, 1.0, 0.01);
}

TEST_F(TiledViewTest, DetachedViewsTakeNoLateTilesAndRunNoCallbacks)
{
    gate = true;
    window->snapshot();
    // Not fatal: a worker held at the gate must be let go below, whatever happens here.
    EXPECT_TRUE(pollUntil([&] { return calls == 1; }));
    tiled->removeFromSuperview();
    tiled->detach();
    {
        std::lock_guard lock(gateMutex);
        gate = false;
    }
    gateOpen.notify_all();
    // The pass in flight ends; its tiles are dropped.
    pollUntil([] { return false; }, 50);
    EXPECT_EQ(tiled->keptTileCount(), 0u);
    EXPECT_EQ(tiled->tilesDrawn(), 0);
    holder->addSubview(tiled);
    window->snapshot();
    tiled->drawVisibleTilesNow();
    EXPECT_EQ(calls, 1);
}

TEST_F(TiledViewTest, KeptTilesStayWithinTheBudget)
{
    tiled->setFrame(gfx::Rect(0, 0, 40000, 3000));
    size_t most = 0;
    for (int step = 0; step < 40; ++step) {
        zoom(step % 2 ? 3 : 1.5, {-900.0 * step, 0});
        tiled->drawVisibleTilesNow();
        most = std::max(most, tiled->keptTileBytes());
    }
    EXPECT_GT(tiled->tilesDrawn(), 40);
    EXPECT_LE(most, ui::TiledView::kTileBudgetBytes);
}

// A small picture of the whole view comes from its kept tiles, averaged down where it lands on
// whole pixels and filtered by Cairo where it does not. Either way it must match the content
// drawn small directly: across tile seams, with a fractional last row and column of tiles,
// at a fitting scale above one, and shifted off the pixel grid.
TEST_F(TiledViewTest, APictureFromKeptTilesMatchesTheContentDrawnSmall)
{
    auto content = [](gfx::Context& context, const gfx::Rect&) {
        // Each band over the ground, never edge to edge with another (whose seams would show
        // the white beneath in either picture, differently).
        context.setFillColor(gfx::Color{0.1, 0.2, 0.8, 1});
        context.fillRect(gfx::Rect(0, 0, 700, 800));
        for (int i = 1; i * 13 < 700; i += 2) {
            context.setFillColor(gfx::Color{0.9, 0.1, 0.1, 1});
            context.fillRect(gfx::Rect(i * 13, 0, 13, 800));
        }
        for (int j = 0; j * 9 < 800; j += 2) {
            context.setFillColor(gfx::Color{0, 1, 0, 0.5});
            context.fillRect(gfx::Rect(0, j * 9, 700, 9));
        }
    };
    tiled->setDrawCallback(content);
    struct Case {
        gfx::Size view;
        double fit;
        int tileSize;
        gfx::Size pixels;
        double shift;
        double pictureScale = 1; // the picture's own pixels a point
    } cases[] = {
        {{587.3, 760.2}, 1, 1024, {184, 240}, 0},   // one tile holds it
        {{587.3, 760.2}, 1, 256, {184, 240}, 0},    // 3 x 3 tiles, partial at the right and bottom
        {{300, 200}, 2, 256, {31, 21}, 0},          // twice the pixels of points, tiny picture
        {{587.3, 760.2}, 1, 256, {184, 240}, 0.5},  // off the grid: the filtered road
        {{587.3, 760.2}, 1, 256, {184, 240}, 0, 2}, // a picture of two pixels a point
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.view.width << "x" << c.view.height << " tiles " << c.tileSize
                                        << " shift " << c.shift);
        tiled->setFrame(gfx::Rect(gfx::Point{}, c.view));
        tiled->setTileSize(c.tileSize);
        tiled->setFitLevelScale(c.fit);
        zoom(c.fit);
        tiled->drawVisibleTilesNow();
        gfx::Image made[2];
        for (int direct = 0; direct < 2; ++direct) {
            gfx::Size points{c.pixels.width / c.pictureScale, c.pixels.height / c.pictureScale};
            auto context = gfx::Context::createBitmap(points, c.pictureScale);
            context->setFillColor(gfx::Color::white());
            context->fillRect(gfx::Rect(gfx::Point{}, points));
            context->translate(c.shift, c.shift);
            context->scaleBy(points.width / c.view.width, points.height / c.view.height);
            if (direct)
                content(*context, tiled->bounds());
            else
                ASSERT_TRUE(tiled->drawFromKeptTiles(*context));
            made[direct] = context->makeImage();
        }
        double worst = 0;
        for (int y = 1; y < int(c.pixels.height) - 1; ++y)
            for (int x = 1; x < int(c.pixels.width) - 1; ++x) {
                gfx::Color a = made[0].colorAt(x, y), b = made[1].colorAt(x, y);
                worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
            }
        EXPECT_LE(worst, 6 / 255.0);
    }
}

} // namespace
