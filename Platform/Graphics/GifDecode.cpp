#include "Platform/Graphics/GifDecode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace gfx::gifdecode {

namespace {

constexpr int kMaxCodes = 4096;

struct Frame {
    Layout layout;
    const uint8_t* table = nullptr; // the frame's own colours, else the file's
    int tableSize = 0;
    int transparent = -1;
    bool interlaced = false;
    int minimumCodeSize = 0;
    size_t dataAt = 0;
};

int little16(const uint8_t* p)
{
    return p[0] | p[1] << 8;
}

size_t tableBytes(uint8_t flags)
{
    return (flags & 0x80) ? size_t(3) << ((flags & 7) + 1) : 0;
}

std::optional<Frame> firstFrame(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 13 || std::memcmp(bytes.data(), "GIF8", 4) != 0)
        return std::nullopt;
    Frame frame;
    frame.layout.canvasWidth = little16(&bytes[6]);
    frame.layout.canvasHeight = little16(&bytes[8]);
    size_t at = 13;
    if (size_t global = tableBytes(bytes[10])) {
        if (at + global > bytes.size())
            return std::nullopt;
        frame.table = &bytes[at];
        frame.tableSize = int(global / 3);
        at += global;
    }
    while (at < bytes.size()) {
        uint8_t kind = bytes[at];
        if (kind == 0x21) {
            if (at + 2 > bytes.size())
                return std::nullopt;
            uint8_t label = bytes[at + 1];
            at += 2;
            // The graphic control before a frame names its see-through colour.
            if (label == 0xF9 && at + 5 <= bytes.size() && bytes[at] >= 4)
                frame.transparent = (bytes[at + 1] & 1) ? bytes[at + 4] : -1;
            for (;;) {
                if (at >= bytes.size())
                    return std::nullopt;
                uint8_t size = bytes[at++];
                if (size == 0)
                    break;
                at += size;
            }
            continue;
        }
        if (kind != 0x2C || at + 11 > bytes.size())
            return std::nullopt;
        frame.layout.left = little16(&bytes[at + 1]);
        frame.layout.top = little16(&bytes[at + 3]);
        frame.layout.width = little16(&bytes[at + 5]);
        frame.layout.height = little16(&bytes[at + 7]);
        uint8_t flags = bytes[at + 9];
        frame.interlaced = (flags & 0x40) != 0;
        at += 10;
        if (size_t local = tableBytes(flags)) {
            if (at + local > bytes.size())
                return std::nullopt;
            frame.table = &bytes[at];
            frame.tableSize = int(local / 3);
            at += local;
        }
        if (at >= bytes.size())
            return std::nullopt;
        frame.minimumCodeSize = bytes[at++];
        frame.dataAt = at;
        return frame;
    }
    return std::nullopt;
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

// The frame's colour indices, inside the canvas only, and how far its data reached: pixels are
// given in order (row by row, in the interlaced order where the frame says so), so those not
// reached are the ones at or after `reached`.
struct Indices {
    std::vector<uint8_t> plane;
    std::vector<int64_t> rowStart; // each frame row's first pixel in the data's order
    int64_t reached = 0;
};

std::vector<int> rowsInDataOrder(int height, bool interlaced)
{
    std::vector<int> rows;
    rows.reserve(size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass])
            rows.push_back(y);
    return rows;
}

