// A catalogue-like frame: a 1024x768 window whose scroll view holds tiles of a 640-pixel JPEG
// shown at 180x180 with three labels (Latin and Chinese), drawn through the view tree and, side
// by side, by raw Cairo and Pango from pre-scaled pictures and cached layouts. Full redraws and
// 20-point scroll steps at scale 1 and 2; 30 tiles against 2,000. Prints p50, p95 and ratios.
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/Window.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kTileWidth = 200;
constexpr double kTileHeight = 250;
constexpr int kColumns = 5;
constexpr double kPicture = 180;
constexpr double kStep = 20;
const gfx::Rect kScrollFrame(0, 44, 1024, 724);

struct TileText {
    std::string name, chinese, price;
};

TileText textFor(int i)
{
    return {"Oak side table " + std::to_string(i), "\u6a61\u6728\u8fb9\u684c \u7b2c" + std::to_string(i) + "\u53f7",
            "$" + std::to_string(100 + i) + ".50"};
}

gfx::Font nameFont() { return gfx::Font::boldSystemFont(15); }
gfx::Font chineseFont() { return gfx::Font::systemFont(14); }
gfx::Font priceFont() { return gfx::Font::systemFont(13); }

gfx::Rect tileRect(int i)
{
    return {10 + (i % kColumns) * kTileWidth, 10 + (i / kColumns) * kTileHeight, kTileWidth - 20, kTileHeight - 20};
}

// A 640x640 photo-like JPEG: gradients and rings, decoded as the application would.
const gfx::Image& photo()
{
    static gfx::Image image = [] {
        auto ctx = gfx::Context::createBitmap({640, 640}, 1);
        ctx->fillLinearGradient({0, 0, 640, 640}, {0, 0}, {640, 640},
                                {{0, gfx::Color::fromRgb(200, 120, 40)}, {1, gfx::Color::fromRgb(30, 60, 160)}});
        ctx->setLineWidth(6);
        for (int r = 20; r < 320; r += 24) {
            ctx->setStrokeColor(gfx::Color::fromRgb(255, (r * 3) % 255, 90));
            ctx->strokeEllipse({320.0 - r, 320.0 - r, 2.0 * r, 2.0 * r});
        }
        auto jpeg = ctx->makeImage().jpegData(0.85);
        return gfx::Image::fromBytes(jpeg);
    }();
    return image;
}

// The view-tree side: a window with a bar on top and the tiles in a scroll view.
struct ViewScene {
    ViewScene(int tiles, double scale)
    {
        window = std::make_shared<ui::Window>();
        window->setScale(scale);
        window->setBackgroundColor(gfx::Color::white());
        auto bar = ui::View::make<ui::View>(gfx::Rect(0, 0, 1024, 44));
        bar->setBackgroundColor(gfx::Color::fromRgb(40, 40, 48));
        window->addSubview(bar);
        scroll = ui::View::make<ui::ScrollView>(kScrollFrame);
        scroll->setBackgroundColor(gfx::Color::fromWhite(0.93));
        scroll->setClipsToBounds(true);
        scroll->setShowsScrollIndicators(false);
        int rows = (tiles + kColumns - 1) / kColumns;
        scroll->setContentSize({1024, rows * kTileHeight + 20});
        window->addSubview(scroll);
        for (int i = 0; i < tiles; ++i) {
            TileText text = textFor(i);
            auto tile = ui::View::make<ui::View>(tileRect(i));
            tile->setBackgroundColor(gfx::Color::white());
            auto picture = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, kPicture, kPicture));
            picture->setImage(photo());
            tile->addSubview(picture);
            auto addLabel = [&](const std::string& s, const gfx::Font& font, double y) {
                auto label = ui::View::make<ui::Label>(gfx::Rect(4, y, kPicture - 8, 18));
                label->setText(s);
                label->setFont(font);
                tile->addSubview(label);
            };
            addLabel(text.name, nameFont(), 182);
            addLabel(text.chinese, chineseFont(), 200);
            addLabel(text.price, priceFont(), 212);
            scroll->addSubview(tile);
        }
        this->scale = scale;
    }

    // The window's own frame: only what is marked gets drawn.
    void draw() { window->drawFrame(scale); }
    void fullRedraw()
    {
        window->setNeedsDisplayInWindowRect(window->bounds());
        draw();
    }
    void scrollStep()
    {
        down = !down;
        scroll->setContentOffset({0, down ? kStep : 0});
        draw();
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ScrollView> scroll;
    double scale = 1;
    bool down = false;
};

