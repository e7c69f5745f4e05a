#include "Platform/Graphics/Resample.h"

#include "Platform/Base/BackgroundWork.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
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

// Whole source rows are added as they are, in 16-bit sums that hold this many rows of 255.
constexpr int kRowsPerSum = 65535 / 255;

// One output pixel's run of source pixels, each with the share of it the pixel covers: 1 for
// every pixel but a partial first or last one. The sums are divided by `total`, what the shares
// add up to, so the weights together are always exactly the whole.
struct Taps {
    int first = 0;
    std::vector<float> shares;
    double total = 0;
    int wholePixels = 0;
};

std::vector<Taps> tapsFor(double length, int to)
{
    std::vector<Taps> all(static_cast<size_t>(to));
    double step = length / to;
    for (int i = 0; i < to; ++i) {
        double from = i * step, until = std::min(length, (i + 1) * step);
        int first = int(std::floor(from)), last = std::max(first, int(std::ceil(until)) - 1);
        Taps& t = all[size_t(i)];
        t.first = first;
        for (int k = first; k <= last; ++k) {
            double share = std::max(0.0, std::min<double>(k + 1, until) - std::max<double>(k, from));
            t.shares.push_back(float(share));
            t.total += double(t.shares.back());
            t.wholePixels += t.shares.back() == 1.0f ? 1 : 0;
        }
    }
    return all;
}

// The steps of one output row, each over a whole source row of `count` channels: as plain
// vectors, and with the wide registers where the processor has them. `start` makes the totals
// instead of adding to them.
struct RowSteps {
    // Adds a row of bytes to the 16-bit sums.
    void (*addRow)(uint16_t* sums, const uint8_t* line, size_t count);
    // Adds a row by its share to the float totals.
    void (*addShare)(float* totals, const uint8_t* line, size_t count, float share, bool start);
    // Moves the 16-bit sums into the totals and clears them.
    void (*moveSums)(float* totals, uint16_t* sums, size_t count, bool start);
    // Each output pixel: the totals of the columns it covers by their shares, divided by the
    // area, rounded, its colours kept within its opacity.
    void (*across)(uint8_t* out, const float* totals, const std::vector<Taps>& columns, double rowsTotal);
};

typedef uint8_t Bytes16 __attribute__((vector_size(16)));
typedef uint16_t Shorts16 __attribute__((vector_size(32)));
typedef float Pixel4 __attribute__((vector_size(16)));
typedef int32_t Levels4 __attribute__((vector_size(16)));

void addRowPlain(uint16_t* sums, const uint8_t* line, size_t count)
{
    size_t b = 0;
    for (; b + 16 <= count; b += 16) {
        Bytes16 bytes;
        Shorts16 into;
        std::memcpy(&bytes, line + b, sizeof bytes);
        std::memcpy(&into, sums + b, sizeof into);
        into += __builtin_convertvector(bytes, Shorts16);
        std::memcpy(sums + b, &into, sizeof into);
    }
    for (; b < count; ++b)
        sums[b] = uint16_t(sums[b] + line[b]);
}

void addSharePlain(float* totals, const uint8_t* line, size_t count, float share, bool start)
{
    for (size_t b = 0; b < count; ++b)
        totals[b] = (start ? 0.0f : totals[b]) + float(line[b]) * share;
}

void moveSumsPlain(float* totals, uint16_t* sums, size_t count, bool start)
{
    for (size_t b = 0; b < count; ++b)
        totals[b] = (start ? 0.0f : totals[b]) + float(sums[b]);
    std::memset(sums, 0, count * sizeof *sums);
}

void acrossPlain(uint8_t* out, const float* totals, const std::vector<Taps>& columns, double rowsTotal)
{
    for (size_t x = 0; x < columns.size(); ++x) {
        const Taps& across = columns[x];
        Pixel4 px = {};
        for (size_t k = 0; k < across.shares.size(); ++k) {
            Pixel4 in;
            std::memcpy(&in, totals + size_t(across.first + int(k)) * 4, sizeof in);
            px += in * across.shares[k];
        }
        Levels4 level = __builtin_convertvector(px * float(1 / (rowsTotal * across.total)) + 0.5f, Levels4);
        int alpha = std::clamp(level[3], 0, 255);
        for (int c = 0; c < 3; ++c)
            out[x * 4 + c] = uint8_t(std::clamp(level[c], 0, alpha));
        out[x * 4 + 3] = uint8_t(alpha);
    }
}

__attribute__((target("avx2"))) void addRowWide(uint16_t* sums, const uint8_t* line, size_t count)
{
    size_t b = 0;
    for (; b + 16 <= count; b += 16) {
        __m256i bytes = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + b)));
        auto* into = reinterpret_cast<__m256i*>(sums + b);
        _mm256_storeu_si256(into, _mm256_add_epi16(_mm256_loadu_si256(into), bytes));
    }
    for (; b < count; ++b)
        sums[b] = uint16_t(sums[b] + line[b]);
}

