// The catalogue's product grid over the large test catalogue:
// - the 5,000-product grid with pictures flung at 60 steps a second (1 s by default, 5 s with
//   BRIVANTA_BENCH_FULL=1) through the grid screen itself: per step, the layout with the tiles
//   it configures plus the frame drawn (p50, p95), and the time from a tile appearing to its
//   picture on screen (p50, p95); beside it the same frames drawn with raw Cairo and Pango from
//   pre-decoded pictures, with the same price and picture-name reads through raw prepared
//   statements;
// - sorting 5,000 and 10,000 products by price with each key read once, as the grid does,
//   against reading both price records at every comparison.
// Prints application / peer from the medians. BRIVANTA_BENCH_SMOKE=1: a few steps over a catalogue
// of 200 products and one sort of those, once each.
#include "BenchSupport.h"
#include "CatalogBenchHome.h"

#include "Classes/Catalog/DetailCell.h"
#include "Classes/Catalog/DetailViewController.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Common/ConfigManager.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"

#include <cairo.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kStepsPerSecond = 60;
constexpr double kPointsPerSecond = 3000; // a brisk flick's pace
const gfx::Rect kGridInWindow(250, 0, 774, 638);

const bool kSmoke = benchsupport::smokeRun();
// The grid's catalogue and the sizes sorted: a smoke run builds one catalogue only, as each
// build writes its pictures anew.
const int kGridProducts = kSmoke ? 200 : 5000;
struct SortSize {
    int products;
    const char* written; // as the ratio line writes it
};
std::vector<SortSize> sortSizes()
{
    if (kSmoke)
        return {{kGridProducts, "200"}};
    return {{5000, "5,000"}, {10000, "10,000"}};
}
void sortArgs(benchmark::internal::Benchmark* b)
{
    for (const SortSize& size : sortSizes())
        b->Arg(size.products);
}

double seconds()
{
    return kSmoke ? 0.1 : std::getenv("BRIVANTA_BENCH_FULL") ? 5 : 1;
}

double millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs the loop in real time until `deadline`: the tiles' reads come back meanwhile.
void runUntil(Clock::time_point deadline)
{
    double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    base::RunLoop::main().runUntil([] { return false; }, std::max(0.0, left));
}

