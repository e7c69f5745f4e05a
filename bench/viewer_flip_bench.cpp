// A flip in the product image viewer over 20 huge pictures, 7000 x 7000 JPEG and 7990 x 7990
// PNG in turn: the time until the window draws its first frame after the flip, and until the
// sharp picture is on screen. Between flips the viewer has the time a reader gives a picture,
// so its neighbours are decoded ahead. The peer, in the same run, is the way the viewer showed
// a picture before: decoded whole on the main thread, then scaled to the page, with no frame
// drawn meanwhile. Ratios are the peer's median over ours; the resident peak of each is given.
// BRIVANTA_BENCH_SMOKE=1: three pictures of 2000 x 2000.
#include "Classes/Catalog/ProductDetailImageController.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"
#include "tests/Support/LargePictures.h"

#include "BenchSupport.h"
#include "ProductImagesBenchHome.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The script's smoke run flips over a JPEG and a PNG, still far larger than the page, so they
// are decoded on the same roads.
const int kPictures = benchsupport::smokeRun() ? 3 : 20;
const int kJpegSide = benchsupport::smokeRun() ? 2000 : 7000;
const int kPngSide = benchsupport::smokeRun() ? 2000 : 7990;
const gfx::Color kThumbColour = gfx::Color::fromRgb(128, 128, 128);

struct Pictures {
    fs::path folder;
    fs::path images;
    Pictures()
    {
        folder = benchhome::makeProductImagesHome("brflip-bench", images);
        // One file of each kind, linked under every name: each page still reads and decodes its own.
        largepictures::writeFile((folder / "one.jpg").string(), largepictures::jpeg(kJpegSide, false));
        largepictures::writeFile((folder / "one.png").string(), largepictures::png(kPngSide, 3, 8));
        auto grey = gfx::Context::createBitmap({160, 160}, 1);
        grey->setFillColor(kThumbColour);
        grey->fillRect({0, 0, 160, 160});
        grey->savePng((folder / "thumb.png").string());
        for (int i = 0; i < kPictures; ++i) {
            fs::create_hard_link(folder / (i % 2 ? "one.png" : "one.jpg"), images / full(i));
            fs::create_hard_link(folder / "thumb.png", images / thumb(i));
        }
    }
    ~Pictures() { fs::remove_all(folder); }
    static std::string full(int i) { return "pic" + std::to_string(i) + (i % 2 ? ".png" : ".jpg"); }
    static std::string thumb(int i) { return "pic" + std::to_string(i) + "_t.png"; }
};

Pictures& pictures()
{
    static Pictures p;
    return p;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millis(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

long residentPeakMb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10) / 1024;
    return -1;
}

void resetResidentPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Runs what the main loop has ready until the condition holds; decodes end on their workers.
void runUntil(const std::function<bool()>& done)
{
    while (!done()) {
        base::RunLoop::main().runPending();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

bool sharp(const ProductDetailImageController& viewer, int page)
{
    auto& view = viewer.bigImageViews()[static_cast<size_t>(page)];
    if (!view)
        return false;
    const gfx::Image& image = view->imageView()->image();
    if (image.isNull())
        return false;
    gfx::Color c = image.colorAt(image.pixelWidth() / 2, image.pixelHeight() / 2);
    // The stand-in is the grey thumbnail; the pictures are far from grey in their middle.
    return std::abs(c.r - kThumbColour.r) + std::abs(c.g - kThumbColour.g) + std::abs(c.b - kThumbColour.b) > 0.2;
}

void BM_ViewerFlipOverHugePictures(benchmark::State& state)
{
    pictures();
    std::vector<double> firstFrame, sharpShown, peer;
    long oursPeak = 0, peerPeak = 0;
    for (auto _ : state) {
        resetResidentPeak();
        auto window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        auto root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        auto viewer = std::make_shared<ProductDetailImageController>();
        for (int i = 0; i < kPictures; ++i) {
            viewer->ImagesArray.push_back(Pictures::full(i));
            viewer->thumbImagesArray.push_back(Pictures::thumb(i));
        }
        root->presentViewController(viewer, false);
        auto context = gfx::Context::createBitmap(ui::Window::kScreenSize, 1);
        window->render(*context);
        runUntil([&] { return sharp(*viewer, 0) && ScreenPicture::pending() == 0; });
        for (int page = 1; page < kPictures; ++page) {
            auto start = std::chrono::steady_clock::now();
            viewer->myScrollView()->setContentOffset({page * 1024.0, 0});
            window->render(*context);
            auto drawn = std::chrono::steady_clock::now();
            runUntil([&] { return sharp(*viewer, page); });
            window->render(*context);
            auto done = std::chrono::steady_clock::now();
            firstFrame.push_back(millis(drawn - start));
            sharpShown.push_back(millis(done - start));
            // The reader looks at the picture; the neighbours are decoded meanwhile.
            runUntil([&] { return ScreenPicture::pending() == 0; });
        }
        root->dismissViewController(false);
        window.reset();
        oursPeak = std::max(oursPeak, residentPeakMb());

        // The peer: each picture decoded whole on the main thread and scaled to the page.
        resetResidentPeak();
        for (int i = 1; i < kPictures; ++i) {
            auto start = std::chrono::steady_clock::now();
            gfx::Image image = gfx::Image::fromFile((pictures().images / Pictures::full(i)).string());
            gfx::Size page {1024, 768};
            if (PublicFunction::imageIsNeedToScaleToFitSize(image, page))
                image = PublicFunction::scaleImageToFitSize(image, page);
            benchmark::DoNotOptimize(image);
            peer.push_back(millis(std::chrono::steady_clock::now() - start));
        }
        peerPeak = std::max(peerPeak, residentPeakMb());
    }
    state.counters["first_frame_p50_ms"] = median(firstFrame);
    state.counters["sharp_p50_ms"] = median(sharpShown);
    state.counters["peer_p50_ms"] = median(peer);
    state.counters["ratio_first_frame"] = median(peer) / std::max(median(firstFrame), 1e-3);
    state.counters["ratio_sharp"] = median(peer) / std::max(median(sharpShown), 1e-3);
    state.counters["peak_MB"] = static_cast<double>(oursPeak);
    state.counters["peer_peak_MB"] = static_cast<double>(peerPeak);
}
BENCHMARK(BM_ViewerFlipOverHugePictures)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
