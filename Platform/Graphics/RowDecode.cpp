#include "Platform/Graphics/RowDecode.h"

#include "Platform/Base/BackgroundWork.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace gfx::rowdecode {

namespace {

uint32_t bigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Averages 8-bit RGBA rows of the source's width into a surface of the target's size: each
// target pixel is the mean of the source pixels that fall in it, weighted by their opacity.
class ShrinkingSink {
public:
    ShrinkingSink(int width, int height, int targetWidth, int targetHeight)
        : m_width(width), m_height(height), m_targetWidth(targetWidth), m_targetHeight(targetHeight),
          m_column(static_cast<size_t>(width)), m_sums(static_cast<size_t>(targetWidth) * 4),
          m_counts(static_cast<size_t>(targetWidth))
    {
        for (int x = 0; x < width; ++x)
            m_column[static_cast<size_t>(x)] = static_cast<int>(int64_t(x) * targetWidth / width);
        m_surface = SurfaceRef(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, targetWidth, targetHeight));
        if (cairo_surface_status(m_surface.get()) != CAIRO_STATUS_SUCCESS)
            m_surface = SurfaceRef();
        else
            cairo_surface_flush(m_surface.get());
    }

    bool ready() const { return static_cast<bool>(m_surface); }

    void push(const uint8_t* rgba)
    {
        int target = static_cast<int>(int64_t(m_row) * m_targetHeight / m_height);
        if (target != m_target)
            flush();
        m_target = target;
        for (int x = 0; x < m_width; ++x) {
            const uint8_t* p = rgba + size_t(x) * 4;
            uint64_t* sum = &m_sums[size_t(m_column[size_t(x)]) * 4];
            uint32_t a = p[3];
            sum[0] += uint32_t(p[0]) * a;
            sum[1] += uint32_t(p[1]) * a;
            sum[2] += uint32_t(p[2]) * a;
            sum[3] += a;
            ++m_counts[size_t(m_column[size_t(x)])];
        }
        ++m_row;
    }

    // The surface once every row came; null before.
    SurfaceRef finish()
    {
        if (m_row != m_height || !m_surface)
            return {};
        flush();
        cairo_surface_mark_dirty(m_surface.get());
        return std::move(m_surface);
    }

private:
    void flush()
    {
        if (m_target < 0)
            return;
        uint8_t* data = cairo_image_surface_get_data(m_surface.get());
        auto* out = reinterpret_cast<uint32_t*>(data + size_t(m_target) * size_t(cairo_image_surface_get_stride(m_surface.get())));
        for (int x = 0; x < m_targetWidth; ++x) {
            uint64_t n = m_counts[size_t(x)];
            uint64_t* sum = &m_sums[size_t(x) * 4];
            if (n == 0) {
                out[x] = 0;
                continue;
            }
            // Premultiplied: the weighted colour sums over 255 per pixel, rounded.
            auto channel = [&](uint64_t s) { return uint32_t((s + n * 255 / 2) / (n * 255)); };
            uint32_t a = uint32_t((sum[3] + n / 2) / n);
            out[x] = a << 24 | channel(sum[0]) << 16 | channel(sum[1]) << 8 | channel(sum[2]);
        }
        std::fill(m_sums.begin(), m_sums.end(), 0);
        std::fill(m_counts.begin(), m_counts.end(), 0);
        m_target = -1;
    }

    int m_width, m_height, m_targetWidth, m_targetHeight;
    int m_row = 0;
    int m_target = -1;
    std::vector<int> m_column;
    std::vector<uint64_t> m_sums;
    std::vector<uint64_t> m_counts;
    SurfaceRef m_surface;
};

// --- 16-bit PNG --------------------------------------------------------------------------------

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);

struct PngHeader {
    int width = 0;
    int height = 0;
    int channels = 0;
    uint8_t colorType = 0;
};

std::optional<PngHeader> pngHeader(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 33 || std::memcmp(bytes.data(), kPngSignature.data(), 8) != 0
        || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
        return std::nullopt;
    const uint8_t* h = bytes.data() + 16;
    PngHeader header;
    uint32_t width = bigEndian32(h), height = bigEndian32(h + 4);
    uint8_t depth = h[8], interlace = h[12];
    header.colorType = h[9];
    if (depth != 16 || interlace != 0 || width == 0 || height == 0 || width > 0x7fffffff / 8 || height > 0x7fffffff)
        return std::nullopt;
    switch (header.colorType) {
    case 0: header.channels = 1; break;
    case 2: header.channels = 3; break;
    case 4: header.channels = 2; break;
    case 6: header.channels = 4; break;
    default: return std::nullopt;
    }
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);
    return header;
}

uint8_t paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : (pb <= pc ? b : c));
}