bool readIndices(std::span<const uint8_t> bytes, const Frame& frame, Visible visible, Indices& out)
{
    const int minimum = frame.minimumCodeSize;
    if (minimum < 1 || minimum > 8)
        return false;
    const int frameWidth = frame.layout.width;
    const int frameHeight = frame.layout.height;
    out.plane.assign(size_t(visible.width) * size_t(visible.height), 0);
    std::vector<int> order = rowsInDataOrder(frameHeight, frame.interlaced);
    out.rowStart.assign(size_t(frameHeight), 0);
    for (size_t i = 0; i < order.size(); ++i)
        out.rowStart[size_t(order[i])] = int64_t(i) * frameWidth;
    const int64_t total = int64_t(frameWidth) * frameHeight;
    if (total == 0)
        return true;

    std::array<uint16_t, kMaxCodes> prefix {};
    std::array<uint8_t, kMaxCodes> suffix {};
    std::array<uint8_t, kMaxCodes> first {};
    std::array<uint16_t, kMaxCodes> length {};
    std::array<uint8_t, kMaxCodes> string {};
    const int clear = 1 << minimum;
    const int end = clear + 1;
    for (int code = 0; code < clear; ++code) {
        suffix[size_t(code)] = first[size_t(code)] = uint8_t(code);
        length[size_t(code)] = 1;
    }
    int next = clear + 2;
    int width = minimum + 1;
    int previous = -1;

    // Where the next pixel goes.
    size_t orderIndex = 0;
    int column = 0;
    uint8_t* row = nullptr;
    auto startRow = [&] {
        int y = orderIndex < order.size() ? order[orderIndex] : visible.height;
        row = y < visible.height ? out.plane.data() + size_t(y) * size_t(visible.width) : nullptr;
    };
    startRow();
    auto emit = [&](int code) {
        int n = length[size_t(code)];
        for (int i = n - 1, c = code; i >= 0; --i, c = prefix[size_t(c)])
            string[size_t(i)] = suffix[size_t(c)];
        for (int i = 0; i < n && out.reached < total; ++i, ++out.reached) {
            if (row && column < visible.width)
                row[column] = string[size_t(i)];
            if (++column == frameWidth) {
                column = 0;
                ++orderIndex;
                startRow();
            }
        }
    };

    uint32_t bits = 0;
    int count = 0;
    size_t at = frame.dataAt;
    size_t blockEnd = at;
    while (out.reached < total) {
        while (count < width) {
            if (at == blockEnd) {
                if (at >= bytes.size() || bytes[at] == 0)
                    return true; // the data ends: what it did not reach stays clear
                blockEnd = std::min(bytes.size(), at + 1 + bytes[at]);
                ++at;
                continue;
            }
            bits |= uint32_t(bytes[at++]) << count;
            count += 8;
        }
        int code = int(bits & ((1u << width) - 1));
        bits >>= width;
        count -= width;
        if (code == clear) {
            next = clear + 2;
            width = minimum + 1;
            previous = -1;
            continue;
        }
        if (code == end)
            return true;
        if (previous < 0) {
            if (code >= clear)
                return true; // no table yet to refer to: the data breaks off here
            emit(code);
            previous = code;
            continue;
        }
        if (code > next || (code == next && next >= kMaxCodes))
            return true;
        if (next < kMaxCodes) {
            // The string before this code, and the first colour of this one (of the new entry
            // itself when the code is the one being made).
            prefix[size_t(next)] = uint16_t(previous);
            suffix[size_t(next)] = code == next ? first[size_t(previous)] : first[size_t(code)];
            first[size_t(next)] = first[size_t(previous)];
            length[size_t(next)] = uint16_t(length[size_t(previous)] + 1);
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        emit(code);
        previous = code;
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
    size_t rows = size_t(layout.height) * (sizeof(int64_t) + sizeof(int));
    size_t result = size_t(width) * size_t(height) * 4;
    bool scaled = width != layout.canvasWidth || height != layout.canvasHeight;
    // A scaled decode: a row of sums and each column's and row's places in the result.
    size_t scaling = scaled ? size_t(width) * 32 + size_t(visible.width + visible.height) * 64 : 0;
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
    if (!readIndices(bytes, *frame, visible, indices))
        return {};

    // The colours as premultiplied pixels; an index past the table is black.
    std::array<uint32_t, 256> colours;
    colours.fill(0xff000000u);
    for (int i = 0; i < frame->tableSize && i < 256; ++i) {
        const uint8_t* c = frame->table + size_t(i) * 3;
        colours[size_t(i)] = 0xff000000u | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
    }
    if (frame->transparent >= 0)
        colours[size_t(frame->transparent)] = 0;
    auto pixel = [&](int x, int y) {
        int64_t at = indices.rowStart[size_t(y)] + x;
        return at < indices.reached ? colours[indices.plane[size_t(y) * size_t(visible.width) + size_t(x)]] : 0u;
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
