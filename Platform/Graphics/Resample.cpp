#include "Platform/Graphics/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace gfx {

SurfaceRef resampledSurface(cairo_surface_t* source, int width, int height, cairo_filter_t filter)
{
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    CairoContextRef cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), static_cast<double>(width) / cairo_image_surface_get_width(source),
                static_cast<double>(height) / cairo_image_surface_get_height(source));
    cairo_set_source_surface(cr.get(), source, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), filter);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface.get());
    return surface;
}

} // namespace gfx

namespace gfx {
namespace {

typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint16_t Lanes16 __attribute__((vector_size(32)));
typedef uint16_t Pixel16 __attribute__((vector_size(8)));
typedef uint32_t Pixel32 __attribute__((vector_size(16)));

// One output pixel's run of source pixels and their weights, summing to 1 << bits.
struct Taps {
    int first = 0;
    std::vector<uint32_t> weights;
};

std::vector<Taps> tapsFor(double length, int to, int bits)
{
    std::vector<Taps> all(static_cast<size_t>(to));
    double step = length / to;
    for (int i = 0; i < to; ++i) {
        double from = i * step, until = std::min(length, (i + 1) * step);
        int first = int(std::floor(from)), last = std::max(first, int(std::ceil(until)) - 1);
        Taps& t = all[size_t(i)];
        t.first = first;
        uint32_t sum = 0;
        size_t largest = 0;
        for (int k = first; k <= last; ++k) {
            double share = (std::min<double>(k + 1, until) - std::max<double>(k, from)) / (until - from);
            t.weights.push_back(uint32_t(std::lround(std::max(0.0, share) * (1 << bits))));
            sum += t.weights.back();
            if (t.weights.back() > t.weights[largest])
                largest = t.weights.size() - 1;
        }
        // Rounding's remainder goes to the heaviest tap, so that flat colour stays exact.
        t.weights[largest] += (1u << bits) - sum;
    }
    return all;
}

// Adds a row of bytes times its weight to the sums, sixteen channels a step.
inline __attribute__((always_inline)) void weightedRow(uint16_t* into, const uint8_t* line, size_t count,
                                                       uint16_t weight)
{
    size_t b = 0;
    for (; b + 16 <= count; b += 16) {
        Bytes16 bytes;
        Lanes16 sums;
        std::memcpy(&bytes, line + b, sizeof bytes);
        std::memcpy(&sums, into + b, sizeof sums);
        sums += __builtin_convertvector(bytes, Lanes16) * weight;
        std::memcpy(into + b, &sums, sizeof sums);
    }
    for (; b < count; ++b)
        into[b] = uint16_t(into[b] + line[b] * weight);
}

// The same in one step where the processor has registers that wide. Chosen at run time, not
// by the loader, which the thread checker's runtime would not yet be ready for.
__attribute__((target("avx2"))) void weightedRowWide(uint16_t* into, const uint8_t* line, size_t count, uint16_t weight)
{
    weightedRow(into, line, count, weight);
}

void weightedRowPlain(uint16_t* into, const uint8_t* line, size_t count, uint16_t weight)
{
    weightedRow(into, line, count, weight);
}

void addWeightedRow(uint16_t* into, const uint8_t* line, size_t count, uint16_t weight)
{
    static const bool wide = __builtin_cpu_supports("avx2");
    (wide ? weightedRowWide : weightedRowPlain)(into, line, count, weight);
}

} // namespace

SurfaceRef areaAveragedSurface(cairo_surface_t* source, double width, double height, int toWidth, int toHeight)
{
    if (!source || cairo_surface_get_type(source) != CAIRO_SURFACE_TYPE_IMAGE
        || cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32 || toWidth < 1 || toHeight < 1
        || !(width >= toWidth) || !(height >= toHeight)
        || std::ceil(width) > cairo_image_surface_get_width(source)
        || std::ceil(height) > cairo_image_surface_get_height(source))
        return {};
    SurfaceRef result(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, toWidth, toHeight));
    if (cairo_surface_status(result.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(source);
    const uint8_t* src = cairo_image_surface_get_data(source);
    size_t srcStride = size_t(cairo_image_surface_get_stride(source));
    uint8_t* dst = cairo_image_surface_get_data(result.get());
    size_t dstStride = size_t(cairo_image_surface_get_stride(result.get()));
    // Down the columns the weights have 8 bits, so that a byte times its weight, and their sum,
    // fit 16 bits: eight channels a step in the narrowest vector registers. Across, 16 bits.
    auto columns = tapsFor(width, toWidth, 16), rows = tapsFor(height, toHeight, 8);
    size_t rowBytes = size_t(std::ceil(width)) * 4;
    std::vector<uint16_t> row(rowBytes);
    for (int y = 0; y < toHeight; ++y) {
        std::fill(row.begin(), row.end(), uint16_t(0));
        uint16_t* into = row.data();
        const Taps& down = rows[size_t(y)];
        for (size_t k = 0; k < down.weights.size(); ++k) {
            const uint8_t* line = src + size_t(down.first + int(k)) * srcStride;
            auto w = uint16_t(down.weights[k]);
            addWeightedRow(into, line, rowBytes, w);
        }
        uint8_t* out = dst + size_t(y) * dstStride;
        for (int x = 0; x < toWidth; ++x) {
            const Taps& across = columns[size_t(x)];
            // A pixel's four channels at once.
            Pixel32 px = {};
            for (size_t k = 0; k < across.weights.size(); ++k) {
                Pixel16 in;
                std::memcpy(&in, into + size_t(across.first + int(k)) * 4, sizeof in);
                px += __builtin_convertvector(in, Pixel32) * across.weights[k];
            }
            px = (px + (1u << 23)) >> 24;
            for (int c = 0; c < 4; ++c)
                out[x * 4 + c] = uint8_t(px[c]);
        }
    }
    cairo_surface_mark_dirty(result.get());
    return result;
}

} // namespace gfx
