#include "Platform/Base/Bundle.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/PropertyList.h"

#include <cstdlib>
#include <filesystem>

namespace base {

namespace fs = std::filesystem;

std::string Bundle::resourcePath()
{
    if (const char* overridden = std::getenv("BRIVANTA_BUNDLE"); overridden && *overridden)
        return overridden;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "Resources";
    return (exe.parent_path() / "Resources").string();
}

std::string Bundle::pathForResource(const std::string& name, const std::string& type,
                                    const std::string& subdirectory)
{
    if (name.empty())
        return {};
    fs::path path = resourcePath();
    if (!subdirectory.empty())
        path /= subdirectory;
    path /= type.empty() ? name : name + "." + type;
    return FileManager::exists(path) ? path.string() : std::string();
}

Value Bundle::infoValue(const std::string& key)
{
    std::string path = pathForResource("Info", "plist");
    if (path.empty())
        return {};
    auto info = PropertyList::readFile(path);
    if (!info)
        return {};
    return (*info)[key];
}

namespace {
std::string infoText(const std::string& key)
{
    Value value = Bundle::infoValue(key);
    return value.isString() ? value.asString() : std::string();
}
}

std::string Bundle::shortVersion()
{
    return infoText("ShortVersion");
}

std::string Bundle::buildVersion()
{
    return infoText("BuildVersion");
}

std::string Bundle::displayName()
{
    std::string name = infoText("DisplayName");
    return name.empty() ? infoText("Name") : name;
}

std::string Bundle::identifier()
{
    return infoText("Identifier");
}

std::string Bundle::localizedString(const std::string& key, const std::string& value, const std::string& table)
{
    std::string path = pathForResource(table.empty() ? "Localizable" : table, "strings");
    if (!path.empty()) {
        auto strings = PropertyList::readFile(path);
        if (strings && strings->isDictionary()) {
            Value text = (*strings)[key];
            if (text.isString())
                return text.asString();
        }
    }
    return value.empty() ? key : value;
}

} // namespace base
