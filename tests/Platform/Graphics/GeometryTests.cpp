#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace gfx {

namespace {

void expectNear(Point a, Point b)
{
    EXPECT_NEAR(a.x, b.x, 1e-9);
    EXPECT_NEAR(a.y, b.y, 1e-9);
}

void expectNear(const Rect& a, const Rect& b)
{
    EXPECT_NEAR(a.x(), b.x(), 1e-9);
    EXPECT_NEAR(a.y(), b.y(), 1e-9);
    EXPECT_NEAR(a.width(), b.width(), 1e-9);
    EXPECT_NEAR(a.height(), b.height(), 1e-9);
}

} // namespace

TEST(Rect, EdgesOfNegativeSizesAreStandardized)
{
    Rect r(10, 20, -4, 6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.midX(), 8);
    EXPECT_EQ(r.minY(), 20);
    EXPECT_EQ(r.maxY(), 26);
    EXPECT_EQ(r.standardized(), Rect(6, 20, 4, 6));
}

TEST(Rect, ContainsIsHalfOpenAtTheFarEdges)
{
    Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(Point{0, 0}));
    EXPECT_TRUE(r.contains(Point{9.99, 9.99}));
    EXPECT_FALSE(r.contains(Point{10, 5}));
    EXPECT_FALSE(r.contains(Point{5, 10}));
    EXPECT_FALSE(Rect(0, 0, 0, 10).contains(Point{0, 5}));
    EXPECT_TRUE(r.contains(Rect(2, 2, 8, 8)));
    EXPECT_FALSE(r.contains(Rect(2, 2, 9, 8)));
}

TEST(Rect, IntersectionAndUnion)
{
    Rect a(0, 0, 10, 10);
    Rect b(5, -5, 10, 10);
    EXPECT_EQ(a.intersection(b), Rect(5, 0, 5, 5));
    EXPECT_TRUE(a.intersects(b));

    // Touching and disjoint rects share no area.
    EXPECT_TRUE(a.intersection(Rect(10, 0, 5, 5)).isNull());
    EXPECT_FALSE(a.intersects(Rect(20, 20, 1, 1)));
    EXPECT_TRUE(Rect::null().isEmpty());
    EXPECT_FALSE(Rect(0, 0, 0, 0).isNull());

    EXPECT_EQ(a.united(b), Rect(0, -5, 15, 15));
    EXPECT_EQ(Rect::null().united(b), b);
    EXPECT_EQ(a.united(Rect::null()), a);
}

TEST(Rect, InsetOffsetAndIntegral)
{
    Rect r(10, 10, 100, 50);
    EXPECT_EQ(r.insetBy(5, 10), Rect(15, 20, 90, 30));
    EXPECT_EQ(r.insetBy(-5, 0), Rect(5, 10, 110, 50));
    EXPECT_TRUE(r.insetBy(60, 0).isNull());
    EXPECT_EQ(EdgeInsets({1, 2, 3, 4}).inset(r), Rect(12, 11, 94, 46));
    EXPECT_EQ(r.offsetBy(-10, 5), Rect(0, 15, 100, 50));
    EXPECT_EQ(Rect(0.5, 1.2, 2.0, 2.9).integral(), Rect(0, 1, 3, 4));
    EXPECT_EQ(Rect(-0.5, -0.5, 1, 1).integral(), Rect(-1, -1, 2, 2));
}

TEST(AffineTransform, StepsApplyBeforeTheExistingTransform)
{
    // As on a drawing context: translate, then scale, scales the user space inside the translation.
    AffineTransform t = AffineTransform::identity().translated(10, 0).scaled(2, 2);
    expectNear(t.apply(Point{1, 1}), Point{12, 2});

    AffineTransform r = AffineTransform::rotation(M_PI / 2);
    expectNear(r.apply(Point{1, 0}), Point{0, 1});
    expectNear(r.apply(Point{0, 1}), Point{-1, 0});

    // concatenated: this first, then the other.
    AffineTransform c = AffineTransform::scaling(2, 2).concatenated(AffineTransform::translation(5, 0));
    expectNear(c.apply(Point{1, 1}), Point{7, 2});
    AffineTransform d = AffineTransform::translation(5, 0).concatenated(AffineTransform::scaling(2, 2));
    expectNear(d.apply(Point{1, 1}), Point{12, 2});
}

