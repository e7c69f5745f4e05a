#include "Platform/Base/Paths.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace base {

namespace {

std::string envValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string userHome()
{
    std::string home = envValue("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// Where the program started: a relative home is taken from there, whatever folder the program
// is in later, so that every path it hands to another program is absolute.
const std::string& startFolder()
{
    static const std::string folder = [] {
        std::error_code error;
        auto current = std::filesystem::current_path(error);
        return error ? std::string("/") : current.string();
    }();
    return folder;
}
[[maybe_unused]] const std::string& g_startFolder = startFolder();

std::string homeFolder()
{
    std::string path = envValue("BRIVANTA_HOME");
    if (path.empty()) {
        std::string data = envValue("XDG_DATA_HOME");
        if (data.empty())
            data = userHome() + "/.local/share";
        path = data + "/brivanta";
    }
    if (path.front() != '/')
        path = (std::filesystem::path(startFolder()) / path).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string ensured(std::string path)
{
    if (!FileManager::createDirectories(path, 0700))
        logf("Paths: cannot create %s", path.c_str());
    return path;
}

} // namespace

std::string Paths::home()
{
    return ensured(homeFolder());
}

std::string Paths::documents()
{
    return ensured(homeFolder() + "/Documents");
}

std::string Paths::library()
{
    return ensured(homeFolder() + "/Library");
}

std::string Paths::libraryCaches()
{
    return ensured(homeFolder() + "/Library/Caches");
}

std::string Paths::applicationSupport()
{
    return ensured(homeFolder() + "/Library/Application Support");
}

std::string Paths::tmp()
{
    return ensured(homeFolder() + "/tmp");
}

} // namespace base
