#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/ImageSlice.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace gfx {

namespace {

constexpr uint32_t kWhite = 0xffffffff;
constexpr uint32_t kRed = 0xffff0000;
constexpr uint32_t kGreen = 0xff00ff00;
constexpr uint32_t kBlue = 0xff0000ff;

std::unique_ptr<Context> whiteBitmap(Size size, double scale = 1)
{
    auto context = Context::createBitmap(size, scale);
    context->save();
    context->setFillColor(Color::white());
    context->fillRect({{0, 0}, size});
    context->restore();
    return context;
}

int channel(uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xff);
}

// A 30x30 grey image whose 10x10 corners hold a pattern that any scaling would smear, or
// plain colours.
Image cornerPatterns(bool striped = true)
{
    auto context = Context::createBitmap({30, 30});
    context->setFillColor(Color::gray());
    context->fillRect({0, 0, 30, 30});
    const Color colours[4] = {Color::red(), Color::green(), Color::blue(), Color::yellow()};
    const Point corners[4] = {{0, 0}, {20, 0}, {0, 20}, {20, 20}};
    for (int i = 0; i < 4; ++i) {
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                context->setFillColor((x + y) % 3 || !striped ? colours[i] : Color::black());
                context->fillRect({corners[i].x + x, corners[i].y + y, 1, 1});
            }
        }
    }
    return context->makeImage();
}

} // namespace

TEST(Context, BitmapHasPixelsForItsScale)
{
    auto context = Context::createBitmap({10, 5}, 2);
    ASSERT_TRUE(context);
    context->setFillColor(Color::red());
    context->fillRect({0, 0, 5, 5});
    Image image = context->makeImage();
    EXPECT_EQ(image.pixelWidth(), 20);
    EXPECT_EQ(image.pixelHeight(), 10);
    EXPECT_EQ(image.scale(), 2);
    EXPECT_EQ(image.size(), (Size{10, 5}));
    EXPECT_EQ(image.pixelAt(9, 9), kRed);
    EXPECT_EQ(image.pixelAt(10, 0), 0u);
}

TEST(Context, ImageIsASnapshot)
{
    auto context = Context::createBitmap({4, 4});
    Image before = context->makeImage();
    context->setFillColor(Color::blue());
    context->fillRect({0, 0, 4, 4});
    EXPECT_EQ(before.pixelAt(1, 1), 0u);
    EXPECT_EQ(context->makeImage().pixelAt(1, 1), kBlue);
}

TEST(Context, TransformsAndClipsLandWhereExpected)
{
    auto context = whiteBitmap({100, 100});

    context->save();
    context->translate(10, 20);
    context->scaleBy(2, 2);
    context->setFillColor(Color::red());
    context->fillRect({0, 0, 10, 10}); // covers 10..30 x 20..40
    context->restore();

    context->save();
    context->translate(50, 50);
    context->rotate(M_PI / 2);
    context->setFillColor(Color::green());
    context->fillRect({0, 0, 20, 5}); // rotated onto x 45..50, y 50..70
    context->restore();

    context->save();
    context->clipToRect({60, 60, 20, 20});
    context->setFillColor(Color::blue());
    context->fillEllipse({40, 40, 60, 60});
    context->restore();

    // The state is back: identity transform, no clip, black fill.
    EXPECT_TRUE(context->currentTransform().isIdentity());
    context->fillRect({0, 95, 5, 5});

    Image image = context->makeImage();
    EXPECT_EQ(image.pixelAt(11, 21), kRed);
    EXPECT_EQ(image.pixelAt(29, 39), kRed);
    EXPECT_EQ(image.pixelAt(31, 30), kWhite);
    EXPECT_EQ(image.pixelAt(9, 30), kWhite);
    EXPECT_EQ(image.pixelAt(47, 60), kGreen);
    EXPECT_EQ(image.pixelAt(52, 60), kWhite);
    EXPECT_EQ(image.pixelAt(60, 47), kWhite);
    EXPECT_EQ(image.pixelAt(70, 70), kBlue);
    EXPECT_EQ(image.pixelAt(79, 61), kBlue);
    EXPECT_EQ(image.pixelAt(85, 70), kWhite); // inside the ellipse, outside the clip
    EXPECT_EQ(image.pixelAt(58, 70), kWhite);
    EXPECT_EQ(image.pixelAt(2, 97), 0xff000000u);
}

