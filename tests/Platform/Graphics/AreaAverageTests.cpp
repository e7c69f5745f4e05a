// The area average against the exact one, worked out here in floating point over the same
// pixels, where many source rows or columns make one pixel.
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>

namespace {

using Pattern = std::function<uint32_t(int x, int y)>;

constexpr uint32_t grey(uint32_t level)
{
    return 0xff000000u | level << 16 | level << 8 | level;
}

gfx::SurfaceRef painted(int width, int height, const Pattern& pattern)
{
    gfx::SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride))[x] = pattern(x, y);
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// What covers [from, until) of pixel k.
double overlap(int k, double from, double until)
{
    return std::max(0.0, std::min<double>(k + 1, until) - std::max<double>(k, from));
}

// The exact average of channel `shift` over the area output pixel (x, y) covers.
double exactAverage(const Pattern& pattern, double width, double height, int toWidth, int toHeight, int x, int y,
                    int shift)
{
    double sx = width / toWidth, sy = height / toHeight;
    double x0 = x * sx, x1 = std::min(width, (x + 1) * sx), y0 = y * sy, y1 = std::min(height, (y + 1) * sy);
    double sum = 0, area = 0;
    for (int j = int(std::floor(y0)); j < int(std::ceil(y1)); ++j)
        for (int i = int(std::floor(x0)); i < int(std::ceil(x1)); ++i) {
            double w = overlap(i, x0, x1) * overlap(j, y0, y1);
            sum += w * double((pattern(i, j) >> shift) & 0xff);
            area += w;
        }
    return sum / area;
}

struct Reduction {
    const char* name;
    int pixelWidth, pixelHeight; // the source surface
    double width, height;        // the part averaged, a last partial column or row by its share
    int toWidth, toHeight;
    Pattern pattern;
};

void PrintTo(const Reduction& r, std::ostream* os)
{
    *os << r.name;
}

// Alternate rows black and white: every tap's weight shows.
uint32_t rowStripes(int, int y)
{
    return y % 2 ? grey(255) : grey(0);
}

uint32_t columnStripes(int x, int)
{
    return x % 2 ? grey(255) : grey(0);
}

// A near-white picture in bands whose first row is dark, a band a pixel drawn.
Pattern darkFirstBands(int band)
{
    return [band](int, int y) { return y % band == 0 ? grey(12) : grey(250); };
}

// Full white, a grey row in each band: the rows summed whole reach the most their sums hold.
Pattern whiteWithAGreyRow(int band)
{
    return [band](int, int y) { return y % band == band / 2 ? grey(40) : grey(255); };
}

// Translucent colour in premultiplied channels, changing on every row and column.
uint32_t translucentChecker(int x, int y)
{
    uint32_t a = (x + y) % 2 ? 255 : 101;
    uint32_t r = a * uint32_t(x % 7) / 6, g = a * uint32_t(y % 5) / 4, b = a;
    return a << 24 | r << 16 | g << 8 | b;
}

const Reduction kReductions[] = {
    {"stripes_27_rows_to_one", 40, 810, 40, 810, 40, 30, rowStripes},
    {"stripes_a_tall_photos_bar_thumb", 21, 750, 21, 750, 21, 28, rowStripes},
    {"stripes_50", 30, 1000, 30, 1000, 15, 20, rowStripes},
    {"stripes_100_both_ways", 300, 2000, 300, 2000, 3, 20, rowStripes},
    {"column_stripes_100", 2000, 30, 2000, 30, 20, 1, columnStripes},
    {"dark_first_bands_27", 16, 810, 16, 810, 16, 30, darkFirstBands(27)},
    {"dark_first_bands_64", 16, 1280, 16, 1280, 8, 20, darkFirstBands(64)},
    {"dark_first_bands_100", 16, 2000, 16, 2000, 16, 20, darkFirstBands(100)},
    {"dark_first_bands_off_the_grid_75_75", 17, 758, 17, 757.5, 17, 10, darkFirstBands(76)},
    // Past the rows one 16-bit sum holds (257 of full white): a sum carried over, once or often.
    {"white_257_rows_to_one", 8, 257, 8, 257, 8, 1, whiteWithAGreyRow(1000)},
    {"white_258_rows_to_one", 8, 258, 8, 258, 8, 1, whiteWithAGreyRow(1000)},
    {"white_515_rows_to_one", 8, 515, 8, 515, 8, 1, whiteWithAGreyRow(1000)},
    {"white_1000_rows_to_one_grey_each_300", 8, 1000, 8, 1000, 8, 1, whiteWithAGreyRow(300)},
    {"white_3000_rows_to_3_off_the_grid", 9, 3001, 9, 3000.5, 9, 3, whiteWithAGreyRow(700)},
    {"translucent_checker_33_by_41", 331, 1230, 330.5, 1230, 10, 30, translucentChecker},
};

// Each reduction with the steps this processor takes, and with the plain ones that a processor
// without wide registers takes.
class AreaAverage : public ::testing::TestWithParam<std::tuple<Reduction, bool>> {
protected:
    ~AreaAverage() override { gfx::averageWithPlainStepsForTesting(false); }
};

TEST_P(AreaAverage, IsTheExactAverageRoundedAtEveryRatio)
{
    const Reduction& r = std::get<0>(GetParam());
    gfx::averageWithPlainStepsForTesting(std::get<1>(GetParam()));
    gfx::SurfaceRef source = painted(r.pixelWidth, r.pixelHeight, r.pattern);
    gfx::SurfaceRef reduced = gfx::areaAveragedSurface(source.get(), r.width, r.height, r.toWidth, r.toHeight);
    ASSERT_TRUE(reduced);
    ASSERT_EQ(cairo_image_surface_get_width(reduced.get()), r.toWidth);
    ASSERT_EQ(cairo_image_surface_get_height(reduced.get()), r.toHeight);
    const uint8_t* data = cairo_image_surface_get_data(reduced.get());
    int stride = cairo_image_surface_get_stride(reduced.get());
    double worst = 0;
    for (int y = 0; y < r.toHeight; ++y)
        for (int x = 0; x < r.toWidth; ++x) {
            uint32_t pixel = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride))[x];
            for (int shift : {0, 8, 16, 24}) {
                double exact = exactAverage(r.pattern, r.width, r.height, r.toWidth, r.toHeight, x, y, shift);
                double off = std::abs(double((pixel >> shift) & 0xff) - exact);
                worst = std::max(worst, off);
                // Rounded to the nearest level; the weights' own rounding may not tip it.
                ASSERT_LE(off, 0.51) << "pixel " << x << "," << y << " channel at bit " << shift << ": exact "
                                     << exact << ", drawn " << ((pixel >> shift) & 0xff);
            }
        }
    RecordProperty("worst_levels_off", std::to_string(worst));
}

INSTANTIATE_TEST_SUITE_P(ManyRowsOrColumnsToOne, AreaAverage,
                         ::testing::Combine(::testing::ValuesIn(kReductions), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<Reduction, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_plain" : "");
                         });

} // namespace
