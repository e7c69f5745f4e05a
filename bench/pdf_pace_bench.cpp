// The reader's page views against pdftoppm on three reproducible documents: a long text manual
// and a vector manual from Debian's packages (scripts/setup.sh installs them; a generated text
// or photo document stands in when one is missing) and a generated photo book. For each chosen
// page and each of the reader's four zoom levels it times the first full viewport of a
// 1024 x 768 page view, all due tiles drawn, against pdftoppm drawing the same part at the same
// resolution, and prints the medians of wall and processor times and their ratios (pdftoppm's
// time over ours; the aim is 0.8 or more), and what setting up a page view costs before it
// draws. BRIVANTA_BENCH_FULL=1 takes more pages and runs. BRIVANTA_BENCH_SMOKE=1 takes one page
// of each, a photo book of one small picture, and each view once against one peer run.
#include "BenchSupport.h"
#include "PdfBenchData.h"
#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfContentView.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Pdf/PageWorkers.h"
#include "Platform/UI/Window.h"
#include "tests/Support/HostilePdfFixtures.h"
#include "tests/Support/PdfFixtures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using benchsupport::median;
using benchsupport::msSince;

bool full()
{
    return std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
}

// A full run is never a smoke run.
const bool kSmoke = benchsupport::smokeRun() && !full();

struct Subject {
    std::string name;
    std::string path;
    int pages = 0;
};

struct Subjects {
    fs::path home;
    std::vector<Subject> list;

    Subjects()
    {
        char pattern[] = "/tmp/brivanta-pdf-pace-XXXXXX";
        home = mkdtemp(pattern);
        setenv("BRIVANTA_HOME", home.c_str(), 1);
        auto manual = [&](const std::string& name, const std::string& packaged, const std::string& fallback) {
            std::string path = (home / (name + ".pdf")).string();
            if (!benchsupport::gunzipFile(packaged, path)) {
                std::fprintf(stderr, "%s missing (scripts/setup.sh installs it): a generated stand-in\n",
                             packaged.c_str());
                pdffix::writeFile(path, fallback);
            }
            add(name, path);
        };
        manual("text manual", "/usr/share/doc/valgrind/valgrind_manual.pdf.gz", pdffix::textPdf(60));
        manual("vector manual", "/usr/share/doc/zlib1g-dev/crc-doc.1.0.pdf.gz", pdffix::textPdf(20));
        std::string photos = (home / "photo book.pdf").string();
        pdffix::writeFile(photos, kSmoke ? benchsupport::photoPdf(1, false)
                                         : benchsupport::photoPdf(full() ? 16 : 4, true));
        add("photo book", photos);
        pdf::warmUp();
    }
    ~Subjects() { fs::remove_all(home); }

    void add(const std::string& name, const std::string& path)
    {
        auto opened = pdf::Document::open(path, std::nullopt);
        if (opened.document)
            list.push_back({name, path, opened.document->pageCount()});
    }
};

Subjects& subjects()
{
    static Subjects s;
    return s;
}

// Pages spread over the document, the first and the last among them.
std::vector<int> chosenPages(int count)
{
    int wanted = std::min(count, full() ? 12 : kSmoke ? 1 : 4);
    std::vector<int> pages;
    for (int i = 0; i < wanted; ++i) {
        int page = wanted == 1 ? 1 : 1 + int(std::lround(double(i) * (count - 1) / (wanted - 1)));
        if (pages.empty() || pages.back() != page)
            pages.push_back(page);
    }
    return pages;
}

// One page at one zoom step (0 the smallest, 3 the largest, as the reader's double tap steps).
// Wall times and processor times (ours: this process, every thread; the peer: its own rusage),
// medians of runs in which ours and the peer alternate, so load that comes and goes falls on
// both alike; the processor times tell the work done, not the waits for a processor.
struct Timing {
    double ours = NAN, peer = NAN, oursCpu = NAN, peerCpu = NAN;
};

