// What on-demand drawing rests on: the dirty region, the resample cache and kept text layouts.
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Region.h"
#include "Platform/Graphics/TextLayout.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <vector>

namespace gfx {

namespace {

Image photo(int width, int height)
{
    auto ctx = Context::createBitmap({double(width), double(height)}, 1);
    ctx->fillLinearGradient({0, 0, double(width), double(height)}, {0, 0}, {double(width), double(height)},
                            {{0, Color::fromRgb(220, 40, 40)}, {1, Color::fromRgb(40, 60, 220)}});
    ctx->setStrokeColor(Color::white());
    ctx->setLineWidth(3);
    ctx->strokeEllipse({width * 0.2, height * 0.2, width * 0.6, height * 0.6});
    return ctx->makeImage();
}

// The picture drawn the way the drawing code did before copies were kept: sampled straight
// from the original through a scaled pattern.
Image drawnDirectly(const Image& image, const Rect& rect, Size canvas, double scale)
{
    auto ctx = Context::createBitmap(canvas, scale);
    cairo_t* cr = ctx->cairo();
    PatternRef pattern(cairo_pattern_create_for_surface(image.cairoSurface()));
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_GOOD);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, image.pixelWidth() / rect.width(), image.pixelHeight() / rect.height());
    cairo_matrix_translate(&m, -rect.x(), -rect.y());
    cairo_pattern_set_matrix(pattern.get(), &m);
    cairo_set_source(cr, pattern.get());
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_fill(cr);
    return ctx->makeImage();
}

int largestDifference(const Image& a, const Image& b)
{
    int worst = 0;
    for (int y = 0; y < a.pixelHeight(); ++y) {
        for (int x = 0; x < a.pixelWidth(); ++x) {
            uint32_t p = a.pixelAt(x, y), q = b.pixelAt(x, y);
            for (int shift = 0; shift < 32; shift += 8)
                worst = std::max(worst, std::abs(int((p >> shift) & 0xff) - int((q >> shift) & 0xff)));
        }
    }
    return worst;
}

} // namespace

