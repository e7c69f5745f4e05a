#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"

#include "Platform/Base/Log.h"
#include "Platform/Base/Memory.h"
#include "TestSupport.h"
#include "tests/Support/HostilePictures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>

namespace gfx {

namespace {

// Four coloured quadrants, one of them translucent, on a canvas of the given size.
Image quadrants(int width, int height, double scale = 1)
{
    auto context = Context::createBitmap({width / scale, height / scale}, scale);
    double w = width / scale / 2;
    double h = height / scale / 2;
    context->setFillColor(Color::red());
    context->fillRect({0, 0, w, h});
    context->setFillColor(Color::green());
    context->fillRect({w, 0, w, h});
    context->setFillColor(Color::blue().withAlpha(0.4));
    context->fillRect({0, h, w, h});
    context->setFillColor(Color::fromRgb(200, 150, 50));
    context->fillRect({w, h, w, h});
    return context->makeImage();
}

// Every premultiplied value a 0..255 channel and alpha can take, row by row.
Image allAlphas()
{
    auto context = Context::createBitmap({256, 16});
    cairo_surface_t* surface = cairo_get_target(context->cairo());
    cairo_surface_flush(surface);
    uint8_t* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < 16; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (uint32_t x = 0; x < 256; ++x) {
            uint32_t a = (x * 7 + y * 16) & 0xff;
            uint32_t c = a == 0 ? 0 : (x * 13 + y) % (a + 1);
            row[x] = a << 24 | c << 16 | (a - c) << 8 | (c / 2);
        }
    }
    cairo_surface_mark_dirty(surface);
    return context->makeImage();
}

void writeBytes(const std::string& path, const base::Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff);
        if (std::abs(d) > tolerance)
            return false;
    }
    return true;
}

} // namespace

TEST(Image, PngRoundTripKeepsEveryPixel)
{
    Image original = allAlphas();
    base::Bytes png = original.pngData();
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");

    Image decoded = Image::fromBytes(png);
    ASSERT_FALSE(decoded.isNull());
    ASSERT_EQ(decoded.pixelWidth(), original.pixelWidth());
    ASSERT_EQ(decoded.pixelHeight(), original.pixelHeight());
    int differing = 0;
    for (int y = 0; y < original.pixelHeight(); ++y)
        for (int x = 0; x < original.pixelWidth(); ++x)
            differing += original.pixelAt(x, y) != decoded.pixelAt(x, y);
    EXPECT_EQ(differing, 0);
}

TEST(Image, JpegSizeComesFromTheHeaderAlone)
{
    base::Bytes jpeg = quadrants(64, 40).jpegData(0.9);
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xff);
    EXPECT_EQ(jpeg[1], 0xd8);

    auto size = Image::sizeOfBytes(jpeg);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, (Size{64, 40}));

    // Cut the file where the compressed scan starts: no pixels remain, the size still reads.
    base::Bytes header;
    for (size_t i = 2; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xda) {
            header.assign(jpeg.begin(), jpeg.begin() + static_cast<long>(i));
            break;
        }
    }
    ASSERT_FALSE(header.empty());
    EXPECT_TRUE(Image::fromBytes(header).isNull());
    auto headerSize = Image::sizeOfBytes(header);
    ASSERT_TRUE(headerSize);
    EXPECT_EQ(*headerSize, (Size{64, 40}));

    test::TempDir dir;
    writeBytes(dir.file("cut.jpg"), header);
    EXPECT_EQ(Image::sizeOfFile(dir.file("cut.jpg")), (Size{64, 40}));
    EXPECT_TRUE(Image::fromFile(dir.file("cut.jpg")).isNull());
}

