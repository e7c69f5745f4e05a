#include "Platform/Base/Text.h"

#include <glib.h>
#include <memory>

namespace base {

bool isASCII(std::string_view text)
{
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

std::string lowercased(std::string_view text)
{
    if (isASCII(text) || !g_utf8_validate_len(text.data(), text.size(), nullptr)) {
        std::string out(text);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    std::unique_ptr<gchar, decltype(&g_free)> lower(
        g_utf8_strdown(text.data(), static_cast<gssize>(text.size())), &g_free);
    return lower ? std::string(lower.get()) : std::string(text);
}

namespace {
std::string_view trimmed(std::string_view text, std::string_view set)
{
    size_t first = text.find_first_not_of(set);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}
}

std::string_view trimmingWhitespace(std::string_view text)
{
    return trimmed(text, " \t");
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view text)
{
    return trimmed(text, " \t\r\n\v\f");
}

} // namespace base
