#include "Common/SkinManager.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Text.h"
#include "Protocol/LoginMode.h"
#include "Platform/UI/Window.h"

#include <atomic>
#include <filesystem>
#include <mutex>

namespace {

std::atomic<float> g_scaleFactor{0};

bool isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

// Its double-resolution variant first on such a screen.
gfx::Image SkinManager::bundledImageNamed(const std::string& name)
{
    std::filesystem::path file(name);
    std::string stem = file.stem().string();
    std::string type = file.has_extension() ? file.extension().string().substr(1) : "png";
    if (SkinManager::getUIScreenScaleFactor() == 2.0f) {
        std::string path = base::Bundle::pathForResource(stem + "@2x", type);
        if (!path.empty())
            return gfx::Image::fromFile(path);
    }
    std::string path = base::Bundle::pathForResource(stem, type);
    return path.empty() ? gfx::Image() : gfx::Image::fromFile(path);
}

std::shared_ptr<SkinManager> SkinManager::sharedInstance()
{
    static std::mutex lock;
    static std::shared_ptr<SkinManager> instance;
    std::lock_guard guard(lock);
    if (!instance)
        instance = std::make_shared<SkinManager>();
    return instance;
}

gfx::Image SkinManager::skinFromImageName(const std::optional<std::string>& name)
{
    if (!name || base::trimmingWhitespaceAndNewlines(*name).empty())
        return {};
    // A name that is not one folder entry could reach outside the skin folder.
    if (!PublicFunction::isSafePathComponent(*name))
        return {};
    if (auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID())) {
        std::string path = *client + "/SkinImages/" + *name;
        if (getUIScreenScaleFactor() == 2.0f && path.size() >= 4) {
            // The last four characters are taken as the extension, whatever its length.
            std::string retina = path.substr(0, path.size() - 4) + "@2x.png";
            if (isFile(retina))
                return gfx::Image::fromFile(retina);
        }
        if (isFile(path))
            return gfx::Image::fromFile(path);
    }
    return bundledImageNamed(*name);
}

float SkinManager::getUIScreenScaleFactor()
{
    float factor = g_scaleFactor.load();
    if (factor != 0)
        return factor;
    ui::Window* screen = ui::Window::keyWindow();
    if (!screen)
        return 0;
    double scale = screen->scale();
    base::logf("UIScreen-ScaleFactor:%0.f", scale);
    factor = scale > 1.9 ? 2.0f : 1.0f;
    g_scaleFactor.store(factor);
    return factor;
}

void SkinManager::resetScaleFactorForTesting()
{
    g_scaleFactor.store(0);
}
