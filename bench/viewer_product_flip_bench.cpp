// The image viewer flipped across products every 2 s, 20 times, over full pictures of 7990 x
// 7990 PNG and small thumbnails: how many pages are blank when the card move ends, how many show
// their thumbnail then, and how many are sharp 0.5 s later or before the next flip; the median time to sharp beside a
// plain decode of the same picture on the same road (the ratio of medians). BRIVANTA_BENCH_SMOKE=1:
// three flips over a 2000 x 2000 picture, each as soon as the page before is sharp.
#include "Classes/Catalog/ProductDetailImageController.h"
#include "Common/LanguageManager.h"
#include "Common/ScreenPicture.h"
#include "Common/SkinManager.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"
#include "tests/Support/LargePictures.h"

#include "BenchSupport.h"
#include "ProductImagesBenchHome.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The script's smoke run flips once forward, once back and once forward again.
const bool kSmoke = benchsupport::smokeRun();
const int kProducts = kSmoke ? 2 : 5;
const int kFlips = kSmoke ? 3 : 20;
// Still far larger than the page in a smoke run, so it is decoded on the same road.
const int kSide = kSmoke ? 2000 : 7990;
const gfx::Color kThumb = gfx::Color::fromRgb(250, 250, 40);

std::string fullName(int p, int k) { return "f" + std::to_string(p) + "_" + std::to_string(k) + ".png"; }
std::string thumbName(int p, int k) { return "t" + std::to_string(p) + "_" + std::to_string(k) + ".png"; }

struct Home {
    fs::path folder;
    fs::path images;
    Home()
    {
        folder = benchhome::makeProductImagesHome("brflip-bench", images);
        if (!largepictures::writeFile((images / "huge.png").string(), largepictures::png(kSide, 3, 8)))
            std::abort();
        auto thumb = gfx::Context::createBitmap({160, 110}, 1);
        thumb->setFillColor(kThumb);
        thumb->fillRect({0, 0, 160, 110});
        thumb->savePng((images / "thumb.png").string());
        for (int p = 0; p < kProducts; ++p)
            for (int k = 0; k < 2; ++k) {
                fs::create_symlink(images / "huge.png", images / fullName(p, k));
                fs::create_symlink(images / "thumb.png", images / thumbName(p, k));
            }
    }
    ~Home() { fs::remove_all(folder); }
};

// Answers the viewer as the product page does: the next or previous product's pictures.
class Host : public ui::ViewController, public PopControllerDelegate, public DetailImageDelegate {
public:
    int index = 0;
    std::weak_ptr<ProductDetailImageController> viewer;
    void fill(ProductDetailImageController& v)
    {
        v.ImagesArray = {fullName(index, 0), fullName(index, 1)};
        v.thumbImagesArray = {thumbName(index, 0), thumbName(index, 1)};
        v.productTitle = "Product " + std::to_string(index + 1);
        v.tag = 0;
    }
    void changeProductSlideshow(int direction, bool) override
    {
        index = std::clamp(index + (direction == 2 ? 1 : -1), 0, kProducts - 1);
        if (auto v = viewer.lock()) {
            fill(*v);
            v->btnLeft()->setHidden(index == 0);
            v->btnRight()->setHidden(index == kProducts - 1);
        }
    }
    void dismissPopController(bool animated) override { dismissViewController(animated); }
};

enum class Shown { Blank, Placeholder, Thumbnail, Sharp };

Shown shownOn(ProductDetailImageController& viewer)
{
    auto& pages = viewer.bigImageViews();
    size_t at = static_cast<size_t>(std::max(0, viewer.currentIndex()));
    gfx::Image image = at < pages.size() && pages[at] ? pages[at]->imageView()->image() : gfx::Image();
    if (image.isNull())
        return Shown::Blank;
    if (image.cairoSurface() == SkinManager::bundledImageNamed("fileDefault.png").cairoSurface())
        return Shown::Placeholder;
    gfx::Color middle = image.colorAt(image.pixelWidth() / 2, image.pixelHeight() / 2);
    bool thumb = std::abs(middle.r - kThumb.r) + std::abs(middle.g - kThumb.g) + std::abs(middle.b - kThumb.b) < 0.05;
    return thumb ? Shown::Thumbnail : Shown::Sharp;
}

