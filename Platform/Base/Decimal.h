#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// An exact decimal number: sign * digits * 10^exponent, with up to kMaxDigits significant
// digits (rounded half-even beyond). Keeps the text it was read from, so "1.50" stays "1.50"
// where that text is wanted, while comparisons and conversions use the normalised value.
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

    bool isNegative() const { return m_negative; }
    bool isZero() const { return m_digits.empty(); }
    const std::string& digits() const { return m_digits; } // no leading/trailing zeros
    int exponent() const { return m_exponent; }
    const std::string& sourceText() const { return m_source; }

    // Plain decimal text of the normalised value ("1.5", "-0.001", "1000000000").
    std::string toString() const;
    // Correctly rounded.
    double toDouble() const;
    // Truncates toward zero and saturates at the int64 limits.
    int64_t toInt64() const;
    bool isIntegral() const { return m_exponent >= 0 || m_digits.empty(); }

    bool operator==(const Decimal& other) const;
    bool operator!=(const Decimal& other) const { return !(*this == other); }

private:
    bool m_negative = false;
    std::string m_digits;
    int m_exponent = 0;
    std::string m_source;
};

} // namespace base
