#include "Platform/Base/Decimal.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <limits>

namespace base {

Decimal Decimal::fromInt(int64_t v)
{
    auto d = fromText(std::to_string(v));
    return *d;
}

std::optional<Decimal> Decimal::fromText(std::string_view text)
{
    size_t i = 0, n = text.size();
    Decimal d;
    d.m_source = std::string(text);
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        d.m_negative = text[i] == '-';
        ++i;
    }
    std::string digits;
    long long scale = 0; // digits after the point
    bool anyDigit = false;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
        digits.push_back(text[i++]);
        anyDigit = true;
    }
    if (i < n && text[i] == '.') {
        ++i;
        bool frac = false;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            digits.push_back(text[i++]);
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
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < n && (text[i] == '-' || text[i] == '+'))
            negExp = text[i++] == '-';
        if (i >= n || !std::isdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            // Saturate instead of overflowing; anything this large is out of range anyway.
            if (exp < 1000000000LL)
                exp = exp * 10 + (text[i] - '0');
            ++i;
        }
        if (negExp)
            exp = -exp;
    }
    if (i != n)
        return std::nullopt;

    // Normalise: strip leading zeros, then trailing zeros into the exponent.
    size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos) {
        d.m_digits.clear();
        d.m_exponent = 0;
        d.m_negative = false;
        return d;
    }
    digits.erase(0, lead);
    exp -= scale;
    size_t trail = digits.find_last_not_of('0');
    exp += static_cast<long long>(digits.size() - trail - 1);
    digits.erase(trail + 1);

    if (static_cast<int>(digits.size()) > kMaxDigits) {
        // Round half-even to kMaxDigits significant digits.
        size_t drop = digits.size() - kMaxDigits;
        char first = digits[kMaxDigits];
        bool restNonZero = digits.find_first_not_of('0', kMaxDigits + 1) != std::string::npos;
        digits.erase(kMaxDigits);
        exp += static_cast<long long>(drop);
        bool up = first > '5' || (first == '5' && (restNonZero || ((digits.back() - '0') & 1)));
        if (up) {
            int k = static_cast<int>(digits.size()) - 1;
            while (k >= 0 && digits[k] == '9')
                digits[k--] = '0';
            if (k < 0)
                digits.insert(digits.begin(), '1');
            else
                ++digits[k];
        }
        size_t t = digits.find_last_not_of('0');
        exp += static_cast<long long>(digits.size() - t - 1);
        digits.erase(t + 1);
    }
    if (exp < kMinExponent || exp > kMaxExponent)
        return std::nullopt;
    d.m_digits = std::move(digits);
    d.m_exponent = static_cast<int>(exp);
    return d;
}

std::string Decimal::toString() const
{
    if (m_digits.empty())
        return "0";
    std::string out = m_negative ? "-" : "";
    int len = static_cast<int>(m_digits.size());
    if (m_exponent >= 0) {
        out += m_digits;
        out.append(static_cast<size_t>(m_exponent), '0');
    } else if (-m_exponent < len) {
        out += m_digits.substr(0, static_cast<size_t>(len + m_exponent));
        out += '.';
        out += m_digits.substr(static_cast<size_t>(len + m_exponent));
    } else {
        out += "0.";
        out.append(static_cast<size_t>(-m_exponent - len), '0');
        out += m_digits;
    }
    return out;
}

double Decimal::toDouble() const
{
    if (m_digits.empty())
        return 0.0;
    // strtod rounds correctly; scientific form keeps the text short.
    std::string s = (m_negative ? "-" : "") + m_digits + "e" + std::to_string(m_exponent);
    return std::strtod(s.c_str(), nullptr);
}

int64_t Decimal::toInt64() const
{
    if (m_digits.empty())
        return 0;
    int len = static_cast<int>(m_digits.size());
    int intLen = len + m_exponent; // digits before the point
    if (intLen <= 0)
        return 0;
    if (intLen > 19)
        return m_negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    unsigned long long mag = 0;
    for (int k = 0; k < intLen; ++k) {
        int digit = k < len ? m_digits[static_cast<size_t>(k)] - '0' : 0;
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

bool Decimal::operator==(const Decimal& other) const
{
    return m_negative == other.m_negative && m_digits == other.m_digits && m_exponent == other.m_exponent;
}

} // namespace base
