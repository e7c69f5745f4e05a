#pragma once
// Pictures for the reader's benchmarks: a noisy photo-like JPEG, so the PDF library has real
// decoding and filtering to do on its pages.
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Pdf/PageWorkers.h"
#include "tests/Support/HostilePdfFixtures.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

namespace benchsupport {

// Pages are drawn by worker processes, so their processor time is the reader's too: each
// worker's time so far, by process id.
inline std::map<pid_t, double> pdfWorkersCpu()
{
    std::map<pid_t, double> cpu;
    for (pid_t pid : pdf::PageWorkers::shared().workerIds()) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
        double ns = 0;
        if (in >> ns)
            cpu[pid] = ns / 1e6;
    }
    return cpu;
}

// Milliseconds the workers have used since `before` (a worker started meanwhile counts whole).
inline double pdfWorkersCpuSinceMs(const std::map<pid_t, double>& before)
{
    double total = 0;
    for (const auto& [pid, ms] : pdfWorkersCpu()) {
        auto was = before.find(pid);
        total += ms - (was == before.end() ? 0 : was->second);
    }
    return total;
}

inline std::string photoJpeg(int width, int height)
{
    gfx::SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    std::mt19937 random(3);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
        for (int x = 0; x < width; ++x) {
            int noise = int(random() % 24);
            int r = std::min(255, int(127 + 100 * std::sin(x / 180.0)) + noise);
            int g = std::min(255, int(127 + 100 * std::cos(y / 140.0)) + noise);
            int b = (x + y) * 255 / (width + height);
            row[x] = 0xFF000000u | uint32_t(r << 16) | uint32_t(g << 8) | uint32_t(b);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    auto bytes = gfx::Image::fromSurface(surface.get(), 1).jpegData(0.85);
    return std::string(bytes.begin(), bytes.end());
}

// A document of `pages` 800 x 600 pages, each showing its own copy of the photo: 4000 x 3000
// pixels at full size (about 1.5 MB a page), 800 x 600 for the small run.
inline std::string photoPdf(int pages, bool full)
{
    pdffix::DocumentPlan plan;
    plan.jpeg = full ? photoJpeg(4000, 3000) : photoJpeg(800, 600);
    plan.jpegWidth = full ? 4000 : 800;
    plan.jpegHeight = full ? 3000 : 600;
    plan.jpegPerPage = true;
    for (int i = 0; i < pages; ++i) {
        pdffix::PagePlan p;
        p.media = {0, 0, 800, 600};
        p.imageRef = 1;
        plan.pages.push_back(p);
    }
    return pdffix::build(plan);
}

// Debian ships its manuals compressed.
inline bool gunzipFile(const std::string& from, const std::string& to)
{
    gzFile in = gzopen(from.c_str(), "rb");
    if (!in)
        return false;
    std::ofstream out(to, std::ios::binary);
    char buffer[1 << 16];
    int got = 0;
    while ((got = gzread(in, buffer, sizeof buffer)) > 0)
        out.write(buffer, got);
    gzclose(in);
    return got == 0 && out.good();
}

// The photo book of `pages` pages made once and kept in the user's cache folder (about 1.5 MB
// a page at full size): making it costs several seconds each run otherwise.
inline std::string cachedPhotoPdf(int pages, bool full)
{
    namespace fs = std::filesystem;
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    fs::path folder = cacheHome && *cacheHome ? fs::path(cacheHome)
                      : home && *home         ? fs::path(home) / ".cache"
                                              : fs::temp_directory_path();
    folder /= "brivanta-bench";
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    fs::path path = folder / ("photo-book-" + std::to_string(pages) + (full ? "-4000x3000" : "-800x600") + ".pdf");
    if (fs::exists(path, ignored))
        return path.string();
    // Written beside and renamed, so that a run cut short leaves no half a book.
    fs::path part = path;
    part += "." + std::to_string(::getpid());
    pdffix::writeFile(part.string(), photoPdf(pages, full));
    fs::rename(part, path, ignored);
    return path.string();
}

// A page as a word processor exports it: lines of text, and a photo seen through at 60 %
// over a quarter of the page.
inline std::string transparencyPagePdf()
{
    auto photo = gfx::Context::createBitmap(gfx::Size{1800, 1350});
    photo->fillLinearGradient(gfx::Rect(0, 0, 1800, 1350), {0, 0}, {1800, 1350},
                              {{0, gfx::Color{0.9, 0.4, 0.1, 1}}, {1, gfx::Color{0.1, 0.3, 0.8, 1}}});
    for (int i = 0; i < 40; ++i) {
        photo->setFillColor(gfx::Color{(i * 37 % 100) / 100.0, (i * 53 % 100) / 100.0, (i * 71 % 100) / 100.0, 1});
        photo->fillEllipse(gfx::Rect(i * 43 % 1600, i * 97 % 1150, 200, 200));
    }
    auto jpeg = photo->makeImage().jpegData(0.85);
    pdffix::Writer w;
    int catalog = w.reserve();
    int pages = w.reserve();
    // Seen through as such a program writes it: a soft mask of the picture's own size.
    int mask = w.add(pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width 1800 /Height 1350 /ColorSpace "
                                            "/DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
                                            pdffix::deflated(std::string(size_t(1800) * 1350, char(153)))));
    int image = w.add(pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width 1800 /Height 1350 /ColorSpace "
                                             "/DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode /SMask " +
                                                 std::to_string(mask) + " 0 R",
                                             std::string(jpeg.begin(), jpeg.end())));
    std::string content = "BT /F1 11 Tf 56 790 Td 14 TL\n";
    for (int line = 0; line < 50; ++line)
        content += "(Line " + std::to_string(line + 1) +
                   " of the terms of delivery, as the word processor set them in the document.) '\n";
    content += "ET\nq 297.5 0 0 223 297.5 619 cm /Im1 Do Q\n";
    int contents = w.add(pdffix::Writer::stream("", content));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) +
                     " 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 "
                     "/BaseFont /Helvetica >> >> /XObject << /Im1 " +
                     std::to_string(image) + " 0 R >> >> /Contents " + std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

} // namespace benchsupport
