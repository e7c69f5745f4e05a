#include "Platform/Base/Decimal.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <limits>

namespace base {

namespace {

__extension__ typedef unsigned __int128 Mantissa;

Mantissa join(uint64_t low, uint64_t high)
{
    return (static_cast<Mantissa>(high) << 64) | low;
}

// Decimal digits of the mantissa, most significant first.
size_t mantissaDigits(Mantissa m, char* out)
{
    char buf[48];
    size_t n = 0;
    while (m > std::numeric_limits<uint64_t>::max()) {
        uint64_t part = static_cast<uint64_t>(m % 10000000000000000000ull);
        m /= 10000000000000000000ull;
        for (int k = 0; k < 19; ++k) {
            buf[n++] = static_cast<char>('0' + part % 10);
            part /= 10;
        }
    }
    uint64_t rest = static_cast<uint64_t>(m);
    do {
        buf[n++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest);
    for (size_t k = 0; k < n; ++k)
        out[k] = buf[n - 1 - k];
    return n;
}

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

Decimal Decimal::fromInt(int64_t v)
{
    Decimal d;
    d.m_negative = v < 0;
    uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    int exponent = 0;
    while (mag != 0 && mag % 10 == 0) {
        mag /= 10;
        ++exponent;
    }
    d.m_low = mag;
    d.m_exponent = static_cast<int16_t>(exponent);
    if (mag == 0)
        d.m_negative = false;
    return d;
}

Decimal Decimal::fromParts(uint64_t low, uint64_t high, int exponent, bool negative, unsigned sourceZeros)
{
    Decimal d;
    d.m_low = low;
    d.m_high = high;
    d.m_exponent = static_cast<int16_t>(exponent);
    d.m_negative = negative;
    d.m_sourceZeros = static_cast<uint8_t>(sourceZeros);
    return d;
}

std::optional<Decimal> Decimal::fromText(std::string_view text)
{
    const char* p = text.data();
    const size_t n = text.size();
    size_t i = 0;
    bool negative = false;
    if (i < n && (p[i] == '-' || p[i] == '+')) {
        negative = p[i] == '-';
        ++i;
    }

    // The first kMaxDigits significant digits form the mantissa; of the rest only what
    // rounding needs is kept: the first dropped digit and whether any later one is non-zero.
    uint64_t small = 0;
    Mantissa mantissa = 0;
    int kept = 0;
    long long dropped = 0;
    int firstDropped = 0;
    bool sticky = false;
    long long scale = 0; // digits after the point
    bool anyDigit = false;
    auto take = [&](int digit) {
        if (kept == 0 && digit == 0)
            return; // a leading zero
        if (kept < 19) {
            small = small * 10 + static_cast<unsigned>(digit);
            if (++kept == 19)
                mantissa = small;
        } else if (kept < kMaxDigits) {
            mantissa = mantissa * 10 + static_cast<unsigned>(digit);
            ++kept;
        } else {
            if (dropped == 0)
                firstDropped = digit;
            else if (digit)
                sticky = true;
            ++dropped;
        }
    };
    auto isDigit = [&](size_t k) { return k < n && p[k] >= '0' && p[k] <= '9'; };
    while (isDigit(i)) {
        take(p[i++] - '0');
        anyDigit = true;
    }
    if (i < n && p[i] == '.') {
        ++i;
        bool frac = false;
        while (isDigit(i)) {
            take(p[i++] - '0');
            ++scale;
            frac = true;
        }
        if (!frac && !anyDigit)
            return std::nullopt;
        anyDigit = true;
    }
    if (!anyDigit)
        return std::nullopt;
    long long exp = 0;
    bool hasExponent = false;
    if (i < n && (p[i] == 'e' || p[i] == 'E')) {
        hasExponent = true;
        ++i;
        bool negExp = false;
        if (i < n && (p[i] == '-' || p[i] == '+'))
            negExp = p[i++] == '-';
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i)) {
            // Saturate instead of overflowing; anything this large is out of range anyway.
            if (exp < 1000000000LL)
                exp = exp * 10 + (p[i] - '0');
            ++i;
        }
        if (negExp)
            exp = -exp;
    }
    if (i != n)
        return std::nullopt;
    if (kept < 19)
        mantissa = small;

