#pragma once
#include "Platform/Base/Date.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Formats and parses dates with a fixed pattern, the same in every locale: Gregorian calendar,
// ASCII digits, English month and weekday abbreviations. Pattern letters: yyyy yy y, MM M,
// MMM, dd d, HH H, hh h, mm m, ss s, S.. (fraction), a (AM/PM), EEE; 'quoted' text and any
// other character stand for themselves. Times are in the device time zone (TZ, re-read on
// every call) unless a fixed offset from UTC is set.
class DateFormatter {
public:
    explicit DateFormatter(std::string_view pattern);

    const std::string& pattern() const { return m_pattern; }
    // Seconds east of UTC (0 for UTC); nullopt for the device time zone.
    void setUtcOffset(std::optional<int> secondsEastOfUtc) { m_utcOffset = secondsEastOfUtc; }
    std::optional<int> utcOffset() const { return m_utcOffset; }

    std::string stringFromDate(Date date) const;
    // The whole text must match the pattern and name a real date and time.
    std::optional<Date> dateFromString(std::string_view text) const;

private:
    enum class Field { Literal, Year, Month, MonthName, Day, Hour24, Hour12, Minute, Second,
                       Fraction, AmPm, Weekday };
    struct Token {
        Field field;
        int width = 0;
        std::string literal;
    };
    static bool isNumeric(Field f);

    std::string m_pattern;
    std::vector<Token> m_tokens;
    std::optional<int> m_utcOffset;
};

} // namespace base
