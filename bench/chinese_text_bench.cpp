// One Chinese paragraph of 1,000, 5,000 and 20,000 ideographs laid out 352 points wide in
// 14-point type, its words kept whole, beside the same paragraph broken anywhere between
// ideographs (Pango alone, no words looked up). Prints words-kept / alone from the medians of
// five repetitions each. BRIVANTA_BENCH_SMOKE=1: 1,000 ideographs only.
#include "BenchSupport.h"

#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/TextLayout.h"

#include <string>
#include <vector>

namespace {

std::string paragraph(long ideographs)
{
    const std::string sentences[] = {"这款安溪铁观音茶叶散发着浓郁的兰花香气，汤色金黄明亮，滋味醇厚甘鲜，回甘持久。",
                                     "冲泡时请使用沸水，第一泡约四十五秒，之后每泡延长十秒钟。",
                                     "本产品采用真空包装，开封后请密封保存于阴凉干燥处，避免阳光直射。"};
    std::string text;
    for (size_t i = 0; static_cast<long>(text.size() / 3) < ideographs; ++i)
        text += sentences[i % 3];
    return text;
}

void layOut(benchmark::State& state, gfx::LineBreakMode mode)
{
    std::string text = paragraph(state.range(0));
    gfx::Font font = gfx::Font::systemFont(14);
    gfx::TextLayout::Options options;
    options.width = 352;
    options.mode = mode;
    int lines = 0;
    for (auto _ : state) {
        gfx::TextLayout layout(nullptr, text, font, options);
        lines = layout.lineCount();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = lines;
}

void BM_WordsKept(benchmark::State& state)
{
    layOut(state, gfx::LineBreakMode::WordWrap);
}

void BM_PangoAlone(benchmark::State& state)
{
    layOut(state, gfx::LineBreakMode::CharWrap);
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(1000);
    if (!benchsupport::smokeRun())
        b->Arg(5000)->Arg(20000)->Repetitions(5)->ReportAggregatesOnly(true);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_WordsKept)->Apply(sizes);
BENCHMARK(BM_PangoAlone)->Apply(sizes);

} // namespace

int main(int argc, char** argv)
{
    std::vector<benchsupport::MedianRatioReporter::Pair> pairs;
    for (const char* size : {"1000", "5000", "20000"})
        pairs.push_back({std::string(size) + " ideographs, words kept / Pango alone", std::string("BM_WordsKept/") + size,
                         std::string("BM_PangoAlone/") + size, ""});
    return benchsupport::runWithMedianRatios(argc, argv, pairs);
}