TEST(AffineTransform, InverseUndoesAndSingularHasNone)
{
    AffineTransform t = AffineTransform::translation(3, -7).rotated(0.7).scaled(2, 0.5);
    auto inverse = t.inverted();
    ASSERT_TRUE(inverse.has_value());
    expectNear(inverse->apply(t.apply(Point{4, 9})), Point{4, 9});
    expectNear(t.concatenated(*inverse).apply(Point{1, 2}), Point{1, 2});
    EXPECT_FALSE(AffineTransform::scaling(0, 1).inverted().has_value());
}

TEST(AffineTransform, SizesIgnoreTranslationAndRectsGetTheirBoundingBox)
{
    AffineTransform t = AffineTransform::translation(100, 100).scaled(2, 3);
    Size s = t.apply(Size{4, 5});
    EXPECT_DOUBLE_EQ(s.width, 8);
    EXPECT_DOUBLE_EQ(s.height, 15);

    expectNear(AffineTransform::rotation(M_PI / 2).apply(Rect(0, 0, 10, 20)), Rect(-20, 0, 20, 10));
    expectNear(AffineTransform::rotation(M_PI / 4).apply(Rect(-1, -1, 2, 2)),
               Rect(-M_SQRT2, -M_SQRT2, 2 * M_SQRT2, 2 * M_SQRT2));
}

TEST(Color, HexForms)
{
    EXPECT_EQ(Color::fromHex("#ff8000"), Color::fromRgb(255, 128, 0));
    EXPECT_EQ(Color::fromHex("0000FF"), Color::blue());
    EXPECT_EQ(Color::fromHex("#fff"), Color::white());
    auto translucent = Color::fromHex("#00000080");
    ASSERT_TRUE(translucent);
    EXPECT_NEAR(translucent->a, 128 / 255.0, 1e-12);
    EXPECT_FALSE(Color::fromHex("#12345"));
    EXPECT_FALSE(Color::fromHex("#gg0000"));
    EXPECT_FALSE(Color::fromHex(""));
}

TEST(Color, ContrastRatios)
{
    struct Case {
        Color a, b;
        double ratio;
    };
    // Known pairs: the extremes, a mid grey, and the grey-on-brown tab captions that could not be read.
    const Case cases[] = {
        {Color::black(), Color::white(), 21.0},
        {Color::white(), Color::black(), 21.0},
        {Color::red(), Color::red(), 1.0},
        {Color::fromRgb(118, 118, 118), Color::white(), 4.54},
        {Color::fromRgb(70, 70, 70), Color::fromRgb(78, 38, 26), 1.38},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(Color::contrastRatio(c.a, c.b), c.ratio, 0.01) << c.a.r << "," << c.a.g << "," << c.a.b;
}

TEST(Color, PremultipliedPixels)
{
    EXPECT_EQ(Color::red().toPremultipliedArgb(), 0xffff0000u);
    EXPECT_EQ(Color::white().withAlpha(0.5).toPremultipliedArgb(), 0x80808080u);
    EXPECT_EQ(Color::clear().toPremultipliedArgb(), 0u);
    Color c = Color::fromPremultipliedArgb(0x80800000);
    EXPECT_NEAR(c.r, 1, 1e-9);
    EXPECT_NEAR(c.a, 128 / 255.0, 1e-9);
    EXPECT_EQ(Color::fromPremultipliedArgb(0), Color::clear());
}

} // namespace gfx