void BM_GridFling(benchmark::State& state)
{
    catalogbench::useCatalogue(kGridProducts);
    auto& loop = base::RunLoop::main();
    loop.setManualClock(false);
    DetailViewController::resetSharedState();
    MasterViewController::resetCurrentState();
    auto window = std::make_shared<ui::Window>();
    window->makeKeyAndVisible();
    auto screen = std::make_shared<DetailViewController>();
    auto nav = std::make_shared<ui::NavigationController>(screen);
    nav->setNavigationBarHidden(true);
    window->setRootViewController(nav);
    window->prepareFrame();
    window->drawFrame(1);
    BRGridView& grid = *screen->productShowView();
    const int steps = static_cast<int>(seconds() * kStepsPerSecond);
    const double stepPoints = kPointsPerSecond / kStepsPerSecond;
    std::vector<double> frames, toPicture;
    for (auto _ : state) {
        grid.setContentOffset({0, 0});
        window->prepareFrame();
        window->drawFrame(1);
        runUntil(Clock::now() + std::chrono::milliseconds(kSmoke ? 30 : 300));
        // Each tile on screen with the tag it showed, and when a new product came to it.
        std::unordered_map<DetailCell*, int> shown;
        std::unordered_map<DetailCell*, std::pair<int, Clock::time_point>> waiting;
        for (auto& cell : grid.visibleCells())
            shown[static_cast<DetailCell*>(cell.get())] = cell->tag();
        auto begin = Clock::now();
        for (int i = 1; i <= steps; ++i) {
            auto start = Clock::now();
            grid.setContentOffset({0, i * stepPoints});
            window->prepareFrame();
            auto laidOut = Clock::now();
            for (auto& cell : grid.visibleCells()) {
                auto* tile = static_cast<DetailCell*>(cell.get());
                if (auto it = shown.find(tile); it == shown.end() || it->second != tile->tag()) {
                    shown[tile] = tile->tag();
                    waiting[tile] = {tile->tag(), laidOut};
                }
            }
            window->drawFrame(1);
            auto drawn = Clock::now();
            frames.push_back(millis(drawn - start));
            for (auto it = waiting.begin(); it != waiting.end();) {
                DetailCell* tile = it->first;
                if (tile->tag() != it->second.first || !tile->superview()) {
                    it = waiting.erase(it); // left the screen before its picture came
                } else if (tile->productImageView().image() && tile->productImageView().alpha() > 0) {
                    toPicture.push_back(millis(drawn - it->second.second));
                    it = waiting.erase(it);
                } else {
                    ++it;
                }
            }
            runUntil(begin + std::chrono::microseconds(static_cast<long>(i * 1e6 / kStepsPerSecond)));
        }
    }
    window->setRootViewController(nullptr);
    state.counters["steps"] = static_cast<double>(frames.size());
    state.counters["step_p50_ms"] = benchsupport::percentile(frames, 0.5);
    state.counters["step_p95_ms"] = benchsupport::percentile(frames, 0.95);
    state.counters["to_picture_p50_ms"] = benchsupport::percentile(toPicture, 0.5);
    state.counters["to_picture_p95_ms"] = benchsupport::percentile(toPicture, 0.95);
}
BENCHMARK(BM_GridFling)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same frames by hand: each tile coming into view reads its price and picture name through
// raw statements and lays out its texts once; every frame clears the grid and draws the
// visible tiles' pictures (decoded and fitted beforehand) and texts.
void BM_GridFlingRaw(benchmark::State& state)
{
    catalogbench::useCatalogue(kGridProducts);
    auto data = DataAccessManager::sharedDataModel();
    std::vector<brivanta_product_Entity> products = data->getAllProducts();
    std::stable_sort(products.begin(), products.end(), [](const auto& a, const auto& b) {
        return a.product_name.value_or("") < b.product_name.value_or("");
    });
    // The tile's own geometry.
    DetailCell model(gfx::Rect(0, 0, 200, 212), "model");
    const gfx::Rect pictureRect = model.productImageView().frame();
    const gfx::Rect nameRect = model.catalogNameLabel().frame(), skuRect = model.skuContentLabel().frame(),
                    priceRect = model.priceContentLabel().frame();
    const gfx::Font nameFont = model.catalogNameLabel().font(), skuFont = model.skuContentLabel().font(),
                    priceFont = model.priceContentLabel().font();

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1024, 768);
    cairo_t* cr = cairo_create(surface);
    // Every picture the grid can show, decoded and fitted to the tile's picture once.
    std::map<std::string, cairo_surface_t*> pictures;
    sqlite3* db = BRDatabase::sharedDataBase()->sqliteHandle();
    sqlite3_stmt* price = nullptr;
    sqlite3_stmt* image = nullptr;
    sqlite3_prepare_v2(db, "select price, discount_price, discount_start_date, discount_end_date, currency from "
                           "brivanta_product_price where product_id = ? limit 1", -1, &price, nullptr);
    sqlite3_prepare_v2(db, "select image_thumb_address from brivanta_image where key_id = ? and image_publis = 1 "
                           "order by image_isdault desc, image_ordering limit 1", -1, &image, nullptr);
    for (const auto& p : products) {
        sqlite3_bind_int(image, 1, p.product_id);
        if (sqlite3_step(image) == SQLITE_ROW) {
            std::string name = reinterpret_cast<const char*>(sqlite3_column_text(image, 0));
            if (!pictures.count(name)) {
                gfx::Image decoded = PublicFunction::getLocalImageFiletype(name, 1);
                double fit = std::min(pictureRect.width() / decoded.size().width, pictureRect.height() / decoded.size().height);
                int w = static_cast<int>(std::lround(decoded.size().width * fit)),
                    h = static_cast<int>(std::lround(decoded.size().height * fit));
                cairo_surface_t* fitted = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
                cairo_t* f = cairo_create(fitted);
                cairo_scale(f, fit, fit);
                cairo_set_source_surface(f, decoded.cairoSurface(), 0, 0);
                cairo_paint(f);
                cairo_destroy(f);
                pictures[name] = fitted;
            }
        }
        sqlite3_reset(image);
    }

    struct Tile {
        cairo_surface_t* picture = nullptr;
        std::unique_ptr<gfx::TextLayout> name, sku, price;
    };
    gfx::TextLayout::Options oneLine;
    oneLine.maxLines = 1;
    oneLine.mode = gfx::LineBreakMode::TruncateTail;
    auto make = [&](size_t index) {
        const auto& p = products[index];
        Tile tile;
        double now = PublicFunction::currentTimeInterval();
        char text[64] = "";
        sqlite3_bind_int(price, 1, p.product_id);
        if (sqlite3_step(price) == SQLITE_ROW) {
            bool discounted = sqlite3_column_double(price, 2) <= now && now <= sqlite3_column_double(price, 3);
            std::snprintf(text, sizeof text, "$%.2f", sqlite3_column_double(price, discounted ? 1 : 0));
        }
        sqlite3_reset(price);
        sqlite3_bind_int(image, 1, p.product_id);
        if (sqlite3_step(image) == SQLITE_ROW)
            tile.picture = pictures[reinterpret_cast<const char*>(sqlite3_column_text(image, 0))];
        sqlite3_reset(image);
        auto options = oneLine;
        options.width = nameRect.width();
        tile.name = std::make_unique<gfx::TextLayout>(cr, p.product_name.value_or(""), nameFont, options);
        options.width = skuRect.width();
        tile.sku = std::make_unique<gfx::TextLayout>(cr, p.product_sku.value_or(""), skuFont, options);
        options.width = priceRect.width();
        tile.price = std::make_unique<gfx::TextLayout>(cr, text, priceFont, options);
        return tile;
    };

    const int steps = static_cast<int>(seconds() * kStepsPerSecond);
    const double stepPoints = kPointsPerSecond / kStepsPerSecond;
    const int columns = 4;
    const double slot = std::floor(kGridInWindow.width() / columns);
    std::vector<double> frames;
    for (auto _ : state) {
        std::map<size_t, Tile> tiles;
        for (int i = 0; i <= steps; ++i) {
            auto start = Clock::now();
            double offset = i * stepPoints;
            size_t firstRow = static_cast<size_t>(offset / 212);
            size_t lastRow = static_cast<size_t>((offset + kGridInWindow.height()) / 212);
            size_t first = firstRow * columns, end = std::min(products.size(), (lastRow + 1) * columns);
            std::erase_if(tiles, [&](const auto& entry) { return entry.first < first || entry.first >= end; });
            for (size_t k = first; k < end; ++k)
                if (!tiles.count(k))
                    tiles.emplace(k, make(k));
            cairo_save(cr);
            cairo_rectangle(cr, kGridInWindow.x(), kGridInWindow.y() + 64, kGridInWindow.width(), kGridInWindow.height());
            cairo_clip(cr);
            cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
            cairo_paint(cr);
            for (auto& [k, tile] : tiles) {
                double x = kGridInWindow.x() + static_cast<double>(k % columns) * slot;
                double y = 64 + static_cast<double>(k / columns) * 212 - offset;
                cairo_set_source_rgb(cr, 1, 1, 1);
                cairo_rectangle(cr, x + 3, y + 3, slot - 6, 206);
                cairo_fill(cr);
                if (tile.picture) {
                    double w = cairo_image_surface_get_width(tile.picture), h = cairo_image_surface_get_height(tile.picture);
                    cairo_set_source_surface(cr, tile.picture, x + pictureRect.x() + (pictureRect.width() - w) / 2,
                                             y + pictureRect.y() + (pictureRect.height() - h) / 2);
                    cairo_paint(cr);
                }
                cairo_set_source_rgb(cr, 0, 0, 0);
                tile.name->draw(cr, {x + nameRect.x(), y + nameRect.y()});
                tile.sku->draw(cr, {x + skuRect.x(), y + skuRect.y()});
                tile.price->draw(cr, {x + priceRect.x(), y + priceRect.y()});
            }
            cairo_restore(cr);
            cairo_surface_flush(surface);
            frames.push_back(millis(Clock::now() - start));
        }
    }
    for (auto& [name, picture] : pictures)
        cairo_surface_destroy(picture);
    sqlite3_finalize(price);
    sqlite3_finalize(image);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    state.counters["steps"] = static_cast<double>(frames.size());
    state.counters["step_p50_ms"] = benchsupport::percentile(frames, 0.5);
    state.counters["step_p95_ms"] = benchsupport::percentile(frames, 0.95);
}
BENCHMARK(BM_GridFlingRaw)->Unit(benchmark::kMillisecond)->Iterations(1);

