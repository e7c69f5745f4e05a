#pragma once
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/View.h"
#include "Protocol/ServerInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace gfx { class Image; }
namespace ui {
class ActivityIndicator;
class AlertView;
class Button;
class ImageView;
class Label;
}

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

    // Skinned buttons: white bold 15-point centred title on a clear background over the
    // skin's stretchable picture of that height (back and forward keep their titles clear of
    // the arrow). A null button is left alone.
    static void initializeToButtonHeight30(ui::Button* button);
    static void initializeToButtonHeight34(ui::Button* button);
    static void initializeToBackButtonHeight34(ui::Button* button);
    static void initializeToForwardButtonHeight34(ui::Button* button);
    // Cap insets from system version 5 on; before it, whole left and top cap sizes only.
    static gfx::Image resizeImageWithCapInsets(const gfx::Image& image, gfx::EdgeInsets insets);
    // The skin's top bar averaged into one premultiplied pixel; dark grey without it.
    static gfx::Color colorOfMainTheme();
    // The strike line across an old price, and its removal (with every other subview).
    // The line runs over the text as drawn (its alignment counted), inside the label.
    static void addDeletionLineToLabel(ui::Label* label);
    static void removeDeletionLineFromLabel(ui::Label* label);
    // A list row's count keeps its whole number, growing leftwards from its right edge; the
    // title before it gives way and ends in an ellipsis.
    static void fitCountBesideTitle(ui::Label* title, ui::Label* count, double minimumCountWidth);
    // The "wiggle" of items that can be edited.
    static void setViewShakingShaking(ui::View* view, bool shaking);
    // A busy indicator over a view that takes no touches meanwhile.
    static void showDialIndicatorView(ui::View* view, const std::shared_ptr<ui::ActivityIndicator>& indicator);
    static void hideDialIndicatorView(ui::View* view, const std::shared_ptr<ui::ActivityIndicator>& indicator);
    // The index-th direct subview (from 0) that is a T or derives from it; null past the last.
    template <typename T>
    static std::shared_ptr<T> findSubViewInOfClassIndex(const ui::View* view, int index);
    // Aligns the message, the alert's second label.
    static void setTextAlignmentForAlertView(gfx::TextAlignment alignment, ui::AlertView* alert);
    static bool isRetinaDisplay();
    // Shrunk to fit the size (twice the size on a double-resolution screen), keeping its
    // proportions; a picture that fits comes back as it is.
    static gfx::Image scaleImageToFitSize(const gfx::Image& image, gfx::Size size);
    // Every picture is scaled.
    static bool imageIsNeedToScaleToFitSize(const gfx::Image& image, gfx::Size size);
    // Shows the picture centred when it is smaller than the view, else fitted.
    static void ImageViewFitImgImg(ui::ImageView* imageView, const gfx::Image& image);
    // Replaces the view's subviews with one image view of the picture, shrunk to fit and centred.
    static void ImageViewSetImgImg(ui::View* view, const gfx::Image& image);

    // Diagnostics, called from nowhere in the application.
    static bool isContainChinese(const std::optional<std::string>& text);
    static void showCurrentMemory();
    // Appends an entry to Documents/<time of the first call>.txt, flushed at once.
    static void LOGFunctionLineNumberFormat(const char* file, const char* function, int line,
                                            const char* format, ...) __attribute__((format(printf, 4, 5)));

    // --- File types, local paths and download addresses ----------------------------------
    // 5 "PDF", 6 "VEDIO", 7 "EXCEL", 8 "WORD", 9 anything else, nothing included.
    static int getFileType(const std::optional<std::string>& word);
    // Whether a name can be one folder entry: not empty, "." or "..", and no "/", "\\" or NUL.
    static bool isSafePathComponent(std::string_view name);
    // Documents/<client id in lower case>; nothing when that is not one safe component.
    // Every path of a client's files goes through it.
    static std::optional<std::string> clientFolderPath(const std::string& clientID);
    // The logged-in client's file of that type; nothing for an unsafe name or client id.
    static std::optional<std::string> filePathWithNameFiletype(const std::optional<std::string>& name,
                                                               int type);
    // The download address on the image server; client id and name escaped as path segments.
    static std::optional<std::string> fileURLWithNameFiletype(const std::optional<std::string>& name,
                                                              int type);
    // The file's picture (documents show their cover), else the type's default picture.
    static gfx::Image getLocalImageFiletype(const std::optional<std::string>& name, int type);
    // The same for a picture shown small: decoded to fit within maxPixels, never whole.
    static gfx::Image getLocalImageFiletype(const std::optional<std::string>& name, int type, gfx::Size maxPixels);
    // The pixels a product thumbnail is shown at, at most (its box at the screen's scale, with
    // room for a larger tile).
    static gfx::Size thumbShownPixels();
    // Makes Documents/<relativePath> with its parents when nothing is there.
    static void createDirectoryifNeed(const std::string& relativePath);
    // Whether a document may be opened: it exists and is not empty nor too big.
    static bool safeSizeOfPath(const std::string& path);
    static uint64_t getMaxSizeForDevice();
    static bool addSkipBackupAttributeToItemAtURL(const std::string& path);
    // Launch-time moves of the client folders.
    static void changeAllClientFolderToLower();
    static void moveAllClientFolderToDocuments();
    static void removeAllSkinImageFolders();
    // A product image's thumbnail of at most 160 by 110; safe off the main thread.
    static bool createImgThumbWithImgNameThumbNameFiletype(const std::optional<std::string>& imageName,
                                                           const std::optional<std::string>& thumbName,
                                                           int type);

    // --- Device identifiers and digests --------------------------------------------------
    // The MD5 of the UTF-8 bytes as 32 upper-case hex digits.
    static std::string encryptMD5(std::string_view text);
    // The device id the login sends: SharedUDID::value.
    static std::string getOpenUDID();
    // The system version's leading number ("5.1.1" gives 5.1).
    static double getDeviceVersion();
    // A digest of the machine's hardware address; nothing when it has none.
    static std::optional<std::string> getMacAddress();
};

template <typename T>
std::shared_ptr<T> PublicFunction::findSubViewInOfClassIndex(const ui::View* view, int index)
{
    if (!view || index < 0)
        return nullptr;
    for (auto& sub : view->subviews()) {
        if (auto match = std::dynamic_pointer_cast<T>(sub)) {
            if (index-- == 0)
                return match;
        }
    }
    return nullptr;
}
