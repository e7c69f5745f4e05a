#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Pdf/Engine/PageCost.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/PdfFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A small colour photo as a JPEG, coded the plain way (no Adobe segment).
std::string photoJpeg()
{
    auto picture = gfx::Context::createBitmap(gfx::Size{64, 48});
    picture->setFillColor(gfx::Color{0.8, 0.4, 0.1, 1});
    picture->fillRect(gfx::Rect(0, 0, 64, 48));
    picture->setFillColor(gfx::Color{0.1, 0.3, 0.7, 1});
    picture->fillRect(gfx::Rect(16, 12, 32, 24));
    auto bytes = picture->makeImage().jpegData(0.8);
    return std::string(bytes.begin(), bytes.end());
}

// The same photo with an Adobe segment (APP14) right after its start, which may recode its
// colours: the decoder's own reduction cannot be trusted to read them as the drawing does.
std::string withAdobeSegment(const std::string& jpeg, size_t at = 2)
{
    static const unsigned char segment[] = {0xFF, 0xEE, 0x00, 0x0E, 'A', 'd', 'o', 'b', 'e', 0x00,
                                            0x64, 0x00, 0x00, 0x00, 0x00, 0x01};
    return std::string(jpeg).insert(at, reinterpret_cast<const char*>(segment), sizeof segment);
}

// A letter page drawing the JPEG as /Im1 with instructions in as many streams as `parts`.
std::string photoPage(const std::string& jpeg, const std::vector<std::string>& parts)
{
    pdffix::Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int image = w.add(pdffix::Writer::stream(
        "/Type /XObject /Subtype /Image /Width 64 /Height 48 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
        "/Filter /DCTDecode",
        jpeg));
    std::string contents = "[";
    for (const auto& part : parts)
        contents += std::to_string(w.add(pdffix::Writer::stream("", part))) + " 0 R ";
    contents += "]";
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) +
                     " 0 R /MediaBox [0 0 612 792] /Resources << /XObject << /Im1 " + std::to_string(image) +
                     " 0 R >> >> /Contents " + contents + " >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// Instructions padded with blanks to exactly `size` bytes.
std::string padded(std::string instructions, size_t size)
{
    instructions.resize(size, ' ');
    return instructions;
}

// The photographed-page road takes a page of one plain JPEG drawn upright by a handful of
// instructions, whatever streams they are split in, and no other: not a JPEG whose Adobe
// segment may recode its colours, and not a page whose instructions pass the road's bound of
// a few kilobytes in all, however the parts share it.
TEST(PhotoPage, OnlyAPlainJpegDrawnByAFewInstructionsTakesThePhotoRoad)
{
    const size_t bound = 4096; // the instructions read of a photographed page, at most
    std::string plain = photoJpeg();
    const std::string draw = "q 612 0 0 459 0 100 cm /Im1 Do Q";
    struct Case {
        const char* name;
        std::string jpeg;
        std::vector<std::string> parts;
        bool photo;
    } cases[] = {
        {"one stream", plain, {draw}, true},
        {"two streams", plain, {"q 612 0 0 459", " 0 100 cm /Im1 Do Q"}, true},
        {"three streams filling most of the bound", plain,
         {padded("q", 2000), padded("612 0 0 459 0 100 cm", 2000), "/Im1 Do Q"}, true},
        {"an Adobe segment first", withAdobeSegment(plain), {draw}, false},
        {"an Adobe segment after the others", withAdobeSegment(plain, plain.find("\xFF\xDB")), {draw}, false},
        {"one stream past the bound", plain, {padded(draw, bound + 1)}, false},
        {"two streams past the bound together", plain,
         {padded("q 612 0 0 459 0 100 cm", 3000), padded("/Im1 Do Q", 3000)}, false},
        {"a first stream as long as the bound", plain, {padded("q 612 0 0 459 0 100 cm", bound), "/Im1 Do Q"}, false},
        {"a first stream one short of the bound", plain,
         {padded("q 612 0 0 459 0 100 cm", bound - 1), "/Im1 Do Q"}, false},
    };
    basetest::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.jpeg.find("\xFF\xDB"), std::string::npos);
        auto path = dir / (std::string(c.name) + ".pdf");
        pdffix::writeFile(path, photoPage(c.jpeg, c.parts));
        int calls = 0;
        bool photo = pdf::withPhotoPage(path.string(), 1, [&](const pdf::PhotoPage& page) {
            ++calls;
            EXPECT_EQ(page.pixelWidth, 64);
            EXPECT_EQ(page.pixelHeight, 48);
            EXPECT_FALSE(page.gray);
            EXPECT_EQ(page.width, 612);
            EXPECT_EQ(page.height, 459);
            EXPECT_EQ(page.y, 100);
            EXPECT_EQ(page.jpeg.size(), c.jpeg.size());
        });
        EXPECT_EQ(photo, c.photo);
        EXPECT_EQ(calls, c.photo ? 1 : 0);
    }
}

} // namespace