TEST(Context, ConcatAndRoundedClip)
{
    auto context = whiteBitmap({40, 40});
    context->concat(AffineTransform::translation(20, 0).scaled(1, 2));
    EXPECT_EQ(context->currentTransform().apply(Point{1, 1}), (Point{21, 2}));
    context->clipToRoundedRect({0, 0, 20, 20}, 10); // a circle stretched to 20x40
    context->setFillColor(Color::red());
    context->fillRect({0, 0, 20, 20});
    Image image = context->makeImage();
    EXPECT_EQ(image.pixelAt(30, 20), kRed);
    EXPECT_EQ(image.pixelAt(21, 1), kWhite); // the rounded corner
    EXPECT_EQ(image.pixelAt(15, 20), kWhite);
}

TEST(Context, StrokesAndDashes)
{
    auto context = whiteBitmap({40, 20});
    context->setStrokeColor(Color::blue());
    context->setLineWidth(2);
    context->setLineDash({4, 4});
    context->strokeLine({0, 5}, {40, 5});
    context->setLineDash({});
    context->strokeRect({10, 10, 20, 8});
    Image image = context->makeImage();
    EXPECT_EQ(image.pixelAt(2, 5), kBlue);
    EXPECT_EQ(image.pixelAt(6, 5), kWhite);
    EXPECT_EQ(image.pixelAt(10, 5), kBlue);
    EXPECT_EQ(image.pixelAt(20, 10), kBlue);
    EXPECT_EQ(image.pixelAt(20, 14), kWhite);
    EXPECT_EQ(image.pixelAt(10, 14), kBlue);
}

TEST(Context, LineCapsDecideWhatAZeroLengthStrokeLeaves)
{
    struct Case {
        LineCap cap;
        bool dot; // a point stroked with the cap shows (a square has no direction there)
        bool past; // the cap reaches beyond the segment's ends
    };
    for (Case c : {Case{LineCap::Butt, false, false}, Case{LineCap::Round, true, true}, Case{LineCap::Square, false, true}}) {
        auto context = whiteBitmap({60, 20});
        context->setStrokeColor(Color::blue());
        context->setLineWidth(10);
        context->setLineCap(c.cap);
        context->beginPath();
        context->moveTo({10, 10});
        context->lineTo({10, 10});
        context->strokePath();
        context->strokeLine({30, 10}, {45, 10});
        Image image = context->makeImage();
        EXPECT_EQ(image.pixelAt(10, 10) == kBlue, c.dot) << static_cast<int>(c.cap);
        EXPECT_EQ(image.pixelAt(48, 10) == kBlue, c.past) << static_cast<int>(c.cap);
        EXPECT_EQ(image.pixelAt(40, 10), kBlue);
        // A round cap leaves the corners of a square one empty.
        if (c.cap == LineCap::Round) {
            EXPECT_EQ(image.pixelAt(49, 14), kWhite);
        }
    }
}

