#pragma once
// Text scanning shared by the JSON parser and writer.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brjson {

// Offset of the first byte below 0x20, quote, backslash or 0x80 and above among the next
// bytes (16 with SSE2, else 8), or that count when there is none: plain runs are skipped a
// block at a time. The caller leaves room for a whole block.
#if defined(__SSE2__)
constexpr ptrdiff_t kScanBlock = 16;
inline unsigned firstSpecial(const unsigned char* p)
{
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // A signed compare with 0x20 takes in both the control bytes and those from 0x80 on.
    __m128i special = _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)),
                                   _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                                _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    return mask ? static_cast<unsigned>(__builtin_ctz(mask)) : 16u;
}
#else
constexpr ptrdiff_t kScanBlock = 8;
inline unsigned firstSpecial(const unsigned char* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    uint64_t control = (w - ones * 0x20) & ~w;
    uint64_t quote = w ^ (ones * '"');
    uint64_t backslash = w ^ (ones * '\\');
    uint64_t isQuote = (quote - ones) & ~quote;
    uint64_t isBackslash = (backslash - ones) & ~backslash;
    // Exact for the lowest flagged byte, which is all that is asked (little endian).
    uint64_t mask = (control | isQuote | isBackslash | w) & highs;
    if (!mask)
        return 8u;
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<unsigned>(__builtin_ctzll(mask)) / 8;
    else
        return static_cast<unsigned>(__builtin_clzll(mask)) / 8;
}
#endif

// Length of the well-formed UTF-8 sequence at p (lead byte >= 0x80), or 0 when it is not one:
// no overlong forms, no surrogates, nothing above U+10FFFF.
inline size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end)
{
    unsigned char b = p[0];
    size_t avail = static_cast<size_t>(end - p);
    auto cont = [&](size_t i) { return i < avail && (p[i] & 0xC0) == 0x80; };
    if (b >= 0xC2 && b <= 0xDF)
        return cont(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (avail < 2)
            return 0;
        unsigned char lo = b == 0xE0 ? 0xA0 : 0x80;
        unsigned char hi = b == 0xED ? 0x9F : 0xBF;
        return p[1] >= lo && p[1] <= hi && cont(2) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (avail < 2)
            return 0;
        unsigned char lo = b == 0xF0 ? 0x90 : 0x80;
        unsigned char hi = b == 0xF4 ? 0x8F : 0xBF;
        return p[1] >= lo && p[1] <= hi && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

} // namespace brjson
