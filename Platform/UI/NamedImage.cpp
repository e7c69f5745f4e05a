#include "Platform/UI/NamedImage.h"

#include "Platform/Base/Bundle.h"
#include "Platform/UI/Window.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>

namespace ui {

namespace {
std::mutex g_cacheLock;
// Keyed by the bundle folder too, which tests may point elsewhere.
std::map<std::tuple<std::string, std::string, bool>, gfx::Image> g_cache;

gfx::Image load(const std::string& name, bool retina)
{
    std::filesystem::path file(name);
    std::string stem = file.stem().string();
    std::string type = file.has_extension() ? file.extension().string().substr(1) : "png";
    if (!file.has_extension())
        stem = name;
    if (retina) {
        std::string path = base::Bundle::pathForResource(stem + "@2x", type);
        if (!path.empty())
            return gfx::Image::fromFile(path);
    }
    std::string path = base::Bundle::pathForResource(stem, type);
    return path.empty() ? gfx::Image() : gfx::Image::fromFile(path);
}
}

gfx::Image imageNamed(const std::string& name)
{
    if (name.empty())
        return {};
    Window* window = Window::keyWindow();
    bool retina = window && window->scale() > 1.9;
    std::lock_guard lock(g_cacheLock);
    auto key = std::make_tuple(base::Bundle::resourcePath(), name, retina);
    auto it = g_cache.find(key);
    if (it != g_cache.end())
        return it->second;
    gfx::Image image = load(name, retina);
    if (image)
        g_cache.emplace(key, image);
    return image;
}

void clearNamedImageCache()
{
    std::lock_guard lock(g_cacheLock);
    g_cache.clear();
}

} // namespace ui
