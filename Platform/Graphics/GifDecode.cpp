#include "Platform/Graphics/GifDecode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace gfx::gifdecode {

namespace {

// The encoded bytes the library reads from, in order.
struct Source {
    std::span<const uint8_t> bytes;
    size_t at = 0;
};

int readSource(GifFileType* file, GifByteType* into, int wanted)
{
    auto* source = static_cast<Source*>(file->UserData);
    size_t count = std::min(size_t(std::max(wanted, 0)), source->bytes.size() - source->at);
    if (count > 0)
        std::memcpy(into, source->bytes.data() + source->at, count);
    source->at += count;
    return int(count);
}

struct CloseFile {
    void operator()(GifFileType* file) const
    {
        int error = 0;
        DGifCloseFile(file, &error);
    }
};

// The first frame, with the reader standing at its picture data.
struct Frame {
    std::unique_ptr<Source> source; // where the reader reads from: it must not move
    std::unique_ptr<GifFileType, CloseFile> file;
    Layout layout;
    const ColorMapObject* table = nullptr; // the frame's own colours, else the file's
    int transparent = -1;
    bool interlaced = false;
};

std::optional<Frame> firstFrame(std::span<const uint8_t> bytes)
{
    Frame frame;
    frame.source = std::make_unique<Source>(Source {bytes});
    int error = 0;
    frame.file.reset(DGifOpen(frame.source.get(), readSource, &error));
    GifFileType* file = frame.file.get();
    if (!file)
        return std::nullopt;
    frame.layout.canvasWidth = file->SWidth;
    frame.layout.canvasHeight = file->SHeight;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(file, &record) == GIF_ERROR)
            return std::nullopt;
        if (record != EXTENSION_RECORD_TYPE)
            break;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(file, &code, &block) == GIF_ERROR)
            return std::nullopt;
        // The graphic control before a frame names its see-through colour.
        GraphicsControlBlock control;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4 && DGifExtensionToGCB(4, block + 1, &control) == GIF_OK)
            frame.transparent = control.TransparentColor;
        while (block)
            if (DGifGetExtensionNext(file, &block) == GIF_ERROR)
                return std::nullopt;
    }
    if (DGifGetImageDesc(file) == GIF_ERROR)
        return std::nullopt;
    const GifImageDesc& image = file->Image;
    frame.layout.left = image.Left;
    frame.layout.top = image.Top;
    frame.layout.width = image.Width;
    frame.layout.height = image.Height;
    frame.interlaced = image.Interlace;
    frame.table = image.ColorMap ? image.ColorMap : file->SColorMap;
    return frame;
}

// The part of the frame inside a canvas of that size.
struct Visible {
    int width = 0;
    int height = 0;
};

Visible visibleOn(const Layout& layout, int canvasWidth, int canvasHeight)
{
    return {std::clamp(canvasWidth - layout.left, 0, layout.width), std::clamp(canvasHeight - layout.top, 0, layout.height)};
}

// The frame row the data's nth line fills: interlaced, every eighth row from the first, every
// eighth from the fifth, every fourth from the third, then every other from the second.
int rowOfLine(int line, int height, bool interlaced)
{
    if (!interlaced)
        return line;
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        int rows = kStart[pass] < height ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (line < rows)
            return kStart[pass] + line * kStep[pass];
        line -= rows;
    }
    return height;
}

// The frame's colour indices inside the canvas, and which of its rows the data reached.
struct Indices {
    std::vector<uint8_t> plane;
    std::vector<uint8_t> reached;
};

// False when a frame that shows gives not one row.
bool readIndices(Frame& frame, Visible visible, Indices& out)
{
    out.plane.assign(size_t(visible.width) * size_t(visible.height), 0);
    out.reached.assign(size_t(visible.height), 0);
    if (visible.width == 0 || visible.height == 0)
        return true;
    const int frameWidth = frame.layout.width;
    const int frameHeight = frame.layout.height;
    std::vector<GifPixelType> line(static_cast<size_t>(frameWidth));
    // Rows past the canvas are read only as far as the data's order needs them.
    int left = visible.height;
    for (int i = 0; i < frameHeight && left > 0; ++i) {
        if (DGifGetLine(frame.file.get(), line.data(), frameWidth) == GIF_ERROR)
            return i > 0; // the data breaks off: what it did not reach stays clear
        int y = rowOfLine(i, frameHeight, frame.interlaced);
        if (y >= visible.height)
            continue;
        std::memcpy(out.plane.data() + size_t(y) * size_t(visible.width), line.data(), size_t(visible.width));
        out.reached[size_t(y)] = 1;
        --left;
    }
    return true;
}

// One canvas pixel's share of each target pixel it falls in, along one direction.
struct Tap {
    int target;
    double share;
};

// For each of `count` canvas pixels from `from`, where it lands among `to` target pixels
// covering `length` canvas pixels.
std::vector<std::vector<Tap>> tapsFor(int from, int count, int length, int to)
{
    std::vector<std::vector<Tap>> taps(size_t(std::max(0, count)));
    const double step = double(length) / to;
    for (int k = 0; k < count; ++k) {
        double start = from + k, stop = start + 1;
        for (int i = std::max(0, int(std::floor(start / step))); i < to && i * step < stop; ++i) {
            double share = std::min(stop, (i + 1) * step) - std::max(start, i * step);
            if (share > 0)
                taps[size_t(k)].push_back({i, share});
        }
    }
    return taps;
}

} // namespace

