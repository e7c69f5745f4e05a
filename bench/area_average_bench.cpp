// The area average that makes a photographed page's small pictures, on the pictures the page
// bar and the page grid ask of it: the decoder's reduced photo of an A4 scan and of a
// 6,000-pixel-tall photo, down to the bar's small and large thumbs and a grid thumb.
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Resample.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

namespace {

// Smooth colour with fine noise, as a decoder's reduction of a photo gives.
gfx::SurfaceRef photoLike(int width, int height)
{
    gfx::SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    std::mt19937 random(11);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
        for (int x = 0; x < width; ++x) {
            uint32_t noise = random() % 24;
            uint32_t r = (40 + 180 * x / width + noise) & 0xff, g = (60 + 150 * y / height + noise) & 0xff,
                     b = (200 - 120 * x / width + noise) & 0xff;
            row[x] = 0xff000000u | r << 16 | g << 8 | b;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

struct Reduction {
    int width, height, toWidth, toHeight;
};

// An A4 scan at 300 dpi reduced by the decoder to an eighth, and a 4,500 x 6,000 photo too.
const Reduction kReductions[] = {
    {310, 439, 22, 28},  // the page bar's small thumb
    {310, 439, 32, 42},  // its large thumb
    {310, 439, 120, 170}, // a grid thumb
    {563, 750, 21, 28},  // a tall photo's small thumb: 27 rows to one
    {563, 750, 8, 8},    // nearly a hundred rows to one
};

void BM_AreaAverage(benchmark::State& state)
{
    const Reduction& r = kReductions[size_t(state.range(0))];
    gfx::SurfaceRef source = photoLike(r.width, r.height);
    for (auto _ : state) {
        gfx::SurfaceRef reduced = gfx::areaAveragedSurface(source.get(), r.width, r.height, r.toWidth, r.toHeight);
        benchmark::DoNotOptimize(reduced.get());
    }
    state.SetLabel(std::to_string(r.width) + "x" + std::to_string(r.height) + " to " + std::to_string(r.toWidth) + "x" +
                   std::to_string(r.toHeight));
    state.SetItemsProcessed(state.iterations() * int64_t(r.width) * r.height);
}
BENCHMARK(BM_AreaAverage)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
