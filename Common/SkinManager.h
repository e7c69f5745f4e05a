#pragma once
#include "Platform/Graphics/Image.h"

#include <memory>
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

    // The logged-in client's picture of that file name from its skin folder (the "@2x.png"
    // variant first on a double-resolution screen), else the application's own picture;
    // null for a missing or blank name, or when neither exists.
    static gfx::Image skinFromImageName(const std::optional<std::string>& name);
    // The application's own picture of that name, as the fall-back above finds it.
    static gfx::Image bundledImageNamed(const std::string& name);
    // 1 or 2, worked out once from the screen; 0 while no screen is there to ask.
    static float getUIScreenScaleFactor();
    static void resetScaleFactorForTesting();

private:
    bool m_needUpdateDemo = false;
};