std::optional<Layout> layout(std::span<const uint8_t> bytes)
{
    auto frame = firstFrame(bytes);
    if (!frame)
        return std::nullopt;
    return frame->layout;
}

size_t cost(const Layout& layout, int width, int height)
{
    Visible visible = visibleOn(layout, layout.canvasWidth, layout.canvasHeight);
    size_t plane = size_t(visible.width) * size_t(visible.height);
    // A line of the frame as stored, and which rows the data reached.
    size_t rows = size_t(layout.width) + size_t(visible.height);
    size_t result = size_t(width) * size_t(height) * 4;
    bool scaled = width != layout.canvasWidth || height != layout.canvasHeight;
    // A scaled decode: a row of sums and each column's and row's places in the result.
    size_t scaling = scaled ? size_t(width) * 32 + size_t(visible.width + visible.height) * 64 : 0;
    // The reader's own tables and the colours.
    return plane + rows + result + scaling + 64 * 1024;
}

SurfaceRef decode(std::span<const uint8_t> bytes, int canvasWidth, int canvasHeight, int width, int height)
{
    auto frame = firstFrame(bytes);
    if (!frame || canvasWidth <= 0 || canvasHeight <= 0 || width <= 0 || height <= 0)
        return {};
    const Layout& place = frame->layout;
    Visible visible = visibleOn(place, canvasWidth, canvasHeight);
    Indices indices;
    if (!readIndices(*frame, visible, indices))
        return {};

    // The colours as premultiplied pixels; an index past the table is black.
    std::array<uint32_t, 256> colours;
    colours.fill(0xff000000u);
    const ColorMapObject* table = frame->table;
    for (int i = 0; table && table->Colors && i < table->ColorCount && i < 256; ++i) {
        const GifColorType& c = table->Colors[i];
        colours[size_t(i)] = 0xff000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    }
    if (frame->transparent >= 0 && frame->transparent < 256)
        colours[size_t(frame->transparent)] = 0;
    auto pixel = [&](int x, int y) {
        return indices.reached[size_t(y)] ? colours[indices.plane[size_t(y) * size_t(visible.width) + size_t(x)]] : 0u;
    };

    // Cleared on creation: the canvas outside the frame is transparent.
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface.get());
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    const size_t stride = size_t(cairo_image_surface_get_stride(surface.get()));

    if (width == canvasWidth && height == canvasHeight) {
        for (int y = 0; y < visible.height; ++y) {
            auto* out = reinterpret_cast<uint32_t*>(data + size_t(place.top + y) * stride) + place.left;
            for (int x = 0; x < visible.width; ++x)
                out[x] = pixel(x, y);
        }
        cairo_surface_mark_dirty(surface.get());
        return surface;
    }

    // Each result pixel is the mean of the canvas area it covers, the clear part included.
    auto columns = tapsFor(place.left, visible.width, canvasWidth, width);
    auto rows = tapsFor(place.top, visible.height, canvasHeight, height);
    const double area = (double(canvasWidth) / width) * (double(canvasHeight) / height);
    std::vector<double> sums(size_t(width) * 4);
    if (visible.width > 0 && visible.height > 0 && !rows.front().empty() && !rows.back().empty()) {
        int from = 0; // the first frame row that reaches the result row being made
        for (int target = rows.front().front().target; target <= rows.back().back().target; ++target) {
            while (rows[size_t(from)].back().target < target)
                ++from;
            std::fill(sums.begin(), sums.end(), 0.0);
            for (int r = from; r < visible.height && rows[size_t(r)].front().target <= target; ++r) {
                double rowShare = 0;
                for (const Tap& tap : rows[size_t(r)])
                    if (tap.target == target)
                        rowShare = tap.share;
                if (rowShare <= 0)
                    continue;
                for (int x = 0; x < visible.width; ++x) {
                    uint32_t p = pixel(x, r);
                    if (!p)
                        continue;
                    for (const Tap& tap : columns[size_t(x)]) {
                        double weight = rowShare * tap.share;
                        double* sum = &sums[size_t(tap.target) * 4];
                        sum[0] += weight * (p >> 24);
                        sum[1] += weight * ((p >> 16) & 0xff);
                        sum[2] += weight * ((p >> 8) & 0xff);
                        sum[3] += weight * (p & 0xff);
                    }
                }
            }
            auto* out = reinterpret_cast<uint32_t*>(data + size_t(target) * stride);
            auto level = [&](double s) { return uint32_t(std::clamp(std::lround(s / area), 0L, 255L)); };
            for (int x = 0; x < width; ++x) {
                const double* sum = &sums[size_t(x) * 4];
                uint32_t a = level(sum[0]);
                out[x] = a << 24 | std::min(a, level(sum[1])) << 16 | std::min(a, level(sum[2])) << 8
                    | std::min(a, level(sum[3]));
            }
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

} // namespace gfx::gifdecode