// The products of the catalogue in name order, as the grid holds them before a price sort.
std::vector<brivanta_product_Entity> byName()
{
    auto products = DataAccessManager::sharedDataModel()->getAllProducts();
    std::stable_sort(products.begin(), products.end(), [](const auto& a, const auto& b) {
        return a.product_name.value_or("") < b.product_name.value_or("");
    });
    return products;
}

void BM_SortByPriceKeysOnce(benchmark::State& state)
{
    catalogbench::useCatalogue(static_cast<int>(state.range(0)));
    auto tags = std::make_shared<MasterViewController::TagProducts>();
    (*tags)["all"] = byName();
    auto screen = std::make_shared<DetailViewController>();
    for (auto _ : state) {
        state.PauseTiming();
        screen->refushRightData(tags);
        state.ResumeTiming();
        screen->sorteProductArryBy(2);
    }
    state.counters["products"] = static_cast<double>(screen->productArray().size());
}
BENCHMARK(BM_SortByPriceKeysOnce)->Apply(sortArgs)->Unit(benchmark::kMillisecond)->Repetitions(kSmoke ? 1 : 3);

// Both records read at every comparison: merge sort, as a comparison read twice may differ.
void BM_SortByPriceReadPerComparison(benchmark::State& state)
{
    catalogbench::useCatalogue(static_cast<int>(state.range(0)));
    auto data = DataAccessManager::sharedDataModel();
    auto list = byName();
    auto effective = [&](int id) {
        auto record = data->getPriceEntityByProductId(id);
        if (record.product_id != id)
            return 0.0;
        return record.discount_flag ? record.discount_price : record.price;
    };
    for (auto _ : state) {
        state.PauseTiming();
        auto products = list;
        state.ResumeTiming();
        std::stable_sort(products.begin(), products.end(),
                         [&](const auto& a, const auto& b) { return effective(a.product_id) < effective(b.product_id); });
        benchmark::DoNotOptimize(products.data());
    }
    state.counters["products"] = static_cast<double>(list.size());
}
BENCHMARK(BM_SortByPriceReadPerComparison)
    ->Apply(sortArgs)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kSmoke ? 1 : 3);

} // namespace

int main(int argc, char** argv)
{
    std::vector<benchsupport::MedianRatioReporter::Pair> pairs = {
        {"fling step (layout, tiles, frame) p50", "BM_GridFling", "BM_GridFlingRaw", "step_p50_ms"},
        {"fling step (layout, tiles, frame) p95", "BM_GridFling", "BM_GridFlingRaw", "step_p95_ms"}};
    for (const SortSize& size : sortSizes()) {
        std::string n = std::to_string(size.products);
        pairs.push_back({std::string("price sort, ") + size.written + ": keys once / read per comparison",
                         "BM_SortByPriceKeysOnce/" + n, "BM_SortByPriceReadPerComparison/" + n, ""});
    }
    return benchsupport::runWithMedianRatios(argc, argv, std::move(pairs));
}