TEST(Image, PicturesAboveThePixelBudgetAreRefusedBeforeDecoding)
{
    base::Bytes huge = hostilefix::jpegDeclaring(23000, 23000);
    ASSERT_GT(huge.size(), 30000u);
    ASSERT_EQ(Image::sizeOfBytes(huge), (Size{23000, 23000}));
    test::TempDir dir;
    writeBytes(dir.file("huge.jpg"), huge);

    struct Case {
        const char* name;
        std::function<Image()> load;
    };
    const Case cases[] = {
        {"bytes", [&] { return Image::fromBytes(huge); }},
        {"file", [&] { return Image::fromFile(dir.file("huge.jpg")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base::ScopedLogCapture log;
        uint64_t residentBefore = base::Memory::residentBytes().value_or(0);
        auto start = std::chrono::steady_clock::now();
        Image image = c.load();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(image.isNull());
        EXPECT_TRUE(log.contains("23000 x 23000")) << "the log does not say why";
        EXPECT_LT(base::Memory::residentBytes().value_or(0), residentBefore + (200u << 20));
        // Refusal reads a header: well under 100 ms; the bound leaves room for a loaded machine.
        EXPECT_LT(seconds, 2.0);
    }

    // The same bytes declaring what they hold decode as usual.
    Image honest = Image::fromBytes(hostilefix::jpegDeclaring(160, 160));
    EXPECT_EQ(honest.pixelWidth(), 160);
}

TEST(Image, JpegDecodesCloseToTheOriginalAndQualityMatters)
{
    Image original = quadrants(64, 64);
    Image decoded = Image::fromBytes(original.jpegData(0.95));
    ASSERT_FALSE(decoded.isNull());
    EXPECT_TRUE(near(decoded.pixelAt(8, 8), 0xffff0000, 12));
    EXPECT_TRUE(near(decoded.pixelAt(56, 8), 0xff00ff00, 12));
    EXPECT_TRUE(near(decoded.pixelAt(56, 56), Color::fromRgb(200, 150, 50).toPremultipliedArgb(), 12));
    // JPEG has no alpha: the translucent blue lies on white.
    EXPECT_TRUE(near(decoded.pixelAt(8, 56), Color::fromRgb(153, 153, 255).toPremultipliedArgb(), 12));

    Image busy = allAlphas();
    EXPECT_LT(busy.jpegData(0.1).size(), busy.jpegData(1.0).size());
}

TEST(Image, ScaleFollowsTheFileName)
{
    test::TempDir dir;
    base::Bytes png = quadrants(40, 20).pngData();
    for (const char* name : {"plain.png", "icon@2x.png", "button@2x~ipad.png", "x@2xy.png"})
        writeBytes(dir.file(name), png);

    Image plain = Image::fromFile(dir.file("plain.png"));
    EXPECT_EQ(plain.scale(), 1);
    EXPECT_EQ(plain.size(), (Size{40, 20}));

    Image retina = Image::fromFile(dir.file("icon@2x.png"));
    EXPECT_EQ(retina.scale(), 2);
    EXPECT_EQ(retina.size(), (Size{20, 10}));
    EXPECT_EQ(retina.pixelWidth(), 40);
    EXPECT_EQ(Image::sizeOfFile(dir.file("icon@2x.png")), (Size{20, 10}));

    EXPECT_EQ(Image::fromFile(dir.file("button@2x~ipad.png")).scale(), 2);
    EXPECT_EQ(Image::fromFile(dir.file("x@2xy.png")).scale(), 1);
}

TEST(Image, UnreadableInputIsNull)
{
    base::Bytes garbage = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_TRUE(Image::fromBytes(garbage).isNull());
    EXPECT_FALSE(Image::sizeOfBytes(garbage));
    EXPECT_TRUE(Image::fromBytes({}).isNull());
    EXPECT_TRUE(Image::fromFile("/nonexistent/file.png").isNull());
    EXPECT_FALSE(Image::sizeOfFile("/nonexistent/file.png"));

    Image null;
    EXPECT_TRUE(null.pngData().empty());
    EXPECT_EQ(null.pixelAt(0, 0), 0u);
    EXPECT_TRUE(null.writePng("/tmp/never-written.png") != nullptr);
}

TEST(Image, AnAwaitedPictureDrawsItsStandInUntilItArrivesThenThePictureInEveryCopy)
{
    Image standIn = quadrants(40, 20);
    Image picture = quadrants(200, 100, 2);
    struct Case {
        const char* what;
        Image standIn;
        Image arriving; // null: nothing came, the stand-in stays
        bool arrives;
    };
    const std::vector<Case> cases = {
        {"a picture over a stand-in", standIn, picture, true},
        {"a picture over nothing", Image(), picture, true},
        {"nothing over a stand-in", standIn, Image(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto [awaited, arrive] = Image::awaited(c.standIn);
        Image capped = awaited.stretchable(EdgeInsets{1, 2, 3, 4});
        EXPECT_TRUE(awaited.awaitsPicture());
        EXPECT_EQ(awaited.isNull(), c.standIn.isNull());
        EXPECT_EQ(awaited.size(), c.standIn.size());
        EXPECT_EQ(awaited.cairoSurface(), c.standIn.cairoSurface());
        arrive(c.arriving);
        const Image& expected = c.arrives ? c.arriving : c.standIn;
        for (const Image* copy : {&awaited, &capped}) {
            EXPECT_EQ(copy->awaitsPicture(), !c.arrives);
            EXPECT_EQ(copy->cairoSurface(), expected.cairoSurface());
            EXPECT_EQ(copy->size(), expected.size());
            EXPECT_EQ(copy->scale(), expected.scale());
            EXPECT_EQ(copy->pixelAt(60, 10), expected.pixelAt(60, 10));
        }
        EXPECT_EQ(capped.capInsets(), (EdgeInsets{1, 2, 3, 4})) << "a copy keeps its own caps";
        // A second arrival changes nothing.
        arrive(quadrants(8, 8));
        EXPECT_EQ(awaited.cairoSurface(), expected.cairoSurface());
        if (c.arrives) {
            // Drawn through the resample cache as the picture, not as the stand-in.
            auto context = Context::createBitmap({100, 50}, 1);
            context->drawImage(awaited, {0, 0, 100, 50});
            EXPECT_EQ(context->makeImage().pixelAt(75, 10), picture.pixelAt(150, 20));
        }
    }
}

TEST(Image, ScaledCopyResamplesAtTheSameScale)
{
    Image source = quadrants(4, 4, 2); // 2x2 points
    Image big = source.scaledTo({20, 10});
    EXPECT_EQ(big.scale(), 2);
    EXPECT_EQ(big.size(), (Size{20, 10}));
    EXPECT_EQ(big.pixelWidth(), 40);
    EXPECT_EQ(big.pixelAt(2, 2), 0xffff0000u);
    EXPECT_EQ(big.pixelAt(37, 2), 0xff00ff00u);
    EXPECT_EQ(big.pixelAt(37, 17), Color::fromRgb(200, 150, 50).toPremultipliedArgb());
    // The edges are the image's own colour, not faded into transparency.
    EXPECT_EQ(big.pixelAt(0, 0) >> 24, 0xffu);
}

TEST(Image, StretchableCapsFromLeftAndTopLeaveOnePixelToStretch)
{
    Image image = quadrants(21, 11);
    Image caps = image.stretchable(10, 5);
    EXPECT_EQ(caps.capInsets(), (EdgeInsets{5, 10, 5, 10}));
    EXPECT_TRUE(caps.isStretchable());
    EXPECT_FALSE(image.isStretchable());
    EXPECT_EQ(caps.pixelAt(3, 3), image.pixelAt(3, 3));

    EXPECT_EQ(image.stretchable(10, 0).capInsets(), (EdgeInsets{0, 10, 0, 10}));
}

TEST(Image, CroppedCopiesThePixelRectangleClippedToTheImage)
{
    auto context = Context::createBitmap({20, 10}, 2);
    context->setFillColor(Color::white());
    context->fillRect({0, 0, 20, 10});
    context->setFillColor(Color::black());
    context->fillRect({5, 2, 1, 1}); // pixels (10..11, 4..5)
    Image image = context->makeImage();
    struct Case {
        Rect rect;
        int width, height;
        int blackX, blackY; // -1: no black pixel expected at all
    };
    for (Case c : {Case{{10, 4, 2, 2}, 2, 2, 0, 0}, Case{{8, 2, 10, 10}, 10, 10, 2, 2},
                   Case{{30, 10, 50, 50}, 10, 10, -1, -1}, Case{{-5, -5, 7, 7}, 2, 2, -1, -1}}) {
        Image part = image.cropped(c.rect);
        ASSERT_FALSE(part.isNull()) << c.rect.x();
        EXPECT_EQ(part.pixelWidth(), c.width);
        EXPECT_EQ(part.pixelHeight(), c.height);
        EXPECT_EQ(part.scale(), 2);
        int blacks = 0;
        for (int y = 0; y < part.pixelHeight(); ++y)
            for (int x = 0; x < part.pixelWidth(); ++x)
                if (part.pixelAt(x, y) == 0xFF000000u) {
                    ++blacks;
                    EXPECT_EQ(x - c.blackX >= 0 && x - c.blackX < 2, true);
                    EXPECT_EQ(y - c.blackY >= 0 && y - c.blackY < 2, true);
                }
        EXPECT_EQ(blacks, c.blackX < 0 ? 0 : 4);
    }
    EXPECT_TRUE(image.cropped({40, 0, 5, 5}).isNull());
    EXPECT_TRUE(image.cropped({0, 0, 0, 5}).isNull());
    EXPECT_TRUE(Image().cropped({0, 0, 5, 5}).isNull());
}

} // namespace gfx
