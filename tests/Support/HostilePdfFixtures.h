#pragma once
// PDFs made to take a reader's memory and time, and pages a reader cannot get: each small on
// disk. Built at test time beside the ordinary fixtures.
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Image.h"
#include "tests/Support/PdfFixtures.h"

#include <zlib.h>

namespace pdffix {

// `size` zero bytes, deflated piece by piece (a few hundred MB become well under a megabyte).
inline std::string deflatedZeros(size_t size)
{
    z_stream z{};
    deflateInit(&z, 1);
    std::string zeros(1 << 20, '\0'), out;
    char buffer[1 << 16];
    for (size_t left = size;;) {
        size_t piece = std::min(left, zeros.size());
        left -= piece;
        z.next_in = reinterpret_cast<Bytef*>(zeros.data());
        z.avail_in = uInt(piece);
        int flush = left ? Z_NO_FLUSH : Z_FINISH;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, flush);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
        if (!left)
            break;
    }
    deflateEnd(&z);
    return out;
}

inline std::string deflated(const std::string& bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
              uLong(bytes.size()), 9);
    out.resize(size);
    return out;
}

// A one-page document (letter unless told) drawing `content` with /Im1 as the given stream
// object when set.
inline std::string onePage(const std::string& content, const std::string& imageObject = {},
                           const Box& media = {0, 0, 612, 792})
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    std::string resources;
    if (!imageObject.empty())
        resources = "/Resources << /XObject << /Im1 " + std::to_string(w.add(imageObject)) + " 0 R >> >>";
    int contents = w.add(Writer::stream("/Filter /FlateDecode", deflated(content)));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox " + boxText(media) + " " + resources +
                     " /Contents " + std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// A small JPEG whose frame header claims 23000 x 23000 pixels; its decoder makes room for all.
inline std::string hugeJpegPdf()
{
    gfx::SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 64, 64));
    auto bytes = gfx::Image::fromSurface(surface.get(), 1).jpegData(0.8);
    std::string jpeg(bytes.begin(), bytes.end());
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (uint8_t(jpeg[i]) == 0xFF && (uint8_t(jpeg[i + 1]) == 0xC0 || uint8_t(jpeg[i + 1]) == 0xC2)) {
            for (size_t at : {i + 5, i + 7}) {
                jpeg[at] = char(23000 >> 8);
                jpeg[at + 1] = char(23000 & 0xFF);
            }
            break;
        }
    return onePage("q 612 0 0 792 0 0 cm /Im1 Do Q",
                   Writer::stream("/Type /XObject /Subtype /Image /Width 23000 /Height 23000 /ColorSpace /DeviceRGB "
                                  "/BitsPerComponent 8 /Filter /DCTDecode",
                                  jpeg));
}

// A compressed picture of 12000 x 12000 RGB pixels (432 MB inflated) in two megabytes; made
// once per run.
inline const std::string& imageBombPdf()
{
    static const std::string bytes =
        onePage("q 612 0 0 792 0 0 cm /Im1 Do Q",
                Writer::stream("/Type /XObject /Subtype /Image /Width 12000 /Height 12000 /ColorSpace /DeviceRGB "
                               "/BitsPerComponent 8 /Filter /FlateDecode",
                               deflatedZeros(size_t(12000) * 12000 * 3)));
    return bytes;
}

// Half a million saved states never restored, then a square.
inline std::string unbalancedSavesPdf()
{
    std::string content;
    content.reserve(1000100);
    for (int i = 0; i < 500000; ++i)
        content += "q\n";
    content += "0 0 1 rg 100 100 200 200 re f\n";
    return onePage(content);
}

// Pages the PDF library cannot get or draw: a page of 0.01 point; a page tree whose kid is its
// own parent; a last page whose object is damaged.
inline std::string tinyPagePdf()
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int contents = w.add(Writer::stream("", "0 0 0 rg 0 0 0.01 0.01 re f"));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 0.01 0.01] /Contents " +
                     std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

inline std::string pageTreeLoopPdf()
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int inner = w.reserve();
    int contents = w.add(Writer::stream("", "0 0 0 rg 100 100 200 200 re f"));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] /Contents " +
                     std::to_string(contents) + " 0 R >>");
    // The second kid names the tree itself: counted as two pages, only one can be had.
    w.set(inner, "<< /Type /Pages /Parent " + std::to_string(pages) + " 0 R /Kids [" + std::to_string(pages) +
                     " 0 R] /Count 1 >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R " + std::to_string(inner) +
                     " 0 R] /Count 2 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

inline std::string damagedLastPagePdf()
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int contents = w.add(Writer::stream("", "0 0 0 rg 100 100 200 200 re f"));
    int first = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] /Contents " +
                      std::to_string(contents) + " 0 R >>");
    // Not a dictionary at all: the page cannot be read.
    int last = w.add("(torn)");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(first) + " 0 R " + std::to_string(last) +
                     " 0 R] /Count 2 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

} // namespace pdffix
