#include "Platform/Base/DateFormatter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

namespace base {

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

struct Fields {
    int64_t year = 1970;
    int month = 1; // 1-12
    int day = 1;
    int hour = 0; // 0-23
    int minute = 0;
    int second = 0;
    double fraction = 0; // of a second
    int weekday = 4;     // 0 = Sunday
};

int64_t floorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    int64_t era = floorDiv(y, 400);
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, Fields& f)
{
    z += 719468;
    int64_t era = floorDiv(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    f.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    f.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    f.year = yoe + era * 400 + (f.month <= 2);
}

bool isLeap(int64_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int64_t y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

void appendNumber(std::string& out, int64_t value, int width)
{
    if (value < 0) {
        out += '-';
        value = -value;
    }
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        out.append(static_cast<size_t>(width) - digits.size(), '0');
    out += digits;
}

bool equalsIgnoringCase(std::string_view text, const char* word)
{
    for (size_t i = 0; i < text.size(); ++i) {
        char a = text[i], b = word[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b || b == '\0')
            return false;
    }
    return word[text.size()] == '\0';
}

// Index of the word among words (case-insensitively) at the start of text, consuming it.
int matchWord(std::string_view& text, const char* const* words, int count)
{
    for (int i = 0; i < count; ++i) {
        size_t length = std::char_traits<char>::length(words[i]);
        if (text.size() >= length && equalsIgnoringCase(text.substr(0, length), words[i])) {
            text.remove_prefix(length);
            return i;
        }
    }
    return -1;
}

bool readDigits(std::string_view& text, int minDigits, int maxDigits, int64_t& value, int& count)
{
    value = 0;
    count = 0;
    while (count < maxDigits && count < static_cast<int>(text.size()) && text[count] >= '0'
           && text[count] <= '9') {
        value = value * 10 + (text[count] - '0');
        ++count;
    }
    if (count < minDigits)
        return false;
    text.remove_prefix(static_cast<size_t>(count));
    return true;
}

int64_t currentYear()
{
    Fields f;
    civilFromDays(floorDiv(static_cast<int64_t>(std::floor(Date::now().timeIntervalSince1970())), 86400), f);
    return f.year;
}

} // namespace

bool DateFormatter::isNumeric(Field f)
{
    return f != Field::Literal && f != Field::MonthName && f != Field::AmPm && f != Field::Weekday;
}

DateFormatter::DateFormatter(std::string_view pattern) : m_pattern(pattern)
{
    auto addLiteral = [this](char c) {
        if (m_tokens.empty() || m_tokens.back().field != Field::Literal)
            m_tokens.push_back({Field::Literal, 0, {}});
        m_tokens.back().literal += c;
    };
    for (size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                addLiteral('\'');
                i += 2;
                continue;
            }
            // Quoted text runs to the next lone quote; '' inside stands for a quote.
            for (++i; i < pattern.size(); ++i) {
                if (pattern[i] == '\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                        addLiteral('\'');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                addLiteral(pattern[i]);
            }
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        int width = static_cast<int>(run);
        std::optional<Field> field;
        switch (c) {
        case 'y': field = Field::Year; break;
        case 'M': field = width >= 3 ? Field::MonthName : Field::Month; break;
        case 'd': field = Field::Day; break;
        case 'H': field = Field::Hour24; break;
        case 'h': field = Field::Hour12; break;
        case 'm': field = Field::Minute; break;
        case 's': field = Field::Second; break;
        case 'S': field = Field::Fraction; break;
        case 'a': field = Field::AmPm; break;
        case 'E': field = Field::Weekday; break;
        default: break;
        }
        if (field)
            m_tokens.push_back({*field, width, {}});
        else
            for (size_t k = 0; k < run; ++k)
                addLiteral(c);
        i += run;
    }
}

std::string DateFormatter::stringFromDate(Date date) const
{
    double seconds = date.timeIntervalSince1970();
    if (!std::isfinite(seconds))
        return {};
    double whole = std::floor(seconds);
    Fields f;
    f.fraction = seconds - whole;
    auto t = static_cast<int64_t>(whole);
    if (m_utcOffset) {
        int64_t local = t + *m_utcOffset;
        int64_t days = floorDiv(local, 86400);
        int64_t inDay = local - days * 86400;
        civilFromDays(days, f);
        f.hour = static_cast<int>(inDay / 3600);
        f.minute = static_cast<int>(inDay / 60 % 60);
        f.second = static_cast<int>(inDay % 60);
        f.weekday = static_cast<int>(days + 4 - floorDiv(days + 4, 7) * 7); // 1970-01-01: Thursday
    } else {
        tzset();
        std::time_t tt = static_cast<std::time_t>(t);
        std::tm tm{};
        if (!localtime_r(&tt, &tm))
            return {};
        f.year = static_cast<int64_t>(tm.tm_year) + 1900;
        f.month = tm.tm_mon + 1;
        f.day = tm.tm_mday;
        f.hour = tm.tm_hour;
        f.minute = tm.tm_min;
        f.second = tm.tm_sec;
        f.weekday = tm.tm_wday;
    }

    std::string out;
    for (auto& token : m_tokens) {
        switch (token.field) {
        case Field::Literal: out += token.literal; break;
        case Field::Year:
            if (token.width == 2)
                appendNumber(out, (f.year % 100 + 100) % 100, 2);
            else
                appendNumber(out, f.year, token.width);
            break;
        case Field::Month: appendNumber(out, f.month, token.width); break;
        case Field::MonthName: out += kMonths[f.month - 1]; break;
        case Field::Day: appendNumber(out, f.day, token.width); break;
        case Field::Hour24: appendNumber(out, f.hour, token.width); break;
        case Field::Hour12: appendNumber(out, f.hour % 12 == 0 ? 12 : f.hour % 12, token.width); break;
        case Field::Minute: appendNumber(out, f.minute, token.width); break;
        case Field::Second: appendNumber(out, f.second, token.width); break;
        case Field::Fraction: {
            // Truncated, so that a time never shows as the following second.
            int64_t scaled = static_cast<int64_t>(std::floor(f.fraction * std::pow(10.0, token.width)));
            appendNumber(out, std::min<int64_t>(scaled, static_cast<int64_t>(std::pow(10.0, token.width)) - 1), token.width);
            break;
        }
        case Field::AmPm: out += f.hour < 12 ? "AM" : "PM"; break;
        case Field::Weekday: out += kWeekdays[f.weekday]; break;
        }
    }
    return out;
}

