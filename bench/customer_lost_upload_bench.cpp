// A Submit whose new customer's last upload was lost, so that the Submit first looks for the
// server's copy among the customers changed since the last sync, beside a plain Submit of a new
// customer as the peer: both against the loopback back end (fixture L) after the office has
// changed 20,000 of its customers, both fetching that change set first. Each Submit uploads the
// customer and its order; the rounds alternate the two, and the processor time of this process
// (every thread) and the wall time are compared by their medians. BRIVANTA_BENCH_SMOKE changes
// 200 customers of fixture M's 5,000, one round.
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Platform/Base/RunLoop.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/SyncModel.h"
#include "tests/Support/TestBackend.h"
#include "BenchSupport.h"
#include "SyncBenchHome.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class OrderUploads : public QuoteOrderStoreDelegate {
public:
    std::vector<std::string> statuses;
    void finishedUploadQuoteOrdersMessage(const Text& status, const Text&) override
    {
        statuses.push_back(status.value_or(""));
    }
};

struct Submitted {
    std::string status;
    double cpuMs = 0;
    double wallMs = 0;
};

// A new customer with an order, then Submit of every unsent order, as the order list starts it.
// With `lost`, the customer's first upload is sent and its connection dropped before that.
Submitted submitNewCustomer(testsupport::TestBackend& backend, int round, bool lost)
{
    static auto uploads = std::make_shared<OrderUploads>();
    auto submit = [&] {
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        store->setDelegate(uploads);
        uploads->statuses.clear();
        if (!store->startUploadQuoteOrder(0))
            return std::string("not started");
        base::RunLoop::main().runUntil([&] { return !uploads->statuses.empty(); }, 600);
        return uploads->statuses.empty() ? std::string("no answer") : uploads->statuses.front();
    };
    const std::string name = std::string(lost ? "Lost" : "Plain") + " Bench " + std::to_string(round);
    const int local = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode(name, "1 Bench Road");
    auto order = std::make_shared<QuoteOrderEntity>();
    order->setCustomerName(name);
    order->setCustomerId(local);
    order->setCurrency("USD");
    if (local >= 0 || DataAccessManager::sharedDataModel()->saveQuoteOrder(order) == 0)
        return {"not stored"};
    // Order numbers are made from the second. A smoke run waits only until the second turns.
    if (benchsupport::smokeRun()) {
        const std::time_t saved = std::time(nullptr);
        base::RunLoop::main().runUntil([saved] { return std::time(nullptr) != saved; }, 1.05);
    } else {
        base::RunLoop::main().runUntil([] { return false; }, 1.05);
    }
    if (lost) {
        if (!backend.setFault("520", "drop", 1))
            return {"no fault"};
        if (auto first = submit(); first != "999")
            return {"first upload: " + first};
    }
    const double cpu = benchsupport::selfCpuMs();
    const auto start = std::chrono::steady_clock::now();
    Submitted done;
    done.status = submit();
    done.wallMs = benchsupport::msSince(start);
    done.cpuMs = benchsupport::selfCpuMs() - cpu;
    return done;
}

void BM_LostUploadCheck(benchmark::State& state)
{
    std::signal(SIGPIPE, SIG_IGN);
    setenv("BRIVANTA_BUNDLE", BRIVANTA_BUNDLE_DIR, 0);
    const bool smoke = benchsupport::smokeRun();
    const int changed = smoke ? 200 : 20000;
    const int rounds = smoke ? 1 : 5;
    std::string error;
    // A smoke run's device syncs the smaller fixture, whose customers start at the same id.
    auto backend = testsupport::TestBackend::start(smoke ? "M" : "L", &error);
    if (!backend) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        char pattern[] = "/tmp/brivanta-lost-upload-bench-XXXXXX";
        fs::path home = ::mkdtemp(pattern);
        benchsupport::signIn(*backend, home.string());
        LoginMode::sharedInstance()->setLoginType(1);
        ConfigManager::sharedInstance()->setModelDescArray(std::vector<std::string>{"1", "0", "1", "1", "0", "1", "1", "1"});
        DataAccessManager::sharedDataModel();
        CustomerDataModel::installOrderUploadHook();
        // The device's whole sync first, then the office's changes since.
        auto watch = std::make_shared<benchsupport::SyncEndWatch>();
        SyncModel::freeInstance();
        SyncModel::sharedInstance()->setDelegate(watch);
        SyncModel::sharedInstance()->startSync();
        base::RunLoop::main().runUntil([&] { return watch->ended; }, 600);
        std::string failed = !watch->ended ? "the sync did not end" : watch->broke;
        // The fixtures' customers are 20000 onwards.
        std::string edits = R"({"customerEdits": [)";
        for (int i = 0; i < changed; ++i)
            edits += (i ? "," : "") + std::string(R"({"customerId": )") + std::to_string(20000 + i)
                + R"(, "attributes": {"4": "Silver"}})";
        edits += "]}";
        if (failed.empty() && !backend->control(edits, &error))
            failed = error;
        std::vector<double> plainCpu, lostCpu, plainWall, lostWall;
        for (int round = 1; round <= rounds && failed.empty(); ++round) {
            const auto plain = submitNewCustomer(*backend, round, false);
            const auto lost = submitNewCustomer(*backend, round, true);
            if (plain.status != "200" || lost.status != "200") {
                failed = "Submit answered " + plain.status + " and " + lost.status;
                break;
            }
            plainCpu.push_back(plain.cpuMs);
            lostCpu.push_back(lost.cpuMs);
            plainWall.push_back(plain.wallMs);
            lostWall.push_back(lost.wallMs);
        }
        SyncModel::freeInstance();
        QuoteOrderStore::setPreUploadHook({});
        QuoteOrderStore::freeInstance();
        CustomerDataModel::freeInstance();
        NetworkModel::sharedInstance()->cancelAllRequests();
        DataAccessManager::releaseDataModel();
        ConfigManager::freeInstance();
        std::error_code ignored;
        fs::remove_all(home, ignored);
        if (!failed.empty()) {
            state.SkipWithError(failed.c_str());
            return;
        }
        const double plain = benchsupport::median(plainCpu), lost = benchsupport::median(lostCpu);
        state.counters["changed_customers"] = changed;
        state.counters["plain_cpu_ms"] = plain;
        state.counters["lost_cpu_ms"] = lost;
        state.counters["added_cpu_ms"] = lost - plain;
        state.counters["plain_wall_ms"] = benchsupport::median(plainWall);
        state.counters["lost_wall_ms"] = benchsupport::median(lostWall);
        std::printf("lost-upload Submit / plain Submit, medians of %d: processor %.0f / %.0f ms (ratio %.2f, "
                    "%.0f ms added), wall %.0f / %.0f ms\n",
                    rounds, lost, plain, plain > 0 ? lost / plain : 0.0, lost - plain,
                    benchsupport::median(lostWall), benchsupport::median(plainWall));
    }
}
BENCHMARK(BM_LostUploadCheck)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
