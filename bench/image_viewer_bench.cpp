// The product image viewer paging through 50 full images of 1024 x 748 JPEG: per page change,
// the time until the page is on screen with at least its placeholder (change and one rendered
// frame) and until its full image is on screen (the background read and the display queue
// included), as medians and 95th percentiles; beside it, a plain decode and fit of the same
// files on the same machine.
#include "Classes/Catalog/ProductDetailImageController.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"

#include "ProductImagesBenchHome.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kImages = 50;

struct Pictures {
    fs::path folder;
    fs::path images;
    Pictures()
    {
        folder = benchhome::makeProductImagesHome("brviewer-bench", images);
        // Pictures with detail, so that the JPEG decoder has real work.
        for (int i = 0; i < kImages; ++i) {
            for (auto [size, suffix] : {std::pair{gfx::Size{1024, 748}, ""}, std::pair{gfx::Size{160, 110}, "_t"}}) {
                auto context = gfx::Context::createBitmap(size, 1);
                for (int band = 0; band < 24; ++band) {
                    context->setFillColor(gfx::Color::fromRgb((i * 37 + band * 11) % 256, (band * 53) % 256, (i * 7) % 256));
                    context->fillRect({0, band * size.height / 24, size.width, size.height / 24});
                }
                context->savePng((images / ("img" + std::to_string(i) + suffix + ".png")).string());
            }
        }
        std::string command = "cd '" + images.string() + "' && mogrify -quality 85 -format jpg *.png && rm -f *.png";
        if (std::system(command.c_str()) != 0)
            std::abort();
    }
    ~Pictures() { fs::remove_all(folder); }
    static std::string full(int i) { return "img" + std::to_string(i) + ".jpg"; }
    static std::string thumb(int i) { return "img" + std::to_string(i) + "_t.jpg"; }
};

Pictures& pictures()
{
    static Pictures p;
    return p;
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

void BM_ViewerPaging(benchmark::State& state)
{
    pictures();
    std::vector<double> placeholder, full;
    for (auto _ : state) {
        auto window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        auto root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        auto viewer = std::make_shared<ProductDetailImageController>();
        for (int i = 0; i < kImages; ++i) {
            viewer->ImagesArray.push_back(Pictures::full(i));
            viewer->thumbImagesArray.push_back(Pictures::thumb(i));
        }
        root->presentViewController(viewer, false);
        auto context = gfx::Context::createBitmap(ui::Window::kScreenSize, 1);
        window->render(*context);
        for (int page = 1; page < kImages; ++page) {
            auto start = std::chrono::steady_clock::now();
            viewer->myScrollView()->setContentOffset({page * 1024.0, 0});
            window->render(*context);
            auto shown = std::chrono::steady_clock::now();
            auto& view = viewer->bigImageViews()[static_cast<size_t>(page)];
            base::RunLoop::main().runUntil([&] { return view->imageView()->image().size() == gfx::Size{1024, 748}; }, 10);
            window->render(*context);
            auto done = std::chrono::steady_clock::now();
            placeholder.push_back(millis(shown - start));
            full.push_back(millis(done - start));
        }
        root->dismissViewController(false);
    }
    state.counters["pages"] = static_cast<double>(placeholder.size());
    state.counters["placeholder_p50_ms"] = percentile(placeholder, 0.5);
    state.counters["placeholder_p95_ms"] = percentile(placeholder, 0.95);
    state.counters["full_p50_ms"] = percentile(full, 0.5);
    state.counters["full_p95_ms"] = percentile(full, 0.95);
}
BENCHMARK(BM_ViewerPaging)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PlainDecodeAndFit(benchmark::State& state)
{
    pictures();
    std::vector<double> times;
    for (auto _ : state) {
        for (int i = 0; i < kImages; ++i) {
            auto start = std::chrono::steady_clock::now();
            gfx::Image image = gfx::Image::fromFile((pictures().images / Pictures::full(i)).string());
            gfx::Size page{1024, 748};
            if (PublicFunction::imageIsNeedToScaleToFitSize(image, page))
                image = PublicFunction::scaleImageToFitSize(image, page);
            benchmark::DoNotOptimize(image);
            times.push_back(millis(std::chrono::steady_clock::now() - start));
        }
    }
    state.counters["decode_fit_p50_ms"] = percentile(times, 0.5);
    state.counters["decode_fit_p95_ms"] = percentile(times, 0.95);
}
BENCHMARK(BM_PlainDecodeAndFit)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
