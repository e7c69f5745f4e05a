#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"

#include "Platform/Base/Log.h"
#include "Platform/Base/Memory.h"
#include "TestSupport.h"
#include "tests/Support/DamagedPictures.h"
#include "tests/Support/HostilePictures.h"
#include "tests/Support/LargePictures.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

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

bool readAll(const std::string& path, base::Bytes& out)
{
    std::ifstream in(path, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !out.empty();
}

// A JPEG whose first Huffman table counts more codes than a table may hold.
base::Bytes withBogusHuffmanTable(base::Bytes jpeg)
{
    for (size_t at = 2; at + 21 < jpeg.size(); ++at)
        if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xC4) {
            std::fill(jpeg.begin() + std::ptrdiff_t(at + 5), jpeg.begin() + std::ptrdiff_t(at + 21), 0xFF);
            return jpeg;
        }
    return {};
}

// A PNG whose header says it is no pixels wide.
base::Bytes withHeaderWidthZero(base::Bytes png)
{
    std::fill(png.begin() + 16, png.begin() + 20, 0);
    return png;
}

// A PNG whose header reads well over compressed data that does not.
base::Bytes withBrokenPictureData(base::Bytes png)
{
    for (size_t at = 8; at + 12 < png.size(); ++at)
        if (std::memcmp(&png[at], "IDAT", 4) == 0) {
            png[at + 4] = png[at + 5] = 0xFF;
            return png;
        }
    return {};
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

// A 16-bit PNG whose rows use each of the five filters in turn, so every one is undone.
base::Bytes filteredPng16(int width, int height, int channels, const std::function<uint16_t(int, int, int)>& sample,
                          std::optional<base::Bytes> transparentKey = std::nullopt)
{
    static const uint8_t kColourType[5] = {0, 0, 4, 2, 6};
    base::Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    base::Bytes header;
    largepictures::put32(header, static_cast<uint32_t>(width));
    largepictures::put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {16, kColourType[channels], 0, 0, 0});
    largepictures::pngChunk(out, "IHDR", header);
    if (transparentKey)
        largepictures::pngChunk(out, "tRNS", *transparentKey);
    size_t step = size_t(channels) * 2, length = size_t(width) * step;
    std::vector<uint8_t> above(length, 0), raw(length);
    base::Bytes filtered;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                uint16_t v = sample(x, y, c);
                raw[size_t(x) * step + size_t(c) * 2] = uint8_t(v >> 8);
                raw[size_t(x) * step + size_t(c) * 2 + 1] = uint8_t(v);
            }
        uint8_t type = uint8_t(y % 5);
        filtered.push_back(type);
        for (size_t i = 0; i < length; ++i) {
            int a = i >= step ? raw[i - step] : 0, b = above[i], c = i >= step ? above[i - step] : 0;
            int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            int predicted[5] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : (pb <= pc ? b : c)};
            filtered.push_back(uint8_t(raw[i] - predicted[type]));
        }
        above = raw;
    }
    base::Bytes compressed(compressBound(static_cast<uLong>(filtered.size())));
    uLongf size = static_cast<uLongf>(compressed.size());
    compress(compressed.data(), &size, filtered.data(), static_cast<uLong>(filtered.size()));
    compressed.resize(size);
    largepictures::pngChunk(out, "IDAT", compressed);
    largepictures::pngChunk(out, "IEND", {});
    return out;
}

// An RGBE picture of rows of one pixel repeated, run-length coded or flat by its width.
base::Bytes rgbePicture(int width, int height, const std::function<std::array<uint8_t, 4>(int)>& rowPixel)
{
    std::string head = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(height) + " +X " + std::to_string(width) + "\n";
    base::Bytes out(head.begin(), head.end());
    for (int y = 0; y < height; ++y) {
        std::array<uint8_t, 4> pixel = rowPixel(y);
        if (width < 8) {
            for (int x = 0; x < width; ++x)
                out.insert(out.end(), pixel.begin(), pixel.end());
            continue;
        }
        out.insert(out.end(), {2, 2, uint8_t(width >> 8), uint8_t(width & 0xff)});
        for (uint8_t value : pixel) {
            // One literal, then the rest as a run.
            out.insert(out.end(), {1, value, uint8_t(128 + width - 1), value});
        }
    }
    return out;
}