// Undoes a row's filter in place against the row above it (zeros for the first).
bool unfilter(uint8_t type, uint8_t* row, const uint8_t* above, size_t length, size_t step)
{
    switch (type) {
    case 0: return true;
    case 1:
        for (size_t i = step; i < length; ++i)
            row[i] = uint8_t(row[i] + row[i - step]);
        return true;
    case 2:
        for (size_t i = 0; i < length; ++i)
            row[i] = uint8_t(row[i] + above[i]);
        return true;
    case 3:
        for (size_t i = 0; i < length; ++i)
            row[i] = uint8_t(row[i] + ((i >= step ? row[i - step] : 0) + above[i]) / 2);
        return true;
    case 4:
        for (size_t i = 0; i < length; ++i)
            row[i] = uint8_t(row[i] + paeth(i >= step ? row[i - step] : 0, above[i], i >= step ? above[i - step] : 0));
        return true;
    default: return false;
    }
}

SurfaceRef decodePng16(std::span<const uint8_t> bytes, const PngHeader& header, int targetWidth, int targetHeight)
{
    ShrinkingSink sink(header.width, header.height, targetWidth, targetHeight);
    if (!sink.ready())
        return {};
    const size_t step = size_t(header.channels) * 2;
    const size_t length = size_t(header.width) * step;
    std::vector<uint8_t> above(length, 0), row(length + 1), rgba(size_t(header.width) * 4);
    std::optional<std::array<uint16_t, 3>> key; // tRNS: the one colour drawn transparent

    z_stream zip {};
    if (inflateInit(&zip) != Z_OK)
        return {};
    struct End {
        z_stream& zip;
        ~End() { inflateEnd(&zip); }
    } end {zip};

    size_t filled = 0;
    int rows = 0;
    bool streamEnded = false;
    size_t at = 8;
    while (at + 12 <= bytes.size() && rows < header.height) {
        uint32_t size = bigEndian32(bytes.data() + at);
        const uint8_t* type = bytes.data() + at + 4;
        if (size > bytes.size() - at - 12)
            return {};
        const uint8_t* data = type + 4;
        if (std::memcmp(type, "IEND", 4) == 0)
            break;
        if (std::memcmp(type, "tRNS", 4) == 0) {
            if (header.colorType == 0 && size >= 2) {
                uint16_t g = uint16_t(data[0] << 8 | data[1]);
                key = std::array<uint16_t, 3>{g, g, g};
            } else if (header.colorType == 2 && size >= 6) {
                key = std::array<uint16_t, 3>{uint16_t(data[0] << 8 | data[1]), uint16_t(data[2] << 8 | data[3]),
                                              uint16_t(data[4] << 8 | data[5])};
            }
        }
        if (std::memcmp(type, "IDAT", 4) == 0 && !streamEnded) {
            zip.next_in = const_cast<uint8_t*>(data);
            zip.avail_in = size;
            while (zip.avail_in > 0 && rows < header.height) {
                zip.next_out = row.data() + filled;
                zip.avail_out = static_cast<uInt>(row.size() - filled);
                int status = inflate(&zip, Z_NO_FLUSH);
                if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
                    return {};
                filled = row.size() - zip.avail_out;
                // The application's end stops the decode between rows.
                if (base::BackgroundWork::isStopping())
                    return {};
                if (filled == row.size()) {
                    if (!unfilter(row[0], row.data() + 1, above.data(), length, step))
                        return {};
                    const uint8_t* p = row.data() + 1;
                    for (int x = 0; x < header.width; ++x, p += step) {
                        uint8_t* out = &rgba[size_t(x) * 4];
                        // The high byte of each sample: 16 bits shown in 8.
                        switch (header.channels) {
                        case 1: out[0] = out[1] = out[2] = p[0]; out[3] = 255; break;
                        case 2: out[0] = out[1] = out[2] = p[0]; out[3] = p[2]; break;
                        case 3: out[0] = p[0]; out[1] = p[2]; out[2] = p[4]; out[3] = 255; break;
                        default: out[0] = p[0]; out[1] = p[2]; out[2] = p[4]; out[3] = p[6]; break;
                        }
                        if (key) {
                            uint16_t r = uint16_t(p[0] << 8 | p[1]);
                            bool match = header.channels == 1
                                ? r == (*key)[0]
                                : r == (*key)[0] && uint16_t(p[2] << 8 | p[3]) == (*key)[1]
                                    && uint16_t(p[4] << 8 | p[5]) == (*key)[2];
                            if (match)
                                out[3] = 0;
                        }
                    }
                    sink.push(rgba.data());
                    std::memcpy(above.data(), row.data() + 1, length);
                    filled = 0;
                    ++rows;
                }
                if (status == Z_STREAM_END) {
                    streamEnded = true;
                    break;
                }
                if (status == Z_BUF_ERROR)
                    break;
            }
        }
        at += size_t(size) + 12;
    }
    return sink.finish();
}

// --- RGBE ----------------------------------------------------------------------------------------

struct HdrHeader {
    int width = 0;
    int height = 0;
    size_t dataStart = 0;
};

