#pragma once
// Pictures that are sound but far larger than where they are shown, cut off part-way, or
// animations of many frames, written by small encoders of their own.
#include "Platform/Base/Value.h"
#include "tests/Support/LargePictures.h"

#include <algorithm>
#include <cstdint>

namespace damagedpictures {

// An animation of `frames` frames on a width x height screen, each frame a side x side square
// of its own colours at a place that moves along, every pixel a literal code of nine bits.
inline base::Bytes manyFrameGif(int width, int height, int frames, int side)
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
    // Repeated for ever.
    out.insert(out.end(), {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    int across = std::max(1, width / side);
    for (int frame = 0; frame < frames; ++frame) {
        out.insert(out.end(), {0x21, 0xF9, 4, 0x04, 2, 0, 0, 0}); // a delay of 20 ms, left in place
        out.push_back(0x2C);
        put16((frame % across) * side % std::max(1, width - side + 1));
        put16((frame / across) * side % std::max(1, height - side + 1));
        put16(side);
        put16(side);
        out.push_back(0);
        out.push_back(8);
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
        for (int i = 0; i < side * side; ++i) {
            if (sinceClear == 250) {
                emit(256);
                sinceClear = 0;
            }
            emit(static_cast<uint32_t>((frame * 7 + i / side) & 0xff));
            ++sinceClear;
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

// The first part of a picture's bytes, as a transfer cut off leaves it.
inline base::Bytes cutOff(const base::Bytes& bytes, double kept)
{
    return base::Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(double(bytes.size()) * kept));
}

} // namespace damagedpictures