std::optional<Date> DateFormatter::dateFromString(std::string_view text) const
{
    Fields f;
    std::optional<int> hour12;
    bool pm = false;
    bool has24 = false;
    std::optional<int64_t> twoDigitYear;

    for (size_t i = 0; i < m_tokens.size(); ++i) {
        const Token& token = m_tokens[i];
        if (token.field == Field::Literal) {
            if (text.substr(0, token.literal.size()) != token.literal)
                return std::nullopt;
            text.remove_prefix(token.literal.size());
            continue;
        }
        if (token.field == Field::MonthName) {
            int m = matchWord(text, kMonths, 12);
            if (m < 0)
                return std::nullopt;
            f.month = m + 1;
            continue;
        }
        if (token.field == Field::Weekday) {
            if (matchWord(text, kWeekdays, 7) < 0)
                return std::nullopt;
            continue;
        }
        if (token.field == Field::AmPm) {
            static constexpr const char* marks[] = {"AM", "PM"};
            int mark = matchWord(text, marks, 2);
            if (mark < 0)
                return std::nullopt;
            pm = mark == 1;
            continue;
        }

        // Numbers: a field run together with another number takes exactly its width.
        bool adjacent = (i + 1 < m_tokens.size() && isNumeric(m_tokens[i + 1].field))
            || (i > 0 && isNumeric(m_tokens[i - 1].field));
        int minDigits = 1, maxDigits = 2;
        if (token.field == Field::Year) {
            if (token.width == 2 || token.width == 4)
                minDigits = maxDigits = token.width;
            else
                maxDigits = 4;
        } else if (token.field == Field::Fraction) {
            minDigits = maxDigits = token.width;
        } else if (adjacent) {
            minDigits = maxDigits = token.width;
        }
        int64_t value = 0;
        int count = 0;
        if (!readDigits(text, minDigits, maxDigits, value, count))
            return std::nullopt;
        switch (token.field) {
        case Field::Year:
            if (token.width == 2)
                twoDigitYear = value;
            else
                f.year = value;
            break;
        case Field::Month: f.month = static_cast<int>(value); break;
        case Field::Day: f.day = static_cast<int>(value); break;
        case Field::Hour24:
            f.hour = static_cast<int>(value);
            has24 = true;
            if (value > 23)
                return std::nullopt;
            break;
        case Field::Hour12:
            if (value < 1 || value > 12)
                return std::nullopt;
            hour12 = static_cast<int>(value);
            break;
        case Field::Minute: f.minute = static_cast<int>(value); break;
        case Field::Second: f.second = static_cast<int>(value); break;
        case Field::Fraction: f.fraction = static_cast<double>(value) / std::pow(10.0, count); break;
        default: break;
        }
    }
    if (!text.empty())
        return std::nullopt;

    if (twoDigitYear) {
        // Two-digit years fall within the 80 years before and 20 after the current one.
        int64_t low = currentYear() - 80;
        int64_t year = floorDiv(low, 100) * 100 + *twoDigitYear;
        f.year = year < low ? year + 100 : year;
    }
    if (hour12 && !has24)
        f.hour = *hour12 % 12 + (pm ? 12 : 0);
    if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > daysInMonth(f.year, f.month)
        || f.minute > 59 || f.second > 59)
        return std::nullopt;

    int64_t seconds = 0;
    if (m_utcOffset) {
        seconds = daysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 + f.minute * 60
            + f.second - *m_utcOffset;
    } else {
        std::tm tm{};
        tm.tm_year = static_cast<int>(f.year - 1900);
        tm.tm_mon = f.month - 1;
        tm.tm_mday = f.day;
        tm.tm_hour = f.hour;
        tm.tm_min = f.minute;
        tm.tm_sec = f.second;
        tm.tm_isdst = -1;
        tzset();
        errno = 0;
        std::time_t t = mktime(&tm);
        if (t == static_cast<std::time_t>(-1) && errno != 0)
            return std::nullopt;
        seconds = static_cast<int64_t>(t);
    }
    return Date(static_cast<double>(seconds) + f.fraction);
}

} // namespace base