__attribute__((target("avx2"))) void addShareWide(float* totals, const uint8_t* line, size_t count, float share,
                                                  bool start)
{
    __m256 weight = _mm256_set1_ps(share);
    size_t b = 0;
    for (; b + 8 <= count; b += 8) {
        __m256i bytes = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + b)));
        __m256 shared = _mm256_mul_ps(_mm256_cvtepi32_ps(bytes), weight);
        _mm256_storeu_ps(totals + b, start ? shared : _mm256_add_ps(_mm256_loadu_ps(totals + b), shared));
    }
    for (; b < count; ++b)
        totals[b] = (start ? 0.0f : totals[b]) + float(line[b]) * share;
}

__attribute__((target("avx2"))) void moveSumsWide(float* totals, uint16_t* sums, size_t count, bool start)
{
    size_t b = 0;
    for (; b + 8 <= count; b += 8) {
        __m256i from = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + b)));
        __m256 moved = _mm256_cvtepi32_ps(from);
        _mm256_storeu_ps(totals + b, start ? moved : _mm256_add_ps(_mm256_loadu_ps(totals + b), moved));
    }
    for (; b < count; ++b)
        totals[b] = (start ? 0.0f : totals[b]) + float(sums[b]);
    std::memset(sums, 0, count * sizeof *sums);
}

__attribute__((target("avx2"))) void acrossWide(uint8_t* out, const float* totals, const std::vector<Taps>& columns,
                                                double rowsTotal)
{
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi32(255);
    for (size_t x = 0; x < columns.size(); ++x) {
        const Taps& across = columns[x];
        // A pixel's four channels at once.
        __m128 px = _mm_setzero_ps();
        const float* in = totals + size_t(across.first) * 4;
        for (size_t k = 0; k < across.shares.size(); ++k)
            px = _mm_add_ps(px, _mm_mul_ps(_mm_loadu_ps(in + k * 4), _mm_set1_ps(across.shares[k])));
        __m128 scaled = _mm_add_ps(_mm_mul_ps(px, _mm_set1_ps(float(1 / (rowsTotal * across.total)))), _mm_set1_ps(0.5f));
        __m128i level = _mm_min_epi32(_mm_max_epi32(_mm_cvttps_epi32(scaled), zero), full);
        // Premultiplied: no colour above its opacity, whatever the rounding.
        level = _mm_min_epi32(level, _mm_shuffle_epi32(level, 0xff));
        __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(level, level), zero);
        int pixel = _mm_cvtsi128_si32(bytes);
        std::memcpy(out + x * 4, &pixel, sizeof pixel);
    }
}

std::atomic<bool> g_plainForTesting{false};

// Chosen at run time, not by the loader, which the thread checker's runtime would not yet be
// ready for.
const RowSteps& rowSteps()
{
    static const RowSteps plain{addRowPlain, addSharePlain, moveSumsPlain, acrossPlain};
    static const RowSteps wide{addRowWide, addShareWide, moveSumsWide, acrossWide};
    static const bool hasWide = __builtin_cpu_supports("avx2");
    return hasWide && !g_plainForTesting ? wide : plain;
}

// The rows one output row covers, summed into `totals` (of `count` channels). Whole rows go
// through the 16-bit sums where there are enough of them to pay for moving the sums over.
void sumRows(const RowSteps& steps, float* totals, uint16_t* sums, const uint8_t* src, size_t stride,
             const Taps& down, size_t count)
{
    bool throughSums = down.wholePixels >= 3;
    bool started = false;
    int inSums = 0;
    for (size_t k = 0; k < down.shares.size(); ++k) {
        const uint8_t* line = src + size_t(down.first + int(k)) * stride;
        float share = down.shares[k];
        if (share == 1.0f && throughSums) {
            steps.addRow(sums, line, count);
            if (++inSums == kRowsPerSum) {
                steps.moveSums(totals, sums, count, !started);
                started = true;
                inSums = 0;
            }
        } else if (share > 0) {
            steps.addShare(totals, line, count, share, !started);
            started = true;
        }
    }
    if (inSums) {
        steps.moveSums(totals, sums, count, !started);
        started = true;
    }
    if (!started)
        std::fill(totals, totals + count, 0.0f);
}

} // namespace

void averageWithPlainStepsForTesting(bool plain)
{
    g_plainForTesting = plain;
}

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
    auto columns = tapsFor(width, toWidth), rows = tapsFor(height, toHeight);
    size_t rowBytes = size_t(std::ceil(width)) * 4;
    std::vector<float> totals(rowBytes);
    std::vector<uint16_t> sums(rowBytes);
    const RowSteps& steps = rowSteps();
    for (int y = 0; y < toHeight; ++y) {
        // The application's end stops the work between rows.
        if (base::BackgroundWork::isStopping())
            return {};
        const Taps& down = rows[size_t(y)];
        sumRows(steps, totals.data(), sums.data(), src, srcStride, down, rowBytes);
        steps.across(dst + size_t(y) * dstStride, totals.data(), columns, down.total);
    }
    cairo_surface_mark_dirty(result.get());
    return result;
}

} // namespace gfx
