// The HTTP engine against curl, both fetching from nginx on loopback: a large file to disk
// (with peak resident memory), a large answer held in memory, a gzip answer inflated on the
// fly, and sequential small POSTs on fresh connections. Each runs a few times and the run ends
// with engine / curl rates from the medians. Default sizes keep a run to seconds;
// BRIVANTA_BENCH_FULL=1 uses 1 GiB, 100 MiB, 5 MiB and 1,000 POSTs.
#include "Network/BRHTTPRequest.h"
#include "Platform/Base/RunLoop.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using benchsupport::freePort;
using benchsupport::runProgram;

const bool kFull = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
const uint64_t kFileSize = kFull ? uint64_t(1) << 30 : uint64_t(16) << 20;
const uint64_t kMemorySize = kFull ? uint64_t(100) << 20 : uint64_t(4) << 20;
const uint64_t kGzipSize = kFull ? uint64_t(5) << 20 : uint64_t(1) << 20;
const int kPosts = kFull ? 1000 : 20;
// Alternating runs (see runWithPairRatios); nine give a median that a passing load moves little.
const int kRepetitions = kFull ? 9 : 3;
const std::string kCommand = R"({"root":{"parameters":{"methodName":"login"}}})";


long statusField(const char* name)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name, 0) == 0)
            return std::atol(line.c_str() + std::strlen(name));
    return 0;
}

// The documents, nginx serving them, and a home for the engine's temporary files.
struct Site {
    fs::path folder;
    int port = 0;
    bool ok = false;