    Decimal d;
    if (mantissa == 0) {
        if (!hasExponent)
            d.m_sourceZeros = static_cast<uint8_t>(scale > 255 ? 255 : scale);
        return d;
    }
    if (dropped > 0 && (firstDropped > 5 || (firstDropped == 5 && (sticky || (mantissa & 1)))))
        ++mantissa; // at most 10^38, which still fits
    long long stripped = 0;
    if (mantissa <= std::numeric_limits<uint64_t>::max()) {
        uint64_t m = static_cast<uint64_t>(mantissa);
        while (m % 10 == 0) {
            m /= 10;
            ++stripped;
        }
        mantissa = m;
    } else {
        while (mantissa % 10 == 0) {
            mantissa /= 10;
            ++stripped;
        }
    }
    exp += dropped - scale + stripped;
    if (exp < kMinExponent || exp > kMaxExponent)
        return std::nullopt;
    d.m_low = static_cast<uint64_t>(mantissa);
    d.m_high = static_cast<uint64_t>(mantissa >> 64);
    d.m_exponent = static_cast<int16_t>(exp);
    d.m_negative = negative;
    if (!hasExponent && dropped == 0) {
        long long zeros = stripped < scale ? stripped : scale;
        d.m_sourceZeros = static_cast<uint8_t>(zeros > 255 ? 255 : zeros);
    }
    return d;
}

std::string Decimal::digits() const
{
    if (isZero())
        return {};
    char buf[48];
    size_t n = mantissaDigits(join(m_low, m_high), buf);
    return std::string(buf, n);
}

void Decimal::appendTo(std::string& out) const
{
    if (isZero()) {
        out.push_back('0');
        return;
    }
    char digits[48];
    const long len = static_cast<long>(mantissaDigits(join(m_low, m_high), digits));
    if (m_negative)
        out.push_back('-');
    const long point = len + m_exponent; // digits before the decimal point
    if (m_exponent >= 0) {
        out.append(digits, static_cast<size_t>(len));
        out.append(static_cast<size_t>(m_exponent), '0');
    } else if (point > 0) {
        out.append(digits, static_cast<size_t>(point));
        out.push_back('.');
        out.append(digits + point, static_cast<size_t>(len - point));
    } else {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out.append(digits, static_cast<size_t>(len));
    }
}

std::string Decimal::toString() const
{
    std::string out;
    appendTo(out);
    return out;
}

std::string Decimal::sourceText() const
{
    std::string out = toString();
    if (m_sourceZeros) {
        if (out.find('.') == std::string::npos)
            out.push_back('.');
        out.append(m_sourceZeros, '0');
    }
    return out;
}

double Decimal::toDouble() const
{
    if (isZero())
        return 0.0;
    // Exact operands give a correctly rounded result directly.
    if (m_high == 0 && m_low <= (1ull << 53) && m_exponent >= -22 && m_exponent <= 22) {
        double m = static_cast<double>(m_low);
        double v = m_exponent >= 0 ? m * kPowersOfTen[m_exponent] : m / kPowersOfTen[-m_exponent];
        return m_negative ? -v : v;
    }
    // strtod rounds correctly; scientific form keeps the text short.
    std::string s = (m_negative ? "-" : "") + digits() + "e" + std::to_string(m_exponent);
    return std::strtod(s.c_str(), nullptr);
}

int64_t Decimal::toInt64() const
{
    if (isZero())
        return 0;
    const std::string ds = digits();
    int len = static_cast<int>(ds.size());
    int intLen = len + m_exponent; // digits before the point
    if (intLen <= 0)
        return 0;
    if (intLen > 19)
        return m_negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    unsigned long long mag = 0;
    for (int k = 0; k < intLen; ++k) {
        int digit = k < len ? ds[static_cast<size_t>(k)] - '0' : 0;
        if (mag > (ULLONG_MAX - static_cast<unsigned>(digit)) / 10) {
            mag = ULLONG_MAX;
            break;
        }
        mag = mag * 10 + static_cast<unsigned>(digit);
    }
    if (m_negative) {
        if (mag > static_cast<unsigned long long>(std::numeric_limits<int64_t>::max()) + 1)
            return std::numeric_limits<int64_t>::min();
        return static_cast<int64_t>(0 - mag);
    }
    if (mag > static_cast<unsigned long long>(std::numeric_limits<int64_t>::max()))
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(mag);
}

} // namespace base
