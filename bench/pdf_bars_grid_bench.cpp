// The reader's page bar and thumbnail grid against poppler's pdftoppm on the same file, in the
// same run, each on a cold thumbnail cache:
// - the page bar's fill: time until every small thumb shows, per thumb, against one pdftoppm
//   run at 22 x 28 over every page (its per-page time), and how long the large thumb's
//   high-priority request waited behind the small ones;
// - the grid's first screen: time until every visible 240 x 240 cell shows its page, per thumb,
//   against pdftoppm -scale-to 240 over those pages;
// - main-thread time per scroll update on a 1,000-page grid (row by row, top to bottom).
// Times are medians of several runs; speed_ratio is pdftoppm's time per thumbnail over ours
// (the aim is 0.8 or more). BRIVANTA_BENCH_FULL=1 uses the 500-page document; the default is
// small enough for CI.
#include "BenchSupport.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/PdfMainPagebar.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/PdfThumbsView.h"
#include "Classes/Library/PdfThumbsViewController.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Pdf/Document.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"
#include "tests/Support/PdfFixtures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using benchsupport::msSince;
using benchsupport::median;

struct Files {
    fs::path home;
    std::string text, thousand;
    int textPages = 0, runs = 0;

    Files()
    {
        bool full = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
        char pattern[] = "/tmp/brivanta-bars-bench-XXXXXX";
        home = mkdtemp(pattern);
        setenv("BRIVANTA_HOME", home.c_str(), 1);
        textPages = full ? 500 : 60;
        runs = full ? 5 : 2;
        text = (home / "Documents/acme/Pdf/text.pdf").string();
        pdffix::writeFile(text, pdffix::textPdf(textPages));
        thousand = (home / "Documents/acme/Pdf/thousand.pdf").string();
        pdffix::writeFile(thousand, pdffix::textPdf(1000));
        pdf::warmUp();
    }
    ~Files() { fs::remove_all(home); }
};

Files& files()
{
    static Files f;
    return f;
}

// Nothing of the document left in either cache.
void coldCache(const PdfDocument& record)
{
    PdfThumbQueue::sharedInstance().cancelAllOperations();
    PdfThumbQueue::sharedInstance().waitUntilIdle();
    while (base::RunLoop::main().runPending()) {
    }
    fs::remove_all(PdfThumbCache::thumbCachePathForGUID(record.guid()));
    PdfThumbCache::sharedInstance().removeAllObjects();
}

// Runs the main loop until `done` holds (checked after each pass), at most a minute.
bool runUntil(const std::function<bool()>& done)
{
    auto start = Clock::now();
    while (!done()) {
        if (msSince(start) > 60000)
            return false;
        base::RunLoop::main().runUntil(done, 0.002);
    }
    return true;
}

bool shows(const PdfThumbView& view)
{
    return static_cast<bool>(view.imageView()->image());
}

double peerMs(std::vector<std::string> argv)
{
    auto start = Clock::now();
    return benchsupport::runProgram(std::move(argv)) < 0 ? NAN : msSince(start);
}