TEST(Region, MergesWhatOverlapsAndStaysSmall)
{
    struct Case {
        const char* name;
        std::vector<Rect> added;
        size_t rects;
        Rect bounds;
    };
    const std::vector<Case> cases = {
        {"empty and null rects are nothing", {Rect(), Rect::null(), {5, 5, 0, 10}}, 0, Rect::null()},
        {"apart stay apart", {{0, 0, 10, 10}, {20, 0, 10, 10}}, 2, {0, 0, 30, 10}},
        {"touching edges stay apart", {{0, 0, 10, 10}, {10, 0, 10, 10}}, 2, {0, 0, 20, 10}},
        {"overlapping merge", {{0, 0, 10, 10}, {5, 5, 10, 10}}, 1, {0, 0, 15, 15}},
        {"a union that reaches a third merges it too", {{0, 0, 10, 10}, {30, 0, 10, 10}, {5, 0, 30, 5}}, 1, {0, 0, 40, 10}},
        {"contained adds nothing", {{0, 0, 100, 100}, {10, 10, 5, 5}}, 1, {0, 0, 100, 100}},
        {"negative sizes count as their area", {{10, 10, -10, -10}}, 1, {0, 0, 10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Region region;
        for (const Rect& r : c.added)
            region.add(r);
        EXPECT_EQ(region.rects().size(), c.rects);
        EXPECT_EQ(region.bounds(), c.bounds);
    }
    // Many scattered rectangles fold into a few that still cover them all.
    Region many;
    std::vector<Rect> added;
    for (int i = 0; i < 40; ++i) {
        added.push_back({double(i * 25 % 1000), double(i * 37 % 700), 12, 9});
        many.add(added.back());
    }
    EXPECT_LE(many.rects().size(), Region::kMaxRects);
    for (const Rect& r : added)
        EXPECT_TRUE(many.contains(r)) << r.toString();
    EXPECT_TRUE(many.intersects({0, 0, 13, 10}));
    EXPECT_FALSE(many.intersects({-50, -50, 10, 10}));
}

TEST(Region, PixelsRoundOutwardAndStayInsideTheBitmap)
{
    Region region;
    region.add({10.25, 10.5, 20, 10.25});
    region.add({-5, 90, 30, 30});
    EXPECT_EQ(region.pixelRects(1, 100, 100), (std::vector<PixelRect>{{10, 10, 21, 11}, {0, 90, 25, 10}}));
    EXPECT_EQ(region.pixelRects(2, 200, 200), (std::vector<PixelRect>{{20, 21, 41, 21}, {0, 180, 50, 20}}));
    EXPECT_TRUE(region.pixelRects(1, 5, 5).empty());
}

TEST(ImageResampleCache, KeepsOneCopyPerSizeAndFilterWithinItsLimit)
{
    Image::clearResampleCache();
    Image a = photo(64, 64);
    uint64_t start = Image::resampleCount();
    SurfaceRef first = a.resampled(32, 32, Image::Filter::Good);
    ASSERT_TRUE(first);
    EXPECT_EQ(cairo_image_surface_get_width(first.get()), 32);
    // Copies of the picture share its copies; another size or filter is another copy.
    Image sameSource = a;
    EXPECT_EQ(sameSource.resampled(32, 32, Image::Filter::Good).get(), first.get());
    EXPECT_NE(a.resampled(32, 32, Image::Filter::Best).get(), first.get());
    EXPECT_NE(a.resampled(16, 32, Image::Filter::Good).get(), first.get());
    EXPECT_EQ(Image::resampleCount() - start, 3u);
    EXPECT_EQ(Image::resampleCacheBytes(), (32u * 32 * 2 + 16 * 32) * 4);
    EXPECT_FALSE(a.resampled(0, 10, Image::Filter::Good));
    EXPECT_FALSE(Image().resampled(10, 10, Image::Filter::Good));

    // A picture that goes takes its copies with it.
    {
        Image b = photo(40, 40);
        b.resampled(20, 20, Image::Filter::Good);
        EXPECT_EQ(Image::resampleCacheBytes(), (32u * 32 * 2 + 16 * 32 + 20 * 20) * 4);
    }
    EXPECT_EQ(Image::resampleCacheBytes(), (32u * 32 * 2 + 16 * 32) * 4);

    // Over the limit the least recently used go first; larger than the limit is never kept.
    size_t limit = Image::resampleCacheLimit();
    Image::setResampleCacheLimit(32 * 32 * 4 * 2);
    EXPECT_LE(Image::resampleCacheBytes(), 32u * 32 * 4 * 2);
    start = Image::resampleCount();
    SurfaceRef again = a.resampled(32, 32, Image::Filter::Good);
    EXPECT_NE(again.get(), first.get()) << "the oldest copy was let go";
    a.resampled(16, 32, Image::Filter::Good);
    EXPECT_EQ(Image::resampleCount() - start, 1u) << "a recent copy stays";
    a.resampled(32, 32, Image::Filter::Best);
    EXPECT_EQ(Image::resampleCount() - start, 2u);
    EXPECT_TRUE(a.resampled(60, 60, Image::Filter::Good));
    EXPECT_LE(Image::resampleCacheBytes(), 32u * 32 * 4 * 2);
    Image::setResampleCacheLimit(limit);
    Image::clearResampleCache();
    EXPECT_EQ(Image::resampleCacheBytes(), 0u);
}

// A kept copy gives the pixels of sampling the original (within rounding), placed on whole
// pixels: a fractional position moves it by under half a pixel.
TEST(ImageResampleCache, DrawingFromTheCopyMatchesDrawingTheOriginal)
{
    Image source = photo(640, 480);
    struct Case {
        Rect rect;
        double scale;
        Rect landsAt;
    };
    const std::vector<Case> cases = {
        {{10, 20, 180, 135}, 1, {10, 20, 180, 135}},
        {{10, 20, 180, 135}, 2, {10, 20, 180, 135}},
        {{0, 0, 97, 61}, 1, {0, 0, 97, 61}},
        {{3.5, 7.25, 100, 75}, 1, {4, 7, 100, 75}},
        {{3.25, 7.75, 100, 75}, 2, {3.5, 8, 100, 75}},
        {{0, 0, 1000, 700}, 1, {0, 0, 1000, 700}}, // enlarged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rect.toString() + " at scale " + std::to_string(c.scale));
        Size canvas{c.rect.maxX() + 10, c.rect.maxY() + 10};
        auto ctx = Context::createBitmap(canvas, c.scale);
        uint64_t before = Image::resampleCount();
        ctx->drawImage(source, c.rect);
        ctx->drawImage(source, c.rect);
        EXPECT_EQ(Image::resampleCount() - before, 1u);
        auto once = Context::createBitmap(canvas, c.scale);
        once->drawImage(source, c.rect);
        EXPECT_LE(largestDifference(once->makeImage(), drawnDirectly(source, c.landsAt, canvas, c.scale)), 1);
    }
    // Rotated drawing and vector output sample the original.
    auto rotated = Context::createBitmap({200, 200}, 1);
    rotated->rotate(0.2);
    uint64_t before = Image::resampleCount();
    rotated->drawImage(source, {20, 20, 100, 75});
    auto pdf = Context::createPdfInMemory();
    pdf->beginPage({200, 200});
    pdf->drawImage(source, {20, 20, 100, 75});
    pdf->close();
    EXPECT_EQ(Image::resampleCount(), before);
}

TEST(CachedTextLayout, BuildsAgainOnlyWhenItsInputsOrTargetChange)
{
    auto ctx = Context::createBitmap({300, 100}, 1);
    auto sharp = Context::createBitmap({300, 100}, 2);
    CachedTextLayout cached;
    TextLayout::Options options;
    options.width = 120;
    options.mode = LineBreakMode::TruncateTail;
    options.maxLines = 1;
    Font font = Font::systemFont(15);
    struct Step {
        const char* name;
        cairo_t* cr;
        std::string text;
        Font font;
        TextLayout::Options options;
        bool builds;
    };
    TextLayout::Options wider = options;
    wider.width = 200;
    const std::vector<Step> steps = {
        {"first measure", nullptr, "Sales order 1234", font, options, true},
        {"measured again", nullptr, "Sales order 1234", font, options, false},
        {"drawn: a context of its own", ctx->cairo(), "Sales order 1234", font, options, true},
        {"drawn again", ctx->cairo(), "Sales order 1234", font, options, false},
        {"measured after drawing", nullptr, "Sales order 1234", font, options, false},
        {"other text", ctx->cairo(), "Sales order 1235", font, options, true},
        {"other font", ctx->cairo(), "Sales order 1235", Font::boldSystemFont(15), options, true},
        {"other width", ctx->cairo(), "Sales order 1235", Font::boldSystemFont(15), wider, true},
        {"other scale", sharp->cairo(), "Sales order 1235", Font::boldSystemFont(15), wider, true},
        {"same scale again", sharp->cairo(), "Sales order 1235", Font::boldSystemFont(15), wider, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        uint64_t before = TextLayout::buildCount();
        TextLayout& layout = cached.get(step.cr, step.text, step.font, step.options);
        EXPECT_EQ(TextLayout::buildCount() > before, step.builds);
        // Whatever was kept measures as a fresh layout does.
        EXPECT_EQ(layout.roundedSize(), sizeOfText(step.text, step.font, {step.options.width, 1e7}, step.options.mode, 1));
    }
}

} // namespace gfx