TEST(Context, UnsmoothedImagesKeepHardEdgesWhenStretched)
{
    // Two pixels, blue then white, stretched forty times across.
    auto source = Context::createBitmap({2, 1});
    source->setFillColor(Color::blue());
    source->fillRect({0, 0, 1, 1});
    source->setFillColor(Color::white());
    source->fillRect({1, 0, 1, 1});
    Image picture = source->makeImage();
    for (bool smooth : {true, false}) {
        auto context = whiteBitmap({80, 4});
        context->save();
        context->setImageSmoothing(smooth);
        context->drawImage(picture, {0, 0, 80, 4});
        context->restore();
        EXPECT_TRUE(context->imageSmoothing());
        Image image = context->makeImage();
        int mixed = 0;
        for (int x = 0; x < 80; ++x)
            if (image.pixelAt(x, 2) != kBlue && image.pixelAt(x, 2) != kWhite)
                ++mixed;
        EXPECT_EQ(mixed == 0, !smooth) << mixed;
        if (!smooth) {
            EXPECT_EQ(image.pixelAt(39, 2), kBlue);
            EXPECT_EQ(image.pixelAt(40, 2), kWhite);
        }
    }
}

TEST(Context, PathsFillWithTheirRule)
{
    auto context = whiteBitmap({40, 40});
    context->setFillColor(Color::red());
    context->beginPath();
    context->addRect({0, 0, 40, 40});
    context->addRect({10, 10, 20, 20});
    context->fillPath(true);
    context->setFillColor(Color::blue());
    context->beginPath();
    context->moveTo({10, 10});
    context->lineTo({30, 10});
    context->curveTo({30, 20}, {20, 30}, {10, 30});
    context->closePath();
    context->fillPath();
    Image image = context->makeImage();
    EXPECT_EQ(image.pixelAt(5, 5), kRed);
    EXPECT_EQ(image.pixelAt(12, 12), kBlue);
    EXPECT_EQ(image.pixelAt(28, 28), kWhite); // the hole, outside the curve
}

TEST(Context, GradientAlphaAndShadow)
{
    auto context = whiteBitmap({100, 60});
    context->fillLinearGradient({0, 0, 100, 10}, {0, 0}, {100, 0},
                                {{0, Color::red()}, {1, Color::blue()}});
    context->save();
    context->setAlpha(0.5);
    context->setFillColor(Color::black());
    context->fillRect({0, 20, 10, 10});
    context->restore();
    context->setShadow({5, 5}, 3, Color::black());
    context->setFillColor(Color::red());
    context->fillRect({40, 20, 20, 20});
    context->clearShadow();
    context->fillRect({70, 20, 10, 10});

    Image image = context->makeImage();
    uint32_t left = image.pixelAt(1, 5), middle = image.pixelAt(50, 5), right = image.pixelAt(98, 5);
    EXPECT_GT(channel(left, 16), 240);
    EXPECT_LT(channel(left, 0), 15);
    EXPECT_NEAR(channel(middle, 16), 128, 4);
    EXPECT_NEAR(channel(middle, 0), 128, 4);
    EXPECT_GT(channel(right, 0), 240);
    EXPECT_NEAR(channel(image.pixelAt(5, 25), 8), 128, 2);
    EXPECT_EQ(image.pixelAt(45, 25), kRed);
    EXPECT_EQ(image.pixelAt(62, 42), 0xff000000u); // shadow below right
    EXPECT_EQ(image.pixelAt(38, 25), kWhite);
    EXPECT_EQ(image.pixelAt(82, 32), kWhite); // shadow cleared
}

