#pragma once
// Pictures for the reader's benchmarks: a noisy photo-like JPEG, so the PDF library has real
// decoding and filtering to do on its pages.
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Image.h"
#include "tests/Support/PdfFixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace benchsupport {

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

} // namespace benchsupport
