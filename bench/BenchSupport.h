#pragma once
// Helpers the benchmark programs share: a free loopback port, running a peer program, and a
// reporter that prints model/raw ratios for table saves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <cmath>
#include <cerrno>
#include <arpa/inet.h>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <optional>
#include <netinet/in.h>
#include <string>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace benchsupport {

// The test script's run of every benchmark once: each measures the least that still runs
// all of its code.
inline bool smokeRun()
{
    return std::getenv("BRIVANTA_BENCH_SMOKE") != nullptr;
}

// Seconds on the steady clock, for spans measured across callbacks.
inline double wallNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A curl config file that fetches each address into its file.
inline void writeCurlConfig(const std::string& path, const std::vector<std::pair<std::string, std::string>>& fetches)
{
    std::ofstream list(path);
    for (const auto& [address, output] : fetches)
        list << "url = \"" << address << "\"\noutput = \"" << output << "\"\n";
}

inline double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The middle value (the upper one of an even count); no values, no median.
inline double median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double peakRssMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

inline int freePort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Context switches (voluntary and not) of a process: this one with all its threads, or the
// last program runProgram ran.
inline long contextSwitches(const rusage& usage) { return usage.ru_nvcsw + usage.ru_nivcsw; }
inline long ownContextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return contextSwitches(usage);
}
inline long& lastProgramContextSwitches()
{
    static long count = 0;
    return count;
}

// Runs a program to its end, its output dropped, and fills in its own usage; false when it
// could not run or failed.
inline bool runToEnd(std::vector<std::string> argv, rusage& usage)
{
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    // Spawned, not forked: a fork would leave every page of this process copy-on-write, and
    // the next run measured here would pay a fault for each page it writes.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    int spawned = ::posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    usage = rusage{};
    return spawned == 0 && child > 0 && ::wait4(child, &status, 0, &usage) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Runs a program to its end, its output dropped; its peak resident size in KiB, or -1 when it
// failed.
inline long runProgram(std::vector<std::string> argv)
{
    rusage usage{};
    if (!runToEnd(std::move(argv), usage))
        return -1;
    lastProgramContextSwitches() = contextSwitches(usage);
    return usage.ru_maxrss;
}

// Processor time (user and system) in milliseconds.
inline double cpuMs(const rusage& usage)
{
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// This process's processor time so far, every thread of it, in milliseconds.
inline double selfCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuMs(usage);
}

// The calling thread's processor time so far, in milliseconds.
inline double threadCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return cpuMs(usage);
}

// The peer side of the download benches: one curl process fetching every address into
// `work`/curl under its name, three transfers at a time as our download queue runs them,
// from a config file. Each run starts from an emptied folder; "cpu_ms" is curl's own.
inline void curlFetchBench(benchmark::State& state, const std::filesystem::path& work,
                           const std::vector<std::pair<std::string, std::string>>& addressesAndNames,
                           const std::vector<std::string>& extraArgs = {})
{
    std::filesystem::path out = work / "curl";
    std::filesystem::path config = work / "curl.conf";
    std::vector<std::pair<std::string, std::string>> fetches;
    for (const auto& [address, name] : addressesAndNames)
        fetches.emplace_back(address, (out / name).string());
    writeCurlConfig(config, fetches);
    double files = double(fetches.size());
    for (auto _ : state) {
        std::error_code ignored;
        std::filesystem::remove_all(out, ignored);
        std::filesystem::create_directories(out);
        rusage usage{};
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> argv{"curl", "-sS", "--fail", "--parallel", "--parallel-max", "3", "-K", config.string()};
        argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
        bool ran = runToEnd(std::move(argv), usage);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        state.counters["cpu_ms"] = cpuMs(usage);
        if (!ran) {
            state.SkipWithError("curl failed");
            break;
        }
        state.counters["files"] = files;
        state.counters["files_per_s"] = seconds > 0 ? files / seconds : 0;
    }
}

// A program run to its end: its wall time and the processor time it used (its own rusage from
// wait4), so a loaded machine's waits for a processor do not count. Failed: ok false.
struct ProgramTimes {
    bool ok = false;
    double wallMs = 0, cpuMs = 0;
};

inline ProgramTimes timeProgram(std::vector<std::string> argv)
{
    auto start = std::chrono::steady_clock::now();
    rusage usage{};
    ProgramTimes times;
    if (!runToEnd(std::move(argv), usage))
        return times;
    times.ok = true;
    times.wallMs = msSince(start);
    times.cpuMs = cpuMs(usage);
    return times;
}

