#include "Platform/Base/DateFormatter.h"

#include "FileTestSupport.h"

#include <clocale>
#include <ctime>
#include <gtest/gtest.h>

using base::Date;
using base::DateFormatter;
using basetest::ScopedEnv;

namespace {

// Sets TZ (and re-reads it) for the duration of a test.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : m_env("TZ", std::string(zone)) { tzset(); }
    ~ScopedTimeZone() { tzset(); }

private:
    ScopedEnv m_env;
};

class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : m_previous(std::setlocale(LC_ALL, nullptr))
    {
        m_ok = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    bool ok() const { return m_ok; }

private:
    std::string m_previous;
    bool m_ok = false;
};

std::string format(const char* pattern, Date date, std::optional<int> offset = std::nullopt)
{
    DateFormatter f(pattern);
    f.setUtcOffset(offset);
    return f.stringFromDate(date);
}

std::optional<Date> parse(const char* pattern, const char* text, std::optional<int> offset = std::nullopt)
{
    DateFormatter f(pattern);
    f.setUtcOffset(offset);
    return f.dateFromString(text);
}

// 2023-11-14 22:13:20 UTC, a Tuesday; 2023-11-15 06:13:20 in Shanghai (UTC+8, no DST).
constexpr double kInstant = 1700000000;

} // namespace

TEST(DateFormatter, AppPatternsRoundTripUnderAGermanLocaleInShanghai)
{
    ScopedTimeZone zone("Asia/Shanghai");
    ScopedLocale locale("de_DE.UTF-8");
    ASSERT_TRUE(locale.ok()) << "run scripts/setup.sh for the locale";

    Date when(kInstant);
    EXPECT_EQ(format("MM/dd/yyyy HH:mm:ss", when), "11/15/2023 06:13:20");
    EXPECT_EQ(format("yyyy-MM-dd HH:mm:ss", when), "2023-11-15 06:13:20");
    EXPECT_EQ(format("yyyyMMddHHmmss", when), "20231115061320");
    EXPECT_EQ(format("EEE dd MMM yyyy", when), "Wed 15 Nov 2023");
    for (const char* pattern : {"MM/dd/yyyy HH:mm:ss", "yyyy-MM-dd HH:mm:ss", "yyyyMMddHHmmss"}) {
        DateFormatter f(pattern);
        EXPECT_EQ(f.dateFromString(f.stringFromDate(when)), when) << pattern;
    }
    // Date-only patterns read as local midnight.
    Date midnight(kInstant - (6 * 3600 + 13 * 60 + 20));
    for (const char* pattern : {"yyyy-MM-dd", "MM/dd/yyyy"}) {
        DateFormatter f(pattern);
        EXPECT_EQ(f.dateFromString(f.stringFromDate(when)), midnight) << pattern;
    }
}

TEST(DateFormatter, FollowsTheDeviceTimeZoneAsItChanges)
{
    Date when(kInstant);
    {
        ScopedTimeZone zone("America/New_York");
        EXPECT_EQ(format("yyyy-MM-dd HH:mm:ss", when), "2023-11-14 17:13:20");
        // Summer time: UTC-4.
        EXPECT_EQ(parse("yyyy-MM-dd HH:mm:ss", "2023-07-01 12:00:00"), Date(1688227200));
    }
    {
        ScopedTimeZone zone("UTC");
        EXPECT_EQ(format("yyyy-MM-dd HH:mm:ss", when), "2023-11-14 22:13:20");
    }
}

TEST(DateFormatter, FixedOffsetsAgreeWithTheCLibraryOverCenturies)
{
    ScopedTimeZone zone("UTC");
    DateFormatter device("yyyy-MM-dd HH:mm:ss EEE");
    DateFormatter fixed("yyyy-MM-dd HH:mm:ss EEE");
    fixed.setUtcOffset(0);
    // From 1901 to 2099 in uneven steps, landing on many days of the year and of the week.
    for (double t = -2200000000; t < 4100000000; t += 7777777.0 + 3601) {
        std::string text = device.stringFromDate(Date(t));
        ASSERT_EQ(fixed.stringFromDate(Date(t)), text) << t;
        ASSERT_EQ(fixed.dateFromString(text), Date(t)) << text;
    }
    EXPECT_EQ(format("yyyy-MM-dd HH:mm", Date(kInstant), 5 * 3600 + 1800), "2023-11-15 03:43");
    EXPECT_EQ(parse("yyyy-MM-dd HH:mm", "2023-11-15 03:43", 5 * 3600 + 1800), Date(kInstant - 20));
    EXPECT_EQ(format("yyyy-MM-dd HH:mm:ss", Date(-1), 0), "1969-12-31 23:59:59");
}