TEST(Image, DeepPicturesDecodeRowByRowIntoEightBitsAtTheSizeShown)
{
    // Samples constant over 2 x 2 blocks, so the picture fitted to half its size keeps them.
    auto sample = [](int x, int y, int c) { return uint16_t(((x / 2) * 9000 + (y / 2) * 7000 + c * 13000) & 0xffff); };
    auto alpha = [](int x, int y) { return uint16_t((x / 2 + y / 2) % 2 ? 0xffff : 0x8000); };
    struct Case {
        const char* what;
        base::Bytes bytes;
        // The straight 8-bit RGBA the pixel shows, before premultiplying.
        std::function<std::array<int, 4>(int, int)> expected;
    };
    auto high = [&](int x, int y, int c) { return sample(x, y, c) >> 8; };
    const std::vector<Case> cases = {
        {"grey", filteredPng16(10, 12, 1, sample), [&](int x, int y) { return std::array<int, 4>{high(x, y, 0), high(x, y, 0), high(x, y, 0), 255}; }},
        {"grey and alpha", filteredPng16(10, 12, 2, [&](int x, int y, int c) { return c ? alpha(x, y) : sample(x, y, 0); }),
         [&](int x, int y) { return std::array<int, 4>{high(x, y, 0), high(x, y, 0), high(x, y, 0), alpha(x, y) >> 8}; }},
        {"rgb", filteredPng16(10, 12, 3, sample), [&](int x, int y) { return std::array<int, 4>{high(x, y, 0), high(x, y, 1), high(x, y, 2), 255}; }},
        {"rgba", filteredPng16(10, 12, 4, [&](int x, int y, int c) { return c == 3 ? alpha(x, y) : sample(x, y, c); }),
         [&](int x, int y) { return std::array<int, 4>{high(x, y, 0), high(x, y, 1), high(x, y, 2), alpha(x, y) >> 8}; }},
        // The colour the transparency chunk names is see-through; its neighbours are not.
        {"rgb with a transparent colour",
         filteredPng16(10, 12, 3, sample, base::Bytes{uint8_t(sample(0, 0, 0) >> 8), uint8_t(sample(0, 0, 0)),
                                                      uint8_t(sample(0, 0, 1) >> 8), uint8_t(sample(0, 0, 1)),
                                                      uint8_t(sample(0, 0, 2) >> 8), uint8_t(sample(0, 0, 2))}),
         [&](int x, int y) {
             bool key = x < 2 && y < 2;
             return std::array<int, 4>{high(x, y, 0), high(x, y, 1), high(x, y, 2), key ? 0 : 255};
         }},
        // 1.0 shows white, 0.5 as 186 under a gamma of 2.2, a zero exponent black.
        {"hdr in runs", rgbePicture(16, 6, [](int y) { return y / 2 == 0 ? std::array<uint8_t, 4>{128, 64, 0, 129}
                                                         : y / 2 == 1 ? std::array<uint8_t, 4>{64, 128, 128, 129}
                                                                      : std::array<uint8_t, 4>{200, 200, 200, 0}; }),
         [](int, int y) { return y / 2 == 0 ? std::array<int, 4>{255, 186, 0, 255}
                                 : y / 2 == 1 ? std::array<int, 4>{186, 255, 255, 255}
                                              : std::array<int, 4>{0, 0, 0, 255}; }},
        {"hdr flat", rgbePicture(4, 4, [](int) { return std::array<uint8_t, 4>{128, 64, 0, 129}; }),
         [](int, int) { return std::array<int, 4>{255, 186, 0, 255}; }},
    };
    auto premultiplied = [](const std::array<int, 4>& p) {
        auto times = [&](int c) { return (c * p[3] + 127) / 255; };
        return std::array<int, 4>{times(p[0]), times(p[1]), times(p[2]), p[3]};
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Image whole = Image::fromBytes(c.bytes);
        ASSERT_TRUE(whole);
        Size size = *Image::sizeOfBytes(c.bytes);
        EXPECT_EQ(whole.size(), size);
        Image half = Image::fromBytesFitting(c.bytes, {size.width / 2, size.height / 2});
        ASSERT_TRUE(half);
        EXPECT_EQ(half.size(), (Size{size.width / 2, size.height / 2}));
        for (const Image* image : {&whole, &half}) {
            int factor = image == &half ? 2 : 1;
            for (int y = 0; y < image->pixelHeight(); ++y)
                for (int x = 0; x < image->pixelWidth(); ++x) {
                    uint32_t p = image->pixelAt(x, y);
                    std::array<int, 4> got{int(p >> 16 & 0xff), int(p >> 8 & 0xff), int(p & 0xff), int(p >> 24)};
                    std::array<int, 4> want = premultiplied(c.expected(x * factor, y * factor));
                    for (int k = 0; k < 4; ++k)
                        ASSERT_NEAR(got[k], want[k], 1) << "at " << x << "," << y << " of " << image->pixelWidth();
                }
        }
        // Cut short: no picture, never a half one.
        base::Bytes cut(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(c.bytes.size() * 3 / 4));
        EXPECT_FALSE(Image::fromBytes(cut));
    }
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

    // A GIF whose picture data ends early is no picture (the caller shows its default), not a
    // transparent one; one missing only its closing byte is whole.
    base::Bytes gif = largepictures::gif(40);
    EXPECT_EQ(Image::fromBytes(gif).pixelWidth(), 40);
    EXPECT_EQ(Image::fromBytes(base::Bytes(gif.begin(), gif.end() - 1)).pixelWidth(), 40);
    for (size_t keep : {gif.size() / 2, gif.size() - 3, size_t(20)})
        EXPECT_TRUE(Image::fromBytes(base::Bytes(gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(keep))).isNull()) << keep;

    Image null;
    EXPECT_TRUE(null.pngData().empty());
    EXPECT_EQ(null.pixelAt(0, 0), 0u);
    EXPECT_TRUE(null.writePng("/tmp/never-written.png") != nullptr);
}

