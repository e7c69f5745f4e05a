// Request queues and form uploads against curl, both talking to nginx on loopback: many small
// GETs through one queue of three against curl's parallel transfers with the same limit, and a
// multipart upload of a file (to a location that reads the whole body and drops it) against
// curl -F; and many small files downloaded through a queue of three against one curl process
// given the same addresses and files, with the engine's own temporary files and with a
// temporary path beside each file (the application's layout); and many small kept-alive POSTs
// through a queue of three against curl's parallel transfers. The run ends with engine / curl
// rates from the medians of alternated repetitions; the files live in memory (see benchFolder).
// Beside a long download that nginx paces: a chain of sequential GETs against the same chain
// alone, and the kept-alive POSTs against curl's (alone). The small files again with a cookie
// on every answer and a full jar, against curl taking the same cookies; and again with the jar
// filled by this session's answers, so that the session's own list is full too.
// Default sizes keep a run to seconds; BRIVANTA_BENCH_FULL=1 uses 1,000 GETs and POSTs, 100 MiB and 20,000 files of 8-24 kB.
#include "Network/BRFormDataRequest.h"
#include "Network/BRNetworkQueue.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Net/CookieStorage.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using benchsupport::freePort;

const bool kFull = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
const int kGets = kFull ? 1000 : 60;
const int kPosts = kFull ? 1000 : 60;
const std::string kPostBody = "{\"root\":{\"parameters\":{\"methodName\":\"ping\"}}}";
const uint64_t kUploadSize = kFull ? uint64_t(100) << 20 : uint64_t(4) << 20;
const int kFiles = kFull ? 20000 : 60;
const int kChain = 100;
// The long download: nginx sends it at this pace, so that it lasts through any one iteration.
const uint64_t kLongSize = uint64_t(64) << 20;
const char* const kLongRate = "4m";
// A full jar: sites whose cookies fill it, besides the one answering.
const int kJarSites = 59;


