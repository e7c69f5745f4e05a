#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/ImageRedraw.h"

#include <gtest/gtest.h>

using namespace gfx;

namespace {

// Left half opaque red, right half opaque blue.
Image splitImage(int width, int height, double scale)
{
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    CairoContextRef cr(cairo_create(surface.get()));
    cairo_set_source_rgb(cr.get(), 1, 0, 0);
    cairo_rectangle(cr.get(), 0, 0, width / 2.0, height);
    cairo_fill(cr.get());
    cairo_set_source_rgb(cr.get(), 0, 0, 1);
    cairo_rectangle(cr.get(), width / 2.0, 0, width / 2.0, height);
    cairo_fill(cr.get());
    cairo_surface_flush(surface.get());
    return Image::fromSurface(surface.get(), scale);
}

TEST(ImageRedraw, GivesAScaleOneBitmapOfTheRoundedSizeKeepingThePicture)
{
    Image source = splitImage(400, 200, 2); // 200 by 100 points
    Image small = redrawnImage(source, Size {39.6, 20.2});
    ASSERT_FALSE(small.isNull());
    EXPECT_EQ(small.scale(), 1);
    EXPECT_EQ(small.pixelWidth(), 40);
    EXPECT_EQ(small.pixelHeight(), 20);
    EXPECT_EQ(small.size(), (Size {40, 20}));
    // Edges keep their colour and stay opaque (no transparent border sampled in).
    EXPECT_EQ(small.pixelAt(0, 0), 0xFFFF0000u);
    EXPECT_EQ(small.pixelAt(39, 19), 0xFF0000FFu);
    EXPECT_EQ(small.pixelAt(5, 10), 0xFFFF0000u);
    EXPECT_EQ(small.pixelAt(34, 10), 0xFF0000FFu);
}

TEST(ImageRedraw, EnlargesAndNeverGoesBelowOnePixel)
{
    Image source = splitImage(4, 2, 1);
    Image big = redrawnImage(source, Size {40, 20});
    EXPECT_EQ(big.pixelWidth(), 40);
    EXPECT_EQ(big.pixelAt(2, 10), 0xFFFF0000u);
    EXPECT_EQ(big.pixelAt(37, 10), 0xFF0000FFu);

    Image tiny = redrawnImage(source, Size {0.2, 0});
    EXPECT_EQ(tiny.pixelWidth(), 1);
    EXPECT_EQ(tiny.pixelHeight(), 1);
    EXPECT_TRUE(redrawnImage(Image(), Size {10, 10}).isNull());
}

} // namespace
