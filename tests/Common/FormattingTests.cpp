#include "tests/App/AppTestSupport.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/Date.h"

#include <cmath>
#include <limits>

namespace {

class FormattingTest : public apptest::AppServiceTest {};

} // namespace

TEST_F(FormattingTest, MoneyAndCountTexts)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> money[] = {
        {1234567.891, "1,234,567.89"},
        {999.999, "1,000.00"}, // grouped after rounding
        {999.994, "999.99"},
        {12.3, "12.30"},
        {0.005, "0.01"},
        {1000, "1,000.00"},
        {100000, "100,000.00"},
        {0, "0.00"},
        {-5, "0.00"},
        {std::nan(""), "0.00"},
        {inf, "0.00"},
        {-inf, "0.00"},
        {1e20, "100,000,000,000,000,000,000.00"},
    };
    for (auto [value, text] : money) {
        SCOPED_TRACE(value);
        EXPECT_EQ(PublicFunction::doubleFormate(value), text);
    }

    const std::pair<int64_t, const char*> counts[] = {
        {1000, "1,000"}, {999, "999"}, {1, "1"}, {0, "0"}, {-3, "0"},
        {1234567, "1,234,567"}, {INT64_MAX, "9,223,372,036,854,775,807"},
    };
    for (auto [value, text] : counts) {
        SCOPED_TRACE(value);
        EXPECT_EQ(PublicFunction::intFormate(value), text);
    }
}

TEST_F(FormattingTest, PriceWithAGivenSign)
{
    EXPECT_EQ(PublicFunction::priceWithCommaSeparatorAndCurrencyFlag(1234.5, "\u00A5"), "\u00A51,234.50");
    EXPECT_EQ(PublicFunction::priceWithCommaSeparatorAndCurrencyFlag(-1234.5, "$"), "$-1,234.50");
    EXPECT_EQ(PublicFunction::priceWithCommaSeparatorAndCurrencyFlag(0.1, ""), "0.10");
    // Stays double: a float would show 16,777,216.00 here.
    EXPECT_EQ(PublicFunction::priceWithCommaSeparatorAndCurrencyFlag(16777217, "$"), "$16,777,217.00");
}

TEST_F(FormattingTest, CurrencySignsDiscountsAndTags)
{
    EXPECT_EQ(PublicFunction::flagWithCurrency("CNY"), "\u00A5");
    EXPECT_EQ(PublicFunction::flagWithCurrency("USD"), "$");
    EXPECT_EQ(PublicFunction::flagWithCurrency("usd"), "");
    EXPECT_EQ(PublicFunction::flagWithCurrency("EUR"), "");

    const std::pair<double, double> rates[] = {{15, 85}, {120, 0}, {-10, 100}, {0, 100}, {100, 0}, {12.5, 87.5}};
    for (auto [in, out] : rates) {
        EXPECT_DOUBLE_EQ(PublicFunction::absoluteDiscountRatFromShown(in), out) << in;
        EXPECT_DOUBLE_EQ(PublicFunction::shownDiscountRatFromAbsolute(in), out) << in;
    }

    EXPECT_EQ(PublicFunction::stringRemoveTagStrTag("1,234,567.00", ","), "1234567.00");
    EXPECT_EQ(PublicFunction::stringRemoveTagStrTag("a--b---c", "--"), "ab-c");
    EXPECT_EQ(PublicFunction::stringRemoveTagStrTag("abc", ""), "abc");
    EXPECT_EQ(PublicFunction::stringRemoveTagStrTag(std::nullopt, ","), std::nullopt);
    EXPECT_EQ(PublicFunction::stringRemoveTagStrTag("1,000", std::nullopt), std::nullopt);
}

TEST_F(FormattingTest, ShortDateFollowsTheLanguage)
{
    EXPECT_EQ(PublicFunction::getFormateString(), "MM/dd/yy");
    EXPECT_EQ(PublicFunction::formatDate("2013-05-07 14:30:00"), "05/07/13");
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    EXPECT_EQ(PublicFunction::getFormateString(), "yy/MM/dd");
    EXPECT_EQ(PublicFunction::formatDate("2013-05-07 14:30:00"), "13/05/07");
    EXPECT_EQ(PublicFunction::formatDate(""), "");
    EXPECT_EQ(PublicFunction::formatDate("05/07/2013 14:30:00"), "");
}

TEST_F(FormattingTest, ServerDatesIgnoreTheLocale)
{
    basetest::ScopedEnv locale("LC_ALL", "th_TH.UTF-8");
    basetest::ScopedEnv zone("TZ", "Asia/Shanghai");
    EXPECT_EQ(PublicFunction::changeToServerFormatFromLocal("05/07/2013 14:30:00"), "2013-05-07 14:30:00");
    EXPECT_EQ(PublicFunction::changeToServerFormatFromLocal("13/05/2013"), "");
    EXPECT_EQ(PublicFunction::changeToServerFormatFromLocal("13/05/2013 14:30:00"), "");
    EXPECT_EQ(PublicFunction::changeToServerFormatFromLocal(""), "");
}

TEST_F(FormattingTest, CurrentTimeIsTheAppsNowInTheDeviceZone)
{
    basetest::ScopedEnv zone("TZ", "UTC");
    // 2013-05-07 14:30:05 UTC
    base::Date::setFixedNow(base::Date(1367937005.25));
    EXPECT_EQ(PublicFunction::currentTime(), "05/07/2013 14:30:05");
    EXPECT_DOUBLE_EQ(PublicFunction::currentTimeInterval(), 1367937005.25);
    base::Date::setFixedNow(std::nullopt);
}