std::optional<HdrHeader> hdrHeader(std::span<const uint8_t> bytes)
{
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), std::min<size_t>(bytes.size(), 64 * 1024));
    if (!text.starts_with("#?RADIANCE\n") && !text.starts_with("#?RGBE\n"))
        return std::nullopt;
    size_t at = 0;
    // Header lines up to an empty one, then the size line.
    for (;;) {
        size_t eol = text.find('\n', at);
        if (eol == std::string_view::npos)
            return std::nullopt;
        std::string_view line = text.substr(at, eol - at);
        at = eol + 1;
        if (line.starts_with("FORMAT=") && line != "FORMAT=32-bit_rle_rgbe")
            return std::nullopt;
        if (line.empty())
            break;
    }
    size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos)
        return std::nullopt;
    std::string line(text.substr(at, eol - at));
    int height = 0, width = 0;
    char rest = 0;
    // Only rows stored top to bottom, left to right: any other order is left to the whole decode.
    if (std::sscanf(line.c_str(), "-Y %d +X %d%c", &height, &width, &rest) != 2 || width <= 0 || height <= 0)
        return std::nullopt;
    return HdrHeader {width, height, eol + 1};
}

// One row of RGBE pixels from `at`, flat or run-length coded per component; false when the data
// ends or breaks.
bool readHdrRow(std::span<const uint8_t> bytes, size_t& at, int width, std::vector<uint8_t>& rgbe)
{
    auto left = [&] { return bytes.size() - at; };
    if (left() < 4)
        return false;
    const uint8_t* p = bytes.data() + at;
    bool runs = width >= 8 && width < 0x8000 && p[0] == 2 && p[1] == 2 && (int(p[2]) << 8 | p[3]) == width;
    if (!runs) {
        size_t size = size_t(width) * 4;
        if (left() < size)
            return false;
        std::memcpy(rgbe.data(), p, size);
        at += size;
        return true;
    }
    at += 4;
    for (int component = 0; component < 4; ++component) {
        int x = 0;
        while (x < width) {
            if (left() < 1)
                return false;
            int count = bytes[at++];
            if (count > 128) {
                count -= 128;
                if (left() < 1 || count > width - x)
                    return false;
                uint8_t value = bytes[at++];
                for (int i = 0; i < count; ++i)
                    rgbe[size_t(x++) * 4 + size_t(component)] = value;
            } else {
                if (count == 0 || count > width - x || left() < size_t(count))
                    return false;
                for (int i = 0; i < count; ++i)
                    rgbe[size_t(x++) * 4 + size_t(component)] = bytes[at++];
            }
        }
    }
    return true;
}

SurfaceRef decodeHdr(std::span<const uint8_t> bytes, const HdrHeader& header, int targetWidth, int targetHeight)
{
    ShrinkingSink sink(header.width, header.height, targetWidth, targetHeight);
    if (!sink.ready())
        return {};
    // Every mantissa and exponent to its 8-bit value, shown with a gamma of 2.2: a table of
    // 64 KB instead of a power per sample.
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(256 * 256);
        for (int e = 0; e < 256; ++e)
            for (int m = 0; m < 256; ++m) {
                double linear = e == 0 ? 0 : std::ldexp(double(m), e - (128 + 8));
                double shown = std::pow(linear, 1 / 2.2) * 255 + 0.5;
                t[size_t(e) * 256 + size_t(m)] = static_cast<uint8_t>(std::clamp(shown, 0.0, 255.0));
            }
        return t;
    }();
    std::vector<uint8_t> rgbe(size_t(header.width) * 4), rgba(size_t(header.width) * 4);
    size_t at = header.dataStart;
    for (int y = 0; y < header.height; ++y) {
        if (base::BackgroundWork::isStopping() || !readHdrRow(bytes, at, header.width, rgbe))
            return {};
        for (size_t x = 0; x < size_t(header.width); ++x) {
            const uint8_t* in = &rgbe[x * 4];
            const uint8_t* scale = &table[size_t(in[3]) * 256];
            uint8_t* out = &rgba[x * 4];
            out[0] = scale[in[0]];
            out[1] = scale[in[1]];
            out[2] = scale[in[2]];
            out[3] = 255;
        }
        sink.push(rgba.data());
    }
    return sink.finish();
}

} // namespace

std::optional<Shape> accepts(std::span<const uint8_t> bytes)
{
    if (auto png = pngHeader(bytes))
        return Shape {png->width, png->height};
    if (auto hdr = hdrHeader(bytes))
        return Shape {hdr->width, hdr->height};
    return std::nullopt;
}

size_t cost(std::span<const uint8_t> bytes, int width, int height)
{
    auto shape = accepts(bytes);
    if (!shape)
        return 0;
    size_t sourceRow = size_t(shape->width) * 8;
    // The surface, a sum and a count per target column, the source rows (two 16-bit ones and
    // an 8-bit copy) and the inflater's window and tables.
    return size_t(width) * size_t(height) * 4 + size_t(width) * 40 + size_t(shape->width) * 4 + 3 * sourceRow
        + (256u << 10);
}

SurfaceRef decode(std::span<const uint8_t> bytes, int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    if (auto png = pngHeader(bytes))
        return decodePng16(bytes, *png, width, height);
    if (auto hdr = hdrHeader(bytes))
        return decodeHdr(bytes, *hdr, width, height);
    return {};
}

} // namespace gfx::rowdecode