// Where the run's files go: in memory when the machine has such a folder and TMPDIR names no
// other. On a disk file system without a journal, making a file skips every inode freed in
// the last minutes, so each side's processor time would hang on how many files anything on the
// machine (the previous repetition included) removed lately, not on the program measured.
fs::path benchFolder()
{
    std::error_code ignored;
    if (!std::getenv("TMPDIR") && fs::is_directory("/dev/shm", ignored) && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return fs::temp_directory_path();
}

// nginx with small documents, a location that takes a whole body and drops it, and a home
// for the engine's temporary files.
struct Site {
    fs::path folder;
    int port = 0;
    bool ok = false;

    Site()
    {
        std::string pattern = (benchFolder() / "brqueue-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::create_directories(folder / "www");
        fs::create_directories(folder / "home");
        ::setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        for (int i = 0; i < 10; ++i)
            std::ofstream(folder / "www" / ("s" + std::to_string(i))) << std::string(512 + i, 'x');
        {
            std::ofstream(folder / "www" / "long.bin", std::ios::binary).flush();
            fs::resize_file(folder / "www" / "long.bin", kLongSize);
        }
        {
            std::ofstream big(folder / "upload.bin", std::ios::binary);
            std::string chunk(1 << 20, 'u');
            for (uint64_t n = 0; n < kUploadSize; n += chunk.size())
                big << chunk;
        }
        port = freePort();
        int inner = freePort();
        const passwd* user = ::getpwuid(::getuid());
        std::string dir = folder.string();
        // Proxying makes nginx read the whole body first; the inner location answers.
        std::ofstream(folder / "nginx.conf")
            << "user " << (user ? user->pw_name : "nobody") << ";\npid " << dir << "/nginx.pid;\n"
            << "error_log " << dir << "/error.log;\nworker_processes 1;\nevents { worker_connections 256; }\n"
            << "http {\n access_log off;\n client_body_temp_path " << dir << "/body;\n"
            << " proxy_temp_path " << dir << "/proxy;\n fastcgi_temp_path " << dir << "/fcgi;\n"
            << " uwsgi_temp_path " << dir << "/uwsgi;\n scgi_temp_path " << dir << "/scgi;\n"
            << " default_type application/octet-stream;\n"
            << " server {\n  listen 127.0.0.1:" << port << ";\n  root " << dir << "/www;\n"
            << "  client_max_body_size 0;\n"
            << "  location = /long.bin { limit_rate " << kLongRate << "; }\n"
            // Every answer under /c/ sets the same session cookie again.
            << "  location /c/ { alias " << dir << "/www/f/; add_header Set-Cookie \"sid=0123456789abcdef; Path=/\"; }\n"
            << "  location = /discard { proxy_pass http://127.0.0.1:" << inner << "/ok;"
            << " proxy_pass_request_body off; proxy_set_header Content-Length \"\"; }\n }\n"
            << " server {\n  listen 127.0.0.1:" << inner << ";\n  location = /ok { return 200 \"ok\"; }\n }\n}\n";
        ok = benchsupport::runProgram({"/usr/sbin/nginx", "-p", dir, "-c", dir + "/nginx.conf"}) >= 0;
    }
    ~Site()
    {
        std::ifstream pidFile(folder / "nginx.pid");
        pid_t pid = 0;
        if (pidFile >> pid && pid > 0) {
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
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
};

Site& site()
{
    static Site s;
    return s;
}

bool needTools(benchmark::State& state, bool curl)
{
    if (curl && ::access("/usr/bin/curl", X_OK) != 0) {
        state.SkipWithError("curl is not installed (scripts/setup.sh installs it)");
        return false;
    }
    if (::access("/usr/sbin/nginx", X_OK) != 0 || !site().ok) {
        state.SkipWithError("nginx could not be started (scripts/setup.sh installs nginx-light)");
        return false;
    }
    return true;
}

// Counts the ends the queue reports.
class Owner : public BRHTTPRequestDelegate {
public:
    int finished = 0, failed = 0;
    void done(BRHTTPRequest&) { ++finished; }
    void fail(BRHTTPRequest&) { ++failed; }
};

// Runs the requests on one queue of three, as the server layer does; false when any failed.
bool runQueue(const std::vector<BRHTTPRequest::Ptr>& requests)
{
    auto owner = std::make_shared<Owner>();
    auto queue = BRNetworkQueue::queue();
    queue->reset();
    queue->setDelegate(owner);
    queue->setRequestDidFinishSelector(BRNetworkQueue::selector(&Owner::done));
    queue->setRequestDidFailSelector(BRNetworkQueue::selector(&Owner::fail));
    queue->setMaxConcurrentOperationCount(3);
    for (const auto& r : requests) {
        queue->addOperation(r);
        queue->go();
    }
    base::RunLoop::main().runUntil([&] { return queue->requestsCount() == 0; }, 3600);
    return owner->finished == int(requests.size());
}

// Runs the requests `make` gives through the queue once per iteration, with the processor time
// and context switches each request cost.
void runMeasured(benchmark::State& state, int count, const std::function<std::vector<BRHTTPRequest::Ptr>()>& make)
{
    long switches = 0;
    double cpu = 0;
    for (auto _ : state) {
        std::vector<BRHTTPRequest::Ptr> requests = make();
        long before = benchsupport::ownContextSwitches();
        double cpuBefore = benchsupport::selfCpuMs();
        if (!runQueue(requests)) {
            state.SkipWithError("a request failed");
            return;
        }
        switches += benchsupport::ownContextSwitches() - before;
        cpu += benchsupport::selfCpuMs() - cpuBefore;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * count);
    state.counters["switches_per_request"] = double(switches) / double(int64_t(state.iterations()) * count);
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}

void BM_SmallGets_Queue(benchmark::State& state)
{
    if (!needTools(state, false))
        return;
    runMeasured(state, kGets, [] {
        std::vector<BRHTTPRequest::Ptr> requests;
        for (int i = 0; i < kGets; ++i)
            requests.push_back(BRHTTPRequest::requestWithURL(net::URL::parse(site().url("/s" + std::to_string(i % 10)))));
        return requests;
    });
}

void BM_SmallGets_CurlParallel(benchmark::State& state)
{
    if (!needTools(state, true))
        return;
    std::string config = (site().folder / "gets.curl").string();
    {
        std::ofstream out(config);
        for (int i = 0; i < kGets; ++i)
            out << "url = \"" << site().url("/s" + std::to_string(i % 10)) << "\"\noutput = \"/dev/null\"\n";
    }
    long switches = 0;
    double cpu = 0;
    for (auto _ : state) {
        rusage usage{};
        if (!benchsupport::runToEnd({"curl", "-sf", "--parallel", "--parallel-max", "3", "--config", config}, usage)) {
            state.SkipWithError("curl failed");
            return;
        }
        switches += benchsupport::contextSwitches(usage);
        cpu += benchsupport::cpuMs(usage);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kGets);
    state.counters["switches_per_request"] = double(switches) / double(int64_t(state.iterations()) * kGets);
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}

// A download that lasts: started, under way (its answer begun), cancelled with the object.
class LongDownload {
public:
    LongDownload()
    {
        m_request = BRHTTPRequest::requestWithURL(net::URL::parse(site().url("/long.bin")));
        m_request->setDownloadDestinationPath((site().folder / "long.part").string());
        m_request->startAsynchronous();
        base::RunLoop::main().runUntil([&] { return m_request->totalBytesRead() > 0 || m_request->complete(); }, 60);
    }
    ~LongDownload()
    {
        m_request->clearDelegatesAndCancel();
        base::RunLoop::main().runUntil([&] { return m_request->isFinished(); }, 60);
    }
    bool underWay() const { return !m_request->complete() && m_request->totalBytesRead() > 0; }

private:
    BRHTTPRequest::Ptr m_request;
};

// kChain sequential GETs, each started by the previous one's ending, as a chain of commands
// runs; false when one failed.
bool runChain()
{
    int done = 0;
    bool failed = false;
    std::function<void()> next = [&] {
        auto request = BRHTTPRequest::requestWithURL(net::URL::parse(site().url("/s" + std::to_string(done % 10))));
        request->setShouldAttemptPersistentConnection(true);
        request->setCompletionBlock([&] {
            if (++done < kChain)
                next();
        });
        request->setFailedBlock([&] { failed = true; });
        request->startAsynchronous();
    };
    next();
    base::RunLoop::main().runUntil([&] { return failed || done == kChain; }, 600);
    return !failed && done == kChain;
}

void chainBench(benchmark::State& state, bool besideDownload)
{
    if (!needTools(state, false))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        std::optional<LongDownload> download;
        if (besideDownload)
            download.emplace();
        state.ResumeTiming();
        bool ok = runChain();
        state.PauseTiming();
        if (!ok || (download && !download->underWay())) {
            state.SkipWithError(ok ? "the download did not last" : "a GET failed");
            return;
        }
        download.reset();
        state.ResumeTiming();
    }
}

void BM_GetChain_Alone(benchmark::State& state) { chainBench(state, false); }
void BM_GetChain_BesideDownload(benchmark::State& state) { chainBench(state, true); }

// The small files nginx serves, made once: 8 to 24 kB each, of varied bytes.
const std::vector<std::pair<std::string, std::string>>& smallFiles()
{
    static const auto files = [] {
        std::vector<std::pair<std::string, std::string>> made;
        fs::create_directories(site().folder / "www" / "f");
        uint32_t seed = 12345;
        std::string bytes(24 << 10, '\0');
        for (char& c : bytes) {
            seed = seed * 1664525u + 1013904223u;
            c = char(seed >> 24);
        }
        for (int i = 0; i < kFiles; ++i) {
            std::string name = "f" + std::to_string(i) + ".jpg";
            size_t size = (8 << 10) + size_t(i * 7919) % (16 << 10);
            std::ofstream(site().folder / "www" / "f" / name, std::ios::binary).write(bytes.data() + i % 97, std::streamsize(size));
            made.emplace_back(site().url("/f/" + name), name);
        }
        return made;
    }();
    return files;
}

// One timed run of `files` through one queue of three, each to its own destination in `out`
// (emptied first), with a temporary path of the caller's beside each file and resuming on when
// `callerTemporary`. Answers the seconds it took, or nothing when a download failed.
std::optional<double> timedFileRun(benchmark::State& state, const std::vector<std::pair<std::string, std::string>>& files,
                                   const fs::path& out, bool callerTemporary)
{
    std::error_code ignored;
    fs::remove_all(out, ignored);
    fs::create_directories(callerTemporary ? out / "tempDownload" : out);
    std::vector<BRHTTPRequest::Ptr> requests;
    for (const auto& [address, name] : files) {
        auto request = BRHTTPRequest::requestWithURL(net::URL::parse(address));
        request->setDownloadDestinationPath((out / name).string());
        if (callerTemporary) {
            request->setTemporaryFileDownloadPath((out / "tempDownload" / name).string());
            request->setAllowResumeForFileDownloads(true);
        }
        requests.push_back(std::move(request));
    }
    double cpuBefore = benchsupport::selfCpuMs();
    auto start = std::chrono::steady_clock::now();
    bool ok = runQueue(requests);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["cpu_ms"] = benchsupport::selfCpuMs() - cpuBefore;
    if (!ok || !fs::exists(out / files.back().second))
        return std::nullopt;
    return seconds;
}

// Each file to its own destination through one queue of three, with the engine's own
// temporary files, as curl writes each to its name.
void BM_SmallFiles_Queue(benchmark::State& state)
{
    if (!needTools(state, false))
        return;
    const auto& files = smallFiles();
    fs::path out = site().folder / "engine";
    for (auto _ : state) {
        auto seconds = timedFileRun(state, files, out, false);
        if (!seconds) {
            state.SkipWithError("a download failed");
            return;
        }
        state.counters["files_per_s"] = *seconds > 0 ? double(files.size()) / *seconds : 0;
    }
}

// The same with a temporary path of the caller's beside each file and resuming on, as the
// application downloads.
void BM_SmallFilesWithTemporary_Queue(benchmark::State& state)
{
    if (!needTools(state, false))
        return;
    const auto& files = smallFiles();
    fs::path out = site().folder / "engine";
    for (auto _ : state) {
        auto seconds = timedFileRun(state, files, out, true);
        if (!seconds) {
            state.SkipWithError("a download failed");
            return;
        }
        state.counters["files_per_s"] = *seconds > 0 ? double(files.size()) / *seconds : 0;
    }
}

void BM_SmallFiles_CurlParallel(benchmark::State& state)
{
    if (!needTools(state, true))
        return;
    benchsupport::curlFetchBench(state, site().folder, smallFiles());
}

// The small files again, each answer setting the same cookie, with the jar full of other
// sites' cookies.
std::vector<std::pair<std::string, std::string>> cookieFiles()
{
    auto files = smallFiles();
    for (auto& [address, name] : files)
        address = site().url("/c/" + name);
    return files;
}

std::string jarSite(int n) { return "site" + std::to_string(n) + ".example.com"; }

// The shared jar given other sites' cookies, as many as a domain holds, by one answer a site;
// with `session`, what each answer set is added to the session's list too, as the response
// reader takes each answer's cookies.
void fillJar(bool session)
{
    for (int n = 0; n < kJarSites; ++n) {
        std::vector<std::pair<std::string, std::string>> headers;
        for (size_t c = 0; c < net::CookieStorage::kMaxCookiesPerDomain; ++c)
            headers.emplace_back("Set-Cookie", "c" + std::to_string(c) + "=" + std::to_string(n) + "; Path=/");
        auto set = net::CookieStorage::shared().setCookiesFromResponseHeaders(
            headers, *net::URL::parse("http://" + jarSite(n) + "/"));
        if (session)
            BRHTTPRequest::addSessionCookies(set);
    }
}

// The small files with the jar full of other sites' cookies; with `session`, the session's own
// list of what answers set full of them too.
void cookieJarBench(benchmark::State& state, bool session)
{
    if (!needTools(state, false))
        return;
    const auto files = cookieFiles();
    fs::path out = site().folder / "engine";
    auto& jar = net::CookieStorage::shared();
    for (auto _ : state) {
        if (session)
            BRHTTPRequest::setSessionCookies({});
        jar.removeAll();
        fillJar(session);
        bool ok = timedFileRun(state, files, out, false).has_value();
        if (!ok || jar.cookies().size() < net::CookieStorage::kMaxCookies - 50
            || (session && BRHTTPRequest::sessionCookies().size() < net::CookieStorage::kMaxCookies - 50)) {
            state.SkipWithError("a download failed or the jar was not full");
            return;
        }
    }
    if (session)
        BRHTTPRequest::setSessionCookies({});
    jar.removeAll();
}

void BM_SmallFilesCookieJar_Queue(benchmark::State& state) { cookieJarBench(state, false); }

// curl takes the same cookie on every answer into a jar of its own, which it starts empty:
// its jar file is read again for each transfer, so a full one would measure that reading.
void BM_SmallFilesCookieJar_CurlParallel(benchmark::State& state)
{
    if (!needTools(state, true))
        return;
    benchsupport::curlFetchBench(state, site().folder, cookieFiles(), {"--cookie-jar", "/dev/null"});
}

// The small files again, each answer setting the same cookie, after answers of this session
// filled the jar and the session's own list of what answers set with other sites' cookies.
void BM_SmallFilesSessionJar_Queue(benchmark::State& state) { cookieJarBench(state, true); }

// Small POSTs on kept connections, as the server layer sends its commands.
void BM_SmallPosts_Queue(benchmark::State& state)
{
    if (!needTools(state, false))
        return;
    const base::Bytes body(kPostBody.begin(), kPostBody.end());
    runMeasured(state, kPosts, [&] {
        std::vector<BRHTTPRequest::Ptr> requests;
        for (int i = 0; i < kPosts; ++i) {
            auto request = BRHTTPRequest::requestWithURL(net::URL::parse(site().url("/discard")));
            request->setRequestMethod("POST");
            request->addRequestHeader("Content-Type", "application/json");
            request->setPostBody(body);
            request->setShouldAttemptPersistentConnection(true);
            requests.push_back(std::move(request));
        }
        return requests;
    });
}

// The same beside a long download.
void BM_SmallPostsBesideDownload_Queue(benchmark::State& state)
{
    if (!needTools(state, false))
        return;
    const base::Bytes body(kPostBody.begin(), kPostBody.end());
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<BRHTTPRequest::Ptr> requests;
        for (int i = 0; i < kPosts; ++i) {
            auto request = BRHTTPRequest::requestWithURL(net::URL::parse(site().url("/discard")));
            request->setRequestMethod("POST");
            request->addRequestHeader("Content-Type", "application/json");
            request->setPostBody(body);
            request->setShouldAttemptPersistentConnection(true);
            requests.push_back(std::move(request));
        }
        std::optional<LongDownload> download(std::in_place);
        state.ResumeTiming();
        bool ok = runQueue(requests);
        state.PauseTiming();
        if (!ok || !download->underWay()) {
            state.SkipWithError(ok ? "the download did not last" : "a POST failed");
            return;
        }
        download.reset();
        state.ResumeTiming();
    }
}

void BM_SmallPosts_CurlParallel(benchmark::State& state)
{
    if (!needTools(state, true))
        return;
    std::string config = (site().folder / "posts.curl").string();
    // Inside a curl config's double quotes a backslash escapes the next character.
    std::string quoted;
    for (char c : kPostBody) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    {
        std::ofstream out(config);
        // Each transfer with its own header and body: "next" starts the options afresh.
        for (int i = 0; i < kPosts; ++i)
            out << (i ? "next\n" : "") << "url = \"" << site().url("/discard") << "\"\noutput = \"/dev/null\"\n"
                << "header = \"Content-Type: application/json\"\ndata-binary = \"" << quoted << "\"\n";
    }
    long switches = 0;
    double cpu = 0;
    for (auto _ : state) {
        rusage usage{};
        if (!benchsupport::runToEnd({"curl", "-sf", "--parallel", "--parallel-max", "3", "--config", config}, usage)) {
            state.SkipWithError("curl failed");
            return;
        }
        switches += benchsupport::contextSwitches(usage);
        cpu += benchsupport::cpuMs(usage);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kPosts);
    state.counters["switches_per_request"] = double(switches) / double(int64_t(state.iterations()) * kPosts);
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}

void BM_MultipartUpload_Engine(benchmark::State& state)
{
    if (!needTools(state, false))
        return;
    for (auto _ : state) {
        auto upload = BRFormDataRequest::requestWithURL(net::URL::parse(site().url("/discard")));
        upload->addPostValueForKey("bench", "name");
        upload->addFileForKey((site().folder / "upload.bin").string(), "file");
        if (!runQueue({upload})) {
            state.SkipWithError("the upload failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kUploadSize));
}

void BM_MultipartUpload_CurlF(benchmark::State& state)
{
    if (!needTools(state, true))
        return;
    std::string file = "file=@" + (site().folder / "upload.bin").string();
    for (auto _ : state) {
        if (benchsupport::runProgram({"curl", "-sf", "-o", "/dev/null", "-F", "name=bench", "-F", file, site().url("/discard")}) < 0) {
            state.SkipWithError("curl failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kUploadSize));
}

const int kIterations = kFull ? 5 : 1;
// Alternating runs (see runWithPairRatios); nine give a median that a passing load moves little.
// BRIVANTA_BENCH_REPETITIONS sets another count (a quick look while working).
const int kRepetitions = std::getenv("BRIVANTA_BENCH_REPETITIONS") ? std::max(1, std::atoi(std::getenv("BRIVANTA_BENCH_REPETITIONS")))
                         : kFull                                    ? 9
                                                                    : 3;

} // namespace

BENCHMARK(BM_SmallGets_Queue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallGets_CurlParallel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallFiles_Queue)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallFilesWithTemporary_Queue)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallFiles_CurlParallel)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallFilesCookieJar_Queue)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallFilesCookieJar_CurlParallel)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallFilesSessionJar_Queue)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_GetChain_Alone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_GetChain_BesideDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallPostsBesideDownload_Queue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallPosts_Queue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_SmallPosts_CurlParallel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_MultipartUpload_Engine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);
BENCHMARK(BM_MultipartUpload_CurlF)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kIterations)->Repetitions(kRepetitions);

