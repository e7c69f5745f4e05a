#pragma once
// PDFs made to take a reader's memory and time, and pages a reader cannot get: each small on
// disk. Built at test time beside the ordinary fixtures.
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"
#include "tests/Support/PdfFixtures.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <vector>

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
// Marked progressive, the decoder sets aside every coefficient of the picture before it reads
// a scan.
inline std::string hugeJpeg(bool progressive = false)
{
    auto picture = gfx::Context::createBitmap(gfx::Size{64, 64});
    picture->setFillColor(gfx::Color{0.3, 0.6, 0.9, 1});
    picture->fillRect(gfx::Rect(0, 0, 64, 64));
    auto bytes = picture->makeImage().jpegData(0.8);
    std::string jpeg(bytes.begin(), bytes.end());
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (uint8_t(jpeg[i]) != 0xFF)
            continue;
        uint8_t marker = uint8_t(jpeg[i + 1]);
        if (marker == 0xC0 || marker == 0xC2) {
            if (progressive)
                jpeg[i + 1] = char(0xC2);
            for (size_t at : {i + 5, i + 7}) {
                jpeg[at] = char(23000 >> 8);
                jpeg[at + 1] = char(23000 & 0xFF);
            }
        } else if (marker == 0xDA && progressive) {
            // A first scan of DC coefficients only, as a progressive picture starts.
            size_t components = uint8_t(jpeg[i + 4]);
            jpeg[i + 5 + 2 * components + 1] = 0;
            break;
        }
    }
    return jpeg;
}

inline std::string hugeJpegImage(int declared = 23000, bool progressive = false)
{
    std::string side = std::to_string(declared);
    return Writer::stream("/Type /XObject /Subtype /Image /Width " + side + " /Height " + side +
                              " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
                          hugeJpeg(progressive));
}

inline std::string hugeJpegPdf()
{
    return onePage("q 612 0 0 792 0 0 cm /Im1 Do Q", hugeJpegImage());
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

// Routes around a page scan to the same bombs, each a few kilobytes. In a Type3 glyph: the
// glyph's own drawing paints the 23000 x 23000 JPEG.
inline std::string type3GlyphJpegPdf()
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int image = w.add(hugeJpegImage());
    int glyph = w.add(Writer::stream("", "1000 0 d0 q 1000 0 0 1000 0 0 cm /Im1 Do Q"));
    int font = w.add("<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
                     "/CharProcs << /g " + std::to_string(glyph) + " 0 R >> /Encoding << /Type /Encoding "
                     "/Differences [97 /g] >> /FirstChar 97 /LastChar 97 /Widths [1000] /Resources << /XObject << "
                     "/Im1 " + std::to_string(image) + " 0 R >> >> >>");
    int contents = w.add(Writer::stream("", "BT /T3 500 Tf 50 100 Td (a) Tj ET"));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] "
                     "/Resources << /Font << /T3 " + std::to_string(font) + " 0 R >> >> /Contents " +
                     std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// A form that paints the 23000 x 23000 JPEG over the page.
inline std::string jpegForm(int image)
{
    return Writer::stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /XObject << /Im1 " +
                              std::to_string(image) + " 0 R >> >>",
                          "q 612 0 0 792 0 0 cm /Im1 Do Q");
}

// An annotation whose appearance paints the JPEG; the page's own drawing is empty.
inline std::string annotationJpegPdf()
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int image = w.add(hugeJpegImage());
    int appearance = w.add(jpegForm(image));
    int annotation = w.add("<< /Type /Annot /Subtype /Square /Rect [0 0 612 792] /F 4 /AP << /N " +
                           std::to_string(appearance) + " 0 R >> >>");
    int contents = w.add(Writer::stream("", ""));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] /Annots [" +
                     std::to_string(annotation) + " 0 R] /Contents " + std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// A tiling pattern whose cell paints the JPEG, filling the page.
inline std::string patternJpegPdf()
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int image = w.add(hugeJpegImage());
    int pattern = w.add(Writer::stream("/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 "
                                       "/BBox [0 0 612 792] /XStep 612 /YStep 792 /Resources << /XObject << /Im1 " +
                                           std::to_string(image) + " 0 R >> >>",
                                       "q 612 0 0 792 0 0 cm /Im1 Do Q"));
    int contents = w.add(Writer::stream("", "/Pattern cs /P1 scn 0 0 612 792 re f"));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] "
                     "/Resources << /Pattern << /P1 " + std::to_string(pattern) + " 0 R >> >> /Contents " +
                     std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// An image dictionary saying 64 x 64 over a progressive JPEG of 23000 x 23000.
inline std::string smallDictProgressiveJpegPdf()
{
    return onePage("q 612 0 0 792 0 0 cm /Im1 Do Q", hugeJpegImage(64, true));
}