    Site()
    {
        std::string pattern = (fs::temp_directory_path() / "brhttp-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::create_directories(folder / "www");
        fs::create_directories(folder / "home");
        fs::create_directories(folder / "out");
        ::setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        // Sparse files: the disk work measured is the client's.
        for (auto [name, size] : {std::pair{"file.bin", kFileSize}, std::pair{"memory.bin", kMemorySize}})
            fs::resize_file(writeEmpty(folder / "www" / name), size);
        std::ofstream text(folder / "www/text.txt", std::ios::binary);
        for (uint64_t i = 0; text.tellp() < std::streamoff(kGzipSize); ++i)
            text << "{\"product_id\":" << i * 7919 % 100003 << ",\"price\":" << i % 997 << ".99,\"name\":\"item "
                 << i << "\"},\n";
        text.close();
        fs::resize_file(folder / "www/text.txt", kGzipSize);

        port = freePort();
        const passwd* user = ::getpwuid(::getuid());
        std::string dir = folder.string();
        std::ofstream(folder / "nginx.conf")
            << "user " << (user ? user->pw_name : "nobody") << ";\npid " << dir << "/nginx.pid;\n"
            << "error_log " << dir << "/error.log;\nworker_processes 1;\nevents { worker_connections 256; }\n"
            << "http {\n access_log off;\n sendfile on;\n client_body_temp_path " << dir << "/body;\n"
            << " proxy_temp_path " << dir << "/proxy;\n fastcgi_temp_path " << dir << "/fcgi;\n"
            << " uwsgi_temp_path " << dir << "/uwsgi;\n scgi_temp_path " << dir << "/scgi;\n"
            << " types { text/plain txt; }\n default_type application/octet-stream;\n"
            << " server {\n  listen 127.0.0.1:" << port << ";\n  root " << dir << "/www;\n"
            << "  gzip on; gzip_types text/plain;\n  location = /post { return 200 \"ok\"; }\n }\n}\n";
        ok = runProgram({"/usr/sbin/nginx", "-p", dir, "-c", dir + "/nginx.conf"}) >= 0;
    }
    ~Site()
    {
        std::ifstream pidFile(folder / "nginx.pid");
        pid_t pid = 0;
        if (pidFile >> pid && pid > 0) {
            // nginx is not our child: wait on its pid until it has left the folder.
            int exited = int(::syscall(SYS_pidfd_open, pid, 0));
            ::kill(pid, SIGTERM);
            if (exited >= 0) {
                pollfd done{exited, POLLIN, 0};
                ::poll(&done, 1, 5000);
                ::close(exited);
            }
        }
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    static fs::path writeEmpty(const fs::path& path)
    {
        std::ofstream(path, std::ios::binary);
        return path;
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    std::string out(const std::string& name) const { return (folder / "out" / name).string(); }
};

Site& site()
{
    static Site s;
    return s;
}

// Runs one engine request to its end on the main loop, told as the server layer is told (on
// the main thread); false when it failed.
bool runEngine(const BRHTTPRequest::Ptr& request)
{
    auto done = std::make_shared<bool>(false);
    request->setCompletionBlock([done] { *done = true; });
    request->setFailedBlock([done] { *done = true; });
    request->startAsynchronous();
    base::RunLoop::main().runUntil([&] { return *done; }, 3600);
    return *done && !request->error();
}

BRHTTPRequest::Ptr download(const std::string& path, const std::string& destination)
{
    auto request = BRHTTPRequest::requestWithURL(net::URL::parse(site().url(path)));
    request->setDownloadDestinationPath(destination);
    request->setTemporaryFileDownloadPath(destination + ".part");
    return request;
}

bool needSite(benchmark::State& state)
{
    if (::access("/usr/sbin/nginx", X_OK) != 0 || !site().ok) {
        state.SkipWithError("nginx could not be started (scripts/setup.sh installs nginx-light)");
        return false;
    }
    return true;
}

bool needCurl(benchmark::State& state)
{
    if (::access("/usr/bin/curl", X_OK) != 0) {
        state.SkipWithError("curl is not installed (scripts/setup.sh installs it)");
        return false;
    }
    return needSite(state);
}

void BM_FileToDisk_Engine(benchmark::State& state)
{
    if (!needSite(state))
        return;
    std::string destination = site().out("file.bin");
    long growth = 0;
    for (auto _ : state) {
        // Peak resident size from here on (writing 5 resets the high-water mark).
        std::ofstream("/proc/self/clear_refs") << "5";
        long before = statusField("VmRSS:");
        if (!runEngine(download("/file.bin", destination)) || fs::file_size(destination) != kFileSize) {
            state.SkipWithError("the download failed");
            return;
        }
        growth = std::max(growth, statusField("VmHWM:") - before);
        fs::remove(destination);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kFileSize));
    state.counters["peak_rss_growth_MiB"] = double(growth) / 1024;
}

void BM_FileToDisk_Curl(benchmark::State& state)
{
    if (!needCurl(state))
        return;
    std::string destination = site().out("file-curl.bin");
    long peak = 0;
    for (auto _ : state) {
        long rss = runProgram({"curl", "-sf", "-o", destination, site().url("/file.bin")});
        if (rss < 0) {
            state.SkipWithError("curl failed");
            return;
        }
        peak = std::max(peak, rss);
        fs::remove(destination);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kFileSize));
    state.counters["curl_peak_rss_MiB"] = double(peak) / 1024;
}

void BM_AnswerInMemory_Engine(benchmark::State& state)
{
    if (!needSite(state))
        return;
    for (auto _ : state) {
        auto request = BRHTTPRequest::requestWithURL(net::URL::parse(site().url("/memory.bin")));
        // 100 MiB passes the default limit for answers held in memory.
        request->setMaximumInMemoryResponseSize(kMemorySize);
        if (!runEngine(request) || request->rawResponseData().size() != kMemorySize) {
            state.SkipWithError("the request failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kMemorySize));
}

void BM_AnswerInMemory_Curl(benchmark::State& state)
{
    if (!needCurl(state))
        return;
    for (auto _ : state)
        if (runProgram({"curl", "-sf", "-o", "/dev/null", site().url("/memory.bin")}) < 0) {
            state.SkipWithError("curl failed");
            return;
        }
    state.SetBytesProcessed(int64_t(state.iterations() * kMemorySize));
}

void BM_GzipInflatedOnTheFly_Engine(benchmark::State& state)
{
    if (!needSite(state))
        return;
    std::string destination = site().out("text.txt");
    for (auto _ : state) {
        auto request = download("/text.txt", destination);
        request->setShouldWaitToInflateCompressedResponses(false);
        if (!runEngine(request) || !request->isResponseCompressed() || fs::file_size(destination) != kGzipSize) {
            state.SkipWithError("the gzip download failed");
            return;
        }
        fs::remove(destination);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kGzipSize));
}

void BM_GzipInflatedOnTheFly_Curl(benchmark::State& state)
{
    if (!needCurl(state))
        return;
    std::string destination = site().out("text-curl.txt");
    for (auto _ : state) {
        if (runProgram({"curl", "-sf", "--compressed", "-o", destination, site().url("/text.txt")}) < 0 ||
            fs::file_size(destination) != kGzipSize) {
            state.SkipWithError("curl failed");
            return;
        }
        fs::remove(destination);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kGzipSize));
}

// POSTs as the server layer sends its commands: the engine takes a new connection for each.
void BM_SequentialPosts_Engine(benchmark::State& state)
{
    if (!needSite(state))
        return;
    long switches = 0;
    double cpu = 0;
    for (auto _ : state) {
        long before = benchsupport::ownContextSwitches();
        double cpuBefore = benchsupport::selfCpuMs();
        for (int i = 0; i < kPosts; ++i) {
            auto request = BRHTTPRequest::requestWithURL(net::URL::parse(site().url("/post")));
            request->setRequestMethod("POST");
            request->setRequestHeaders({{"Content-Type", "applicatioin/bin;charset=UTF-8"}});
            request->setPostBody(base::Bytes(kCommand.begin(), kCommand.end()));
            if (!runEngine(request) || request->responseStatusCode() != 200) {
                state.SkipWithError("a POST failed");
                return;
            }
        }
        switches += benchsupport::ownContextSwitches() - before;
        cpu += benchsupport::selfCpuMs() - cpuBefore;
    }
    state.SetItemsProcessed(state.iterations() * kPosts);
    state.counters["switches_per_request"] = double(switches) / double(state.iterations() * kPosts);
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}

// One curl process posting to every URL in turn, each on a connection of its own.
void BM_SequentialPosts_Curl(benchmark::State& state)
{
    if (!needCurl(state))
        return;
    std::string config = site().out("posts.curl");
    {
        // The options hold for every URL; the answers go to stdout, which is discarded.
        std::ofstream out(config);
        out << "silent\nfail\nheader = \"Connection: close\"\n"
            << "header = \"Content-Type: applicatioin/bin;charset=UTF-8\"\n"
            << "data-binary = \"{\\\"root\\\":{\\\"parameters\\\":{\\\"methodName\\\":\\\"login\\\"}}}\"\n";
        for (int i = 0; i < kPosts; ++i)
            out << "url = \"" << site().url("/post") << "\"\n";
    }
    long switches = 0;
    double cpu = 0;
    for (auto _ : state) {
        rusage usage{};
        if (!benchsupport::runToEnd({"curl", "--config", config}, usage)) {
            state.SkipWithError("curl failed");
            return;
        }
        switches += benchsupport::contextSwitches(usage);
        cpu += benchsupport::cpuMs(usage);
    }
    state.SetItemsProcessed(state.iterations() * kPosts);
    state.counters["switches_per_request"] = double(switches) / double(state.iterations() * kPosts);
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}

BENCHMARK(BM_FileToDisk_Engine)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(BM_FileToDisk_Curl)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(BM_AnswerInMemory_Engine)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(BM_AnswerInMemory_Curl)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(BM_GzipInflatedOnTheFly_Engine)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(BM_GzipInflatedOnTheFly_Curl)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(BM_SequentialPosts_Engine)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);
BENCHMARK(BM_SequentialPosts_Curl)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithPairRatios(argc, argv,
                                           {{kFull ? "1 GiB to disk" : "file to disk", "BM_FileToDisk_Engine", "BM_FileToDisk_Curl"},
                                            {"answer held in memory", "BM_AnswerInMemory_Engine", "BM_AnswerInMemory_Curl"},
                                            {"gzip inflated on the fly", "BM_GzipInflatedOnTheFly_Engine", "BM_GzipInflatedOnTheFly_Curl"},
                                            {"sequential small POSTs", "BM_SequentialPosts_Engine", "BM_SequentialPosts_Curl"}});
}
