#include "Common/PublicFunction.h"

#include "Common/LanguageManager.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/Net/URL.h"
#include "Protocol/LoginMode.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kLocalDateTimeFormat = "MM/dd/yyyy HH:mm:ss";
constexpr const char* kServerDateTimeFormat = "yyyy-MM-dd HH:mm:ss";

// "1234567" -> "1,234,567": a head of one to three digits, then groups of three.
std::string groupThousands(const std::string& digits)
{
    size_t length = digits.size();
    if (length < 4)
        return digits;
    size_t groups = (length + 2) / 3 - 1;
    size_t head = length - 3 * groups;
    std::string out = digits.substr(0, head);
    for (size_t i = head; i < length; i += 3) {
        out += ',';
        out.append(digits, i, 3);
    }
    return out;
}

// Two decimals, rounded, with the integer part grouped; v must be finite and not negative.
std::string groupedTwoDecimals(double v)
{
    int size = std::snprintf(nullptr, 0, "%.2f", v);
    std::string text(static_cast<size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.2f", v);
    size_t dot = text.find('.');
    return groupThousands(text.substr(0, dot)) + text.substr(dot);
}

std::string convertDate(std::string_view text, const char* from, const std::string& to)
{
    auto date = base::DateFormatter(from).dateFromString(text);
    if (!date)
        return {};
    return base::DateFormatter(to).stringFromDate(*date);
}

// Percent-encodes everything but the unreserved characters, so a value cannot end its
// query parameter early or change its meaning.
std::string escapeQueryValue(const std::string& value)
{
    return net::percentEncode(value);
}

} // namespace

// --- Server settings and web pages -------------------------------------------------------

std::shared_ptr<ServerInfo> PublicFunction::GetServer()
{
    static const auto record = std::make_shared<ServerInfo>();
    auto defaults = base::UserDefaults::standard();
    bool filled = false;
    auto text = [&](const char* key, const char* fallback) {
        if (auto stored = defaults->stringForKey(key))
            return *stored;
        defaults->setString(fallback, key);
        filled = true;
        return std::string(fallback);
    };
    // A port of 0 counts as missing.
    auto port = [&](const char* key, int fallback) {
        if (int stored = static_cast<int>(defaults->integerForKey(key)))
            return stored;
        defaults->setInteger(fallback, key);
        filled = true;
        return fallback;
    };
    record->setStrIP(text("IP", kDefaultServerHost));
    record->setHttpPort(port("Port", kDefaultHttpPort));
    record->setWebsiteServer(text("Path", kDefaultWebsiteServer));
    record->setImageIP(text("ImageIP", kDefaultServerHost));
    record->setImageHttpPort(port("ImagePort", kDefaultImageHttpPort));
    record->setImageWebsiteServer(text("ImagePath", kDefaultImageWebsiteServer));
    // Every command and file asks: the store is written only when a default was filled in.
    if (filled)
        defaults->synchronize();
    return record;
}

void PublicFunction::resetUserSetting()
{
    auto defaults = base::UserDefaults::standard();
    auto reset = [&](const char* key, const base::Value& fallback) {
        if (defaults->objectForKey(key) != fallback)
            defaults->setObject(fallback, key);
    };
    reset("IP", kDefaultServerHost);
    reset("Port", kDefaultHttpPort);
    reset("Path", kDefaultWebsiteServer);
    reset("ImageIP", kDefaultServerHost);
    reset("ImagePort", kDefaultImageHttpPort);
    reset("ImagePath", kDefaultImageWebsiteServer);
    defaults->synchronize();
}

void PublicFunction::clearUserDefault()
{
    auto defaults = base::UserDefaults::standard();
    defaults->removeAll();
    defaults->synchronize();
}

std::string PublicFunction::editUserUrl()
{
    auto login = LoginMode::sharedInstance();
    return "http://" + GetServer()->imageUrlStr()
        + "/index.php?option=com_news&view=check&username=" + escapeQueryValue(login->acountID())
        + "@" + escapeQueryValue(login->clientID())
        + "&from=app&lan=" + LanguageManager::sharedInstance()->curStringLanguage();
}

std::string PublicFunction::forgetPassWordUrl()
{
    const char* option = LanguageManager::sharedInstance()->currentLanguage() == 2 ? "com_cforgetpw"
                                                                                   : "com_forgetpw";
    return "http://" + GetServer()->imageUrlStr() + "/index.php?option=" + option
        + "&view=newsletter";
}

// --- Formatting of money, numbers, discounts and dates -----------------------------------

std::string PublicFunction::doubleFormate(double value)
{
    // Infinity must not reach the formatting: its text has no decimals to split off.
    if (!std::isfinite(value) || !(value > 0))
        return "0.00";
    return groupedTwoDecimals(value);
}

std::string PublicFunction::intFormate(int64_t value)
{
    if (value < 1)
        return "0";
    return groupThousands(std::to_string(value));
}

std::string PublicFunction::flagWithCurrency(std::string_view currency)
{
    if (currency == "CNY")
        return "\u00A5";
    if (currency == "USD")
        return "$";
    return {};
}

std::string PublicFunction::priceWithCommaSeparatorAndCurrencyFlag(double value, const std::string& flag)
{
    // A fixed currency style, "$-1,234.50", whose leading sign is swapped for the flag.
    double shown = std::isfinite(value) ? value : 0;
    std::string styled = "$";
    if (shown < 0 && groupedTwoDecimals(-shown) != "0.00")
        styled += '-';
    styled += groupedTwoDecimals(std::fabs(shown));
    return flag + styled.substr(1);
}

std::optional<std::string> PublicFunction::stringRemoveTagStrTag(const std::optional<std::string>& text,
                                                                 const std::optional<std::string>& tag)
{
    if (!text || !tag)
        return std::nullopt;
    if (tag->empty())
        return text;
    std::string out;
    size_t from = 0;
    for (size_t at; (at = text->find(*tag, from)) != std::string::npos; from = at + tag->size())
        out.append(*text, from, at - from);
    out.append(*text, from);
    return out;
}

double PublicFunction::absoluteDiscountRatFromShown(double rate)
{
    double absolute = 100 - rate;
    if (absolute < 0)
        return 0;
    if (absolute > 100)
        return 100;
    return absolute;
}

double PublicFunction::shownDiscountRatFromAbsolute(double rate)
{
    return absoluteDiscountRatFromShown(rate);
}

std::string PublicFunction::currentTime()
{
    return base::DateFormatter(kLocalDateTimeFormat).stringFromDate(base::Date::now());
}

double PublicFunction::currentTimeInterval()
{
    return base::Date::now().timeIntervalSince1970();
}

std::string PublicFunction::formatDate(std::string_view serverDateTime)
{
    return convertDate(serverDateTime, kServerDateTimeFormat, getFormateString());
}

std::string PublicFunction::changeToServerFormatFromLocal(std::string_view localDateTime)
{
    return convertDate(localDateTime, kLocalDateTimeFormat, kServerDateTimeFormat);
}

std::string PublicFunction::getFormateString()
{
    return LanguageManager::sharedInstance()->currentLanguage() == 2 ? "yy/MM/dd" : "MM/dd/yy";
}

// --- Look and view utilities -------------------------------------------------------------

std::string PublicFunction::getPreferredLanguage()
{
    auto languages = base::UserDefaults::standard()->arrayForKey(base::UserDefaults::kPreferredLanguagesKey);
    std::string first = languages && !languages->empty() ? (*languages)[0].toString() : std::string();
    base::logf("Preferred Language:%s", first.c_str());
    return first;
}
