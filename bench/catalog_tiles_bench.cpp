// The catalogue's product tiles over the large test catalogue (5,000 products; 10,000 with
// BRIVANTA_BENCH_FULL=1):
// - configuring 1,000 tiles (price record, discount text measured, thumbnail read queued),
//   side by side with the same price and image-name reads through raw prepared SQLite
//   statements and bare Pango measuring;
// - opening the favourites popup with 200 favourites to its first drawn frame, side by side
//   with reading and decoding the same 200 thumbnails alone.
#include "CatalogFixture.h"

#include "Classes/Catalog/DetailCell.h"
#include "Classes/Catalog/ProductFavoriteController.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Database/FavoriteModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"

#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

constexpr int kTiles = 1000;
constexpr int kFavorites = 200;

struct Catalogue {
    fs::path folder;
    int products = 0;
    std::vector<int> ids;

    Catalogue()
    {
        products = std::getenv("BRIVANTA_BENCH_FULL") ? 10000 : 5000;
        std::string pattern = (fs::temp_directory_path() / "brtiles-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        ids = catalogfixture::build({.seed = 11, .products = products}, "bench").productIds;
        if (!DataAccessManager::sharedDataModel()->hasModels())
            std::abort();
    }
    ~Catalogue() { fs::remove_all(folder); }
};

Catalogue& catalogue()
{
    static Catalogue c;
    return c;
}

// Counts the background reads, so each round can wait for its own before the next.
std::atomic<int> g_reads{0};

void waitForReads(int expected)
{
    auto& loop = base::RunLoop::main();
    loop.runUntil([&] { return g_reads.load() >= expected; }, 60);
    loop.runUntil([] { return false; }, 0.01);
}

void BM_ConfigureTiles(benchmark::State& state)
{
    auto& c = catalogue();
    DetailCell::setImageReaderForTesting([](const std::optional<std::string>& name) {
        gfx::Image image = PublicFunction::getLocalImageFiletype(name, 1);
        ++g_reads;
        return image;
    });
    auto window = std::make_shared<ui::Window>();
    auto tile = std::make_shared<DetailCell>(gfx::Rect(0, 0, 200, 212), "DetailCell");
    window->addSubview(tile);
    auto data = DataAccessManager::sharedDataModel();
    for (auto _ : state) {
        int before = g_reads;
        for (int i = 0; i < kTiles; ++i) {
            int id = c.ids[static_cast<size_t>(i * 5) % c.ids.size()];
            tile->setProductId(id);
            auto image = data->getImageByKeyId(id);
            tile->setImagename(image ? image->image_thumb_address : std::nullopt);
            tile->loadImageAsyncWihtAnimation(false);
        }
        state.PauseTiming();
        waitForReads(before + kTiles);
        state.ResumeTiming();
    }
    DetailCell::setImageReaderForTesting({});
    state.SetItemsProcessed(state.iterations() * kTiles);
}
BENCHMARK(BM_ConfigureTiles)->Unit(benchmark::kMillisecond);

void BM_ConfigureTilesRaw(benchmark::State& state)
{
    auto& c = catalogue();
    sqlite3* db = BRDatabase::sharedDataBase()->sqliteHandle();
    sqlite3_stmt* price = nullptr;
    sqlite3_stmt* image = nullptr;
    sqlite3_prepare_v2(db, "select price, discount_price, discount_start_date, discount_end_date, currency from "
                           "brivanta_product_price where product_id = ? limit 1", -1, &price, nullptr);
    sqlite3_prepare_v2(db, "select image_thumb_address from brivanta_image where key_id = ? and image_publis = 1 "
                           "order by image_isdault desc, image_ordering limit 1", -1, &image, nullptr);
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* context = pango_font_map_create_context(map);
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* font = pango_font_description_from_string("Liberation Sans 14");
    pango_layout_set_font_description(layout, font);
    double now = PublicFunction::currentTimeInterval();
    long total = 0;
    for (auto _ : state) {
        for (int i = 0; i < kTiles; ++i) {
            int id = c.ids[static_cast<size_t>(i * 5) % c.ids.size()];
            sqlite3_bind_int(price, 1, id);
            if (sqlite3_step(price) == SQLITE_ROW) {
                char text[64];
                std::snprintf(text, sizeof text, "$%.2f", sqlite3_column_double(price, 0));
                int width = 0, height = 0;
                pango_layout_set_text(layout, text, -1);
                pango_layout_get_pixel_size(layout, &width, &height);
                total += width;
                if (sqlite3_column_double(price, 2) <= now && now <= sqlite3_column_double(price, 3)) {
                    std::snprintf(text, sizeof text, "$%.2f", sqlite3_column_double(price, 1));
                    pango_layout_set_text(layout, text, -1);
                    pango_layout_get_pixel_size(layout, &width, &height);
                    total += width;
                }
            }
            sqlite3_reset(price);
            sqlite3_bind_int(image, 1, id);
            if (sqlite3_step(image) == SQLITE_ROW)
                total += sqlite3_column_bytes(image, 0);
            sqlite3_reset(image);
        }
    }
    benchmark::DoNotOptimize(total);
    sqlite3_finalize(price);
    sqlite3_finalize(image);
    pango_font_description_free(font);
    g_object_unref(layout);
    g_object_unref(context);
    state.SetItemsProcessed(state.iterations() * kTiles);
}
BENCHMARK(BM_ConfigureTilesRaw)->Unit(benchmark::kMillisecond);

std::vector<brivanta_favorite_Entity> favorites()
{
    auto& c = catalogue();
    std::vector<brivanta_favorite_Entity> list;
    for (int i = 0; i < kFavorites; ++i) {
        brivanta_favorite_Entity f;
        f.product_id = c.ids[static_cast<size_t>(i * 7) % c.ids.size()];
        f.product_sku = "SKU-" + std::to_string(f.product_id);
        f.product_name = "Product " + std::to_string(f.product_id);
        list.push_back(f);
    }
    return list;
}

void BM_FavouritesToFirstFrame(benchmark::State& state)
{
    catalogue();
    auto list = favorites();
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    auto window = std::make_shared<ui::Window>();
    window->makeKeyAndVisible();
    window->snapshot();
    for (auto _ : state) {
        auto popup = std::make_shared<ProductFavoriteController>();
        popup->setFavArray(list);
        window->addSubview(popup->view());
        benchmark::DoNotOptimize(window->snapshot());
        state.PauseTiming();
        popup->view()->removeFromSuperview();
        popup.reset();
        window->snapshot();
        state.ResumeTiming();
    }
    window.reset();
    loop.advance(10);
    loop.setManualClock(false);
    state.SetItemsProcessed(state.iterations() * kFavorites);
}
BENCHMARK(BM_FavouritesToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_FavouriteThumbnailsDecodedAlone(benchmark::State& state)
{
    catalogue();
    auto list = favorites();
    auto data = DataAccessManager::sharedDataModel();
    std::vector<std::string> paths;
    for (const auto& f : list)
        if (auto image = data->getImageByKeyId(f.product_id))
            if (auto path = PublicFunction::filePathWithNameFiletype(image->image_thumb_address, 1))
                paths.push_back(*path);
    for (auto _ : state)
        for (const auto& path : paths)
            benchmark::DoNotOptimize(gfx::Image::fromFile(path).pixelAt(1, 1));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(paths.size()));
}
BENCHMARK(BM_FavouriteThumbnailsDecodedAlone)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
