#include "Platform/Graphics/Image.h"

#include "Platform/Base/Log.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace gfx {

namespace {

// No real picture comes near this; a few bytes of header can declare gigabytes of pixels.
constexpr int64_t kMaxDecodedPixels = 64'000'000;

// Exact rounding of c*a/255, so a PNG written (unpremultiplied) and read back gives the same
// premultiplied pixel.
uint32_t premultiply(uint32_t c, uint32_t a)
{
    uint32_t t = c * a + 128;
    return (t + (t >> 8)) >> 8;
}

SurfaceRef surfaceFromRgba(const uint8_t* rgba, int width, int height)
{
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        const uint8_t* src = rgba + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, src += 4) {
            uint32_t a = src[3];
            row[x] = a << 24 | premultiply(src[0], a) << 16 | premultiply(src[1], a) << 8
                | premultiply(src[2], a);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

struct StbFree {
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

bool readFile(const std::string& path, base::Bytes& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void appendToBytes(void* context, void* data, int size)
{
    auto* out = static_cast<base::Bytes*>(context);
    auto* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

cairo_status_t writeToBytes(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<base::Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

Image Image::fromFile(const std::string& path)
{
    base::Bytes bytes;
    if (!readFile(path, bytes))
        return {};
    return fromBytes(bytes, scaleForPath(path));
}

Image Image::fromBytes(std::span<const uint8_t> bytes, double scale)
{
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX))
        return {};
    int width = 0, height = 0, channels = 0;
    if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels)
        && static_cast<int64_t>(width) * height > kMaxDecodedPixels) {
        base::logf("Image: a picture of %d x %d pixels is above the budget of %lld pixels and is not decoded",
                   width, height, static_cast<long long>(kMaxDecodedPixels));
        return {};
    }
    std::unique_ptr<stbi_uc, StbFree> rgba(stbi_load_from_memory(
        bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4));
    if (!rgba || width <= 0 || height <= 0)
        return {};
    SurfaceRef surface = surfaceFromRgba(rgba.get(), width, height);
    if (!surface)
        return {};
    return Image(std::move(surface), scale > 0 ? scale : 1);
}

Image Image::fromSurface(cairo_surface_t* source, double scale)
{
    if (!source || cairo_surface_get_type(source) != CAIRO_SURFACE_TYPE_IMAGE
        || cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32)
        return {};
    cairo_surface_flush(source);
    int width = cairo_image_surface_get_width(source);
    int height = cairo_image_surface_get_height(source);
    SurfaceRef copy(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(copy.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    int srcStride = cairo_image_surface_get_stride(source);
    int dstStride = cairo_image_surface_get_stride(copy.get());
    const uint8_t* src = cairo_image_surface_get_data(source);
    uint8_t* dst = cairo_image_surface_get_data(copy.get());
    for (int y = 0; y < height; ++y)
        std::memcpy(dst + static_cast<size_t>(y) * dstStride, src + static_cast<size_t>(y) * srcStride,
                    static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(copy.get());
    return Image(std::move(copy), scale > 0 ? scale : 1);
}

std::optional<Size> Image::sizeOfFile(const std::string& path)
{
    int width = 0, height = 0, channels = 0;
    if (!stbi_info(path.c_str(), &width, &height, &channels))
        return std::nullopt;
    double scale = scaleForPath(path);
    return Size{width / scale, height / scale};
}

std::optional<Size> Image::sizeOfBytes(std::span<const uint8_t> bytes, double scale)
{
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX) || scale <= 0)
        return std::nullopt;
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels))
        return std::nullopt;
    return Size{width / scale, height / scale};
}

double Image::scaleForPath(const std::string& path)
{
    std::string stem = std::filesystem::path(path).stem().string();
    // Device suffixes ("~ipad") follow the scale marker.
    if (auto tilde = stem.find('~'); tilde != std::string::npos)
        stem.erase(tilde);
    return stem.ends_with("@2x") ? 2 : 1;
}

int Image::pixelWidth() const
{
    return m_surface ? cairo_image_surface_get_width(m_surface.get()) : 0;
}

int Image::pixelHeight() const
{
    return m_surface ? cairo_image_surface_get_height(m_surface.get()) : 0;
}

Size Image::size() const
{
    return {pixelWidth() / m_scale, pixelHeight() / m_scale};
}

Image Image::stretchable(EdgeInsets caps) const
{
    Image copy = *this;
    copy.m_caps = caps;
    return copy;
}

Image Image::stretchable(int leftCapWidth, int topCapHeight) const
{
    Size s = size();
    EdgeInsets caps;
    if (leftCapWidth > 0) {
        caps.left = leftCapWidth;
        caps.right = std::max(0.0, s.width - leftCapWidth - 1);
    }
    if (topCapHeight > 0) {
        caps.top = topCapHeight;
        caps.bottom = std::max(0.0, s.height - topCapHeight - 1);
    }
    return stretchable(caps);
}

Image Image::cropped(const Rect& pixelRect) const
{
    if (isNull())
        return {};
    Rect wanted = pixelRect.standardized();
    int x0 = std::max(0, static_cast<int>(std::lround(wanted.minX())));
    int y0 = std::max(0, static_cast<int>(std::lround(wanted.minY())));
    int x1 = std::min(pixelWidth(), static_cast<int>(std::lround(wanted.maxX())));
    int y1 = std::min(pixelHeight(), static_cast<int>(std::lround(wanted.maxY())));
    if (x1 <= x0 || y1 <= y0)
        return {};
    SurfaceRef part(cairo_surface_create_for_rectangle(m_surface.get(), x0, y0, x1 - x0, y1 - y0));
    SurfaceRef copy(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0));
    CairoContextRef cr(cairo_create(copy.get()));
    cairo_set_source_surface(cr.get(), part.get(), 0, 0);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(copy.get());
    return Image(std::move(copy), m_scale);
}

