// What drawing a page in a worker process costs over drawing it in this process: the same
// tiles of the same pages (a text page, a vector manual's page when installed, a photo page)
// drawn both ways in alternation, at the reader's tile size of two pixels a point, and the
// medians of wall time per tile and their difference. The worker's processor time is its own.
#include "BenchSupport.h"
#include "PdfBenchData.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Pdf/PageWorkers.h"
#include "tests/Support/PdfFixtures.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Pages {
    fs::path home;
    std::vector<std::pair<std::string, std::shared_ptr<pdf::Document>>> documents;

    Pages()
    {
        char pattern[] = "/tmp/brivanta-pdf-worker-XXXXXX";
        home = mkdtemp(pattern);
        add("text", (home / "text.pdf").string(), pdffix::textPdf(3));
        add("photo", (home / "photo.pdf").string(), benchsupport::photoPdf(1, true));
        // The vector manual of the pace benchmark, when installed.
        gzFile in = gzopen("/usr/share/doc/zlib1g-dev/crc-doc.1.0.pdf.gz", "rb");
        if (in) {
            std::string bytes;
            char buffer[1 << 16];
            int got = 0;
            while ((got = gzread(in, buffer, sizeof buffer)) > 0)
                bytes.append(buffer, size_t(got));
            gzclose(in);
            add("vector", (home / "vector.pdf").string(), bytes);
        }
    }
    ~Pages() { fs::remove_all(home); }

    void add(const std::string& name, const std::string& path, const std::string& bytes)
    {
        pdffix::writeFile(path, bytes);
        if (auto opened = pdf::Document::open(path); opened.document)
            documents.emplace_back(name, opened.document);
    }
};

void BM_TileHereAndInAWorker(benchmark::State& state)
{
    static Pages pages;
    int runs = benchsupport::smokeRun() ? 2 : 21;
    const int tilePixels = 512;
    const double scale = 2;
    for (auto _ : state) {
        for (auto& [name, document] : pages.documents) {
            auto page = document->page(1);
            if (!page)
                continue;
            gfx::Rect into(0, 0, page->size().width * 2, page->size().height * 2);
            gfx::Rect tile(into.width() / 2 - 128, into.height() / 2 - 128, tilePixels / scale, tilePixels / scale);
            std::vector<double> here, worker;
            auto drawOnce = [&](bool inWorker) {
                auto context = gfx::Context::createBitmap(tile.size, scale);
                context->translate(-tile.x(), -tile.y());
                context->clipToRect(tile);
                auto start = Clock::now();
                if (inWorker)
                    page->drawInWorker(*context, into);
                else
                    page->draw(*context, into);
                (inWorker ? worker : here).push_back(benchsupport::msSince(start));
            };
            // Both warmed: the worker started and the document open in both processes.
            drawOnce(true);
            drawOnce(false);
            here.clear();
            worker.clear();
            for (int run = 0; run < runs; ++run) {
                drawOnce(run % 2 == 0);
                drawOnce(run % 2 != 0);
            }
            double h = benchsupport::median(here), w = benchsupport::median(worker);
            std::printf("%-8s tile %dx%d  here %8.2f ms  worker %8.2f ms  boundary %+7.2f ms\n", name.c_str(),
                        tilePixels, tilePixels, h, w, w - h);
            state.counters[name + "_boundary_ms"] = w - h;
        }
    }
    std::fflush(stdout);
}
BENCHMARK(BM_TileHereAndInAWorker)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
