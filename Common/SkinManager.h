#pragma once
#include "Platform/Graphics/Image.h"

#include <atomic>
#include <memory>
#include <vector>
#include <optional>
#include <string>

// The client's pictures and the demo data that ships with the application. One instance for
// the whole run.
class SkinManager {
public:
    static std::shared_ptr<SkinManager> sharedInstance();

    // Set at the first launch of a new version so the demo data is unpacked again.
    bool needUpdateDemo() const { return m_needUpdateDemo; }
    void setNeedUpdateDemo(bool needUpdate) { m_needUpdateDemo = needUpdate; }

    // The demo tenants' folders are missing, or a new version asks for them again.
    bool needInitializeDemo() const;
    // Unpacks the bundled demo archive into Documents. Runs on a background queue, so it
    // touches files only. The earlier demo folders stay until the new ones are complete.
    bool initializeDemoZip();
    // Unpacks the logged-in client's "SkinImages.zip" once; YES at once when its folder exists.
    bool initializeSkinImage();
    // Unpacks a freshly downloaded "SkinImages.zip" beside the client's skin folder and puts it
    // in place only when the whole archive unpacked; otherwise the skin there is stays.
    bool replaceSkinImage();

    // Posted on the main thread when the last skin picture being decoded has arrived.
    static constexpr const char* kPicturesArrivedNotification = "SkinPicturesArrived";

    static constexpr const char* kDemoTenants[2] = {"tolbernix_", "wendloft_"};

    // The logged-in client's picture of that file name from its skin folder, else the
    // application's own picture; null for a missing or blank name, or when neither exists.
    // On a double-resolution screen "x.jpeg" is looked for as "x.@2x.png", then "x@2x.jpeg",
    // then "x.jpeg". With `largest` (points), a client's picture larger than that is left out
    // as one that cannot be read, and logged.
    static gfx::Image skinFromImageName(const std::optional<std::string>& name,
                                        std::optional<gfx::Size> largest = std::nullopt);
    // The application's own picture of that name, as the fall-back above finds it.
    static gfx::Image bundledImageNamed(const std::string& name);
    // 1 or 2, worked out once from the screen; 0 while no screen is there to ask.
    static float getUIScreenScaleFactor();

    // The client has its own picture of that name (either of the lookup's two files).
    static bool hasCustomerImage(const std::optional<std::string>& name);
    // A client's "homelogo.png" from its skin folder; null for a blank id or no file. On the
    // main thread it draws nothing (and is null) until decoded, as above.
    static gfx::Image getLogoWithClientId(const std::optional<std::string>& clientId);
    // A colour the client's skin names in its "SkinImages/colors.plist" ("#RRGGBB" texts by
    // key, such as "TabTitleColor"); nothing without a skin, a file, the key or a valid text.
    static std::optional<gfx::Color> skinColorNamed(const std::string& key);
    // A picture as Base64 text of a JPEG at quality 0.5, and back (signatures are kept so).
    static std::optional<std::string> image2String(const gfx::Image& image);
    static gfx::Image string2Image(const std::optional<std::string>& text);
    static void resetScaleFactorForTesting();

private:
    // The lookup's candidate files in a client's skin folder, double-resolution first.
    static std::vector<std::string> skinCandidates(const std::string& clientFolder, const std::string& name);

    std::atomic<bool> m_needUpdateDemo{false};
};