Image Image::scaledTo(Size target) const
{
    if (isNull())
        return {};
    int width = std::max(1, static_cast<int>(std::lround(target.width * m_scale)));
    int height = std::max(1, static_cast<int>(std::lround(target.height * m_scale)));
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    CairoContextRef cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), static_cast<double>(width) / pixelWidth(),
                static_cast<double>(height) / pixelHeight());
    cairo_set_source_surface(cr.get(), m_surface.get(), 0, 0);
    // Pad so the edges sample the image itself, not transparent surroundings.
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface.get());
    return Image(std::move(surface), m_scale);
}

uint32_t Image::pixelAt(int x, int y) const
{
    if (isNull() || x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight())
        return 0;
    cairo_surface_flush(m_surface.get());
    const uint8_t* data = cairo_image_surface_get_data(m_surface.get());
    int stride = cairo_image_surface_get_stride(m_surface.get());
    return reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
}

Color Image::colorAt(int x, int y) const
{
    return Color::fromPremultipliedArgb(pixelAt(x, y));
}

base::Bytes Image::pngData() const
{
    base::Bytes out;
    if (isNull())
        return out;
    if (cairo_surface_write_to_png_stream(m_surface.get(), writeToBytes, &out) != CAIRO_STATUS_SUCCESS)
        out.clear();
    return out;
}

base::Bytes Image::jpegData(double quality) const
{
    base::Bytes out;
    if (isNull())
        return out;
    int width = pixelWidth();
    int height = pixelHeight();
    // JPEG has no alpha: composite over white, as a flattened photo would look.
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixelAt(x, y);
            uint32_t a = p >> 24;
            uint8_t* dst = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            dst[0] = static_cast<uint8_t>(((p >> 16) & 0xff) + 255 - a);
            dst[1] = static_cast<uint8_t>(((p >> 8) & 0xff) + 255 - a);
            dst[2] = static_cast<uint8_t>((p & 0xff) + 255 - a);
        }
    }
    int q = std::clamp(static_cast<int>(std::lround(quality * 100)), 1, 100);
    if (!stbi_write_jpg_to_func(appendToBytes, &out, width, height, 3, rgb.data(), q))
        out.clear();
    return out;
}

base::ErrorPtr Image::writePng(const std::string& path) const
{
    if (isNull())
        return base::Error::make("gfx.Image", 1, "no image to write");
    cairo_status_t status = cairo_surface_write_to_png(m_surface.get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
        return base::Error::make("gfx.Image", static_cast<int>(status),
                                 "cannot write " + path + ": " + cairo_status_to_string(status));
    return nullptr;
}

} // namespace gfx