// A plain rectangle's blur is made from its rows and columns; it must match the shape drawn and
// blurred whole (a hair of rounding takes that road), at fractional places and any scale.
TEST(Context, ABlurredRectangleMatchesTheShapeBlurredWhole)
{
    struct Case {
        Rect rect;
        double blur, scale;
        Point shift;
    } cases[] = {
        {{20, 20, 60, 40}, 6, 1, {0, 0}},     {{20.3, 19.6, 59.5, 40.2}, 6, 1, {0, 0}},
        {{10, 12, 30, 25}, 3, 2, {0.25, 0}},  {{30, 30, 4, 50}, 12, 1, {0, 0.5}},
        {{15, 15, 70, 70}, 1, 1.5, {0, 0}},   {{40, 40, 6.5, 5.5}, 8, 1, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.x() << "," << c.rect.y() << " blur " << c.blur << " at " << c.scale);
        Image drawn[2];
        for (int whole = 0; whole < 2; ++whole) {
            auto context = whiteBitmap({120, 120}, c.scale);
            context->translate(c.shift.x, c.shift.y);
            context->fillBlurredRoundedRect(c.rect, whole ? 1e-3 : 0, c.blur, Color::black());
            drawn[whole] = context->makeImage();
        }
        int worst = 0, darkest = 255;
        for (int y = 0; y < drawn[0].pixelHeight(); ++y)
            for (int x = 0; x < drawn[0].pixelWidth(); ++x) {
                worst = std::max(worst, std::abs(channel(drawn[0].pixelAt(x, y), 8) - channel(drawn[1].pixelAt(x, y), 8)));
                darkest = std::min(darkest, channel(drawn[0].pixelAt(x, y), 8));
            }
        EXPECT_LE(worst, 3);
        EXPECT_LT(darkest, 200); // the shadow is there at all
    }
}

TEST(Context, NineSliceKeepsCornersUnscaled)
{
    Image source = cornerPatterns().stretchable(EdgeInsets{10, 10, 10, 10});
    auto context = Context::createBitmap({100, 70});
    context->drawImage(source, {5, 5, 90, 60});
    Image drawn = context->makeImage();

    const Point sourceCorners[4] = {{0, 0}, {20, 0}, {0, 20}, {20, 20}};
    const Point drawnCorners[4] = {{5, 5}, {85, 5}, {5, 55}, {85, 55}};
    int differing = 0;
    for (int i = 0; i < 4; ++i)
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                differing += drawn.pixelAt(static_cast<int>(drawnCorners[i].x) + x, static_cast<int>(drawnCorners[i].y) + y)
                    != source.pixelAt(static_cast<int>(sourceCorners[i].x) + x, static_cast<int>(sourceCorners[i].y) + y);
    EXPECT_EQ(differing, 0);
    // Edges and middle stretch the grey without bleeding corner colours into it.
    EXPECT_EQ(drawn.pixelAt(50, 35), source.pixelAt(15, 15));
    EXPECT_EQ(drawn.pixelAt(50, 6), source.pixelAt(15, 1));
    EXPECT_EQ(drawn.pixelAt(16, 35), source.pixelAt(15, 15));
    EXPECT_EQ(drawn.pixelAt(15, 6), source.pixelAt(15, 1));
    EXPECT_EQ(drawn.pixelAt(84, 64), source.pixelAt(15, 29));
    EXPECT_EQ(drawn.pixelAt(6, 15), source.pixelAt(1, 15));
    EXPECT_EQ(drawn.pixelAt(4, 4), 0u);

    // Without caps the same draw scales the corners.
    auto plain = Context::createBitmap({100, 70});
    plain->drawImage(cornerPatterns(), {5, 5, 90, 60});
    Image scaled = plain->makeImage();
    int scaledDiffering = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            scaledDiffering += scaled.pixelAt(5 + x, 5 + y) != source.pixelAt(x, y);
    EXPECT_GT(scaledDiffering, 10);
}

TEST(Context, NineSliceAtDoubleScaleKeepsCornersInPoints)
{
    Image pixels = cornerPatterns(); // 30x30 pixels: 15x15 points at scale 2
    Image retina = Image::fromBytes(pixels.pngData(), 2).stretchable(EdgeInsets{5, 5, 5, 5});
    auto context = Context::createBitmap({50, 40}, 2);
    context->drawImage(retina, {0, 0, 50, 40});
    Image drawn = context->makeImage();
    int differing = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            differing += drawn.pixelAt(90 + x, 70 + y) != pixels.pixelAt(20 + x, 20 + y);
    EXPECT_EQ(differing, 0);

    // A target smaller than the caps shrinks them rather than overlapping.
    auto small = Context::createBitmap({6, 6}, 2);
    small->drawImage(retina, {0, 0, 6, 6});
    EXPECT_FALSE(small->error());
    EXPECT_EQ(small->makeImage().pixelAt(11, 11) >> 24, 0xffu);
}

