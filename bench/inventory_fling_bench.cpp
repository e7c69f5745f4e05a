// A headless fling through the inventory sheet of the large test catalogue (5,000 products),
// 60 steps a second in real time: per step, layout plus cell configuration plus drawing of the
// dirty region (p50, p95), and thumbnail-to-screen time (p50, p95) from the step a row shows
// without its picture to the step it has it, with the reads on the shared worker pool. Side by
// side with the same fling over a plain table of labels. BRIVANTA_BENCH_FULL=1 flings slower
// (more steps over the same list); BRIVANTA_BENCH_SMOKE=1 flings 500 products in 20 steps.
#include "BenchSupport.h"
#include "CatalogFixture.h"

#include "Classes/Catalog/InventoryViewController.h"
#include "Common/LanguageManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/Window.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Catalogue {
    fs::path folder;
    Catalogue()
    {
        std::string pattern = (fs::temp_directory_path() / "brinventory-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        catalogfixture::build({.seed = 5, .products = benchsupport::smokeRun() ? 500 : 5000}, "bench");
        if (!DataAccessManager::sharedDataModel()->hasModels())
            std::abort();
    }
    ~Catalogue() { fs::remove_all(folder); }
};

Catalogue& catalogue()
{
    static Catalogue c;
    return c;
}

int flingSteps()
{
    return std::getenv("BRIVANTA_BENCH_FULL") ? 1800 : benchsupport::smokeRun() ? 20 : 300;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

struct Figures {
    double stepP50 = 0, stepP95 = 0, thumbP50 = 0, thumbP95 = 0;
    size_t thumbnails = 0;
    size_t dropped = 0;
};
std::map<std::string, Figures> g_figures;

// A picture button on screen: the row it shows and whether its picture is there.
struct Shown {
    const ui::View* button;
    int row;
    bool picture;
};

// Flings `table` from top to bottom and back at 60 steps a second; `shown` lists the picture
// buttons on screen, for the thumbnail times: from the start of the step that showed the row
// to the end of the first step after which its picture is there, at step granularity (a row
// that leaves before its picture counts as left, not as shown).
template <typename ShownButtons>
Figures fling(ui::Window& window, ui::TableView& table, ShownButtons shown)
{
    auto& loop = base::RunLoop::main();
    const int steps = flingSteps();
    const double bottom = std::max(0.0, table.contentSize().height - table.bounds().height());
    const double stride = 2 * bottom / steps;
    const auto frame = std::chrono::microseconds(16667);
    std::vector<double> stepTimes;
    std::vector<double> thumbTimes;
    std::map<std::pair<const ui::View*, int>, Clock::time_point> waiting;
    std::set<std::pair<const ui::View*, int>> finished;
    size_t dropped = 0;
    double y = 0;
    for (int i = 0; i < steps; ++i) {
        auto tick = Clock::now();
        y = i < steps / 2 ? std::min(bottom, y + stride) : std::max(0.0, y - stride);
        loop.runPending();
        auto start = Clock::now();
        table.setContentOffset({0, y});
        window.prepareFrame();
        window.drawFrame(1);
        auto end = Clock::now();
        stepTimes.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        // The step's time passes: worker reads come back and their displays run.
        loop.advance(1.0 / 60);
        auto seen = Clock::now();
        std::map<std::pair<const ui::View*, int>, Clock::time_point> still;
        std::set<std::pair<const ui::View*, int>> done;
        for (const Shown& s : shown()) {
            std::pair<const ui::View*, int> key{s.button, s.row};
            if (finished.count(key)) {
                done.insert(key);
                continue;
            }
            // A row new on screen was asked for its picture in this step.
            auto it = waiting.find(key);
            Clock::time_point since = it == waiting.end() ? start : it->second;
            if (s.picture) {
                thumbTimes.push_back(std::chrono::duration<double, std::milli>(seen - since).count());
                done.insert(key);
            } else {
                still[key] = since;
            }
        }
        for (auto& [key, since] : waiting)
            if (!still.count(key) && !done.count(key))
                ++dropped;
        waiting = std::move(still);
        finished = std::move(done);
        std::this_thread::sleep_until(tick + frame);
    }
    return {percentile(stepTimes, 0.5), percentile(stepTimes, 0.95), percentile(thumbTimes, 0.5), percentile(thumbTimes, 0.95),
            thumbTimes.size(), dropped};
}

void report(benchmark::State& state, const std::string& name, const Figures& f)
{
    g_figures[name] = f;
    state.counters["step_p50_ms"] = f.stepP50;
    state.counters["step_p95_ms"] = f.stepP95;
    if (f.thumbnails) {
        state.counters["thumb_p50_ms"] = f.thumbP50;
        state.counters["thumb_p95_ms"] = f.thumbP95;
        state.counters["rows_left_before_picture"] = static_cast<double>(f.dropped);
    }
}

void BM_InventoryFling(benchmark::State& state)
{
    catalogue();
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    auto window = std::make_shared<ui::Window>();
    window->makeKeyAndVisible();
    auto screen = std::make_shared<InventoryViewController>();
    window->setRootViewController(screen);
    window->layoutIfNeeded();
    ui::TableView& table = *screen->tblView()->tblView();
    auto shown = [&] {
        std::vector<Shown> buttons;
        for (auto* row : table.visibleCells()) {
            auto& cells = static_cast<BRMultiColumnTableViewCell*>(row)->columnCells();
            const ui::View* button = cells[1]->subviews().front().get();
            bool picture = false;
            for (auto& sub : button->subviews())
                if (auto* image = dynamic_cast<const ui::ImageView*>(sub.get()))
                    picture |= !image->image().isNull();
            buttons.push_back({button, button->tag(), picture});
        }
        return buttons;
    };
    Figures figures;
    for (auto _ : state)
        figures = fling(*window, table, shown);
    report(state, "inventory", figures);
    window.reset();
    screen.reset();
    loop.advance(10);
    loop.setManualClock(false);
}
BENCHMARK(BM_InventoryFling)->Iterations(1)->Unit(benchmark::kMillisecond);

class Labels : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    std::vector<brivanta_product_Entity> products = DataAccessManager::sharedDataModel()->getAllProducts();
    int numberOfRowsInSection(ui::TableView&, int) override { return static_cast<int>(products.size()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell)
            cell = ui::View::make<ui::TableViewCell>(ui::TableViewCellStyle::Default, "row");
        cell->textLabel().setText(products[static_cast<size_t>(path.row)].product_name.value_or(""));
        return cell;
    }
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return 120; }
};

