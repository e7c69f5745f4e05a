#include "Network/MBBase64.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kInvalid = 0xFF;

// Built once, on first use.
const std::array<uint8_t, 256>& decodeTable()
{
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t;
        t.fill(kInvalid);
        for (uint8_t i = 0; i < 64; ++i)
            t[static_cast<unsigned char>(kAlphabet[i])] = i;
        return t;
    }();
    return table;
}

bool isSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

std::string MBBase64::base64Encoding(const base::Bytes& data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        uint32_t group = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += kAlphabet[(group >> 6) & 63];
        out += kAlphabet[group & 63];
    }
    size_t rest = data.size() - i;
    if (rest > 0) {
        uint32_t group = uint32_t(data[i]) << 16;
        if (rest == 2)
            group |= uint32_t(data[i + 1]) << 8;
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<base::Bytes> MBBase64::dataWithBase64EncodedString(std::string_view text)
{
    const auto& table = decodeTable();
    base::Bytes out;
    out.reserve(text.size() / 4 * 3 + 2);
    uint32_t group = 0;
    int symbols = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80)
            return std::nullopt;
        if (isSpace(c) || c == '=')
            continue;
        uint8_t v = table[c];
        if (v == kInvalid)
            return std::nullopt;
        group = (group << 6) | v;
        if (++symbols == 4) {
            out.push_back(static_cast<uint8_t>(group >> 16));
            out.push_back(static_cast<uint8_t>(group >> 8));
            out.push_back(static_cast<uint8_t>(group));
            group = 0;
            symbols = 0;
        }
    }
    switch (symbols) {
    case 1:
        return std::nullopt;
    case 2:
        out.push_back(static_cast<uint8_t>(group >> 4));
        break;
    case 3:
        out.push_back(static_cast<uint8_t>(group >> 10));
        out.push_back(static_cast<uint8_t>(group >> 2));
        break;
    default:
        break;
    }
    return out;
}