// Pictures smaller than their caps (a skin may send any size): the caps shrink to leave a
// middle of one pixel, so nothing reads past the picture and the target is covered whole.
TEST(Context, NineSliceOfAPictureSmallerThanItsCapsStaysWithinItsPixels)
{
    struct Case {
        Size picture;
        Rect target;
    };
    const Case cases[] = {
        {{1, 1}, {0, 0, 6, 6}},     {{1, 1}, {0, 0, 80, 40}},   {{14, 14}, {0, 0, 6, 6}},
        {{14, 14}, {0, 0, 80, 40}}, {{14, 14}, {0, 0, 14, 14}}, {{30, 1}, {0, 0, 20, 4}},
        {{30, 1}, {0, 0, 120, 9}},  {{1, 30}, {0, 0, 9, 120}},  {{14, 14}, {3, 2, 10, 90}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.width << "x" << c.picture.height << " into "
                                        << c.target.width() << "x" << c.target.height());
        // Every pixel its own colour, so any pixel drawn can be traced to where it was read.
        auto paint = Context::createBitmap(c.picture);
        for (int y = 0; y < c.picture.height; ++y)
            for (int x = 0; x < c.picture.width; ++x) {
                paint->setFillColor(Color{x / 32.0, y / 32.0, 0.5, 1});
                paint->fillRect({double(x), double(y), 1, 1});
            }
        Image picture = paint->makeImage().stretchable(EdgeInsets{15, 15, 15, 15});
        for (double scale : {1.0, 2.0}) {
            auto context = Context::createBitmap({c.target.maxX() + 2, c.target.maxY() + 2}, scale);
            context->drawImage(picture, c.target);
            ASSERT_FALSE(context->error());
            Image drawn = context->makeImage();
            int uncovered = 0;
            for (int y = int(c.target.minY() * scale); y < int(c.target.maxY() * scale); ++y)
                for (int x = int(c.target.minX() * scale); x < int(c.target.maxX() * scale); ++x)
                    uncovered += (drawn.pixelAt(x, y) >> 24) != 0xff;
            EXPECT_EQ(uncovered, 0) << "at scale " << scale;
            // With room for the picture, its corner pixels are drawn as they are (a smaller
            // target shrinks the caps, and so filters them).
            if (c.target.width() >= c.picture.width && c.target.height() >= c.picture.height) {
                EXPECT_EQ(drawn.pixelAt(int(c.target.minX() * scale), int(c.target.minY() * scale)),
                          picture.pixelAt(0, 0));
                EXPECT_EQ(drawn.pixelAt(int(c.target.maxX() * scale) - 1, int(c.target.maxY() * scale) - 1),
                          picture.pixelAt(int(c.picture.width) - 1, int(c.picture.height) - 1));
            }
            // Nothing outside the target.
            EXPECT_EQ(drawn.pixelAt(int((c.target.maxX() + 1) * scale), int((c.target.maxY() + 1) * scale)), 0u);
        }
    }
    // A picture of one pixel is a flat fill of that pixel, whatever the target.
    auto dot = Context::createBitmap({1, 1});
    dot->setFillColor(Color::red());
    dot->fillRect({0, 0, 1, 1});
    auto flat = Context::createBitmap({50, 20});
    flat->drawImage(dot->makeImage().stretchable(EdgeInsets{15, 15, 15, 15}), {0, 0, 50, 20});
    Image filled = flat->makeImage();
    int other = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 50; ++x)
            other += filled.pixelAt(x, y) != kRed;
    EXPECT_EQ(other, 0);
    // A 14-pixel picture keeps its first six columns as a cap when the target has room.
    auto wide = Context::createBitmap({14, 14});
    for (int x = 0; x < 14; ++x) {
        wide->setFillColor(x < 7 ? Color::green() : Color::blue());
        wide->fillRect({double(x), 0, 1, 14});
    }
    auto capped = Context::createBitmap({100, 14});
    capped->drawImage(wide->makeImage().stretchable(EdgeInsets{15, 15, 15, 15}), {0, 0, 100, 14});
    Image kept = capped->makeImage();
    EXPECT_EQ(kept.pixelAt(5, 7), kGreen);
    EXPECT_EQ(kept.pixelAt(94, 7), kBlue);
}

