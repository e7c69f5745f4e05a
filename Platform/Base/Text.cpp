#include "Platform/Base/Text.h"

#include <atomic>
#include <cstdint>
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

namespace {

// The fold of each character of the Basic Multilingual Plane, learnt once from the slow rule
// and kept: 0 not yet known, kNeedsFullRule for a character not in composed form or that may
// join the one before it, else the folded character plus one.
constexpr uint32_t kNeedsFullRule = 0xFFFFFFFFu;
std::atomic<uint32_t> g_foldOf[0x10000];

// The character's fold when it stands alone, else nothing.
std::optional<gunichar> aloneFolded(gunichar c)
{
    if (c >= 0x10000)
        return std::nullopt;
    uint32_t known = g_foldOf[c].load(std::memory_order_relaxed);
    if (known == 0) {
        // The scripts whose letters may join the one before them without a combining class
        // (Indic vowel signs, Hangul jamo, kana voicing marks) always take the slow road.
        bool alone = !(c >= 0x0900 && c <= 0x1DFF) && !(c >= 0x3099 && c <= 0x309A)
            && g_unichar_combining_class(c) == 0;
        if (alone) {
            char bytes[6];
            gint length = g_unichar_to_utf8(c, bytes);
            GText composed(g_utf8_normalize(bytes, length, G_NORMALIZE_DEFAULT_COMPOSE), &g_free);
            alone = composed
                && std::string_view(composed.get()) == std::string_view(bytes, static_cast<size_t>(length));
        }
        gunichar fold = foldedCharacter(c);
        known = alone && fold < 0x10000 ? fold + 1 : kNeedsFullRule;
        g_foldOf[c].store(known, std::memory_order_relaxed);
    }
    if (known == kNeedsFullRule)
        return std::nullopt;
    return known - 1;
}

// The next character of UTF-8 text, or nothing for a byte sequence that is not a shortest
// two- or three-byte form (four-byte characters lie outside the plane kept above).
std::optional<gunichar> nextBMPCharacter(std::string_view text, size_t& at)
{
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead >= 0xC2 && lead <= 0xDF && at + 1 < text.size() && (byte(at + 1) & 0xC0) == 0x80) {
        gunichar c = ((lead & 0x1Fu) << 6) | (byte(at + 1) & 0x3Fu);
        at += 2;
        return c;
    }
    if (lead >= 0xE0 && lead <= 0xEF && at + 2 < text.size() && (byte(at + 1) & 0xC0) == 0x80
        && (byte(at + 2) & 0xC0) == 0x80) {
        gunichar c = ((lead & 0x0Fu) << 12) | ((byte(at + 1) & 0x3Fu) << 6) | (byte(at + 2) & 0x3Fu);
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        at += 3;
        return c;
    }
    return std::nullopt;
}

// The fold of text already in composed form whose characters each stand alone: every
// character folded on its own, as the full rule would do after composing. NO when a
// character needs the full rule (or the bytes are not UTF-8).
bool foldedQuickly(std::string_view text, std::string& out)
{
    // A folded plane character takes at most three bytes where it took two or three.
    out.resize(text.size() * 3 / 2 + 3);
    char* to = out.data();
    for (size_t at = 0; at < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[at]);
        if (b < 0x80) {
            *to++ = static_cast<char>(b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
            ++at;
            continue;
        }
        auto c = nextBMPCharacter(text, at);
        auto fold = c ? aloneFolded(*c) : std::nullopt;
        if (!fold)
            return false;
        gunichar f = *fold;
        if (f < 0x80) {
            *to++ = static_cast<char>(f);
        } else if (f < 0x800) {
            *to++ = static_cast<char>(0xC0 | (f >> 6));
            *to++ = static_cast<char>(0x80 | (f & 0x3F));
        } else {
            *to++ = static_cast<char>(0xE0 | (f >> 12));
            *to++ = static_cast<char>(0x80 | ((f >> 6) & 0x3F));
            *to++ = static_cast<char>(0x80 | (f & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(to - out.data()));
    return true;
}

} // namespace

void foldInto(std::string_view text, std::string& out)
{
    // Searches fold every searched text of every row: most of it takes the quick road.
    if (!foldedQuickly(text, out))
        out = folded(text);
}

std::string folded(std::string_view text)
{
    std::string quick;
    if (foldedQuickly(text, quick))
        return quick;
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