// The same picture inline in the page's drawing.
inline std::string inlineProgressiveJpegPdf()
{
    return onePage("q 612 0 0 792 0 0 cm BI /W 64 /H 64 /CS /RGB /BPC 8 /F /DCT ID\n" + hugeJpeg(true) + "\nEI Q");
}

// Half a million saved states behind a chain of two filters.
inline std::string filteredUnbalancedSavesPdf()
{
    std::string content;
    for (int i = 0; i < 500000; ++i)
        content += "q\n";
    content += "0 0 1 rg 100 100 200 200 re f\n";
    std::string packed = deflated(content), hex;
    static const char digits[] = "0123456789abcdef";
    for (unsigned char c : packed) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    hex += ">";
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int contents = w.add(Writer::stream("/Filter [/ASCIIHexDecode /FlateDecode]", hex));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] /Contents " +
                     std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// The trailer's catalog leads to the JPEG page; a later, unreferenced catalog to a blank one.
inline std::string decoyCatalogPdf()
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int image = w.add(hugeJpegImage());
    int contents = w.add(Writer::stream("", "q 612 0 0 792 0 0 cm /Im1 Do Q"));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] "
                     "/Resources << /XObject << /Im1 " + std::to_string(image) + " 0 R >> >> /Contents " +
                     std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    int decoyPages = w.reserve();
    int blank = w.add(Writer::stream("", ""));
    int decoyPage = w.add("<< /Type /Page /Parent " + std::to_string(decoyPages) +
                          " 0 R /MediaBox [0 0 612 792] /Contents " + std::to_string(blank) + " 0 R >>");
    w.set(decoyPages, "<< /Type /Pages /Kids [" + std::to_string(decoyPage) + " 0 R] /Count 1 >>");
    w.add("<< /Type /Catalog /Pages " + std::to_string(decoyPages) + " 0 R >>");
    return w.finish(catalog);
}

// Forms nested `depth` deep, each drawing the next twice: 2^depth squares, drawn for ever.
inline std::string nestedFormsPdf(int depth = 40)
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    int next = w.add(Writer::stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792]", "0 0 1 rg 0 0 10 10 re f"));
    for (int i = 1; i < depth; ++i)
        next = w.add(Writer::stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /XObject << /F " +
                                        std::to_string(next) + " 0 R >> >>",
                                    "q 0.5 0 0 0.5 0 0 cm /F Do Q q 0.5 0 0 0.5 300 0 cm /F Do Q"));
    int contents = w.add(Writer::stream("", "/F Do"));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] "
                     "/Resources << /XObject << /F " + std::to_string(next) + " 0 R >> >> /Contents " +
                     std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// A file whose cross-reference is a stream, as newer writers make them: `plain` objects stand in
// the file, `packed` ones in one object stream; entries are (number, text). `declaredSize` is
// the /Size the cross-reference states (0: the true one).
inline std::string xrefStreamPdf(const std::vector<std::pair<int, std::string>>& plain,
                                 const std::vector<std::pair<int, std::string>>& packed, int root,
                                 long declaredSize = 0)
{
    std::string out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    std::map<int, std::pair<int, long>> where; // number -> (type, offset or stream and index)
    for (const auto& [number, body] : plain) {
        where[number] = {1, long(out.size())};
        out += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
    }
    int highest = 0;
    for (const auto& [number, body] : plain)
        highest = std::max(highest, number);
    for (const auto& [number, body] : packed)
        highest = std::max(highest, number);
    if (!packed.empty()) {
        int holder = ++highest;
        std::string heads, bodies;
        for (size_t i = 0; i < packed.size(); ++i) {
            heads += std::to_string(packed[i].first) + " " + std::to_string(bodies.size()) + " ";
            bodies += packed[i].second + "\n";
            where[packed[i].first] = {2, long(holder) << 16 | long(i)};
        }
        where[holder] = {1, long(out.size())};
        out += std::to_string(holder) + " 0 obj\n" +
               Writer::stream("/Type /ObjStm /N " + std::to_string(packed.size()) + " /First " +
                                  std::to_string(heads.size()) + " /Filter /FlateDecode",
                              deflated(heads + bodies)) +
               "\nendobj\n";
    }
    int xref = ++highest;
    where[xref] = {1, long(out.size())};
    std::string rows;
    for (int number = 0; number <= xref; ++number) {
        auto found = where.find(number);
        int type = found == where.end() ? 0 : found->second.first;
        long field = found == where.end() ? 0 : found->second.second;
        long second = type == 2 ? field >> 16 : field, third = type == 2 ? (field & 0xFFFF) : 0;
        rows += char(type);
        for (int shift = 24; shift >= 0; shift -= 8)
            rows += char((second >> shift) & 0xFF);
        rows += char((third >> 8) & 0xFF);
        rows += char(third & 0xFF);
    }
    long size = declaredSize ? declaredSize : xref + 1;
    out += std::to_string(xref) + " 0 obj\n" +
           Writer::stream("/Type /XRef /Size " + std::to_string(size) + " /Index [0 " + std::to_string(xref + 1) +
                              "] /W [1 4 2] /Root " + std::to_string(root) + " 0 R",
                          rows) +
           "\nendobj\n";
    out += "startxref\n" + std::to_string(where[xref].second) + "\n%%EOF\n";
    return out;
}

