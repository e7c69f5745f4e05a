#include "Platform/Base/Text.h"

#include <glib.h>
#include <memory>
#include <optional>

namespace base {

bool isASCII(std::string_view text)
{
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

namespace {
using GText = std::unique_ptr<gchar, decltype(&g_free)>;

// Only ASCII letters changed: for ASCII text, and for bytes that are not UTF-8.
std::optional<std::string> asciiLowered(std::string_view text)
{
    if (!isASCII(text) && g_utf8_validate_len(text.data(), text.size(), nullptr))
        return std::nullopt;
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// Simple case folding: one character for one. Lower case serves, but for the few letters
// whose other forms fold to a different one (final sigma, the long s, the micro sign...).
gunichar foldedCharacter(gunichar c)
{
    switch (c) {
    case 0x00B5: return 0x03BC;
    case 0x017F: return 's';
    case 0x0345: case 0x1FBE: return 0x03B9;
    case 0x03C2: return 0x03C3;
    case 0x03D0: return 0x03B2;
    case 0x03D1: return 0x03B8;
    case 0x03D5: return 0x03C6;
    case 0x03D6: return 0x03C0;
    case 0x03F0: return 0x03BA;
    case 0x03F1: return 0x03C1;
    case 0x03F5: return 0x03B5;
    case 0x1E9B: return 0x1E61;
    default: return g_unichar_tolower(c);
    }
}
} // namespace

std::string lowercased(std::string_view text)
{
    if (auto ascii = asciiLowered(text))
        return std::move(*ascii);
    GText lower(g_utf8_strdown(text.data(), static_cast<gssize>(text.size())), &g_free);
    return lower ? std::string(lower.get()) : std::string(text);
}

std::string folded(std::string_view text)
{
    if (auto ascii = asciiLowered(text))
        return std::move(*ascii);
    // The composed form first, so that "Ä" typed as A and a dot pair meets the stored "Ä".
    GText composed(g_utf8_normalize(text.data(), static_cast<gssize>(text.size()), G_NORMALIZE_DEFAULT_COMPOSE),
                   &g_free);
    if (!composed)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    char bytes[6];
    for (const gchar* p = composed.get(); *p; p = g_utf8_next_char(p))
        out.append(bytes, static_cast<size_t>(g_unichar_to_utf8(foldedCharacter(g_utf8_get_char(p)), bytes)));
    return out;
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
