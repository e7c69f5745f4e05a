// The PDF reader against poppler's own command-line tools on the same files and machine:
// record creation against pdfinfo, page pictures against pdftoppm (one page, and a page bar's
// worth in one run), and the first full viewport of a page view at the smallest and largest
// zoom against pdftoppm at the same resolution. Prints per-page times and the speed ratio
// (peer time / our time; the aim is 0.8 or more) and peak resident sizes.
// BRIVANTA_BENCH_FULL=1 uses 500 text pages and 64 pages of 4,000 x 3,000 JPEGs (about 100 MB);
// the default is small enough for CI.
#include "BenchSupport.h"
#include "PdfBenchData.h"
#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfContentView.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Classes/Library/Reader/PdfThumbView.h"
#include "Platform/Base/Memory.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Pdf/Document.h"
#include "Platform/UI/Window.h"
#include "tests/Support/PdfFixtures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using benchsupport::msSince;
using benchsupport::median;
using benchsupport::peakRssMB;

struct Files {
    fs::path home;
    std::string text, images;
    int textPages = 0, imagePages = 0;

    Files()
    {
        bool full = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
        char pattern[] = "/tmp/brivanta-pdf-bench-XXXXXX";
        home = mkdtemp(pattern);
        setenv("BRIVANTA_HOME", home.c_str(), 1);
        textPages = full ? 500 : 12;
        imagePages = full ? 64 : 2;
        text = (home / "Documents/acme/Pdf/text.pdf").string();
        pdffix::writeFile(text, pdffix::textPdf(textPages));
        images = (home / "Documents/acme/Pdf/images.pdf").string();
        pdffix::writeFile(images, benchsupport::photoPdf(imagePages, full));
        pdf::warmUp();
    }
    ~Files() { fs::remove_all(home); }
};

Files& files()
{
    static Files f;
    return f;
}

double peerMs(const std::vector<std::string>& argv)
{
    auto start = Clock::now();
    long rss = benchsupport::runProgram(argv);
    double ms = msSince(start);
    return rss < 0 ? NAN : ms;
}

void settle()
{
    PdfThumbQueue::sharedInstance().waitUntilIdle();
    while (base::RunLoop::main().runPending()) {
    }
}

void report(benchmark::State& state, double ours, double peer)
{
    state.counters["ours_ms"] = ours;
    state.counters["peer_ms"] = peer;
    state.counters["speed_ratio"] = ours > 0 ? peer / ours : 0;
}

void BM_RecordCreation(benchmark::State& state)
{
    const std::string& path = state.range(0) ? files().images : files().text;
    double ours = 0, peer = 0;
    for (auto _ : state) {
        fs::remove_all(files().home / "Library/Application Support");
        auto start = Clock::now();
        auto record = PdfDocument::initWithFilePathPassword(path, std::nullopt);
        ours = msSince(start);
        benchmark::DoNotOptimize(record);
        peer = peerMs({"pdfinfo", path});
    }
    state.SetLabel(state.range(0) ? "image pages" : "text pages");
    report(state, ours, peer);
    state.counters["peak_rss_MB"] = peakRssMB();
}
BENCHMARK(BM_RecordCreation)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Thumb240RenderAndWrite(benchmark::State& state)
{
    auto record = PdfDocument::withDocumentFilePathPassword(files().text, std::nullopt);
    std::vector<double> ours, peer, load;
    int pages = std::min(files().textPages, 10);
    for (auto _ : state) {
        for (int page = 1; page <= pages; ++page) {
            fs::remove_all(PdfThumbCache::thumbCachePathForGUID(record->guid()));
            PdfThumbCache::sharedInstance().removeAllObjects();
            auto view = std::make_shared<PdfThumbView>(gfx::Rect(0, 0, 240, 240));
            auto start = Clock::now();
            PdfThumbCache::sharedInstance().thumbRequestPriority(
                PdfThumbRequest::newForView(view, record->fileURL(), std::nullopt, record->guid(), page, {240, 240}), true);
            settle();
            ours.push_back(msSince(start));
            // Again from the PNG on disk.
            PdfThumbCache::sharedInstance().removeAllObjects();
            start = Clock::now();
            PdfThumbCache::sharedInstance().thumbRequestPriority(
                PdfThumbRequest::newForView(view, record->fileURL(), std::nullopt, record->guid(), page, {240, 240}), true);
            settle();
            load.push_back(msSince(start));
            std::string out = (files().home / "peer").string();
            peer.push_back(peerMs({"pdftoppm", "-png", "-scale-to", "240", "-f", std::to_string(page), "-l",
                                   std::to_string(page), files().text, out}));
        }
    }
    report(state, median(ours), median(peer));
    state.counters["load_from_disk_ms"] = median(load);
}
BENCHMARK(BM_Thumb240RenderAndWrite)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PagebarThumbsThroughQueues(benchmark::State& state)
{
    auto record = PdfDocument::withDocumentFilePathPassword(files().text, std::nullopt);
    int pages = files().textPages;
    double cold = 0, warm = 0, peer = 0;
    for (auto _ : state) {
        fs::remove_all(PdfThumbCache::thumbCachePathForGUID(record->guid()));
        PdfThumbCache::sharedInstance().removeAllObjects();
        std::vector<std::shared_ptr<PdfThumbView>> views;
        auto run = [&] {
            auto start = Clock::now();
            for (int page = 1; page <= pages; ++page) {
                views.push_back(std::make_shared<PdfThumbView>(gfx::Rect(0, 0, 22, 28)));
                PdfThumbCache::sharedInstance().thumbRequestPriority(
                    PdfThumbRequest::newForView(views.back(), record->fileURL(), std::nullopt, record->guid(), page,
                                                {22, 28}),
                    false);
            }
            settle();
            return msSince(start) / pages;
        };
        cold = run();
        PdfThumbCache::sharedInstance().removeAllObjects();
        warm = run();
        std::string out = (files().home / "bar").string();
        fs::create_directories(out);
        peer = peerMs({"pdftoppm", "-png", "-scale-to-x", "22", "-scale-to-y", "28", files().text, out + "/p"}) / pages;
    }
    report(state, cold, peer);
    state.counters["warm_per_thumb_ms"] = warm;
    state.counters["warm_speed_ratio"] = warm > 0 ? peer / warm : 0;
}
BENCHMARK(BM_PagebarThumbsThroughQueues)->Iterations(1)->Unit(benchmark::kMillisecond);