// Caps that sum exactly to the picture's size leave no middle of their own: they shrink to
// leave one pixel to stretch, so the target is covered whole, its corners the picture's own.
TEST(Context, NineSliceOfCapsSummingToThePictureCoversTheTarget)
{
    struct Case {
        Size picture; // points
        double pictureScale;
        EdgeInsets caps;
        Rect target;
    };
    const Case cases[] = {
        {{14, 14}, 1, {7, 7, 7, 7}, {0, 0, 60, 40}},
        {{14, 14}, 2, {7, 7, 7, 7}, {0, 0, 60, 40}},
        {{15, 9}, 1, {4, 10, 5, 5}, {2, 3, 50, 30}},
        {{7.5, 4.5}, 2, {2, 3.5, 2.5, 4}, {2, 3, 50, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.width << "x" << c.picture.height << " at " << c.pictureScale);
        int width = int(c.picture.width * c.pictureScale), height = int(c.picture.height * c.pictureScale);
        auto paint = Context::createBitmap({double(width), double(height)});
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                paint->setFillColor(Color{x / 32.0, y / 32.0, 0.5, 1});
                paint->fillRect({double(x), double(y), 1, 1});
            }
        Image pixels = paint->makeImage();
        Image picture = Image::fromBytes(pixels.pngData(), c.pictureScale).stretchable(c.caps);
        ASSERT_EQ(picture.size(), c.picture);
        // Where the caps land on whole pixels: at the picture's scale and above.
        for (double scale : {1.0, 2.0}) {
            if (scale < c.pictureScale)
                continue;
            SCOPED_TRACE(testing::Message() << "drawn at " << scale);
            auto context = Context::createBitmap({c.target.maxX() + 2, c.target.maxY() + 2}, scale);
            context->drawImage(picture, c.target);
            Image drawn = context->makeImage();
            int uncovered = 0;
            for (int y = int(c.target.minY() * scale); y < int(c.target.maxY() * scale); ++y)
                for (int x = int(c.target.minX() * scale); x < int(c.target.maxX() * scale); ++x)
                    uncovered += (drawn.pixelAt(x, y) >> 24) != 0xff;
            EXPECT_EQ(uncovered, 0);
            // Drawn at the picture's own scale, its corner pixels land as they are.
            if (scale == c.pictureScale) {
                EXPECT_EQ(drawn.pixelAt(int(c.target.minX() * scale), int(c.target.minY() * scale)), pixels.pixelAt(0, 0));
                EXPECT_EQ(drawn.pixelAt(int(c.target.maxX() * scale) - 1, int(c.target.maxY() * scale) - 1),
                          pixels.pixelAt(width - 1, height - 1));
            }
            EXPECT_EQ(drawn.pixelAt(int((c.target.maxX() + 1) * scale), int((c.target.maxY() + 1) * scale)), 0u);
        }
    }
}