TEST(DateFormatter, ParsingRequiresTheWholeTextAndARealDate)
{
    const char* p = "yyyy-MM-dd HH:mm:ss";
    EXPECT_TRUE(parse(p, "2024-02-29 23:59:59", 0));
    EXPECT_EQ(parse("M/d/yyyy", "1/5/2024", 0), parse(p, "2024-01-05 00:00:00", 0));
    for (const char* bad : {"2023-02-29 00:00:00", "2024-04-31 00:00:00", "2024-13-01 00:00:00",
                            "2024-00-10 00:00:00", "2024-01-00 00:00:00", "2024-01-01 24:00:00",
                            "2024-01-01 12:60:00", "2024-01-01 12:00:60", "2024-01-01 12:00:00 ",
                            "2024-01-01 12:00", "2024/01/01 12:00:00", "2024-1a-01 12:00:00",
                            "24-01-01 12:00:00", "", "-2024-01-01 12:00:00"})
        EXPECT_FALSE(parse(p, bad, 0)) << bad;
    // Fields run together take exactly their widths.
    EXPECT_EQ(parse("yyyyMMddHHmmss", "20240105073009", 0), parse(p, "2024-01-05 07:30:09", 0));
    EXPECT_FALSE(parse("yyyyMMddHHmmss", "2024010507300", 0));
    EXPECT_FALSE(parse("yyyyMMddHHmmss", "202401050730099", 0));
}

TEST(DateFormatter, TwelveHourClockNamesFractionsAndQuotedText)
{
    const char* p = "EEE, dd MMM yyyy hh:mm:ss.SSS a";
    EXPECT_EQ(format(p, Date(kInstant + 0.1239), 0), "Tue, 14 Nov 2023 10:13:20.123 PM");
    EXPECT_EQ(parse(p, "tue, 14 nov 2023 10:13:20.500 pm", 0), Date(kInstant + 0.5));
    EXPECT_EQ(format("h a", Date(0), 0), "12 AM");
    EXPECT_EQ(format("h a", Date(12 * 3600), 0), "12 PM");
    EXPECT_EQ(parse("yyyy-MM-dd hh a", "1970-01-01 12 AM", 0), Date(0));
    EXPECT_EQ(parse("yyyy-MM-dd hh a", "1970-01-01 12 PM", 0), Date(12 * 3600));
    EXPECT_FALSE(parse("yyyy-MM-dd hh a", "1970-01-01 13 PM", 0));
    EXPECT_FALSE(parse("dd MMM yyyy", "14 Noe 2023", 0));

    const char* quoted = "'Day' d 'at' H 'o''clock'";
    EXPECT_EQ(format(quoted, Date(kInstant), 0), "Day 14 at 22 o'clock");
    EXPECT_EQ(parse("yyyy-MM-dd'T'HH:mm:ss'Z'", "2023-11-14T22:13:20Z", 0), Date(kInstant));
}

TEST(DateFormatter, TwoDigitYearsFallNearTheCurrentYear)
{
    Date::setFixedNow(Date(kInstant)); // 2023: window 1943..2042
    auto y30 = parse("yy-MM-dd", "30-01-01", 0);
    auto y50 = parse("yy-MM-dd", "50-01-01", 0);
    auto y43 = parse("yy-MM-dd", "43-01-01", 0);
    Date::setFixedNow(std::nullopt);
    EXPECT_EQ(y30, parse("yyyy-MM-dd", "2030-01-01", 0));
    EXPECT_EQ(y50, parse("yyyy-MM-dd", "1950-01-01", 0));
    EXPECT_EQ(y43, parse("yyyy-MM-dd", "1943-01-01", 0));
    EXPECT_EQ(format("yy", Date(kInstant), 0), "23");
}