void BM_PagebarFill(benchmark::State& state)
{
    auto record = PdfDocument::withDocumentFilePathPassword(files().text, std::nullopt);
    record->setPageNumber(files().textPages / 2);
    ui::Window window;
    std::vector<double> perThumb, largeWait, peer;
    size_t thumbs = 0;
    for (auto _ : state) {
        for (int run = 0; run < files().runs; ++run) {
            coldCache(*record);
            auto bar = ui::View::make<PdfMainPagebar>(gfx::Rect(0, 720, 1024, 48), record);
            auto start = Clock::now();
            window.addSubview(bar);
            window.layoutIfNeeded();
            double large = -1;
            bool ok = runUntil([&] {
                if (large < 0 && shows(*bar->pageThumbView()))
                    large = msSince(start);
                for (const auto& [page, thumb] : bar->miniThumbViews())
                    if (!thumb->isHidden() && !shows(*thumb))
                        return false;
                return large >= 0;
            });
            double fill = msSince(start);
            thumbs = bar->miniThumbViews().size();
            bar->removeFromSuperview();
            if (!ok) {
                state.SkipWithError("the page bar did not fill");
                return;
            }
            perThumb.push_back(fill / double(thumbs));
            largeWait.push_back(large);
            std::string out = (files().home / "bar").string();
            fs::create_directories(out);
            peer.push_back(peerMs({"pdftoppm", "-png", "-scale-to-x", "22", "-scale-to-y", "28", files().text, out + "/p"}) /
                           files().textPages);
        }
    }
    double ours = median(perThumb), theirs = median(peer);
    state.counters["small_thumbs"] = double(thumbs);
    state.counters["ours_per_thumb_ms"] = ours;
    state.counters["peer_per_thumb_ms"] = theirs;
    state.counters["speed_ratio"] = ours > 0 ? theirs / ours : 0;
    state.counters["large_thumb_wait_ms"] = median(largeWait);
}
BENCHMARK(BM_PagebarFill)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_GridFirstScreen(benchmark::State& state)
{
    auto record = PdfDocument::withDocumentFilePathPassword(files().text, std::nullopt);
    record->setPageNumber(1);
    ui::Window window;
    window.makeKeyAndVisible();
    std::vector<double> perThumb, peer;
    size_t cells = 0;
    for (auto _ : state) {
        for (int run = 0; run < files().runs; ++run) {
            coldCache(*record);
            auto grid = PdfThumbsViewController::initWithReaderDocumentDocumentName(record, "Bench");
            auto start = Clock::now();
            window.setRootViewController(grid);
            window.layoutIfNeeded();
            auto& view = grid->thumbsView();
            bool ok = runUntil([&] {
                for (const auto& cell : view->visibleCells())
                    if (!shows(*cell))
                        return false;
                return !view->visibleCells().empty();
            });
            double shown = msSince(start);
            cells = view->visibleCells().size();
            window.setRootViewController(nullptr);
            if (!ok) {
                state.SkipWithError("the grid did not fill");
                return;
            }
            perThumb.push_back(shown / double(cells));
            std::string out = (files().home / "grid").string();
            fs::create_directories(out);
            peer.push_back(peerMs({"pdftoppm", "-png", "-scale-to", "240", "-f", "1", "-l", std::to_string(cells),
                                   files().text, out + "/p"}) /
                           double(cells));
        }
    }
    double ours = median(perThumb), theirs = median(peer);
    state.counters["cells"] = double(cells);
    state.counters["ours_per_thumb_ms"] = ours;
    state.counters["peer_per_thumb_ms"] = theirs;
    state.counters["speed_ratio"] = ours > 0 ? theirs / ours : 0;
}
BENCHMARK(BM_GridFirstScreen)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_GridScrollUpdate(benchmark::State& state)
{
    auto record = PdfDocument::withDocumentFilePathPassword(files().thousand, std::nullopt);
    record->setPageNumber(1);
    ui::Window window;
    window.makeKeyAndVisible();
    coldCache(*record);
    auto grid = PdfThumbsViewController::initWithReaderDocumentDocumentName(record, "Bench");
    window.setRootViewController(grid);
    window.layoutIfNeeded();
    auto& view = grid->thumbsView();
    std::vector<double> updates;
    for (auto _ : state) {
        double end = view->contentSize().height - view->bounds().height();
        // Half a row a step: every other step takes a new row of cells.
        for (double y = 0; y <= end; y += 128) {
            auto start = Clock::now();
            view->setContentOffset({0, y}, false);
            updates.push_back(msSince(start) * 1000);
            // The requests made so far are not this measure's concern.
            PdfThumbQueue::sharedInstance().cancelAllOperations();
        }
    }
    window.setRootViewController(nullptr);
    coldCache(*record);
    state.counters["updates"] = double(updates.size());
    state.counters["median_update_us"] = median(updates);
    std::sort(updates.begin(), updates.end());
    state.counters["p99_update_us"] = updates.empty() ? 0 : updates[updates.size() * 99 / 100];
}
BENCHMARK(BM_GridScrollUpdate)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