void runFor(double seconds)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    base::RunLoop::main().runUntil([&] { return std::chrono::steady_clock::now() >= until; }, seconds + 1);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_FlipEveryTwoSeconds(benchmark::State& state)
{
    static Home home;
    int blank = 0, placeholder = 0, thumbnail = 0, sharpSoon = 0, sharpBeforeNext = 0, longestBlankRun = 0;
    std::vector<double> toSharp;
    for (auto _ : state) {
        auto window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        auto host = std::make_shared<Host>();
        window->setRootViewController(host);
        auto viewer = std::make_shared<ProductDetailImageController>();
        host->viewer = viewer;
        host->fill(*viewer);
        viewer->setDelegate(host);
        host->presentViewController(viewer, false);
        viewer->btnLeft()->setHidden(true);
        auto context = gfx::Context::createBitmap(ui::Window::kScreenSize, 1);
        window->render(*context);
        if (kSmoke)
            base::RunLoop::main().runUntil([&] { return shownOn(*viewer) == Shown::Sharp; }, 2);
        else
            runFor(2);
        int blankRun = 0;
        for (int flip = 0; flip < kFlips; ++flip) {
            bool back = (flip / (kProducts - 1)) % 2 == 1;
            auto start = std::chrono::steady_clock::now();
            (back ? viewer->btnLeft() : viewer->btnRight())->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
            // The card move ends; what the page shows then.
            runFor(ProductDetailImageController::kCardDuration + 0.05);
            window->render(*context);
            Shown atEnd = shownOn(*viewer);
            blank += atEnd == Shown::Blank;
            placeholder += atEnd == Shown::Placeholder;
            thumbnail += atEnd == Shown::Thumbnail;
            blankRun = atEnd == Shown::Blank ? blankRun + 1 : 0;
            longestBlankRun = std::max(longestBlankRun, blankRun);
            double sharpAt = -1;
            while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
                runFor(0.02);
                if (sharpAt < 0 && shownOn(*viewer) == Shown::Sharp)
                    sharpAt = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                // A smoke run flips on once the page is sharp.
                if (kSmoke && sharpAt >= 0)
                    break;
            }
            window->render(*context);
            if (sharpAt >= 0) {
                toSharp.push_back(sharpAt * 1000);
                sharpSoon += sharpAt <= ProductDetailImageController::kCardDuration + 0.5;
                ++sharpBeforeNext;
            }
        }
        host->dismissViewController(false);
    }
    // The peer: the same picture decoded on the same road with nothing else asked.
    std::vector<double> plain;
    for (int i = 0; i < (kSmoke ? 1 : 3); ++i) {
        auto start = std::chrono::steady_clock::now();
        gfx::Image image = ScreenPicture::decode((home.images / "huge.png").string(), {1024, 768});
        benchmark::DoNotOptimize(image);
        plain.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("of %d flips: blank %d (longest run %d), placeholder %d, thumbnail %d at the card's end; "
                "sharp within 0.5 s after it %d, before the next flip %d; sharp after %.0f ms (median of %zu), a plain decode %.0f ms: x%.2f\n",
                kFlips, blank, longestBlankRun, placeholder, thumbnail, sharpSoon, sharpBeforeNext, median(toSharp), toSharp.size(),
                median(plain), median(plain) > 0 ? median(toSharp) / median(plain) : 0);
    state.counters["blank"] = blank;
    state.counters["thumbnail"] = thumbnail;
    state.counters["sharp_soon"] = sharpSoon;
}
BENCHMARK(BM_FlipEveryTwoSeconds)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
