// The reader screen against poppler's pdftoppm on the same files, in the same run:
// - opening the image PDF until page 1 is fully shown (every visible tile drawn), against
//   pdftoppm -f 1 -l 1 at the same resolution;
// - a page turn on text pages and on image pages (the new page's tiles all drawn), against
//   pdftoppm of that page at the same resolution;
// - memory while paging: peak resident size over 100 turns through the image pages (forth
//   and back) with a zoom to the maximum on every fifth, and the growth from turn 20 to 100
//   (and on to turn 200, to tell a leak, which keeps growing, from memory kept for reuse).
// Times are medians; speed_ratio is pdftoppm's wall time over ours, cpu_ratio the same for
// processor time, which a loaded machine's waits for a processor leave out (the aim is 0.8 or
// more).
// BRIVANTA_BENCH_FULL=1 uses 64 pages of 4,000 x 3,000 JPEGs (about 100 MB, 50 of them paged
// through) and 200 text pages; the default is small enough for CI. The memory run comes first
// so that its peak is its own.
#include "BenchSupport.h"
#include "PdfBenchData.h"
#include "Classes/Library/PdfContentPage.h"
#include "Classes/Library/PdfContentThumb.h"
#include "Classes/Library/PdfContentView.h"
#include "Classes/Library/PdfDocument.h"
#include "Classes/Library/PdfThumbCache.h"
#include "Classes/Library/PdfThumbQueue.h"
#include "Classes/Library/PdfViewController.h"
#include "Platform/Base/Memory.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Image.h"
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
#include <malloc.h>
#include <random>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using benchsupport::msSince;
using benchsupport::median;
using benchsupport::peakRssMB;

double residentMB()
{
    return double(base::Memory::residentBytes().value_or(0)) / 1048576.0;
}

// Bytes the allocator has handed out and not had back: grows with a leak, not with memory
// the allocator keeps for reuse.
double heapInUseMB()
{
    struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / 1048576.0;
}

struct Files {
    fs::path home;
    std::string text, images;
    int textPages = 0, imagePages = 0, pagedImages = 0, turns = 0;

