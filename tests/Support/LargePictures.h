#pragma once
// Large pictures of every format the application meets, written by small encoders of their
// own (a PNG of any depth, GIF, HDR, BMP, a WebP header) or the system's JPEG encoder, and the
// peak memory of work run in a child process.
#include "Platform/Base/Value.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace largepictures {

inline uint8_t shade(int x, int y, int channel)
{
    return static_cast<uint8_t>((x / 37 + y / 53 + channel * 60) & 0xff);
}

inline void put32(base::Bytes& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

inline void pngChunk(base::Bytes& out, const char* type, const base::Bytes& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// A PNG of 8 or 16 bits a sample, or of indexed colours, deflated row by row.
inline base::Bytes png(int side, int channels, int bits, bool palette = false)
{
    static const uint8_t kColourType[5] = {0, 0, 4, 2, 6};
    base::Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    base::Bytes header;
    put32(header, static_cast<uint32_t>(side));
    put32(header, static_cast<uint32_t>(side));
    header.insert(header.end(), {static_cast<uint8_t>(bits), palette ? uint8_t(3) : kColourType[channels], 0, 0, 0});
    pngChunk(out, "IHDR", header);
    if (palette) {
        base::Bytes colours;
        for (int i = 0; i < 256; ++i)
            colours.insert(colours.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)});
        pngChunk(out, "PLTE", colours);
        channels = 1;
    }
    z_stream zs {};
    deflateInit(&zs, 1);
    size_t bytesPerSample = static_cast<size_t>(bits / 8);
    std::vector<uint8_t> row(1 + static_cast<size_t>(side) * channels * bytesPerSample);
    base::Bytes compressed;
    std::vector<uint8_t> buffer(1 << 16);
    for (int y = 0; y <= side; ++y) {
        if (y < side) {
            row[0] = 0;
            for (int x = 0; x < side; ++x)
                for (int c = 0; c < channels; ++c)
                    for (size_t b = 0; b < bytesPerSample; ++b)
                        row[1 + (static_cast<size_t>(x) * channels + c) * bytesPerSample + b] = shade(x, y, c);
            zs.next_in = row.data();
            zs.avail_in = static_cast<uInt>(row.size());
        }
        int flush = y < side ? Z_NO_FLUSH : Z_FINISH;
        do {
            zs.next_out = buffer.data();
            zs.avail_out = static_cast<uInt>(buffer.size());
            deflate(&zs, flush);
            compressed.insert(compressed.end(), buffer.data(), buffer.data() + (buffer.size() - zs.avail_out));
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    pngChunk(out, "IDAT", compressed);
    pngChunk(out, "IEND", {});
    return out;
}

// A JPEG written by the system's encoder, each pixel's 0xRRGGBB from `rgbAt`.
inline base::Bytes encodeJpeg(int width, int height, bool progressive, int quality,
                              const std::function<uint32_t(int, int)>& rgbAt)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < width; ++x) {
            uint32_t c = rgbAt(x, y);
            row[static_cast<size_t>(x) * 3] = static_cast<uint8_t>(c >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<uint8_t>(c >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<uint8_t>(c);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    base::Bytes bytes(out, out + size);
    free(out);
    return bytes;
}

// A JPEG whose data is arithmetic-coded.
inline base::Bytes arithmeticJpeg(int side)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = info.image_height = static_cast<JDIMENSION>(side);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    info.arith_code = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(side));
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < side; ++x)
            row[static_cast<size_t>(x)] = shade(x, static_cast<int>(info.next_scanline), 0);
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    base::Bytes bytes(out, out + size);
    free(out);
    return bytes;
}

// A JPEG of printing inks, stored as CMYK or as YCCK: each ink a shade of its own.
inline base::Bytes inkJpeg(int side, J_COLOR_SPACE stored)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = info.image_height = static_cast<JDIMENSION>(side);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(side) * 4);
    while (info.next_scanline < info.image_height) {
        int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < 4; ++c)
                row[static_cast<size_t>(x) * 4 + static_cast<size_t>(c)] = c == 3 ? uint8_t(160 + shade(x, y, 0) % 96) : shade(x, y, c);
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    base::Bytes bytes(out, out + size);
    free(out);
    return bytes;
}

inline base::Bytes jpeg(int side, bool progressive)
{
    return encodeJpeg(side, side, progressive, 80, [](int x, int y) {
        return uint32_t(shade(x, y, 0)) << 16 | uint32_t(shade(x, y, 1)) << 8 | shade(x, y, 2);
    });
}