// What a picture whose data does not hold it whole gives, by shape and by what the caller
// takes: only what it is drawn from counts (a GIF's first frame), a file that lacks only its
// closing marker is whole, and the decoder's reason goes to a caller that logs the refusal
// itself instead of to the log.
TEST(Image, PicturesNotHeldWholeByTheirData)
{
    using damagedpictures::cutOff;
    using damagedpictures::withoutEndMarker;
    const base::Bytes photo = largepictures::jpeg(1600, false);
    const base::Bytes progressive = largepictures::jpeg(1600, true);
    // So small that the file's end is met while its first row of blocks is decoded.
    const base::Bytes tiny = largepictures::encodeJpeg(8, 16, false, 90, [](int, int) { return 0x808080u; });
    struct Case {
        const char* name;
        base::Bytes bytes;
        Image::PartialData partial;
        bool decoded;
        const char* reason; // in the refusal, when not decoded
        // Decoded, the picture its whole file gives, pixel for pixel, else its rows below
        // `clearFrom` (of 400) left clear.
        const base::Bytes* sameAs = nullptr;
        int clearFrom = 400;
    } cases[] = {
        {"animation whose first frame is a corner", damagedpictures::manyFrameGif(300, 200, 50, 8),
         Image::PartialData::Refused, true, ""},
        {"one frame in a corner of its screen", damagedpictures::manyFrameGif(300, 200, 1, 8), Image::PartialData::Shown,
         true, ""},
        {"animation whose first frame is whole", damagedpictures::manyFrameGif(40, 40, 50, 40), Image::PartialData::Refused,
         true, ""},
        {"animation cut after a whole first frame", cutOff(damagedpictures::manyFrameGif(40, 40, 50, 40), 0.5),
         Image::PartialData::Refused, true, ""},
        {"cut-off photo, shown as far as it goes", cutOff(photo, 0.5), Image::PartialData::Shown, true, "", nullptr, 200},
        {"cut-off photo, refused", cutOff(photo, 0.5), Image::PartialData::Refused, false, "ends before the picture does"},
        {"photo cut in its last row of blocks", base::Bytes(photo.begin(), photo.end() - 600),
         Image::PartialData::Refused, false, "ends before the picture does"},
        {"cut-off progressive photo, refused", cutOff(progressive, 0.5), Image::PartialData::Refused, false,
         "ends before the picture does"},
        {"whole photo", progressive, Image::PartialData::Refused, true, "", &progressive},
        {"photo without its end marker", withoutEndMarker(photo), Image::PartialData::Refused, true, "", &photo},
        {"photo without its end marker, shown", withoutEndMarker(photo), Image::PartialData::Shown, true, "", &photo},
        {"progressive photo without its end marker", withoutEndMarker(progressive), Image::PartialData::Refused, true, "",
         &progressive},
        {"small photo without its end marker", withoutEndMarker(tiny), Image::PartialData::Refused, true, "", &tiny},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        base::ScopedLogCapture log;
        DecodeRefusals refusals;
        Image image = Image::fromBytesFitting(c.bytes, {400, 400}, 1, DecodeBudget::Priority::Background, c.partial);
        EXPECT_EQ(!image.isNull(), c.decoded);
        EXPECT_NE(refusals.reason().find(c.reason), std::string::npos) << refusals.reason();
        EXPECT_EQ(refusals.reason().empty(), c.decoded);
        EXPECT_TRUE(log.lines().empty()) << "logged besides: " << log.lines().front();
        if (image.isNull())
            continue;
        if (c.sameAs) {
            Image whole = Image::fromBytesFitting(*c.sameAs, {400, 400});
            ASSERT_EQ(image.pixelWidth(), whole.pixelWidth());
            ASSERT_EQ(image.pixelHeight(), whole.pixelHeight());
            int differing = 0;
            for (int y = 0; y < image.pixelHeight(); ++y)
                for (int x = 0; x < image.pixelWidth(); ++x)
                    differing += image.pixelAt(x, y) != whole.pixelAt(x, y);
            EXPECT_EQ(differing, 0);
        } else if (image.pixelHeight() == 400) {
            // Each row is opaque where the data reached it and clear below, with no grey made up.
            for (int y : {0, c.clearFrom - 20, c.clearFrom + 20, 399}) {
                if (y >= 0 && y < 400) {
                    EXPECT_EQ(image.pixelAt(200, y) >> 24, y < c.clearFrom ? 0xffu : 0u) << "row " << y;
                }
            }
        }
    }
}

