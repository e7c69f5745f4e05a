// The office converter's memory watch: the processor time that watching a running program's
// group every 10 ms takes, as a share of one core, reading the group's own processes
// (share::GroupMemoryWatch) against reading every process on the machine at each look. The
// program watched sleeps, so what is measured is the watch alone (this process's own time).
// BRIVANTA_BENCH_FULL=1 watches for 10 s instead of 2 s; BRIVANTA_BENCH_SMOKE=1 for a tenth of a
// second, once.
#include "BenchSupport.h"
#include "Platform/Share/Program.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

const bool kFull = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
const bool kSmoke = !kFull && benchsupport::smokeRun();
const double kSeconds = kFull ? 10 : kSmoke ? 0.1 : 2;
const int kRepetitions = kSmoke ? 1 : 3;

// A sleeping program in a group of its own, with a helper, as the converter starts one.
pid_t startGroup()
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    std::string script = "sleep 600 & exec sleep 600";
    char* args[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), script.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "sh", nullptr, &attributes, args, environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    return pid;
}

template <typename Look>
void watchBench(benchmark::State& state, Look look)
{
    pid_t group = startGroup();
    if (group <= 0) {
        state.SkipWithError("cannot start the watched program");
        return;
    }
    for (auto _ : state) {
        double cpuBefore = benchsupport::selfCpuMs();
        auto start = std::chrono::steady_clock::now();
        size_t looks = 0;
        while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(kSeconds)) {
            benchmark::DoNotOptimize(look(group));
            ++looks;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double cpu = benchsupport::selfCpuMs() - cpuBefore;
        state.SetIterationTime(wall);
        state.counters["cpu_ms"] = cpu;
        state.counters["core_percent"] = cpu / (wall * 10);
        state.counters["looks"] = double(looks);
    }
    ::kill(-group, SIGKILL);
    ::waitpid(group, nullptr, 0);
}

void BM_Watch_OwnGroup(benchmark::State& state)
{
    std::unique_ptr<share::GroupMemoryWatch> watch;
    watchBench(state, [&](pid_t group) {
        if (!watch)
            watch = std::make_unique<share::GroupMemoryWatch>(group);
        return watch->residentBytes();
    });
}

void BM_Watch_EveryProcess(benchmark::State& state)
{
    watchBench(state, [](pid_t group) { return share::groupResidentBytes(group); });
}

// The loop's own pauses and clock readings, without a look: what the two above add to it is
// the watch's cost.
void BM_Watch_NoLook(benchmark::State& state)
{
    watchBench(state, [](pid_t) { return size_t(0); });
}

BENCHMARK(BM_Watch_NoLook)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_Watch_OwnGroup)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);
BENCHMARK(BM_Watch_EveryProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions);

} // namespace

BENCHMARK_MAIN();