// A GIF whose every pixel is a literal code of nine bits, the table cleared before it grows.
inline base::Bytes gif(int side)
{
    base::Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int v) {
        out.push_back(static_cast<uint8_t>(v & 0xff));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    put16(side);
    put16(side);
    out.insert(out.end(), {0xF7, 0, 0}); // global table of 256 colours
    for (int i = 0; i < 256; ++i)
        out.insert(out.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)});
    out.push_back(0x2C);
    put16(0);
    put16(0);
    put16(side);
    put16(side);
    out.push_back(0);
    out.push_back(8); // minimum code size
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
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            if (sinceClear == 250) {
                emit(256);
                sinceClear = 0;
            }
            emit(shade(x, y, 0));
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
    out.push_back(0x3B);
    return out;
}

// An uncompressed 24-bit bitmap, bottom row first.
inline base::Bytes bmp(int side)
{
    size_t rowBytes = (static_cast<size_t>(side) * 3 + 3) & ~size_t(3);
    auto size = static_cast<uint32_t>(54 + rowBytes * side);
    base::Bytes out;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    out.insert(out.end(), {'B', 'M'});
    put(size, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(static_cast<uint32_t>(side), 4);
    put(static_cast<uint32_t>(side), 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(static_cast<uint32_t>(rowBytes * side), 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    out.reserve(size);
    for (int y = side - 1; y >= 0; --y) {
        for (int x = 0; x < side; ++x)
            for (int c = 2; c >= 0; --c)
                out.push_back(shade(x, y, c));
        out.resize(out.size() + rowBytes - static_cast<size_t>(side) * 3, 0);
    }
    return out;
}

// A high-dynamic-range picture, each row one colour, its scanlines run-length coded.
inline base::Bytes hdr(int side)
{
    std::string head = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(side) + " +X "
        + std::to_string(side) + "\n";
    base::Bytes out(head.begin(), head.end());
    for (int y = 0; y < side; ++y) {
        out.insert(out.end(), {2, 2, static_cast<uint8_t>(side >> 8), static_cast<uint8_t>(side & 0xff)});
        const uint8_t rgbe[4] = {shade(0, y, 0), shade(0, y, 1), shade(0, y, 2), 128};
        for (uint8_t value : rgbe)
            for (int left = side; left > 0; left -= 127) {
                int run = std::min(left, 127);
                out.push_back(static_cast<uint8_t>(128 + run));
                out.push_back(value);
            }
    }
    return out;
}

// A lossless WebP header of the given size; no decoder here reads the format.
inline base::Bytes webp(int side)
{
    base::Bytes body = {'V', 'P', '8', 'L', 5, 0, 0, 0, 0x2f};
    uint32_t packed = static_cast<uint32_t>(side - 1) | static_cast<uint32_t>(side - 1) << 14;
    for (int i = 0; i < 4; ++i)
        body.push_back(static_cast<uint8_t>(packed >> (8 * i)));
    body.push_back(0);
    base::Bytes out = {'R', 'I', 'F', 'F'};
    uint32_t riff = static_cast<uint32_t>(4 + body.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(riff >> (8 * i)));
    out.insert(out.end(), {'W', 'E', 'B', 'P'});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline long statusKilobytes(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    size_t length = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, length, field) == 0)
            return std::strtol(line.c_str() + length + 1, nullptr, 10);
    return -1;
}


inline bool writeFile(const std::string& path, const base::Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Runs `work` in a child process with a fresh high-water mark, so nothing else the test process
// holds or frees is counted. The work fills `Result` (plain data); `grown` gets how far the
// child's resident memory rose above where it started. False when the child did not answer.
template <typename Result>
bool inChild(const std::function<void(Result&)>& work, Result& result, long& grown)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        struct {
            Result result;
            long grown;
        } answer {};
        std::ofstream("/proc/self/clear_refs") << "5";
        long base = statusKilobytes("VmRSS:");
        work(answer.result);
        answer.grown = (statusKilobytes("VmHWM:") - base) * 1024;
        ssize_t written = write(fds[1], &answer, sizeof answer);
        _exit(written == sizeof answer ? 0 : 1);
    }
    close(fds[1]);
    struct {
        Result result;
        long grown;
    } answer {};
    ssize_t got = read(fds[0], &answer, sizeof answer);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != sizeof answer)
        return false;
    result = answer.result;
    grown = answer.grown;
    return true;
}

} // namespace largepictures
