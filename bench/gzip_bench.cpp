// Inflate throughput: the decompressor whole, in network-sized pieces and file to file,
// against a plain zlib loop with the same buffer sizing and against gzip -dc / pigz -dc.
// BRIVANTA_BENCH_FULL=1 uses 64 MiB of text instead of 1 MiB.
#include "Network/BRDataCompressor.h"
#include "Network/BRDataDecompressor.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Corpus {
    base::Bytes plain;
    base::Bytes gzip;
    fs::path folder;
    std::string gzipPath;

    Corpus()
    {
        const bool full = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
        const size_t size = full ? size_t(64) << 20 : size_t(1) << 20;
        // Sync-answer-like text: words, numbers and some noise, from a fixed seed.
        static const char* words[] = { "\"product_id\":", "\"price\":", "19.99,", "\"name\":\"", "catalog ",
                                       "\xe4\xba\xa7\xe5\x93\x81", "},{", "\"image\":\"img/" };
        std::mt19937 random(42);
        plain.reserve(size + 64);
        while (plain.size() < size) {
            if (random() % 4 == 0) {
                std::string number = std::to_string(random() % 100000);
                plain.insert(plain.end(), number.begin(), number.end());
            } else {
                const char* word = words[random() % std::size(words)];
                plain.insert(plain.end(), word, word + std::char_traits<char>::length(word));
            }
        }
        plain.resize(size);
        gzip = *BRDataCompressor::compressDataError(plain, nullptr);

        std::string pattern = (fs::temp_directory_path() / "brgzip-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        gzipPath = (folder / "body.gz").string();
        std::ofstream(gzipPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(gzip.data()), static_cast<std::streamsize>(gzip.size()));
    }
    ~Corpus()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

const Corpus& corpus()
{
    static Corpus c;
    return c;
}

void BM_DecompressorWhole(benchmark::State& state)
{
    const auto& c = corpus();
    for (auto _ : state) {
        auto out = BRDataDecompressor::uncompressDataError(c.gzip, nullptr);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.plain.size()));
}

// The engine inflates answers as they arrive from the socket.
void BM_DecompressorPieces(benchmark::State& state)
{
    const auto& c = corpus();
    const auto piece = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        auto decompressor = BRDataDecompressor::decompressor();
        size_t total = 0;
        for (size_t offset = 0; offset < c.gzip.size(); offset += piece) {
            auto out = decompressor->uncompressBytesLengthError(c.gzip.data() + offset,
                                                                std::min(piece, c.gzip.size() - offset), nullptr);
            total += out ? out->size() : 0;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.plain.size()));
}

// The same sizing (one and a half times the input, grown by half the input) with bare zlib.
void BM_PlainZlibLoop(benchmark::State& state)
{
    const auto& c = corpus();
    for (auto _ : state) {
        z_stream z {};
        inflateInit2(&z, 47);
        base::Bytes out(c.gzip.size() + c.gzip.size() / 2);
        z.next_in = const_cast<Bytef*>(c.gzip.data());
        z.avail_in = static_cast<uInt>(c.gzip.size());
        size_t written = 0;
        int result = Z_OK;
        while (result == Z_OK) {
            if (written == out.size())
                out.resize(out.size() + c.gzip.size() / 2);
            z.next_out = out.data() + written;
            z.avail_out = static_cast<uInt>(out.size() - written);
            result = inflate(&z, Z_NO_FLUSH);
            written = out.size() - z.avail_out;
        }
        inflateEnd(&z);
        out.resize(written);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.plain.size()));
}

void BM_DecompressorFileToFile(benchmark::State& state)
{
    const auto& c = corpus();
    const std::string out = (c.folder / "out").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(BRDataDecompressor::uncompressDataFromFileToFileError(c.gzipPath, out, nullptr));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.plain.size()));
}

void runCommand(benchmark::State& state, const std::string& tool)
{
    const auto& c = corpus();
    const std::string command = tool + " -dc '" + c.gzipPath + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError((tool + " failed").c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.plain.size()));
}

void BM_GzipCommand(benchmark::State& state) { runCommand(state, "gzip"); }
void BM_PigzCommand(benchmark::State& state) { runCommand(state, "pigz"); }

void BM_CompressorWhole(benchmark::State& state)
{
    const auto& c = corpus();
    for (auto _ : state) {
        auto out = BRDataCompressor::compressDataError(c.plain, nullptr);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.plain.size()));
}

} // namespace

BENCHMARK(BM_DecompressorWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompressorPieces)->Arg(1460)->Arg(16384)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainZlibLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompressorFileToFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GzipCommand)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PigzCommand)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompressorWhole)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