    Files()
    {
        bool full = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
        char pattern[] = "/tmp/brivanta-reader-bench-XXXXXX";
        home = mkdtemp(pattern);
        setenv("BRIVANTA_HOME", home.c_str(), 1);
        textPages = full ? 200 : 12;
        imagePages = full ? 64 : 6;
        pagedImages = full ? 50 : 6;
        turns = full ? 20 : 4;
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

void settle()
{
    PdfThumbQueue::sharedInstance().waitUntilIdle();
    while (base::RunLoop::main().runPending()) {
    }
}

// Nothing of earlier runs kept: the caches emptied and their pictures on disk removed (outside
// the timed part: it is the benchmark's own cleaning).
void forgetEarlierRuns()
{
    settle();
    PdfThumbCache::sharedInstance().removeAllObjects();
    fs::remove_all(files().home / "Library");
}

// A reader on a fresh record of the file, shown in the window; nothing of it in the caches.
std::shared_ptr<PdfViewController> openReader(ui::Window& window, const std::string& path, int page)
{
    auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    fs::remove_all(PdfThumbCache::thumbCachePathForGUID(record->guid()));
    record->setPageNumber(page);
    auto reader = PdfViewController::initWithReaderDocumentDocumentName(record, "Bench");
    window.setRootViewController(reader);
    return reader;
}

// Runs the main loop until `done` holds, at most a minute.
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

benchsupport::ProgramTimes peerPage(const std::string& path, int page, double zoom)
{
    return benchsupport::timeProgram({"pdftoppm", "-r", std::to_string(72.0 * zoom), "-f", std::to_string(page), "-l",
                                      std::to_string(page), path, (files().home / "peer").string()});
}

// Wall and processor times, ours (this process, every thread) and the peer's (its own).
struct Times {
    std::vector<double> ours, peer, oursCpu, oursMainCpu, peerCpu;
    void addPeer(const benchsupport::ProgramTimes& t)
    {
        peer.push_back(t.ok ? t.wallMs : NAN);
        peerCpu.push_back(t.ok ? t.cpuMs : NAN);
    }
    void report(benchmark::State& state) const
    {
        double o = median(ours), p = median(peer), oc = median(oursCpu), pc = median(peerCpu);
        state.counters["ours_ms"] = o;
        state.counters["peer_ms"] = p;
        state.counters["speed_ratio"] = o > 0 ? p / o : 0;
        state.counters["ours_cpu_ms"] = oc;
        state.counters["peer_cpu_ms"] = pc;
        state.counters["cpu_ratio"] = oc > 0 ? pc / oc : 0;
        // The main thread's share: the neighbours' previews drawn meanwhile on the workers are
        // left out (the open's preview of its own page too).
        double mc = median(oursMainCpu);
        state.counters["ours_main_cpu_ms"] = mc;
        state.counters["main_cpu_ratio"] = mc > 0 ? pc / mc : 0;
    }
};

void closeReader(ui::Window& window, std::shared_ptr<PdfViewController>& reader)
{
    reader->dismissReaderViewController();
    window.setRootViewController(nullptr);
    reader.reset();
    settle();
}

void BM_PagingMemory(benchmark::State& state)
{
    ui::Window window;
    window.makeKeyAndVisible();
    double at20 = 0, at100 = 0, at200 = 0, peak100 = 0, heap20 = 0, heap100 = 0, heap200 = 0;
    for (auto _ : state) {
        forgetEarlierRuns();
        auto reader = openReader(window, files().images, 1);
        runUntil([&] { return reader->currentPage() == 1; });
        int pages = files().pagedImages, page = 1, step = 1;
        for (int turn = 1; turn <= 200; ++turn) {
            if (page + step < 1 || page + step > pages)
                step = -step;
            page += step;
            reader->showDocumentPage(page);
            auto& view = reader->contentViews().at(page);
            if (turn % 5 == 0)
                view->setZoomScale(view->maximumZoomScale());
            window.layoutIfNeeded();
            view->contentPage()->drawVisibleTilesNow();
            settle();
            if (turn == 20) {
                at20 = residentMB();
                heap20 = heapInUseMB();
            }
            if (turn == 100) {
                at100 = residentMB();
                heap100 = heapInUseMB();
                peak100 = peakRssMB();
            }
        }
        at200 = residentMB();
        heap200 = heapInUseMB();
        closeReader(window, reader);
    }
    state.counters["peak_rss_100_turns_MB"] = peak100;
    state.counters["rss_turn20_MB"] = at20;
    state.counters["rss_turn100_MB"] = at100;
    state.counters["growth_20_to_100_MB"] = at100 - at20;
    state.counters["growth_100_to_200_MB"] = at200 - at100;
    state.counters["heap_growth_20_to_100_MB"] = heap100 - heap20;
    state.counters["heap_growth_100_to_200_MB"] = heap200 - heap100;
}
BENCHMARK(BM_PagingMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Ours and the peer alternate run by run, so load that comes and goes falls on both alike.
void BM_OpenImagePdfToFirstPage(benchmark::State& state)
{
    ui::Window window;
    window.makeKeyAndVisible();
    std::vector<double> viewsMade;
    Times times;
    int runs = std::getenv("BRIVANTA_BENCH_FULL") ? 9 : 5;
    for (auto _ : state) {
        double zoom = 0;
        for (int run = 0; run < runs; ++run) {
            if (run % 2 && zoom > 0)
                times.addPeer(peerPage(files().images, 1, zoom));
            forgetEarlierRuns();
            double cpuStart = benchsupport::selfCpuMs(), mainStart = benchsupport::threadCpuMs();
            auto start = Clock::now();
            auto reader = openReader(window, files().images, 1);
            if (!runUntil([&] { return reader->currentPage() == 1; })) {
                state.SkipWithError("page 1 not shown");
                return;
            }
            viewsMade.push_back(msSince(start));
            // Whatever the reader does meanwhile on its workers (pictures of this page and of
            // others) runs beside the tiles and counts in the process's processor time.
            auto& view = reader->contentViews().at(1);
            window.layoutIfNeeded();
            view->contentPage()->drawVisibleTilesNow();
            times.ours.push_back(msSince(start));
            times.oursCpu.push_back(benchsupport::selfCpuMs() - cpuStart);
            times.oursMainCpu.push_back(benchsupport::threadCpuMs() - mainStart);
            zoom = view->zoomScale();
            closeReader(window, reader);
            if (run % 2 == 0)
                times.addPeer(peerPage(files().images, 1, zoom));
        }
    }
    state.counters["page_views_made_ms"] = median(viewsMade);
    times.report(state);
}
BENCHMARK(BM_OpenImagePdfToFirstPage)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PageTurn(benchmark::State& state)
{
    bool images = state.range(0) != 0;
    const std::string& path = images ? files().images : files().text;
    int pages = images ? files().pagedImages : files().textPages;
    ui::Window window;
    window.makeKeyAndVisible();
    Times times;
    for (auto _ : state) {
        forgetEarlierRuns();
        auto reader = openReader(window, path, 1);
        runUntil([&] { return reader->currentPage() == 1; });
        settle();
        for (int page = 2; page <= std::min(pages, files().turns + 1); ++page) {
            double cpuStart = benchsupport::selfCpuMs(), mainStart = benchsupport::threadCpuMs();
            auto start = Clock::now();
            reader->showDocumentPage(page);
            auto& view = reader->contentViews().at(page);
            window.layoutIfNeeded();
            view->contentPage()->drawVisibleTilesNow();
            times.ours.push_back(msSince(start));
            times.oursCpu.push_back(benchsupport::selfCpuMs() - cpuStart);
            times.oursMainCpu.push_back(benchsupport::threadCpuMs() - mainStart);
            double zoom = view->zoomScale();
            settle(); // the neighbours' previews, not part of the turn the user sees
            times.addPeer(peerPage(path, page, zoom));
        }
        closeReader(window, reader);
    }
    state.SetLabel(images ? "image pages" : "text pages");
    times.report(state);
}
BENCHMARK(BM_PageTurn)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