// A cross-reference stream that states 33 million objects for a file of five.
inline std::string hugeXrefSizePdf()
{
    return xrefStreamPdf({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                          {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
                          {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>"},
                          {4, Writer::stream("", "0 0 1 rg 100 100 200 200 re f")}},
                         {}, 1, 33000000);
}

// An object stream that inflates to `brackets` nested array brackets, reached from the page.
inline std::string objectStreamNestingPdf(size_t brackets = size_t(12) << 20)
{
    return xrefStreamPdf({{4, Writer::stream("", "0 0 1 rg 100 100 200 200 re f")}},
                         {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                          {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
                          {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
                              "/Annots 5 0 R /Resources << /Properties << /P 5 0 R >> >> >>"},
                          {5, std::string(brackets, '[')}},
                         1);
}

// A page tree whose nodes are shared: each of `levels` nodes lists the next `fanout` times,
// so a few objects make fanout^levels pages (36^4, 1.68 million).
inline std::string sharedPageTreePdf(int fanout = 36, int levels = 4)
{
    Writer w;
    int catalog = w.reserve();
    int contents = w.add(Writer::stream("", "0 0 1 rg 100 100 200 200 re f"));
    std::vector<int> nodes;
    for (int i = 0; i < levels; ++i)
        nodes.push_back(w.reserve());
    int page = w.add("<< /Type /Page /Parent " + std::to_string(nodes.back()) +
                     " 0 R /MediaBox [0 0 612 792] /Contents " + std::to_string(contents) + " 0 R >>");
    long count = 1;
    for (int i = levels - 1; i >= 0; --i) {
        int child = i + 1 < levels ? nodes[size_t(i + 1)] : page;
        count *= fanout;
        std::string kids;
        for (int k = 0; k < fanout; ++k)
            kids += std::to_string(child) + " 0 R ";
        std::string parent = i > 0 ? " /Parent " + std::to_string(nodes[size_t(i - 1)]) + " 0 R" : "";
        w.set(nodes[size_t(i)], "<< /Type /Pages" + parent + " /Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
    }
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(nodes.front()) + " 0 R >>");
    return w.finish(catalog);
}

// The same tree under a cross-reference stream that states as many objects as pages, as a
// reader's sanity check wants: it opens, and page 1 draws; the last pages take a reader through
// the whole tree.
inline std::string sharedPageTreeXrefPdf(int fanout = 36, int levels = 4)
{
    std::vector<std::pair<int, std::string>> objects;
    const int catalog = 1, contents = 2, page = 3, firstNode = 4;
    objects.push_back({catalog, "<< /Type /Catalog /Pages " + std::to_string(firstNode) + " 0 R >>"});
    objects.push_back({contents, Writer::stream("", "0 0 1 rg 100 100 200 200 re f")});
    objects.push_back({page, "<< /Type /Page /Parent " + std::to_string(firstNode + levels - 1) +
                                 " 0 R /MediaBox [0 0 612 792] /Contents " + std::to_string(contents) + " 0 R >>"});
    long count = 1;
    for (int i = levels - 1; i >= 0; --i) {
        int child = i + 1 < levels ? firstNode + i + 1 : page;
        count *= fanout;
        std::string kids;
        for (int k = 0; k < fanout; ++k)
            kids += std::to_string(child) + " 0 R ";
        std::string parent = i > 0 ? " /Parent " + std::to_string(firstNode + i - 1) + " 0 R" : "";
        objects.push_back({firstNode + i, "<< /Type /Pages" + parent + " /Kids [" + kids + "] /Count " +
                                              std::to_string(count) + " >>"});
    }
    return xrefStreamPdf(objects, {}, catalog, count + 16);
}

// A page that paints a shading whose PostScript function is `depth` braces deep: reading it
// recurses once a brace, past any thread's stack.
inline std::string deepFunctionShadingPdf(int depth = 200000)
{
    Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    std::string code = std::string(size_t(depth), '{') + std::string(size_t(depth), '}');
    int function = w.add(Writer::stream("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1] /Filter /FlateDecode",
                                        deflated("{ " + code + " pop }")));
    int contents = w.add(Writer::stream("", "/Sh0 sh"));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] "
                     "/Resources << /Shading << /Sh0 << /ShadingType 1 /ColorSpace /DeviceGray /Domain [0 1 0 1] "
                     "/Function " + std::to_string(function) + " 0 R >> >> >> /Contents " +
                     std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

} // namespace pdffix
