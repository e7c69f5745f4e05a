#include "Platform/Base/Bundle.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Base/UserDefaults.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

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

namespace {
// The text of `key` in a strings file, if the file holds one.
std::optional<std::string> lookUp(const std::string& path, const std::string& key)
{
    if (path.empty())
        return std::nullopt;
    auto strings = PropertyList::readFile(path);
    if (!strings || !strings->isDictionary())
        return std::nullopt;
    Value text = (*strings)[key];
    if (!text.isString())
        return std::nullopt;
    return text.asString();
}

// "zh-Hans-CN" gives "zh-Hans-CN", "zh-Hans", "zh": the most specific folder first.
std::vector<std::string> languageFolders(const std::string& tag)
{
    std::vector<std::string> folders;
    std::string rest = tag;
    while (!rest.empty()) {
        folders.push_back(rest);
        size_t dash = rest.rfind('-');
        if (dash == std::string::npos)
            break;
        rest.resize(dash);
    }
    return folders;
}
}

std::string Bundle::localizedString(const std::string& key, const std::string& value, const std::string& table)
{
    std::string file = table.empty() ? "Localizable" : table;
    std::vector<std::string> tags;
    if (auto preferred = UserDefaults::standard()->arrayForKey(UserDefaults::kPreferredLanguagesKey)) {
        for (const Value& tag : *preferred) {
            if (tag.isString())
                tags.push_back(tag.asString());
        }
    }
    for (const std::string& tag : tags) {
        for (const std::string& folder : languageFolders(tag)) {
            if (auto text = lookUp(pathForResource(file, "strings", folder + ".lproj"), key))
                return *text;
        }
    }
    if (auto text = lookUp(pathForResource(file, "strings"), key))
        return *text;
    return value.empty() ? key : value;
}

} // namespace base