// The raw side: the same frame from pre-scaled pictures and layouts made once.
struct RawScene {
    RawScene(int tiles, double scale) : scale(scale)
    {
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(1024 * scale)),
                                             static_cast<int>(std::ceil(768 * scale)));
        cairo_surface_set_device_scale(surface, scale, scale);
        cr = cairo_create(surface);
        int pixels = static_cast<int>(std::lround(kPicture * scale));
        picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
        cairo_t* p = cairo_create(picture);
        cairo_scale(p, double(pixels) / photo().pixelWidth(), double(pixels) / photo().pixelHeight());
        cairo_set_source_surface(p, photo().cairoSurface(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(p), CAIRO_FILTER_GOOD);
        cairo_paint(p);
        cairo_destroy(p);
        cairo_surface_set_device_scale(picture, scale, scale);
        gfx::TextLayout::Options options;
        options.width = kPicture - 8;
        options.maxLines = 1;
        options.mode = gfx::LineBreakMode::TruncateTail;
        for (int i = 0; i < std::min(tiles, 40); ++i) {
            TileText text = textFor(i);
            layouts.push_back({std::make_unique<gfx::TextLayout>(cr, text.name, nameFont(), options),
                               std::make_unique<gfx::TextLayout>(cr, text.chinese, chineseFont(), options),
                               std::make_unique<gfx::TextLayout>(cr, text.price, priceFont(), options)});
        }
    }
    ~RawScene()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        cairo_surface_destroy(picture);
    }

    void drawScroll(double offset)
    {
        cairo_save(cr);
        cairo_rectangle(cr, kScrollFrame.x(), kScrollFrame.y(), kScrollFrame.width(), kScrollFrame.height());
        cairo_clip(cr);
        cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
        cairo_paint(cr);
        for (size_t i = 0; i < layouts.size(); ++i) {
            gfx::Rect r = tileRect(static_cast<int>(i)).offsetBy(kScrollFrame.x(), kScrollFrame.y() - offset);
            if (r.maxY() < kScrollFrame.y() || r.y() > kScrollFrame.maxY())
                continue;
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
            cairo_fill(cr);
            cairo_set_source_surface(cr, picture, r.x(), r.y());
            cairo_paint(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            double ys[3] = {182, 200, 212};
            for (int k = 0; k < 3; ++k) {
                auto& layout = *layouts[i][k];
                layout.draw(cr, {r.x() + 4, r.y() + ys[k] + (18 - layout.size().height) / 2});
            }
        }
        cairo_restore(cr);
    }
    void fullRedraw()
    {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 40 / 255.0, 40 / 255.0, 48 / 255.0);
        cairo_rectangle(cr, 0, 0, 1024, 44);
        cairo_fill(cr);
        drawScroll(0);
        cairo_surface_flush(surface);
    }
    void scrollStep()
    {
        down = !down;
        drawScroll(down ? kStep : 0);
        cairo_surface_flush(surface);
    }

    double scale;
    cairo_surface_t* surface = nullptr;
    cairo_surface_t* picture = nullptr;
    cairo_t* cr = nullptr;
    std::vector<std::array<std::unique_ptr<gfx::TextLayout>, 3>> layouts;
    bool down = false;
};

// Times each iteration itself so the percentiles can be reported.
template <typename Step>
void timed(benchmark::State& state, Step step)
{
    std::vector<double> ms;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        step();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms.empty() ? 0.0 : ms[std::min(ms.size() - 1, static_cast<size_t>(q * ms.size()))]; };
    state.counters["p50_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
}

void BM_Views(benchmark::State& state, int tiles, double scale, bool scroll)
{
    ViewScene scene(tiles, scale);
    scene.fullRedraw();
    timed(state, [&] { scroll ? scene.scrollStep() : scene.fullRedraw(); });
}

void BM_Raw(benchmark::State& state, int tiles, double scale, bool scroll)
{
    RawScene scene(tiles, scale);
    scene.fullRedraw();
    timed(state, [&] { scroll ? scene.scrollStep() : scene.fullRedraw(); });
}

// Prints view / raw and 2,000 / 30 tiles for the same step and scale.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            auto p50 = run.counters.find("p50_ms"), p95 = run.counters.find("p95_ms");
            if (p50 != run.counters.end() && p95 != run.counters.end())
                m_times[run.benchmark_name()] = {p50->second.value, p95->second.value};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const char* step : {"full", "scroll"}) {
            for (const char* scale : {"1", "2"}) {
                std::string suffix = std::string("/") + step + "/scale" + scale;
                print("30 tiles views / raw" + suffix, "Frame/views/30" + suffix, "Frame/raw/30" + suffix, 2.0);
                print("2000 / 30 tiles" + suffix, "Frame/views/2000" + suffix, "Frame/views/30" + suffix, 1.2);
            }
        }
    }

private:
    void print(const std::string& what, const std::string& a, const std::string& b, double target)
    {
        auto x = m_times.find(a), y = m_times.find(b);
        if (x == m_times.end() || y == m_times.end() || y->second.first <= 0)
            return;
        std::printf("%-36s p50 %.3f / %.3f ms, p95 %.3f / %.3f ms: ratio %.2fx (target %.1fx)\n", what.c_str(),
                    x->second.first, y->second.first, x->second.second, y->second.second,
                    x->second.first / y->second.first, target);
    }
    std::map<std::string, std::pair<double, double>> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    base::RunLoop::main().setManualClock(true);
    for (double scale : {1.0, 2.0}) {
        for (bool scroll : {false, true}) {
            std::string suffix = std::string(scroll ? "/scroll" : "/full") + (scale == 1 ? "/scale1" : "/scale2");
            benchmark::RegisterBenchmark(("Frame/views/30" + suffix).c_str(), BM_Views, 30, scale, scroll);
            benchmark::RegisterBenchmark(("Frame/raw/30" + suffix).c_str(), BM_Raw, 30, scale, scroll);
            benchmark::RegisterBenchmark(("Frame/views/2000" + suffix).c_str(), BM_Views, 2000, scale, scroll);
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