// Shows the page at the zoom step in a new page view, all due tiles drawn.
std::shared_ptr<PdfContentView> showPage(ui::Window& window, const Subject& subject, int page, int step)
{
    auto view = std::make_shared<PdfContentView>(gfx::Rect(0, 0, 1024, 768), subject.path, page, std::nullopt);
    window.addSubview(view);
    if (step > 0)
        view->setZoomScale(view->minimumZoomScale() + step * view->zoomAmount());
    window.layoutIfNeeded();
    if (auto content = view->contentPage())
        content->drawVisibleTilesNow();
    return view;
}

void dismiss(const std::shared_ptr<PdfContentView>& view)
{
    view->removeFromSuperview();
    while (base::RunLoop::main().runPending()) {
    }
}

// A corner of the page at a scale no view uses, by the worker that draws the page.
void drawElsewhere(const Subject& subject, int page)
{
    auto document = pdf::Document::open(subject.path, std::nullopt).document;
    auto drawn = document ? document->page(page) : nullptr;
    if (!drawn)
        return;
    auto corner = gfx::Context::createBitmap(gfx::Size{64, 64}, 1);
    corner->scaleBy(3.3, 3.3);
    drawn->draw(*corner, gfx::Rect(gfx::Point{}, drawn->size()));
}

Timing timePage(ui::Window& window, const Subject& subject, int page, int step, int runs, bool countFirst = false)
{
    std::vector<double> ours, peer, oursCpu, peerCpu;
    auto runOurs = [&](double& zoom, gfx::Size& size) {
        // Every run is the first view at its zoom, as when the user zooms in: a part of the page
        // was last drawn at another scale (untimed), so the workers hold nothing drawn at this one.
        drawElsewhere(subject, page);
        double cpuStart = benchsupport::selfCpuMs();
        auto workersStart = benchsupport::pdfWorkersCpu();
        auto start = Clock::now();
        auto view = showPage(window, subject, page, step);
        ours.push_back(msSince(start));
        oursCpu.push_back(benchsupport::selfCpuMs() - cpuStart + benchsupport::pdfWorkersCpuSinceMs(workersStart));
        zoom = view->zoomScale();
        size = view->contentSize();
        dismiss(view);
    };
    auto runPeer = [&](double zoom, gfx::Size size) {
        // The part of the page the viewport shows, at the same resolution.
        int width = int(std::min(1024.0, std::ceil(size.width)));
        int height = int(std::min(768.0, std::ceil(size.height)));
        std::vector<std::string> argv{"pdftoppm", "-r", std::to_string(72.0 * zoom), "-f", std::to_string(page),
                                      "-l", std::to_string(page), "-x", "0", "-y", "0", "-W", std::to_string(width),
                                      "-H", std::to_string(height), subject.path,
                                      (subjects().home / "peer").string()};
        auto times = benchsupport::timeProgram(argv);
        peer.push_back(times.ok ? times.wallMs : NAN);
        peerCpu.push_back(times.ok ? times.cpuMs : NAN);
    };
    double zoom = 1;
    gfx::Size size;
    // The first of ours tells the peer its resolution and part; it is not counted unless asked
    // (a cold opening), when it counts against a peer run of its own.
    runOurs(zoom, size);
    if (countFirst) {
        runPeer(zoom, size);
    } else {
        ours.clear();
        oursCpu.clear();
    }
    for (int run = 0; run < runs; ++run) {
        if (run % 2) {
            runOurs(zoom, size);
            runPeer(zoom, size);
        } else {
            runPeer(zoom, size);
            runOurs(zoom, size);
        }
    }
    return {median(ours), median(peer), median(oursCpu), median(peerCpu)};
}

double ratio(double peer, double ours)
{
    return ours > 0 ? peer / ours : 0;
}