void BM_PlainTableFling(benchmark::State& state)
{
    catalogue();
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    auto window = std::make_shared<ui::Window>();
    window->makeKeyAndVisible();
    Labels source;
    auto table = ui::View::make<ui::TableView>(gfx::Rect(0, 85, 1024, 617));
    table->setDataSource(&source);
    table->setDelegate(&source);
    window->addSubview(table);
    window->layoutIfNeeded();
    Figures figures;
    for (auto _ : state)
        figures = fling(*window, *table, [] { return std::vector<Shown>{}; });
    report(state, "plain", figures);
    table->setDataSource(nullptr);
    table->setDelegate(nullptr);
    window.reset();
    loop.advance(10);
    loop.setManualClock(false);
}
BENCHMARK(BM_PlainTableFling)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_figures.count("inventory") && g_figures.count("plain")) {
        const Figures& inv = g_figures["inventory"];
        const Figures& plain = g_figures["plain"];
        std::printf("fling, %d steps at 60 per second, per step (layout + configuration + drawing):\n", flingSteps());
        std::printf("  inventory sheet  p50 %.2f ms  p95 %.2f ms\n", inv.stepP50, inv.stepP95);
        std::printf("  plain label table p50 %.2f ms  p95 %.2f ms\n", plain.stepP50, plain.stepP95);
        std::printf("  ratio inventory / plain  p50 %.2f  p95 %.2f\n", plain.stepP50 > 0 ? inv.stepP50 / plain.stepP50 : 0,
                    plain.stepP95 > 0 ? inv.stepP95 / plain.stepP95 : 0);
        std::printf("  thumbnail to screen (%zu pictures)  p50 %.2f ms  p95 %.2f ms; %zu rows left before their picture\n",
                    inv.thumbnails, inv.thumbP50, inv.thumbP95, inv.dropped);
    }
    return 0;
}