// A part asked for past the picture's edges is cut to its pixels and that cut part is what is
// stretched over the target: what lies beyond the picture is never read, and a part wholly
// outside draws nothing.
TEST(Context, ASliceReachingPastThePictureIsCutToItsPixels)
{
    struct Case {
        const char* name;
        double pictureScale;
        Rect source;     // points, as asked
        Rect inPixels;   // the picture's pixels it is cut to; empty: nothing drawn
    };
    // The first ones reach only a little past the right edge, as a rounding would.
    const Case cases[] = {
        {"past the right", 1, {4, 0, 8, 5}, {4, 0, 6, 5}},
        {"past the right at scale 2", 2, {2.5, 0, 4, 2.5}, {5, 0, 5, 5}},
        {"past the right and bottom", 1, {4, 6, 10, 10}, {4, 6, 6, 4}},
        {"past the top and left at scale 2", 2, {-1, -2, 3, 4}, {0, 0, 4, 4}},
        {"past every edge", 1, {-5, -5, 20, 20}, {0, 0, 10, 10}},
        {"wholly outside", 1, {12, 0, 5, 5}, {}},
    };
    // Every pixel its own colour, so each drawn pixel tells where it was read.
    auto paint = Context::createBitmap({10, 10});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            paint->setFillColor(Color{(x * 25 + 5) / 255.0, (y * 25 + 5) / 255.0, 0.5, 1});
            paint->fillRect({double(x), double(y), 1, 1});
        }
    const Image pixels = paint->makeImage();
    constexpr int kTarget = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image picture = Image::fromBytes(pixels.pngData(), c.pictureScale);
        auto context = Context::createBitmap({kTarget, kTarget});
        drawImageSlice(context->cairo(), picture, c.source, {0, 0, kTarget, kTarget}, false);
        Image drawn = context->makeImage();
        int wrong = 0;
        for (int y = 0; y < kTarget; ++y)
            for (int x = 0; x < kTarget; ++x) {
                uint32_t expected = 0;
                if (!c.inPixels.isEmpty()) {
                    // Unsmoothed: each target pixel takes the part's pixel under its centre.
                    int px = int(c.inPixels.x() + (x + 0.5) * c.inPixels.width() / kTarget);
                    int py = int(c.inPixels.y() + (y + 0.5) * c.inPixels.height() / kTarget);
                    expected = pixels.pixelAt(px, py);
                }
                wrong += drawn.pixelAt(x, y) != expected;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(Context, DrawsPartsOfImagesWithAlpha)
{
    auto quarters = Context::createBitmap({20, 20});
    quarters->setFillColor(Color::red());
    quarters->fillRect({0, 0, 10, 10});
    quarters->setFillColor(Color::green());
    quarters->fillRect({10, 0, 10, 10});
    Image image = quarters->makeImage();

    auto context = whiteBitmap({60, 30});
    context->drawImage(image, {10, 0, 10, 10}, {0, 0, 30, 30});
    context->drawImage(image, {0, 0, 20, 20}, {30, 0, 30, 30}, 0.5);
    Image drawn = context->makeImage();
    EXPECT_EQ(drawn.pixelAt(1, 1), kGreen);
    EXPECT_EQ(drawn.pixelAt(28, 28), kGreen);
    uint32_t faded = drawn.pixelAt(35, 5);
    EXPECT_EQ(channel(faded, 16), 255);
    EXPECT_NEAR(channel(faded, 8), 128, 2);
    EXPECT_EQ(drawn.pixelAt(45, 25), kWhite); // the transparent half at half alpha
}

TEST(Context, PdfInMemoryHasPagesOfTheirSizes)
{
    auto pdf = Context::createPdfInMemory();
    ASSERT_TRUE(pdf);
    EXPECT_TRUE(pdf->isPdf());
    pdf->beginPage({300, 200});
    pdf->setFillColor(Color::blue());
    pdf->fillRect({10, 10, 100, 50});
    pdf->endPage();
    pdf->beginPage({200, 400});
    pdf->save(); // left open on purpose: ending the page restores it
    pdf->fillEllipse({0, 0, 50, 50});
    pdf->endPage();
    EXPECT_FALSE(pdf->close());

    const base::Bytes& data = pdf->pdfData();
    ASSERT_GT(data.size(), 100u);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 5), "%PDF-");

    test::TempDir dir;
    std::string path = dir.file("memory.pdf");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                 static_cast<std::streamsize>(data.size()));
    std::string info;
    for (char c : test::commandOutput("pdfinfo -l 2 '" + path + "' 2>&1"))
        if (c != ' ' || info.empty() || info.back() != ' ')
            info += c; // columns are padded with runs of spaces

    EXPECT_NE(info.find("Pages: 2"), std::string::npos) << info;
    EXPECT_NE(info.find("Page 1 size: 300 x 200 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Page 2 size: 200 x 400 pts"), std::string::npos) << info;
}

