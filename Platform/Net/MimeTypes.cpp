#include "Platform/Net/MimeTypes.h"

#include "Platform/Base/FileManager.h"

#include <cctype>
#include <filesystem>
#include <sstream>

namespace net {

namespace {
std::string lower(std::string_view s)
{
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
}

MimeTypes::MimeTypes(std::string_view table)
{
    std::istringstream in{std::string(table)};
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string type, extension;
        if (!(words >> type))
            continue;
        while (words >> extension)
            m_byExtension.emplace(lower(extension), type);
    }
}

const MimeTypes& MimeTypes::system()
{
    static const MimeTypes* table = new MimeTypes(base::FileManager::readTextFile("/etc/mime.types").value_or(""));
    return *table;
}

std::string MimeTypes::typeForExtension(std::string_view extension) const
{
    if (extension.starts_with('.'))
        extension.remove_prefix(1);
    auto it = m_byExtension.find(lower(extension));
    return it == m_byExtension.end() ? kFallback : it->second;
}

std::string MimeTypes::typeForPath(std::string_view path) const
{
    std::string extension = std::filesystem::path(path).extension().string();
    return extension.empty() ? kFallback : typeForExtension(extension);
}

} // namespace net
