// Reading the product tables' answer (513) into records: parse plus decode, in MB/s, with the
// process's peak resident size, beside Python's json.load of the same bytes. The answer comes
// from the local back end: fixture M's (about 9 MB) with BRIVANTA_BENCH_FULL=1, else the small
// fixture S's; BRIVANTA_SYNC_ANSWER names a saved answer instead.
#include "Network/BRJSON.h"
#include "Protocol/LoginMode.h"
#include "Protocol/RequestSyncAllTable.h"
#include "Protocol/SyncAllTableRst.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

// Starts the back end on free ports with the fixture, asks it for the full product tables and
// stops it again.
std::string fetchAnswer(const std::string& path, const std::string& fixture)
{
    const std::string backend = std::string(BRIVANTA_SOURCE_DIR) + "/tools/backend/server.py";
    const std::string log = path + ".log";
    std::string start = "/usr/bin/python3 " + backend + " --port 0 --file-port 0 --fixture " + fixture + " > " + log +
                        " 2>&1 & echo $!";
    std::string pid = output(start);
    std::string port;
    for (int i = 0; i < 300 && port.empty(); ++i) {
        std::istringstream first(readFile(log));
        std::string word;
        while (first >> word) {
            if (word == "commands") {
                first >> port;
                break;
            }
        }
        if (port.empty())
            ::usleep(20'000);
    }
    if (!port.empty()) {
        const std::string body = R"({"root":{"parameters":{"methodName":"syncData","accountId":"alice",)"
                                 R"("clientId":"AcmeCo","deviceId":"bench","syncType":"product","isFull":"true"}}})";
        std::system(("curl -s -X POST --data-binary '" + body + "' 'http://127.0.0.1:" + port +
                     "/BrivantaSaas/SyncServer;' -o " + path)
                        .c_str());
    }
    if (!pid.empty())
        std::system(("kill " + pid).c_str());
    std::remove(log.c_str());
    return readFile(path);
}

const std::string& answerText()
{
    static const std::string text = [] {
        if (const char* saved = std::getenv("BRIVANTA_SYNC_ANSWER"))
            return readFile(saved);
        std::string path = "/tmp/brivanta_bench_513_" + std::to_string(::getpid()) + ".json";
        const char* full = std::getenv("BRIVANTA_BENCH_FULL");
        std::string fetched = fetchAnswer(path, full && std::string(full) == "1" ? "M" : "S");
        std::remove(path.c_str());
        return fetched;
    }();
    return text;
}

long peakResidentKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_ParseAndDecode(benchmark::State& state)
{
    setenv("BRIVANTA_BUNDLE", BRIVANTA_BUNDLE_DIR, 0);
    const std::string& text = answerText();
    if (text.empty()) {
        state.SkipWithError("no answer: is python3 and the back end there?");
        return;
    }
    LoginMode::sharedInstance()->setClientID("AcmeCo");
    size_t products = 0;
    for (auto _ : state) {
        RequestSyncAllTable command;
        auto result = std::static_pointer_cast<SyncAllTableRst>(command.RequestDecode(JSONValue(text)));
        products = result->productTable.size();
        benchmark::DoNotOptimize(result);
    }
    if (products == 0)
        state.SkipWithError("the answer decoded to no products");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["products"] = static_cast<double>(products);
    state.counters["answer_MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["peak_RSS_MB"] = static_cast<double>(peakResidentKiB()) / 1024.0;
}
BENCHMARK(BM_ParseAndDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The decoding alone, from an answer parsed once.
void BM_DecodeOnly(benchmark::State& state)
{
    const std::string& text = answerText();
    std::optional<base::Value> parsed = JSONValue(text);
    if (!parsed) {
        state.SkipWithError("no answer");
        return;
    }
    for (auto _ : state) {
        RequestSyncAllTable command;
        benchmark::DoNotOptimize(command.RequestDecode(parsed));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes through Python's json.load, the program started once per iteration (its
// start-up is part of the figure and is measured alone as well). Python reports its own peak:
// it is started by a shell that does not hand it this process's resident size.
void runPython(benchmark::State& state, bool load)
{
    const std::string& text = answerText();
    if (text.empty()) {
        state.SkipWithError("no answer");
        return;
    }
    std::string path = "/tmp/brivanta_bench_513_py_" + std::to_string(::getpid()) + ".json";
    std::ofstream(path, std::ios::binary) << text;
    std::string script = std::string("import json,sys,resource; ") + (load ? "json.load(sys.stdin); " : "") +
                         "print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)";
    std::string command = "/usr/bin/python3 -c '" + script + "' < " + path + "; true";
    long peak = 0;
    rusage before{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    for (auto _ : state) {
        long kib = std::atol(output(command).c_str());
        if (kib <= 0) {
            state.SkipWithError("python3 failed");
            break;
        }
        peak = std::max(peak, kib);
    }
    rusage after{};
    ::getrusage(RUSAGE_CHILDREN, &after);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    // The processor time of the shell and Python together, per run: the wall clock of a busy
    // machine says little.
    state.counters["child_cpu_ms"] = state.iterations() ? cpu * 1000 / static_cast<double>(state.iterations()) : 0;
    std::remove(path.c_str());
    if (load)
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["peak_RSS_MB"] = static_cast<double>(peak) / 1024.0;
}
void BM_PythonJsonLoad(benchmark::State& state) { runPython(state, true); }
void BM_PythonStartOnly(benchmark::State& state) { runPython(state, false); }
BENCHMARK(BM_PythonJsonLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PythonStartOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