// The first full viewport of a page view in a 1024 x 768 window, all due tiles drawn.
void BM_PageViewFirstViewport(benchmark::State& state)
{
    bool images = state.range(0) != 0;
    bool zoomed = state.range(1) != 0;
    const std::string& path = images ? files().images : files().text;
    int pages = std::min(images ? files().imagePages : files().textPages, 20);
    ui::Window window;
    std::vector<double> ours, peer;
    for (auto _ : state) {
        for (int page = 1; page <= pages; ++page) {
            auto start = Clock::now();
            auto view = std::make_shared<PdfContentView>(gfx::Rect(0, 0, 1024, 768), path, page, std::nullopt);
            window.addSubview(view);
            if (zoomed)
                view->setZoomScale(view->maximumZoomScale());
            window.layoutIfNeeded();
            view->contentPage()->drawVisibleTilesNow();
            ours.push_back(msSince(start));
            double zoom = view->zoomScale();
            view->removeFromSuperview();
            std::vector<std::string> argv{"pdftoppm", "-r", std::to_string(72.0 * zoom), "-f", std::to_string(page),
                                          "-l", std::to_string(page)};
            if (zoomed)
                for (const char* a : {"-x", "0", "-y", "0", "-W", "1024", "-H", "768"})
                    argv.push_back(a);
            argv.push_back(path);
            argv.push_back((files().home / "view").string());
            peer.push_back(peerMs(argv));
        }
    }
    state.SetLabel(std::string(images ? "image" : "text") + (zoomed ? " pages, maximum zoom" : " pages, minimum zoom"));
    report(state, median(ours), median(peer));
}
BENCHMARK(BM_PageViewFirstViewport)
    ->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Iterations(1)->Unit(benchmark::kMillisecond);

// Resident size while image pages are zoomed to the maximum and released, one after another.
void BM_PageViewMemory(benchmark::State& state)
{
    int pages = std::min(files().imagePages, 20);
    ui::Window window;
    double atHalf = 0, atEnd = 0;
    for (auto _ : state) {
        for (int i = 1; i <= 20; ++i) {
            int page = (i - 1) % pages + 1;
            auto view = std::make_shared<PdfContentView>(gfx::Rect(0, 0, 1024, 768), files().images, page, std::nullopt);
            window.addSubview(view);
            view->setZoomScale(view->maximumZoomScale());
            window.layoutIfNeeded();
            view->contentPage()->drawVisibleTilesNow();
            view->removeFromSuperview();
            if (i == 10)
                atHalf = double(base::Memory::residentBytes().value_or(0));
        }
        atEnd = double(base::Memory::residentBytes().value_or(0));
    }
    state.counters["peak_rss_MB"] = peakRssMB();
    state.counters["growth_10_to_20_MB"] = (atEnd - atHalf) / 1048576.0;
}
BENCHMARK(BM_PageViewMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
