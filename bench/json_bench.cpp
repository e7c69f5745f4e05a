// JSON parse and write throughput and peak heap on a generated sync answer, against the
// JSON libraries Debian ships. BRIVANTA_BENCH_FULL=1 uses the full 20 MB document.
#include "Network/BRJsonParser.h"
#include "Network/BRJsonWriter.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// Every heap allocation of the process passes through here, whichever library makes it, so
// each benchmark can report the high-water mark of live heap bytes.
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
}

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};
std::atomic<size_t> g_allocations{0};

void noteAllocated(void* p)
{
    if (!p)
        return;
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    size_t now = g_live.fetch_add(malloc_usable_size(p), std::memory_order_relaxed) + malloc_usable_size(p);
    size_t peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void noteFreed(void* p)
{
    if (p)
        g_live.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
}

} // namespace

extern "C" {
void* malloc(size_t n)
{
    void* p = __libc_malloc(n);
    noteAllocated(p);
    return p;
}
void free(void* p)
{
    noteFreed(p);
    __libc_free(p);
}
void* calloc(size_t count, size_t n)
{
    void* p = __libc_calloc(count, n);
    noteAllocated(p);
    return p;
}
void* realloc(void* p, size_t n)
{
    size_t old = p ? malloc_usable_size(p) : 0;
    void* q = __libc_realloc(p, n);
    if (q || n == 0) {
        g_live.fetch_sub(old, std::memory_order_relaxed);
        noteAllocated(q);
    }
    return q;
}
void* memalign(size_t alignment, size_t n)
{
    void* p = __libc_memalign(alignment, n);
    noteAllocated(p);
    return p;
}
void* aligned_alloc(size_t alignment, size_t n)
{
    return memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n)
{
    void* p = memalign(alignment, n);
    if (!p)
        return ENOMEM;
    *out = p;
    return 0;
}
}

namespace {

// Heap growth above the level at construction, peak over the benchmark's lifetime.
class PeakHeap {
public:
    PeakHeap() : m_base(g_live.load()) { g_peak.store(m_base); }
    void report(benchmark::State& state) const
    {
        state.counters["peak_MB"] = static_cast<double>(g_peak.load() - m_base) / (1024.0 * 1024.0);
    }

private:
    size_t m_base;
};

class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

private:
    uint64_t m_state;
};

void appendf(std::string& out, const char* format, auto... args)
{
    char buf[256];
    int n = std::snprintf(buf, sizeof buf, format, args...);
    out.append(buf, static_cast<size_t>(n));
}

// A sync answer: products with ids, prices, CJK and escaped texts and nested arrays, then
// customers, until the text reaches the wanted size.
std::string makeSyncAnswer(size_t targetBytes)
{
    static const char* const cjk[] = {"\xE7\xBA\xA2\xE8\x8C\xB6", "\xE7\xBB\xBF\xE8\x8C\xB6", "\xE6\x89\x8B\xE6\x9C\xBA",
                                      "\xE7\x94\xB5\xE8\x84\x91", "\xE4\xB8\xAD\xE5\x9B\xBD", "\xE4\xBA\xA7\xE5\x93\x81"};
    static const char* const escapedCjk[] = {"\\u7ea2\\u8272", "\\u5c3a\\u5bf8", "\\u989c\\u8272"};
    Random random(20240601);
    std::string out = R"({"results":{"status":"0","syncTime":"2024-06-01 08:00:00","products":[)";
    const size_t productsBytes = targetBytes * 4 / 5;
    for (int id = 1; out.size() < productsBytes; ++id) {
        if (id > 1)
            out += ',';
        appendf(out, R"({"productId":%d,"code":"P-%06d","name":"%s %s %d","barcode":"69%011d",)", 100000 + id, id,
                cjk[random.below(6)], cjk[random.below(6)], id, random.below(1000000000));
        appendf(out, R"("description":"Line one\nLine \"two\" with a \\ and a \/ and %s\tend",)",
                escapedCjk[random.below(3)]);
        appendf(out, R"("price":%d.%02d,"listPrice":%d.%02d,"discount":0.%02d,"stock":%d,"active":%s,"weight":null,)",
                random.below(2000), random.below(100), random.below(3000), random.below(100), random.below(50),
                random.below(10000) - 100, random.below(4) ? "true" : "false");
        out += R"("categoryIds":[)";
        for (int k = 0, n = 1 + random.below(4); k < n; ++k)
            appendf(out, k ? ",%d" : "%d", random.below(500));
        appendf(out, R"(],"attributes":[["%s","%s"],["size","%d"]],"tiers":[[1,%d.%02d],[10,%d.%02d],[100,%d.%02d]],)",
                escapedCjk[random.below(3)], cjk[random.below(6)], random.below(60), random.below(900), random.below(100),
                random.below(800), random.below(100), random.below(700), random.below(100));
        appendf(out, R"("images":[{"url":"https://cdn.example.com/img/%d/%d.jpg","width":640,"height":480}]})", id,
                random.below(10));
    }
    out += R"(],"customers":[)";
    for (int id = 1; out.size() < targetBytes; ++id) {
        if (id > 1)
            out += ',';
        appendf(out, R"({"customerId":%d,"name":"%s %s","credit":%d.%02d,"address":"No. %d \"Main\" Road\n%s",)",
                id, cjk[random.below(6)], cjk[random.below(6)], random.below(100000), random.below(100),
                random.below(999), cjk[random.below(6)]);
        appendf(out, R"("contacts":[{"phone":"+86-10-%08d","primary":true}],"lat":%d.%06d,"lng":%d.%06d})",
                random.below(100000000), 20 + random.below(30), random.below(1000000), 100 + random.below(30),
                random.below(1000000));
    }
    out += "]}}";
    return out;
}

