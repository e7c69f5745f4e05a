#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// An exact decimal number: sign * mantissa * 10^exponent, with up to kMaxDigits significant
// digits (rounded half-even beyond) held in a fixed 128-bit mantissa. Comparisons and
// conversions use the normalised value (no trailing zeros in the mantissa).
class Decimal {
public:
    static constexpr int kMaxDigits = 38;
    static constexpr int kMinExponent = -128;
    static constexpr int kMaxExponent = 127;

    Decimal() = default;
    static Decimal fromInt(int64_t v);
    // Accepts [+-]digits[.digits][(e|E)[+-]digits] or [+-].digits; nullopt when malformed or
    // when the normalised exponent leaves kMinExponent..kMaxExponent.
    static std::optional<Decimal> fromText(std::string_view text);
    // From the parts of a normalised value (as kept by a compact holder).
    static Decimal fromParts(uint64_t low, uint64_t high, int exponent, bool negative, unsigned sourceZeros);

    bool isNegative() const { return m_negative; }
    bool isZero() const { return m_low == 0 && m_high == 0; }
    std::string digits() const; // no leading/trailing zeros; empty for zero
    int exponent() const { return m_exponent; }
    uint64_t mantissaLow() const { return m_low; }
    uint64_t mantissaHigh() const { return m_high; }
    unsigned sourceZeros() const { return m_sourceZeros; }
    // The plain text with the fraction digits the source text had: "1.50" stays "1.50".
    std::string sourceText() const;

    // Plain decimal text of the normalised value ("1.5", "-0.001", "1000000000").
    std::string toString() const;
    // The same, appended.
    void appendTo(std::string& out) const;
    // Correctly rounded.
    double toDouble() const;
    // Truncates toward zero and saturates at the int64 limits.
    int64_t toInt64() const;
    bool isIntegral() const { return m_exponent >= 0 || isZero(); }

    bool operator==(const Decimal& other) const
    {
        return m_low == other.m_low && m_high == other.m_high && m_exponent == other.m_exponent &&
               m_negative == other.m_negative;
    }
    bool operator!=(const Decimal& other) const { return !(*this == other); }

private:
    uint64_t m_low = 0;
    uint64_t m_high = 0;
    int16_t m_exponent = 0;
    bool m_negative = false;
    // Trailing fraction zeros of the source text, dropped by normalising.
    uint8_t m_sourceZeros = 0;
};

} // namespace base