// Runs a program to its end and hands back what it wrote on its standard output; nothing when
// it failed. The peer's answer is read whole, as the engine's is.
inline std::optional<std::string> runProgramOutput(std::vector<std::string> argv)
{
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0)
        return std::nullopt;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        ::dup2(out[1], 1);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::execvp(args[0], args.data());
        _exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[65536];
    for (ssize_t n; child > 0 && (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

// For benchmarks labelled "<table> first load|re-save model|raw": prints model / raw per table,
// from the median of each label's runs (with --benchmark_repetitions, the repetitions; the
// aggregate lines are not runs). `Tables` yields records with `name` and `rows`.
template <typename Tables>
class TableRatioReporter : public benchmark::ConsoleReporter {
public:
    explicit TableRatioReporter(Tables tables) : m_tables(std::move(tables)) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            auto& times = m_times[run.report_label];
            times.real.push_back(run.GetAdjustedRealTime());
            times.cpu.push_back(run.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& table : m_tables()) {
            for (const char* kind : {" first load", " re-save"}) {
                std::string base = std::string(table.name) + kind;
                auto model = m_times.find(base + " model"), peer = m_times.find(base + " raw");
                if (model == m_times.end() || peer == m_times.end())
                    continue;
                double peerReal = median(peer->second.real), peerCpu = median(peer->second.cpu);
                if (peerReal <= 0 || peerCpu <= 0)
                    continue;
                // The processor time leaves out the waits for the disk, which vary run to run.
                std::printf("%s, %zu rows: model / raw = %.2fx real time, %.2fx processor time (medians of %zu "
                            "and %zu runs)\n",
                            base.c_str(), static_cast<size_t>(table.rows), median(model->second.real) / peerReal,
                            median(model->second.cpu) / peerCpu, model->second.real.size(),
                            peer->second.real.size());
            }
        }
    }

    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        size_t middle = values.size() / 2;
        return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }

private:
    struct Times {
        std::vector<double> real, cpu;
    };
    Tables m_tables;
    std::map<std::string, Times> m_times;
};

// For benchmarks that run the same work through the engine and through a peer program: prints
// the peer's time over the engine's (above 1: the engine is faster), from the medians when the run repeats;
// with a "cpu_ms" counter on both sides, the rate by processor time too, which a loaded machine
// moves less than the wall time.
class PairRatioReporter : public benchmark::ConsoleReporter {
public:
    struct Pair {
        std::string label, engine, peer;
        // What the printed rate compares.
        std::string rate = "curl time / engine time";
    };
    explicit PairRatioReporter(std::vector<Pair> pairs) : m_pairs(std::move(pairs)) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            std::string name = run.run_name.function_name;
            if (run.error_occurred)
                continue;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration)
                continue;
            auto& seen = (median ? m_medians : m_single)[name];
            seen.time = run.GetAdjustedRealTime();
            auto cpu = run.counters.find("cpu_ms");
            seen.cpu = cpu == run.counters.end() ? 0 : cpu->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& pair : m_pairs) {
            Seen engine = seen(pair.engine), peer = seen(pair.peer);
            if (engine.time <= 0 || peer.time <= 0)
                continue;
            if (engine.cpu > 0 && peer.cpu > 0)
                std::printf("%s: %s = %.2f (processor time: %.2f)\n", pair.label.c_str(), pair.rate.c_str(),
                            peer.time / engine.time, peer.cpu / engine.cpu);
            else
                std::printf("%s: %s = %.2f\n", pair.label.c_str(), pair.rate.c_str(), peer.time / engine.time);
        }
    }

private:
    struct Seen {
        double time = 0, cpu = 0;
    };
    Seen seen(const std::string& name) const
    {
        if (auto it = m_medians.find(name); it != m_medians.end())
            return it->second;
        auto it = m_single.find(name);
        return it == m_single.end() ? Seen{} : it->second;
    }
    std::vector<Pair> m_pairs;
    std::map<std::string, Seen> m_medians, m_single;
};

// Runs the registered benchmarks with a PairRatioReporter. The repetitions of the engine and
// of its peer alternate (in random order) unless the command line says otherwise, so that a
// change in the machine's load falls on both sides.
inline int runWithPairRatios(int argc, char** argv, std::vector<PairRatioReporter::Pair> pairs)
{
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args{argv[0], interleave.data()};
    args.insert(args.end(), argv + 1, argv + argc);
    int count = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    PairRatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

// For benchmarks that run the application's way and a bare peer in the same run: prints
// "label: application / peer = N.NNx" from medians. A pair names a counter that already is a
// median (a p50 the benchmark computed itself), or none for the median of the real times of
// the repetitions (the single run's time without repetitions).
class MedianRatioReporter : public benchmark::ConsoleReporter {
public:
    struct Pair {
        std::string label, application, peer, counter;
    };
    explicit MedianRatioReporter(std::vector<Pair> pairs) : m_pairs(std::move(pairs)) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            // The function and its arguments: repetitions and iteration counts left out.
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration)
                continue;
            auto& seen = m_values[name];
            if (median || !seen.fromMedian) {
                seen.fromMedian = median;
                seen.time = run.GetAdjustedRealTime();
                for (const auto& [key, counter] : run.counters)
                    seen.counters[key] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& pair : m_pairs) {
            double a = value(pair.application, pair.counter), b = value(pair.peer, pair.counter);
            if (a <= 0 || b <= 0)
                continue;
            std::printf("%s: application / peer = %.2fx (%.3f / %.3f%s)\n", pair.label.c_str(), a / b, a, b,
                        pair.counter.empty() ? " ms, medians" : (" " + pair.counter).c_str());
        }
    }

private:
    struct Seen {
        bool fromMedian = false;
        double time = 0;
        std::map<std::string, double> counters;
    };
    double value(const std::string& name, const std::string& counter) const
    {
        auto it = m_values.find(name);
        if (it == m_values.end())
            return 0;
        if (counter.empty())
            return it->second.time;
        auto c = it->second.counters.find(counter);
        return c == it->second.counters.end() ? 0 : c->second;
    }
    std::vector<Pair> m_pairs;
    std::map<std::string, Seen> m_values;
};

// Runs the registered benchmarks with a MedianRatioReporter.
inline int runWithMedianRatios(int argc, char** argv, std::vector<MedianRatioReporter::Pair> pairs)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MedianRatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

// The value at the fraction p of the sorted values (0.5 the median, 0.95 the 95th percentile).
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

} // namespace benchsupport