void BM_PagesAgainstPdftoppm(benchmark::State& state)
{
    const Subject& subject = subjects().list.at(size_t(state.range(0)));
    // A smoke run counts its first view, against one peer run, and runs no more.
    int runs = full() ? 15 : kSmoke ? 0 : 9;
    ui::Window window;
    std::vector<double> ratios, cpuRatios;
    for (auto _ : state) {
        for (int page : chosenPages(subject.pages)) {
            for (int step = 0; step < 4; ++step) {
                Timing t = timePage(window, subject, page, step, runs, kSmoke);
                ratios.push_back(ratio(t.peer, t.ours));
                cpuRatios.push_back(ratio(t.peerCpu, t.oursCpu));
                std::printf("%-14s page %4d  zoom %d  wall: ours %8.2f  pdftoppm %8.2f ms  ratio %5.2f   "
                            "cpu: ours %8.2f  pdftoppm %8.2f ms  ratio %5.2f\n",
                            subject.name.c_str(), page, step, t.ours, t.peer, ratios.back(), t.oursCpu, t.peerCpu,
                            cpuRatios.back());
            }
        }
    }
    std::fflush(stdout);
    state.SetLabel(subject.name);
    state.counters["lowest_ratio"] = ratios.empty() ? 0 : *std::min_element(ratios.begin(), ratios.end());
    state.counters["median_ratio"] = median(ratios);
    state.counters["lowest_cpu_ratio"] = cpuRatios.empty() ? 0 : *std::min_element(cpuRatios.begin(), cpuRatios.end());
    state.counters["median_cpu_ratio"] = median(cpuRatios);
}
BENCHMARK(BM_PagesAgainstPdftoppm)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

// What every page view pays before it draws: opening the document and the page, laying out.
void BM_PageViewSetUp(benchmark::State& state)
{
    const Subject& subject = subjects().list.at(size_t(state.range(0)));
    ui::Window window;
    std::vector<double> times;
    for (auto _ : state) {
        for (int run = 0; run < (full() ? 40 : 15); ++run) {
            auto start = Clock::now();
            auto view = std::make_shared<PdfContentView>(gfx::Rect(0, 0, 1024, 768), subject.path,
                                                         1 + run % subject.pages, std::nullopt);
            window.addSubview(view);
            window.layoutIfNeeded();
            times.push_back(msSince(start));
            view->removeFromSuperview();
            while (base::RunLoop::main().runPending()) {
            }
        }
    }
    state.SetLabel(subject.name);
    state.counters["median_ms"] = median(times);
}
BENCHMARK(BM_PageViewSetUp)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

// The transparency page at each zoom step, the first opening of the run counted: a fresh
// process whose one page worker was started ahead (as the library tab does), against pdftoppm,
// which always starts cold.
void BM_TransparencyPageZoomSteps(benchmark::State& state)
{
    std::string path = (subjects().home / "transparency.pdf").string();
    pdffix::writeFile(path, benchsupport::transparencyPagePdf());
    Subject subject{"transparency", path, 1};
    int runs = full() ? 15 : kSmoke ? 0 : 9;
    ui::Window window;
    std::vector<double> ratios, cpuRatios;
    for (auto _ : state) {
        // As after a fresh start: no worker has read anything, one was started when the
        // library showed, a moment before the user taps the document.
        pdf::PageWorkers::shared().resetForTesting();
        pdf::warmUp();
        std::this_thread::sleep_for(std::chrono::milliseconds(kSmoke ? 100 : 500));
        for (int step = 0; step < 4; ++step) {
            Timing t = timePage(window, subject, 1, step, runs, step == 0 || kSmoke);
            ratios.push_back(ratio(t.peer, t.ours));
            cpuRatios.push_back(ratio(t.peerCpu, t.oursCpu));
            std::printf("%-14s %s zoom %d  wall: ours %8.2f  pdftoppm %8.2f ms  ratio %5.2f   "
                        "cpu: ours %8.2f  pdftoppm %8.2f ms  ratio %5.2f\n",
                        subject.name.c_str(), step == 0 ? "(cold counted)" : "              ", step, t.ours,
                        t.peer, ratios.back(), t.oursCpu, t.peerCpu, cpuRatios.back());
        }
    }
    std::fflush(stdout);
    state.SetLabel(subject.name);
    state.counters["lowest_ratio"] = ratios.empty() ? 0 : *std::min_element(ratios.begin(), ratios.end());
    state.counters["lowest_cpu_ratio"] = cpuRatios.empty() ? 0 : *std::min_element(cpuRatios.begin(), cpuRatios.end());
}
// Registered first: its first opening is the run's first, with nothing open before it.
BENCHMARK(BM_TransparencyPageZoomSteps)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
