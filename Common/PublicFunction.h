#pragma once
#include "Protocol/ServerInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// App-wide class-level operations, grouped as the screens and models use them.
class PublicFunction {
public:
    PublicFunction() = delete;

    // --- Server settings and web pages ---------------------------------------------------
    // The default host of both servers.
    static constexpr const char* kDefaultServerHost = "localhost";
    static constexpr int kDefaultHttpPort = 58080;
    static constexpr const char* kDefaultWebsiteServer = "BrivantaSaas";
    static constexpr int kDefaultImageHttpPort = 580;
    static constexpr const char* kDefaultImageWebsiteServer = "brivanta_saas";

    // The one server record, reloaded from the user defaults on every call; missing settings
    // are stored with their defaults.
    static std::shared_ptr<ServerInfo> GetServer();
    // Puts all six server settings back to their defaults (first launch of a new version).
    static void resetUserSetting();
    // Removes every key of the user defaults (a locked device's data is wiped).
    static void clearUserDefault();
    static std::string editUserUrl();
    static std::string forgetPassWordUrl();

    // --- Formatting of money, numbers, discounts and dates -------------------------------
    // Two decimals with grouped thousands; "0.00" for anything not above zero or not finite.
    static std::string doubleFormate(double value);
    // Grouped thousands; "0" below 1.
    static std::string intFormate(int64_t value);
    // "¥" for "CNY", "$" for "USD", else "".
    static std::string flagWithCurrency(std::string_view currency);
    // Grouped, two decimals, led by the given sign ("-" follows the sign for negatives).
    static std::string priceWithCommaSeparatorAndCurrencyFlag(double value, const std::string& flag);
    // The text without any occurrence of the tag; nothing when either is missing.
    static std::optional<std::string> stringRemoveTagStrTag(const std::optional<std::string>& text,
                                                            const std::optional<std::string>& tag);
    // Both compute 100 - rate, clamped to 0..100.
    static double absoluteDiscountRatFromShown(double rate);
    static double shownDiscountRatFromAbsolute(double rate);
    // Now as "MM/dd/yyyy HH:mm:ss", and as seconds since 1970.
    static std::string currentTime();
    static double currentTimeInterval();
    // A server date-time ("yyyy-MM-dd HH:mm:ss") in the short form of the current language;
    // "" when it does not parse.
    static std::string formatDate(std::string_view serverDateTime);
    // A local date-time ("MM/dd/yyyy HH:mm:ss") in the server form; "" when it does not parse.
    static std::string changeToServerFormatFromLocal(std::string_view localDateTime);
    // "yy/MM/dd" in Chinese, else "MM/dd/yy".
    static std::string getFormateString();

    // --- Look and view utilities ---------------------------------------------------------
    // The first of the user's preferred languages ("zh-Hans", "en", ...); "" when none.
    static std::string getPreferredLanguage();
};