TEST(Context, PdfWithoutACreationDateIsTheSameEveryTime)
{
    auto draw = [](bool undated) {
        auto pdf = Context::createPdfInMemory();
        if (undated)
            pdf->omitPdfCreationDate();
        pdf->beginPage({100, 100});
        pdf->fillRect({10, 10, 20, 20});
        pdf->endPage();
        EXPECT_FALSE(pdf->close());
        return std::string(pdf->pdfData().begin(), pdf->pdfData().end());
    };
    EXPECT_NE(draw(false).find("/CreationDate"), std::string::npos);
    std::string undated = draw(true);
    EXPECT_EQ(undated.find("/CreationDate"), std::string::npos);
    EXPECT_EQ(draw(true), undated);
}

TEST(Context, PdfPagesCarryImagesAndTheirSlices)
{
    test::TempDir dir;
    auto pdf = Context::createPdf(dir.file("images.pdf"));
    pdf->beginPage({200, 100});
    Image corners = cornerPatterns(false);
    pdf->drawImage(corners, {0, 0, 60, 60});
    pdf->drawImage(corners.stretchable(EdgeInsets{10, 10, 10, 10}), {100, 0, 90, 60});
    ASSERT_FALSE(pdf->close());
    // 72 dpi: one pixel of the rendering per point of the page.
    test::commandOutput("pdftoppm -r 72 -png -singlefile '" + dir.file("images.pdf") + "' '" + dir.file("page") + "'");
    Image page = Image::fromFile(dir.file("page.png"));
    ASSERT_EQ(page.size(), (Size{200, 100}));
    auto nearly = [](uint32_t pixel, uint32_t expected) {
        for (int shift : {0, 8, 16})
            if (std::abs(channel(pixel, shift) - channel(expected, shift)) > 40)
                return false;
        return true;
    };
    EXPECT_TRUE(nearly(page.pixelAt(10, 10), kRed));
    EXPECT_TRUE(nearly(page.pixelAt(30, 30), 0xff808080));
    EXPECT_TRUE(nearly(page.pixelAt(185, 5), kGreen));
    EXPECT_TRUE(nearly(page.pixelAt(105, 55), kBlue));
    EXPECT_TRUE(nearly(page.pixelAt(176, 5), 0xff808080)); // the caps stay 10 points wide
    EXPECT_TRUE(nearly(page.pixelAt(145, 30), 0xff808080));
    EXPECT_TRUE(nearly(page.pixelAt(195, 80), kWhite));
}

TEST(Context, PdfFileAndFailures)
{
    test::TempDir dir;
    {
        auto pdf = Context::createPdf(dir.file("out.pdf"));
        ASSERT_TRUE(pdf);
        pdf->beginPage({100, 100});
        pdf->strokeRect({10, 10, 80, 80});
        // Closed by the destructor.
    }
    std::ifstream in(dir.file("out.pdf"), std::ios::binary);
    std::string head(5, '\0');
    in.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");

    auto bitmap = Context::createBitmap({4, 4});
    EXPECT_TRUE(bitmap->savePng("/nonexistent/dir/x.png"));
    EXPECT_FALSE(bitmap->savePng(dir.file("x.png")));
    EXPECT_EQ(Image::sizeOfFile(dir.file("x.png")), (Size{4, 4}));
    // An unmatched restore is ignored instead of breaking the context.
    bitmap->restore();
    bitmap->fillRect({0, 0, 1, 1});
    EXPECT_FALSE(bitmap->error());
}

} // namespace gfx
