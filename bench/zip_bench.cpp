// Extraction of a demo-like archive (many small images, a few large documents) against
// unzip -o -q. BRIVANTA_BENCH_FULL=1 uses 2,000 images and three 20 MiB files instead of
// 100 images and two 1 MiB files.
#include "Network/BRZipArchive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

struct DemoArchive {
    fs::path folder;
    std::string path;
    size_t bytes = 0;

    DemoArchive()
    {
        const bool full = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
        const int images = full ? 2000 : 100;
        const int documents = full ? 3 : 2;
        const size_t documentSize = full ? size_t(20) << 20 : size_t(1) << 20;

        std::string pattern = (fs::temp_directory_path() / "brzip-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        const fs::path source = folder / "demo_";
        std::mt19937 random(7);
        auto write = [&](const fs::path& file, size_t size, bool compressible) {
            fs::create_directories(file.parent_path());
            std::string data(size, '\0');
            for (size_t i = 0; i < size; ++i)
                data[i] = compressible ? "page text 0123456789\n"[random() % 21] : static_cast<char>(random());
            std::ofstream(file, std::ios::binary) << data;
            bytes += size;
        };
        // Images are already compressed, so their bytes are noise; documents compress.
        for (int i = 0; i < images; ++i)
            write(source / "ProductImages" / ("p" + std::to_string(i) + ".jpg"), 2000 + random() % 18000, false);
        for (int i = 0; i < documents; ++i)
            write(source / "Pdf" / ("doc" + std::to_string(i) + ".pdf"), documentSize, true);
        path = (folder / "DEMO.zip").string();
        if (std::system(("cd '" + folder.string() + "' && zip -qr DEMO.zip demo_").c_str()) != 0)
            std::abort();
    }
    ~DemoArchive()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

const DemoArchive& demo()
{
    static DemoArchive d;
    return d;
}

void freshTarget(benchmark::State& state, const fs::path& target)
{
    state.PauseTiming();
    std::error_code ignored;
    fs::remove_all(target, ignored);
    state.ResumeTiming();
}

void BM_BRZipArchiveExtract(benchmark::State& state)
{
    const auto& d = demo();
    const fs::path target = d.folder / "ours";
    for (auto _ : state) {
        freshTarget(state, target);
        BRZipArchive zip;
        if (!zip.UnzipOpenFile(d.path) || !zip.UnzipFileToOverWrite(target.string(), true))
            state.SkipWithError("extraction failed");
        zip.UnzipCloseFile();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.bytes));
}

void BM_UnzipCommand(benchmark::State& state)
{
    const auto& d = demo();
    const fs::path target = d.folder / "theirs";
    const std::string command = "unzip -o -q '" + d.path + "' -d '" + target.string() + "'";
    for (auto _ : state) {
        freshTarget(state, target);
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.bytes));
}

} // namespace

BENCHMARK(BM_BRZipArchiveExtract)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UnzipCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
