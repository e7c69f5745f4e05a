#pragma once
// Archives that inflate a thousandfold: a gzip file and a zip archive of one entry of zeros,
// built from one compressed mebibyte repeated (each piece flushed, so it stands alone).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include <zlib.h>

namespace bombfix {

struct Zeros {
    std::vector<uint8_t> deflated; // raw deflate, final block included
    uint32_t crc = 0;
    uint64_t size = 0;
};

inline Zeros deflatedZeros(uint64_t mebibytes)
{
    const std::vector<uint8_t> zeros(1 << 20, 0);
    z_stream z {};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> piece(deflateBound(&z, zeros.size()) + 64);
    z.next_in = const_cast<Bytef*>(zeros.data());
    z.avail_in = uInt(zeros.size());
    z.next_out = piece.data();
    z.avail_out = uInt(piece.size());
    deflate(&z, Z_FULL_FLUSH);
    // Cut to what deflate wrote; shrinking only, which gcc does not take for a growth past bounds.
    piece.erase(piece.end() - std::ptrdiff_t(z.avail_out), piece.end());
    uint8_t tail[16];
    z.next_out = tail;
    z.avail_out = sizeof tail;
    deflate(&z, Z_FINISH);
    size_t tailSize = sizeof tail - z.avail_out;
    deflateEnd(&z);

    Zeros out;
    uint32_t pieceCrc = uint32_t(crc32(0, zeros.data(), uInt(zeros.size())));
    out.crc = uint32_t(crc32(0, nullptr, 0));
    for (uint64_t i = 0; i < mebibytes; ++i) {
        out.deflated.insert(out.deflated.end(), piece.begin(), piece.end());
        out.crc = uint32_t(crc32_combine(out.crc, pieceCrc, z_off_t(zeros.size())));
    }
    out.deflated.insert(out.deflated.end(), tail, tail + tailSize);
    out.size = mebibytes << 20;
    return out;
}

inline void put16(std::string& s, uint32_t v)
{
    s += char(v & 255), s += char(v >> 8 & 255);
}

inline void put32(std::string& s, uint32_t v)
{
    put16(s, v & 0xffff), put16(s, v >> 16);
}

// Gzip bytes of `mebibytes` MiB of zeros.
inline std::string gzipBomb(uint64_t mebibytes)
{
    Zeros zeros = deflatedZeros(mebibytes);
    std::string s("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    s.append(zeros.deflated.begin(), zeros.deflated.end());
    put32(s, zeros.crc);
    put32(s, uint32_t(zeros.size));
    return s;
}

// Zip bytes of one deflated entry `name` holding `mebibytes` MiB of zeros (below 4 GiB).
inline std::string zipBomb(uint64_t mebibytes, const std::string& name = "zeros.bin")
{
    Zeros zeros = deflatedZeros(mebibytes);
    auto header = [&](bool central) {
        std::string h;
        put32(h, central ? 0x02014b50 : 0x04034b50);
        if (central)
            put16(h, 20);
        put16(h, 20), put16(h, 0), put16(h, 8), put16(h, 0), put16(h, 0x21); // version, flags, deflate, time, date
        put32(h, zeros.crc), put32(h, uint32_t(zeros.deflated.size())), put32(h, uint32_t(zeros.size));
        put16(h, uint32_t(name.size())), put16(h, 0);
        if (central) {
            put16(h, 0), put16(h, 0), put16(h, 0), put32(h, 0), put32(h, 0); // comment, disk, attributes, offset
        }
        return h + name;
    };
    std::string s = header(false);
    s.append(zeros.deflated.begin(), zeros.deflated.end());
    uint32_t centralAt = uint32_t(s.size());
    std::string central = header(true);
    s += central;
    put32(s, 0x06054b50), put16(s, 0), put16(s, 0), put16(s, 1), put16(s, 1);
    put32(s, uint32_t(central.size())), put32(s, centralAt), put16(s, 0);
    return s;
}

} // namespace bombfix
