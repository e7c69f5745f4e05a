// The product page over the large test catalogue (5,000 products with 1024 x 748 images):
// opened on a product, then stepped 20 times as a swipe does, each time until the next frame
// is rendered (p50, p95); beside it, decoding and fitting the same full image alone.
#include "CatalogFixture.h"

#include "Classes/Catalog/ProductDetailController.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSteps = 20;

struct Catalogue {
    fs::path folder;
    std::vector<brivanta_product_Entity> products;

    Catalogue()
    {
        std::string pattern = (fs::temp_directory_path() / "brpage-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        auto ids = catalogfixture::build({.seed = 7, .products = 5000}, "bench").productIds;
        auto data = DataAccessManager::sharedDataModel();
        if (!data->hasModels())
            std::abort();
        for (int i = 0; i < kSteps + 1; ++i)
            if (auto p = data->getProductByProductId(ids[static_cast<size_t>(i) * 97 % ids.size()]))
                products.push_back(*p);
        QuoteOrderStore::sharedQuoteOrderStore()->setIsOrderOnShow(true);
    }
    ~Catalogue() { fs::remove_all(folder); }
};

Catalogue& catalogue()
{
    static Catalogue c;
    return c;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

double millis(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_ProductPageSteps(benchmark::State& state)
{
    auto& c = catalogue();
    std::vector<double> steps;
    // Animations run on the loop's clock: moved by hand between swipes, not waited for.
    base::RunLoop::main().setManualClock(true);
    for (auto _ : state) {
        auto window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        auto page = std::make_shared<ProductDetailController>();
        page->setProductEntity(c.products[0]);
        page->setProductID(c.products[0].product_id);
        page->setProductArray(c.products);
        page->setProductCount(static_cast<int>(c.products.size()));
        auto nav = std::make_shared<ui::NavigationController>(page);
        window->setRootViewController(nav);
        auto context = gfx::Context::createBitmap(ui::Window::kScreenSize, 1);
        window->render(*context);
        for (int i = 0; i < kSteps && page->tag() + 1 < static_cast<int>(c.products.size()); ++i) {
            auto start = std::chrono::steady_clock::now();
            page->slipToLeft(nullptr);
            window->render(*context);
            steps.push_back(millis(std::chrono::steady_clock::now() - start));
            // The step's transition and title fade run out before the next swipe.
            base::RunLoop::main().advance(0.45);
        }
        window->setRootViewController(nullptr);
    }
    base::RunLoop::main().setManualClock(false);
    state.counters["steps"] = static_cast<double>(steps.size());
    state.counters["step_to_frame_p50_ms"] = percentile(steps, 0.5);
    state.counters["step_to_frame_p95_ms"] = percentile(steps, 0.95);
}
BENCHMARK(BM_ProductPageSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DecodeAndFitAlone(benchmark::State& state)
{
    auto& c = catalogue();
    auto data = DataAccessManager::sharedDataModel();
    std::vector<double> times;
    for (auto _ : state) {
        for (size_t i = 1; i < c.products.size(); ++i) {
            auto record = data->getImageByKeyId(c.products[i].product_id);
            auto start = std::chrono::steady_clock::now();
            gfx::Image image = PublicFunction::getLocalImageFiletype(record ? record->image_full_address : std::nullopt, 1);
            if (PublicFunction::imageIsNeedToScaleToFitSize(image, {1024, 748}))
                image = PublicFunction::scaleImageToFitSize(image, {1024, 748});
            benchmark::DoNotOptimize(image);
            times.push_back(millis(std::chrono::steady_clock::now() - start));
        }
    }
    state.counters["decode_fit_p50_ms"] = percentile(times, 0.5);
    state.counters["decode_fit_p95_ms"] = percentile(times, 0.95);
}
BENCHMARK(BM_DecodeAndFitAlone)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
