// A product's 7990 x 7990 picture of 16 bits a sample (PNG) or of high dynamic range (HDR)
// decoded the way a product page and the image viewer ask for it (at the page's size, on the
// screen pictures' road): the process's peak growth and the time, as medians of runs each in a
// child process; beside them the same size of 8-bit RGBA PNG on the same road, the picture the
// decode budget was sized for, and the ratio of medians. BRIVANTA_BENCH_SMOKE=1: pictures of
// 2000 x 2000, one run.
#include "BenchSupport.h"
#include "Common/ScreenPicture.h"
#include "Platform/Base/Paths.h"
#include "tests/Support/LargePictures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A smoke run's pictures are still larger than the page, so they take the same roads.
const int kSide = benchsupport::smokeRun() ? 2000 : 7990;
const int kRuns = benchsupport::smokeRun() ? 1 : 3;

struct Files {
    fs::path folder;
    std::map<std::string, fs::path> byKind;
    Files()
    {
        std::string pattern = (fs::temp_directory_path() / "brdeep-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        auto write = [&](const std::string& kind, const base::Bytes& bytes) {
            fs::path path = folder / (kind + (kind == "hdr" ? ".hdr" : ".png"));
            if (!largepictures::writeFile(path.string(), bytes))
                std::abort();
            byKind[kind] = path;
        };
        write("png16", largepictures::png(kSide, 4, 16));
        write("hdr", largepictures::hdr(kSide));
        write("png8", largepictures::png(kSide, 4, 8));
    }
    ~Files() { fs::remove_all(folder); }
};

Files& files()
{
    static Files f;
    return f;
}

struct Run {
    double peakMb = 0;
    double ms = 0;
    int width = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The page's own road: ScreenPicture::decode at the page's size, off the main thread.
Run measure(const fs::path& path)
{
    struct Answer {
        double ms;
        int width;
    } answer {};
    long grown = -1;
    largepictures::inChild<Answer>([&](Answer& a) {
        auto start = std::chrono::steady_clock::now();
        gfx::Image image = ScreenPicture::decode(path.string(), {1024, 748});
        a.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        a.width = image.pixelWidth();
    }, answer, grown);
    return {grown / 1048576.0, answer.ms, answer.width};
}

void BM_DeepPictureOnThePagesRoad(benchmark::State& state)
{
    std::map<std::string, std::vector<double>> peaks, times;
    std::map<std::string, int> widths;
    for (auto _ : state)
        for (int run = 0; run < kRuns; ++run)
            for (const auto& [kind, path] : files().byKind) {
                Run r = measure(path);
                peaks[kind].push_back(r.peakMb);
                times[kind].push_back(r.ms);
                widths[kind] = r.width;
            }
    double peerPeak = median(peaks["png8"]), peerTime = median(times["png8"]);
    for (const auto& kind : {"png16", "hdr", "png8"}) {
        std::printf("%-6s peak %7.1f MB (x%.2f of png8), %7.1f ms (x%.2f of png8), decoded %d px wide\n", kind,
                    median(peaks[kind]), median(peaks[kind]) / peerPeak, median(times[kind]),
                    median(times[kind]) / peerTime, widths[kind]);
        state.counters[std::string(kind) + "_peak_mb"] = median(peaks[kind]);
        state.counters[std::string(kind) + "_ms"] = median(times[kind]);
    }
}
BENCHMARK(BM_DeepPictureOnThePagesRoad)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