int main(int argc, char** argv)
{
    return benchsupport::runWithPairRatios(argc, argv,
                                           {{"small GETs through a queue of 3", "BM_SmallGets_Queue", "BM_SmallGets_CurlParallel"},
                                            {"small files through a queue of 3", "BM_SmallFiles_Queue", "BM_SmallFiles_CurlParallel"},
                                            {"small files with a temporary path each", "BM_SmallFilesWithTemporary_Queue",
                                             "BM_SmallFiles_CurlParallel"},
                                            {"small files, a cookie on each answer, a full jar", "BM_SmallFilesCookieJar_Queue",
                                             "BM_SmallFilesCookieJar_CurlParallel"},
                                            {"small files, a cookie on each answer, the jar filled by this session's answers",
                                             "BM_SmallFilesSessionJar_Queue", "BM_SmallFilesCookieJar_CurlParallel"},
                                            {"small POSTs through a queue of 3", "BM_SmallPosts_Queue", "BM_SmallPosts_CurlParallel"},
                                            {"small POSTs beside a long download (curl alone)", "BM_SmallPostsBesideDownload_Queue",
                                             "BM_SmallPosts_CurlParallel"},
                                            {"100 chained GETs beside a long download", "BM_GetChain_Alone", "BM_GetChain_BesideDownload",
                                             "time beside / time alone"},
                                            {"multipart upload", "BM_MultipartUpload_Engine", "BM_MultipartUpload_CurlF"}});
}
