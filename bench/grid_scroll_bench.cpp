// The 10,000-item grid scrolled headless at 60 steps per second: per step, the layout with the
// cells it brings (configured by a numbered data source) and the render of the window, as
// medians and 95th percentiles; beside it, the visible-item query against the full scan from
// item 0 on the same layout. One second of scrolling by default; BRIVANTA_BENCH_FULL=1 scrolls
// for five.
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"
#include "Widgets/BRGridView.h"
#include "Widgets/BRGridViewCell.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr double kStepsPerSecond = 60;
constexpr double kPointsPerSecond = 3000; // a brisk flick's pace
// From the middle of the list, where a scan from item 0 has the most rows to skip.
constexpr double kStartOffset = 1250 * 212;

double seconds()
{
    return std::getenv("BRIVANTA_BENCH_FULL") ? 5 : 1;
}

class Tile : public BRGridViewCell {
public:
    explicit Tile(const std::string& identifier) : BRGridViewCell({0, 0, 193, 212}, identifier)
    {
        name = ui::View::make<ui::Label>(gfx::Rect(8, 150, 177, 24));
        price = ui::View::make<ui::Label>(gfx::Rect(8, 176, 177, 24));
        picture = ui::View::make(gfx::Rect(16, 10, 161, 130));
        picture->setBackgroundColor(gfx::Color::fromRgb(220, 226, 236));
        for (auto& v : {std::static_pointer_cast<ui::View>(picture), std::static_pointer_cast<ui::View>(name),
                        std::static_pointer_cast<ui::View>(price)})
            contentView()->addSubview(v);
        setSelectionStyle(SelectionStyleNone);
    }
    std::shared_ptr<ui::Label> name, price;
    std::shared_ptr<ui::View> picture;
};

class Source : public BRGridViewDataSource {
public:
    uint32_t numberOfItemsInGridView(BRGridView&) override { return 10000; }
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index) override
    {
        auto tile = std::static_pointer_cast<Tile>(grid.dequeueReusableCellWithIdentifier("tile"));
        if (!tile)
            tile = ui::View::make<Tile>("tile");
        tile->name->setText("Product " + std::to_string(index));
        tile->price->setText("$" + std::to_string(10 + index % 990) + ".00");
        return tile;
    }
    std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView&) override { return gfx::Size{193, 212}; }
};

struct Scene {
    Scene()
    {
        base::RunLoop::main().setManualClock(true);
        window = std::make_shared<ui::Window>();
        grid = ui::View::make<BRGridView>(gfx::Rect(250, 0, 774, 704));
        grid->setDataSource(&source);
        window->addSubview(grid);
        grid->reloadData();
        window->layoutIfNeeded();
    }
    ~Scene() { base::RunLoop::main().setManualClock(false); }
    Source source;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<BRGridView> grid;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    return values[i];
}

double micros(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

void BM_GridScrollSteps(benchmark::State& state)
{
    Scene scene;
    auto context = gfx::Context::createBitmap(ui::Window::kScreenSize, 1);
    int steps = static_cast<int>(seconds() * kStepsPerSecond);
    double stepPoints = kPointsPerSecond / kStepsPerSecond;
    std::vector<double> layout, render;
    for (auto _ : state) {
        scene.grid->setContentOffset({0, kStartOffset});
        for (int i = 1; i <= steps; ++i) {
            auto start = std::chrono::steady_clock::now();
            scene.grid->setContentOffset({0, kStartOffset + i * stepPoints});
            scene.window->layoutIfNeeded();
            auto laidOut = std::chrono::steady_clock::now();
            scene.window->render(*context);
            auto drawn = std::chrono::steady_clock::now();
            layout.push_back(micros(laidOut - start));
            render.push_back(micros(drawn - laidOut));
        }
    }
    state.counters["steps"] = static_cast<double>(layout.size());
    state.counters["layout_p50_us"] = percentile(layout, 0.5);
    state.counters["layout_p95_us"] = percentile(layout, 0.95);
    state.counters["render_p50_us"] = percentile(render, 0.5);
    state.counters["render_p95_us"] = percentile(render, 0.95);
}
BENCHMARK(BM_GridScrollSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

// The visible-item query of each step of the same scroll, computed from the rectangle or by
// the scan from item 0 (seconds per step).
template <bool Scan>
void BM_VisibleIndices(benchmark::State& state)
{
    Scene scene;
    const BRGridViewData& data = scene.grid->gridData();
    int steps = static_cast<int>(seconds() * kStepsPerSecond);
    double stepPoints = kPointsPerSecond / kStepsPerSecond;
    size_t found = 0;
    for (auto _ : state) {
        for (int i = 1; i <= steps; ++i) {
            gfx::Rect visible(0, kStartOffset + i * stepPoints, 774, 704);
            BRIndexSet indices = Scan ? data.indicesOfCellsInRectByScan(visible) : data.indicesOfCellsInRect(visible);
            found += indices.size();
            benchmark::DoNotOptimize(indices);
        }
    }
    state.counters["per_step"] = benchmark::Counter(static_cast<double>(state.iterations()) * steps,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["indices"] = static_cast<double>(found);
}
BENCHMARK_TEMPLATE(BM_VisibleIndices, false)->Name("BM_VisibleIndices/from_rect")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_VisibleIndices, true)->Name("BM_VisibleIndices/full_scan")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
