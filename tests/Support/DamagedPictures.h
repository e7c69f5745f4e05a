#pragma once
// Pictures that are sound but far larger than where they are shown, cut off part-way, or
// animations of many frames, written by small encoders of their own.
#include "Platform/Base/Value.h"
#include "tests/Support/LargePictures.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace damagedpictures {

// One frame of a GIF: its place on the screen, the colour (an index of the shared table) its
// rows start from, and what its picture data holds.
struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int colour = 0;
    enum class Data { Pixels, ClearAndEnd, Absent } data = Data::Pixels;
};

// A GIF of the given frames on a width x height screen, repeated for ever, each frame left in
// place after a delay of 20 ms. Every pixel is a literal code of nine bits; row y of a frame
// takes the colour `colour + y`. Index `transparent` (when not -1) is see-through.
inline base::Bytes gifOfFrames(int width, int height, const std::vector<GifFrame>& frames, int transparent = -1)
{
    base::Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int v) {
        out.push_back(static_cast<uint8_t>(v & 0xff));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    put16(width);
    put16(height);
    out.insert(out.end(), {0xF7, 0, 0}); // global table of 256 colours
    for (int i = 0; i < 256; ++i)
        out.insert(out.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)});
    out.insert(out.end(), {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    for (const GifFrame& frame : frames) {
        uint8_t flags = transparent >= 0 ? 0x05 : 0x04;
        out.insert(out.end(), {0x21, 0xF9, 4, flags, 2, 0, static_cast<uint8_t>(std::max(0, transparent)), 0});
        out.push_back(0x2C);
        put16(frame.left);
        put16(frame.top);
        put16(frame.width);
        put16(frame.height);
        out.push_back(0);
        out.push_back(8);
        if (frame.data == GifFrame::Data::Absent) {
            out.push_back(0);
            continue;
        }
        base::Bytes codes;
        uint32_t bits = 0;
        int count = 0;
        auto emit = [&](uint32_t code) {
            bits |= code << count;
            count += 9;
            while (count >= 8) {
                codes.push_back(static_cast<uint8_t>(bits & 0xff));
                bits >>= 8;
                count -= 8;
            }
        };
        int sinceClear = 0;
        emit(256);
        if (frame.data == GifFrame::Data::Pixels) {
            for (int i = 0; i < frame.width * frame.height; ++i) {
                if (sinceClear == 250) {
                    emit(256);
                    sinceClear = 0;
                }
                emit(static_cast<uint32_t>((frame.colour + i / frame.width) & 0xff));
                ++sinceClear;
            }
        }
        emit(257);
        if (count > 0)
            codes.push_back(static_cast<uint8_t>(bits & 0xff));
        for (size_t i = 0; i < codes.size(); i += 255) {
            size_t n = std::min<size_t>(255, codes.size() - i);
            out.push_back(static_cast<uint8_t>(n));
            out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(i),
                       codes.begin() + static_cast<std::ptrdiff_t>(i + n));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

// An animation of `frames` frames on a width x height screen, each frame a side x side square
// of its own colours at a place that moves along.
inline base::Bytes manyFrameGif(int width, int height, int frames, int side)
{
    std::vector<GifFrame> list;
    int across = std::max(1, width / side);
    for (int frame = 0; frame < frames; ++frame)
        list.push_back({(frame % across) * side % std::max(1, width - side + 1),
                        (frame / across) * side % std::max(1, height - side + 1), side, side, frame * 7});
    return gifOfFrames(width, height, list);
}

// An animation of `frames` frames, each over the whole screen, whose picture data gives no
// pixel: none at all, or only a clear and an end code.
inline base::Bytes framesWithoutPixels(int width, int height, int frames, GifFrame::Data data)
{
    return gifOfFrames(width, height, std::vector<GifFrame>(size_t(frames), GifFrame{0, 0, width, height, 0, data}));
}

// A JPEG's bytes without its closing marker, as some writers leave them.
inline base::Bytes withoutEndMarker(const base::Bytes& jpeg)
{
    if (jpeg.size() < 2 || jpeg[jpeg.size() - 2] != 0xFF || jpeg[jpeg.size() - 1] != 0xD9)
        return {};
    return base::Bytes(jpeg.begin(), jpeg.end() - 2);
}

// The first part of a picture's bytes, as a transfer cut off leaves it.
inline base::Bytes cutOff(const base::Bytes& bytes, double kept)
{
    return base::Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(double(bytes.size()) * kept));
}

} // namespace damagedpictures
