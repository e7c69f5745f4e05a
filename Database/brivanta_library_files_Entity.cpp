#include "Database/brivanta_library_files_Entity.h"

namespace {

size_t characterCount(std::string_view text)
{
    size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

} // namespace

std::string brivanta_library_files_Entity::infoShow() const
{
    if (!info || info->empty())
        return {};
    return info->substr(0, info->find(','));
}

std::string brivanta_library_files_Entity::duration() const
{
    if (!info || info->empty())
        return {};
    size_t comma = info->find(',');
    if (comma == std::string::npos)
        return {};
    std::string rest = info->substr(comma + 1);
    return characterCount(rest) < 2 ? std::string() : rest;
}

double brivanta_library_files_Entity::listedMegabytes() const
{
    std::string shown = infoShow();
    auto slash = shown.find('/');
    if (slash == std::string::npos)
        return 0;
    std::string size = shown.substr(slash + 1);
    if (auto unit = size.find(" M"); unit != std::string::npos)
        size.erase(unit);
    try {
        return std::stod(size);
    } catch (...) {
        return 0;
    }
}
