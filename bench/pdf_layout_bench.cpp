// A 200-row table of text and picture cells laid out and rendered to PDF data by the layout
// engine, against plain Cairo and Pango calls drawing the same texts and pictures at the same
// places. Prints both times, their ratio and the process's peak memory.
#include "Classes/Order/BRPDFCreater.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 200;
constexpr double kRowHeight = 80;

struct Row {
    std::string name, sku, details;
    gfx::Image image;
};

const std::vector<Row>& rows()
{
    static const std::vector<Row> data = [] {
        std::vector<Row> out;
        for (int i = 0; i < kRows; ++i) {
            auto context = gfx::Context::createBitmap({48, 32}, 1);
            context->setFillColor(gfx::Color::fromRgb(40 + i % 200, 90, 200 - i % 150));
            context->fillRect({0, 0, 48, 32});
            out.push_back({"Widget number " + std::to_string(i), "SKU-" + std::to_string(10000 + i),
                           "Colour: blue, Size: " + std::to_string(i % 7) + ", 中国制造", context->makeImage()});
        }
        return out;
    }();
    return data;
}

const gfx::Font& font()
{
    static const gfx::Font f = gfx::Font::systemFont(15);
    return f;
}

base::Bytes engine()
{
    BRPDFCreater creator;
    creator.beginNewPage();
    for (const Row& row : rows()) {
        creator.addCell(std::make_shared<BRPDFCreaterImageCell>(gfx::Rect(0, 0, 120, kRowHeight), row.image));
        creator.addCell(std::make_shared<BRPDFCreaterStringCell>(gfx::Rect(130, 0, 250, kRowHeight), row.name, font(),
                                                                 gfx::Color::black(), 1));
        creator.addCell(std::make_shared<BRPDFCreaterStringCell>(gfx::Rect(390, 0, 150, kRowHeight), row.sku, font(),
                                                                 gfx::Color::black(), 1));
        creator.addCell(std::make_shared<BRPDFCreaterStringCell>(gfx::Rect(550, 0, 350, kRowHeight), row.details,
                                                                 font(), gfx::Color::black(), 1));
        creator.beginNewLine();
    }
    return creator.generatePDFToData();
}

// The same drawing by hand: the page breaks worked out once, each text centred as the cells do.
base::Bytes plain()
{
    auto pdf = gfx::Context::createPdfInMemory();
    pdf->omitPdfCreationDate();
    const double page = 1448;
    double y = 60;
    int pageNumber = 1;
    auto numberPage = [&] {
        std::string number = "- Page " + std::to_string(pageNumber) + " -";
        gfx::Font italic("Didot-Italic", 15);
        double h = gfx::sizeOfText(number, italic, {904, 60}, gfx::LineBreakMode::WordWrap).height;
        pdf->drawText(number, {60, page - 60 + (60 - h) / 2, 904, h}, italic, gfx::Color::black(), gfx::TextAlignment::Center);
    };
    pdf->beginPage({1024, page});
    numberPage();
    for (const Row& row : rows()) {
        if (page - y < 60 + kRowHeight) {
            pdf->endPage();
            pdf->beginPage({1024, page});
            ++pageNumber;
            numberPage();
            y = 60;
        }
        pdf->drawImage(row.image, {60, y, 120, kRowHeight});
        struct Column {
            const std::string* text;
            double x, w;
        };
        for (Column c : {Column{&row.name, 190, 250}, Column{&row.sku, 450, 150}, Column{&row.details, 610, 350}}) {
            double h = gfx::sizeOfText(*c.text, font(), {c.w, kRowHeight}, gfx::LineBreakMode::WordWrap).height;
            pdf->drawText(*c.text, {c.x, y + (kRowHeight - h) / 2, c.w, h}, font(), gfx::Color::black(),
                          gfx::TextAlignment::Center);
        }
        y += kRowHeight;
    }
    pdf->endPage();
    pdf->close();
    return pdf->pdfData();
}

void BM_EngineTable(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(engine());
}
BENCHMARK(BM_EngineTable)->Unit(benchmark::kMillisecond);

void BM_PlainCairoTable(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(plain());
}
BENCHMARK(BM_PlainCairoTable)->Unit(benchmark::kMillisecond);

double seconds(base::Bytes (*fn)(), int runs)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i)
        benchmark::DoNotOptimize(fn());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // One summary line a person can read: both times, the ratio, the peak.
    double engineTime = seconds(engine, 3), plainTime = seconds(plain, 3);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("pdf table of %d rows: engine %.1f ms, plain %.1f ms, ratio %.2f, peak memory %ld KiB\n", kRows,
                engineTime * 1000, plainTime * 1000, engineTime / plainTime, usage.ru_maxrss);
    return 0;
}