const std::string& syncAnswer()
{
    static const std::string text = [] {
        const char* full = std::getenv("BRIVANTA_BENCH_FULL");
        return makeSyncAnswer(full && std::string(full) == "1" ? 20u << 20 : 1u << 20);
    }();
    return text;
}

void finish(benchmark::State& state, const PeakHeap& heap, size_t bytesPerIteration)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytesPerIteration));
    heap.report(state);
}

void BM_ParseBrivanta(benchmark::State& state)
{
    const std::string& text = syncAnswer();
    BRJsonParser parser;
    PeakHeap heap;
    for (auto _ : state) {
        auto value = parser.objectWithString(text);
        if (!value)
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(value);
    }
    finish(state, heap, text.size());
    // What the parsed tree alone holds, counted by the allocator hooks above.
    size_t liveBefore = g_live.load(), allocationsBefore = g_allocations.load();
    {
        auto tree = parser.objectWithString(text);
        state.counters["tree_MB"] = static_cast<double>(g_live.load() - liveBefore) / (1024.0 * 1024.0);
        state.counters["tree_x_file"] = static_cast<double>(g_live.load() - liveBefore) / static_cast<double>(text.size());
        state.counters["tree_allocs"] = static_cast<double>(g_allocations.load() - allocationsBefore);
    }
}

void BM_TreeRapidJSON(benchmark::State& state)
{
    const std::string& text = syncAnswer();
    size_t liveBefore = g_live.load(), allocationsBefore = g_allocations.load();
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    state.counters["tree_MB"] = static_cast<double>(g_live.load() - liveBefore) / (1024.0 * 1024.0);
    state.counters["tree_x_file"] = static_cast<double>(g_live.load() - liveBefore) / static_cast<double>(text.size());
    state.counters["tree_allocs"] = static_cast<double>(g_allocations.load() - allocationsBefore);
    for (auto _ : state)
        benchmark::DoNotOptimize(document);
}

void BM_ParseRapidJSON(benchmark::State& state)
{
    const std::string& text = syncAnswer();
    PeakHeap heap;
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.data(), text.size());
        if (document.HasParseError())
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document);
    }
    finish(state, heap, text.size());
}

template<typename Json>
void BM_ParseNlohmann(benchmark::State& state)
{
    const std::string& text = syncAnswer();
    PeakHeap heap;
    for (auto _ : state) {
        auto document = Json::parse(text.begin(), text.end());
        benchmark::DoNotOptimize(document);
    }
    finish(state, heap, text.size());
}

// One parser for all iterations, as its users keep one; its buffers count in the peak.
void BM_ParseSimdjson(benchmark::State& state)
{
    const std::string& text = syncAnswer();
    simdjson::padded_string padded(text);
    PeakHeap heap;
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element document;
        if (parser.parse(padded).get(document))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document);
    }
    finish(state, heap, text.size());
}

void BM_WriteBrivanta(benchmark::State& state)
{
    const auto tree = BRJsonParser().objectWithString(syncAnswer());
    BRJsonWriter writer;
    size_t bytes = 0;
    PeakHeap heap;
    for (auto _ : state) {
        auto text = writer.stringWithObject(*tree);
        bytes = text->size();
        benchmark::DoNotOptimize(text);
    }
    finish(state, heap, bytes);
}

void BM_WriteRapidJSON(benchmark::State& state)
{
    rapidjson::Document document;
    document.Parse(syncAnswer().data(), syncAnswer().size());
    size_t bytes = 0;
    PeakHeap heap;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    finish(state, heap, bytes);
}

template<typename Json>
void BM_WriteNlohmann(benchmark::State& state)
{
    const auto document = Json::parse(syncAnswer());
    size_t bytes = 0;
    PeakHeap heap;
    for (auto _ : state) {
        std::string text = document.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    finish(state, heap, bytes);
}

void BM_WriteSimdjson(benchmark::State& state)
{
    simdjson::padded_string padded(syncAnswer());
    simdjson::dom::parser parser;
    simdjson::dom::element document;
    if (parser.parse(padded).get(document)) {
        state.SkipWithError("parse failed");
        return;
    }
    size_t bytes = 0;
    PeakHeap heap;
    for (auto _ : state) {
        std::string text = simdjson::minify(document);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    finish(state, heap, bytes);
}

// Prints ours / RapidJSON for parse and write from the medians of the repetitions (or the
// single runs) of this one process, in processor time (steadier than wall time on a shared
// machine).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_median[run.run_name.function_name] = run.GetAdjustedCPUTime();
            else if (run.run_type == Run::RT_Iteration)
                m_single[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const char* step : {"Parse", "Write"}) {
            double ours = time(std::string("BM_") + step + "Brivanta"), peer = time(std::string("BM_") + step + "RapidJSON");
            if (ours > 0 && peer > 0)
                std::printf("%s: ours / RapidJSON = %.2fx the speed (%.1f vs %.1f ms)\n", step, peer / ours, ours, peer);
        }
    }

private:
    double time(const std::string& name) const
    {
        auto it = m_median.find(name);
        if (it != m_median.end())
            return it->second;
        it = m_single.find(name);
        return it == m_single.end() ? 0 : it->second;
    }
    std::map<std::string, double> m_median, m_single;
};

} // namespace

BENCHMARK(BM_TreeRapidJSON)->Iterations(1);
BENCHMARK(BM_ParseBrivanta)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseRapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ParseNlohmann, nlohmann::json)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ParseNlohmann, nlohmann::ordered_json)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseSimdjson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBrivanta)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRapidJSON)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_WriteNlohmann, nlohmann::json)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_WriteNlohmann, nlohmann::ordered_json)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSimdjson)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