// Decoded whole, at its own size, a JPEG that lacks only its closing marker is the picture its
// whole file gives, of colours or of inks; one whose picture data is cut off is still no
// picture there.
TEST(Image, AJpegWithoutItsEndMarkerIsWholeAtItsOwnSizeToo)
{
    const base::Bytes photo = largepictures::jpeg(600, false);
    const base::Bytes progressive = largepictures::jpeg(600, true);
    const base::Bytes cmyk = largepictures::inkJpeg(600, JCS_CMYK);
    const base::Bytes ycck = largepictures::inkJpeg(600, JCS_YCCK);
    struct Case {
        const char* name;
        base::Bytes bytes;
        const base::Bytes* sameAs; // null: refused
    } cases[] = {
        {"photo without its end marker", damagedpictures::withoutEndMarker(photo), &photo},
        {"progressive photo without its end marker", damagedpictures::withoutEndMarker(progressive), &progressive},
        {"photo cut in its last row of blocks", base::Bytes(photo.begin(), photo.end() - 300), nullptr},
        {"photo cut half-way", damagedpictures::cutOff(photo, 0.5), nullptr},
        {"progressive photo cut half-way", damagedpictures::cutOff(progressive, 0.5), nullptr},
        {"CMYK photo without its end marker", damagedpictures::withoutEndMarker(cmyk), &cmyk},
        {"YCCK photo without its end marker", damagedpictures::withoutEndMarker(ycck), &ycck},
        {"CMYK photo cut half-way", damagedpictures::cutOff(cmyk, 0.5), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        for (bool fitting : {false, true}) {
            SCOPED_TRACE(fitting ? "fitting a larger box" : "whole");
            base::ScopedLogCapture log;
            Image image = fitting ? Image::fromBytesFitting(c.bytes, {1000, 1000}) : Image::fromBytes(c.bytes);
            ASSERT_EQ(image.isNull(), c.sameAs == nullptr);
            if (!c.sameAs)
                continue;
            EXPECT_TRUE(log.lines().empty()) << log.lines().front();
            Image whole = Image::fromBytes(*c.sameAs);
            ASSERT_EQ(image.pixelWidth(), 600);
            ASSERT_EQ(image.pixelHeight(), 600);
            // Another decoder reads it than the whole file's: the same picture within rounding.
            int differing = 0;
            for (int y = 0; y < 600; y += 3)
                for (int x = 0; x < 600; x += 3)
                    differing += !near(image.pixelAt(x, y), whole.pixelAt(x, y), 6);
            EXPECT_EQ(differing, 0);
            EXPECT_EQ(image.pixelAt(599, 599) >> 24, 0xffu);
        }
    }
}

// A GIF draws its first frame over a clear screen wherever that frame lies, whatever follows
// it; one whose first frame gives no pixel is no picture, refused from its bytes before any
// room is taken for it, and says why.
TEST(Image, AGifDrawsItsFirstFrameOverAClearScreen)
{
    using damagedpictures::GifFrame;
    using Data = GifFrame::Data;
    // An animation optimised to what changes: a first frame of the part its content covers,
    // then small patches.
    std::vector<GifFrame> optimised = {{10, 12, 100, 60, 40}};
    for (int i = 0; i < 30; ++i)
        optimised.push_back({20 + i, 20, 6, 6, 200});
    std::vector<GifFrame> emptyFirst = {{0, 0, 120, 80, 0, Data::Absent}, {0, 0, 120, 80, 90}};
    std::vector<GifFrame> pixelsFirst = {{0, 0, 120, 80, 90}};
    for (int i = 0; i < 10'000; ++i)
        pixelsFirst.push_back({0, 0, 120, 80, 0, Data::Absent});
    struct Probe {
        int x, y;
        int colour; // the table's index there, or -1 for clear
    };
    struct Case {
        const char* name;
        base::Bytes bytes;
        std::vector<Probe> probes; // none: refused
    } cases[] = {
        {"optimised animation", damagedpictures::gifOfFrames(120, 80, optimised, 255),
         {{10, 12, 40}, {109, 71, 40 + 59}, {9, 12, -1}, {110, 50, -1}, {119, 79, -1}, {0, 0, -1}}},
        {"trimmed, keeping its place", damagedpictures::gifOfFrames(300, 200, {{200, 120, 50, 40, 7}}),
         {{200, 120, 7}, {249, 159, 7 + 39}, {199, 130, -1}, {0, 0, -1}, {299, 199, -1}}},
        {"first frame of pixels, then frames of none", damagedpictures::gifOfFrames(120, 80, pixelsFirst),
         {{0, 0, 90}, {119, 79, 90 + 79}}},
        {"frames with no data", damagedpictures::framesWithoutPixels(120, 80, 10'000, Data::Absent), {}},
        {"frames with only a clear and an end", damagedpictures::framesWithoutPixels(120, 80, 10'000, Data::ClearAndEnd),
         {}},
        {"a first frame with no data before one of pixels", damagedpictures::gifOfFrames(120, 80, emptyFirst), {}},
        {"a large screen of frames with no data", damagedpictures::framesWithoutPixels(7000, 7000, 10'000, Data::Absent),
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool drawn = !c.probes.empty();
        ASSERT_TRUE(Image::sizeOfBytes(c.bytes));
        for (bool fitting : {false, true}) {
            SCOPED_TRACE(fitting ? "fitting" : "whole");
            DecodeBudget::shared().resetPeak();
            base::ScopedLogCapture log;
            Image image = fitting ? Image::fromBytesFitting(c.bytes, {8000, 8000}) : Image::fromBytes(c.bytes);
            ASSERT_EQ(!image.isNull(), drawn);
            if (!drawn) {
                EXPECT_EQ(DecodeBudget::shared().peakInFlight(), 0u) << "room taken for a picture refused";
                ASSERT_EQ(log.lines().size(), 1u);
                EXPECT_NE(log.lines().front().find("first frame carries no pixels"), std::string::npos)
                    << log.lines().front();
                continue;
            }
            EXPECT_TRUE(log.lines().empty()) << log.lines().front();
            EXPECT_EQ(image.size(), *Image::sizeOfBytes(c.bytes));
            for (const Probe& p : c.probes) {
                uint32_t expected = p.colour < 0 ? 0u
                                                 : 0xff000000u | uint32_t(p.colour) << 16 | uint32_t(255 - p.colour) << 8
                        | uint32_t(p.colour / 2);
                EXPECT_EQ(image.pixelAt(p.x, p.y), expected) << p.x << "," << p.y;
            }
        }
    }
}

// A GIF's first frame is drawn over a clear canvas, as browsers draw it: what the frame does not
// reach is transparent whatever background colour the file names, and inside the frame the
// pixels are the reference decoder's. The files come from another encoder (its codes grow to
// twelve bits and its table fills), each with a background index of 0 and of another colour.
TEST(Image, AGifsFirstFrameIsDrawnAsTheReferenceDrawsItOverAClearCanvas)
{
    test::TempDir dir;
    struct Shape {
        const char* name;
        const char* convertArguments;
    } shapes[] = {
        {"inset", "-seed 7 -size 200x150 plasma:fractal +dither -colors 230 -repage 400x300+50+60"},
        {"interlaced", "-seed 9 -size 200x150 plasma:fractal +dither -colors 230 -interlace GIF -repage 400x300+150+100"},
        {"trimmed", "-size 300x200 xc:none -fill blue -draw 'circle 150,100 150,150' -trim"},
        {"see-through colour", "-size 120x90 gradient:red-blue +dither -colors 64 -fill white -draw 'rectangle 10,10 40,40' "
                               "-transparent white -repage 200x100+20+5"},
    };
    for (const Shape& shape : shapes) {
        const std::string made = dir.file("made.gif");
        test::commandOutput(std::string("convert ") + shape.convertArguments + " " + made);
        base::Bytes file;
        ASSERT_TRUE(readAll(made, file)) << "the reference tools are installed by scripts/setup.sh";
        int canvasWidth = 0, canvasHeight = 0, width = 0, height = 0, left = 0, top = 0;
        ASSERT_EQ(std::sscanf(test::commandOutput("identify -format '%W %H %w %h %X %Y' '" + made + "[0]'").c_str(),
                              "%d %d %d %d %d %d", &canvasWidth, &canvasHeight, &width, &height, &left, &top),
                  6);
        ASSERT_LT(width * height, canvasWidth * canvasHeight) << shape.name << ": the frame covers its canvas";
        const std::string reference = test::commandOutput("convert '" + made + "[0]' -depth 8 rgba:-");
        ASSERT_EQ(reference.size(), size_t(width) * size_t(height) * 4);
        for (uint8_t background : {0, 5}) {
            SCOPED_TRACE(std::string(shape.name) + ", background index " + std::to_string(background));
            base::Bytes bytes = file;
            bytes[11] = background;
            for (bool fitting : {false, true}) {
                SCOPED_TRACE(fitting ? "fitting a larger box" : "whole");
                base::ScopedLogCapture log;
                Image image = fitting ? Image::fromBytesFitting(bytes, {1000, 1000}) : Image::fromBytes(bytes);
                ASSERT_EQ(image.pixelWidth(), canvasWidth);
                ASSERT_EQ(image.pixelHeight(), canvasHeight);
                EXPECT_TRUE(log.lines().empty()) << log.lines().front();
                int differing = 0, opaqueOutside = 0;
                for (int y = 0; y < canvasHeight; ++y)
                    for (int x = 0; x < canvasWidth; ++x) {
                        uint32_t pixel = image.pixelAt(x, y);
                        if (x < left || y < top || x >= left + width || y >= top + height) {
                            opaqueOutside += pixel != 0;
                            continue;
                        }
                        auto* p = reinterpret_cast<const uint8_t*>(reference.data())
                            + (size_t(y - top) * size_t(width) + size_t(x - left)) * 4;
                        uint32_t expected = p[3] == 0 ? 0u : uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
                        differing += pixel != expected;
                    }
                EXPECT_EQ(opaqueOutside, 0);
                EXPECT_EQ(differing, 0);
            }
        }
    }
}

// A first frame of one pixel on the largest canvas a GIF may have costs what that pixel costs,
// shown small or whole; the canvas around it is clear.
TEST(Image, AGifsCostIsItsFirstFramesNotItsCanvass)
{
    base::Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x36, 0x1F, 0x36, 0x1F, 0xF0, 1, 0, 0, 0, 0, 255, 255, 255};
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
    ASSERT_EQ(Image::sizeOfBytes(gif), (Size{7990, 7990}));
    auto cost = Image::decodeCostFitting(gif, {400, 400});
    ASSERT_TRUE(cost);
    EXPECT_LT(*cost, size_t(2) << 20);
    for (bool fitting : {true, false}) {
        SCOPED_TRACE(fitting ? "fitting" : "whole");
        DecodeBudget::shared().resetPeak();
        Image image = fitting ? Image::fromBytesFitting(gif, {400, 400}) : Image::fromBytes(gif);
        ASSERT_EQ(image.pixelWidth(), fitting ? 400 : 7990);
        // The pixel is a four-hundredth of its corner's area.
        EXPECT_EQ(image.pixelAt(0, 0), fitting ? 0x01000000u : 0xff000000u);
        EXPECT_EQ(image.pixelAt(1, 0), 0u);
        EXPECT_EQ(image.pixelAt(399, 399), 0u);
        if (fitting) {
            EXPECT_LT(DecodeBudget::shared().peakInFlight(), size_t(2) << 20);
        }
    }
}

// A GIF of one frame on a small canvas whose picture data gives `indices` in the order stored,
// each a literal code of nine bits, then an end.
base::Bytes smallGif(int canvasWidth, int canvasHeight, const std::vector<uint32_t>& table, std::array<int, 4> frame,
                     bool interlaced, const std::vector<uint8_t>& indices)
{
    base::Bytes out = {'G', 'I', 'F', '8', '9', 'a', uint8_t(canvasWidth), 0, uint8_t(canvasHeight), 0};
    int bits = 0;
    while ((2u << bits) < table.size())
        ++bits;
    out.insert(out.end(), {uint8_t(0x80 | bits), 0, 0});
    for (size_t i = 0; i < (size_t(2) << bits); ++i) {
        uint32_t c = i < table.size() ? table[i] : 0;
        out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
    out.push_back(0x2C);
    for (int v : frame)
        out.insert(out.end(), {uint8_t(v), 0});
    out.insert(out.end(), {uint8_t(interlaced ? 0x40 : 0), 8});
    base::Bytes codes;
    uint32_t pending = 0;
    int count = 0;
    auto emit = [&](uint32_t code) {
        pending |= code << count;
        for (count += 9; count >= 8; count -= 8, pending >>= 8)
            codes.push_back(uint8_t(pending));
    };
    emit(256);
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 250 == 249)
            emit(256); // the table never grows past nine bits
        emit(indices[i]);
    }
    emit(257);
    if (count > 0)
        codes.push_back(uint8_t(pending));
    for (size_t i = 0; i < codes.size(); i += 255) {
        size_t n = std::min<size_t>(255, codes.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + std::ptrdiff_t(i), codes.begin() + std::ptrdiff_t(i + n));
    }
    out.insert(out.end(), {0, 0x3B});
    return out;
}

// A GIF frame's pixels go to the rows the data's order names them for, interlaced or not; an
// index past the colour table is black; rows the data breaks off before stay clear, and a frame
// whose data gives not one of its rows is no picture.
TEST(Image, AGifFramesDataFillsItsRowsAsFarAsItGoes)
{
    const std::vector<uint32_t> table = {0xffffff, 0x0a141e, 0x336699, 0xcc8844};
    auto opaque = [&](int index) { return 0xff000000u | table[size_t(index)]; };
    struct Case {
        const char* name;
        base::Bytes bytes;
        std::vector<uint32_t> canvas; // 4 x 5, row by row; empty: refused
    } cases[] = {
        {"an index past the colour table", smallGif(4, 5, {0xffffff, 0x0a141e}, {1, 1, 3, 1}, false, {200, 1, 0}),
         {0, 0, 0, 0, 0, 0xff000000u, opaque(1), opaque(0), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"interlaced", smallGif(4, 5, table, {1, 0, 2, 5}, true, {1, 1, 2, 2, 3, 3, 0, 0, 2, 3}),
         {0, opaque(1), opaque(1), 0, 0, opaque(0), opaque(0), 0, 0, opaque(3), opaque(3), 0, 0, opaque(2), opaque(3), 0,
          0, opaque(2), opaque(2), 0}},
        {"interlaced, breaking off in its third pass", smallGif(4, 5, table, {1, 0, 2, 5}, true, {1, 1, 2, 2, 3, 3, 0}),
         {0, opaque(1), opaque(1), 0, 0, 0, 0, 0, 0, opaque(3), opaque(3), 0, 0, 0, 0, 0, 0, opaque(2), opaque(2), 0}},
        {"breaking off in its second row", smallGif(4, 5, table, {0, 2, 4, 2}, false, {3, 2, 1, 0, 1}),
         {0, 0, 0, 0, 0, 0, 0, 0, opaque(3), opaque(2), opaque(1), opaque(0), 0, 0, 0, 0, 0, 0, 0, 0}},
        {"cut to the canvas", smallGif(4, 5, table, {2, 3, 3, 3}, false, {1, 2, 3, 3, 2, 1, 0, 0, 0}),
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, opaque(1), opaque(2), 0, 0, opaque(3), opaque(2)}},
        {"breaking off inside its first row", smallGif(4, 5, table, {0, 0, 4, 2}, false, {3, 2}), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base::ScopedLogCapture log;
        Image image = Image::fromBytes(c.bytes);
        ASSERT_EQ(image.isNull(), c.canvas.empty());
        if (image.isNull())
            continue;
        ASSERT_EQ(image.pixelWidth(), 4);
        ASSERT_EQ(image.pixelHeight(), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(image.pixelAt(x, y), c.canvas[size_t(y * 4 + x)]) << x << "," << y;
    }
}

// A picture file that is refused is shown as its caller's default wherever it is shown (the
// catalogue's cell, the product's page, the viewer each decode it at their own size): one log
// line names it and says why. A new file under its name has a line of its own, and a caller
// that logs refusals itself gets the reason instead.
TEST(Image, ARefusedPictureFileIsLoggedOnceWhereverItIsShown)
{
    struct Case {
        const char* name;
        base::Bytes bytes;
        const char* said;
    } cases[] = {
        {"frames.gif", damagedpictures::framesWithoutPixels(200, 150, 10'000, damagedpictures::GifFrame::Data::Absent),
         "first frame carries no pixels"},
        {"cut.gif", damagedpictures::cutOff(largepictures::gif(300), 0.5), "ends early"},
        {"text.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}, "format"},
        {"arithmetic.jpg", largepictures::arithmeticJpeg(64), "arithmetic-coded"},
        {"huffman.jpg", withBogusHuffmanTable(largepictures::jpeg(64, false)), "Huffman"},
        {"no-size.png", withHeaderWidthZero(largepictures::png(64, 3, 8)), "header cannot be read"},
        {"broken.png", withBrokenPictureData(largepictures::png(300, 3, 8)), "picture data cannot be decoded"},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        for (int file = 0; file < 2; ++file) {
            SCOPED_TRACE(file == 0 ? "first file" : "a new file under the name");
            base::Bytes bytes = c.bytes;
            bytes.resize(bytes.size() + size_t(file));
            writeBytes(path, bytes);
            base::ScopedLogCapture log;
            EXPECT_TRUE(Image::fromFileFitting(path, {120, 90}).isNull());
            EXPECT_TRUE(Image::fromFileFitting(path, {600, 400}, DecodeBudget::Priority::Screen).isNull());
            EXPECT_TRUE(Image::fromFile(path).isNull());
            std::thread([&] { EXPECT_TRUE(Image::fromFileFitting(path, {1024, 768}).isNull()); }).join();
            ASSERT_EQ(log.lines().size(), 1u);
            EXPECT_NE(log.lines().front().find(std::string("\"") + c.name + "\""), std::string::npos)
                << log.lines().front();
            EXPECT_NE(log.lines().front().find(c.said), std::string::npos) << log.lines().front();
            DecodeRefusals refusals;
            EXPECT_TRUE(Image::fromFile(path).isNull());
            EXPECT_NE(refusals.reason().find(c.said), std::string::npos) << refusals.reason();
            EXPECT_EQ(log.lines().size(), 1u);
        }
        // Read whole, by file or from bytes, it says so too: once a file, once a call.
        const std::string whole = dir.file(std::string("whole-") + c.name);
        writeBytes(whole, c.bytes);
        base::ScopedLogCapture log;
        EXPECT_TRUE(Image::fromFile(whole).isNull());
        EXPECT_TRUE(Image::fromFile(whole).isNull());
        EXPECT_TRUE(Image::fromBytes(c.bytes).isNull());
        ASSERT_EQ(log.lines().size(), 2u);
        EXPECT_NE(log.lines().front().find(std::string("\"whole-") + c.name + "\""), std::string::npos)
            << log.lines().front();
        for (const std::string& line : log.lines())
            EXPECT_NE(line.find(c.said), std::string::npos) << line;
    }
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
