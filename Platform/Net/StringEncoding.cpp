#include "Platform/Net/StringEncoding.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>

namespace net {

namespace {

struct Known {
    StringEncoding number;
    const char* iana;     // the name answered for the number
    const char* aliases;  // other names, space separated, lower-case
    const char* iconvName;
};

constexpr Known kKnown[] = {
    {1, "us-ascii", "ascii ansi_x3.4-1968 iso646-us us", "ASCII"},
    {3, "euc-jp", "x-euc-jp", "EUC-JP"},
    {4, "utf-8", "utf8", "UTF-8"},
    {5, "iso-8859-1", "latin1 iso_8859-1 iso8859-1 l1 iso-ir-100 cp819", "ISO-8859-1"},
    {8, "shift_jis", "sjis x-sjis ms_kanji cp932 windows-31j", "SHIFT_JIS"},
    {9, "iso-8859-2", "latin2 iso_8859-2 iso8859-2 l2", "ISO-8859-2"},
    {10, "utf-16", "utf16", "UTF-16"},
    {11, "windows-1251", "cp1251", "WINDOWS-1251"},
    {12, "windows-1252", "cp1252", "WINDOWS-1252"},
    {13, "windows-1253", "cp1253", "WINDOWS-1253"},
    {14, "windows-1254", "cp1254", "WINDOWS-1254"},
    {15, "windows-1250", "cp1250", "WINDOWS-1250"},
    {21, "iso-2022-jp", "csiso2022jp", "ISO-2022-JP"},
    {30, "macintosh", "mac macroman x-mac-roman", "MACINTOSH"},
    {0x90000100, "utf-16be", "", "UTF-16BE"},
    {0x94000100, "utf-16le", "", "UTF-16LE"},
    {0x8C000100, "utf-32", "utf32", "UTF-32"},
    {0x98000100, "utf-32be", "", "UTF-32BE"},
    {0x9C000100, "utf-32le", "", "UTF-32LE"},
    {0x80000632, "gb18030", "", "GB18030"},
    {0x80000631, "gbk", "x-gbk cp936 windows-936 ms936", "GBK"},
    {0x80000930, "gb2312", "euc-cn x-euc-cn csgb2312 gb_2312-80", "EUC-CN"},
    {0x80000A03, "big5", "csbig5 x-x-big5 cn-big5", "BIG5"},
    {0x80000940, "euc-kr", "cseuckr ks_c_5601-1987", "EUC-KR"},
    {0x80000A02, "koi8-r", "cskoi8r", "KOI8-R"},
    {0x8000020F, "iso-8859-15", "latin-9 latin9 iso_8859-15 iso8859-15", "ISO-8859-15"},
    {0x80000A05, "hz-gb-2312", "hz", "HZ"},
};

const Known* byNumber(StringEncoding encoding)
{
    for (auto& known : kKnown)
        if (known.number == encoding)
            return &known;
    return nullptr;
}

bool listed(std::string_view list, std::string_view name)
{
    while (!list.empty()) {
        size_t space = list.find(' ');
        if (list.substr(0, space) == name)
            return true;
        if (space == std::string_view::npos)
            break;
        list.remove_prefix(space + 1);
    }
    return false;
}

} // namespace

std::optional<StringEncoding> encodingForCharset(std::string_view name)
{
    while (!name.empty() && (name.front() == ' ' || name.front() == '"' || name.front() == '\''))
        name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '"' || name.back() == '\''))
        name.remove_suffix(1);
    std::string lower(name);
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.empty())
        return std::nullopt;
    for (auto& known : kKnown)
        if (lower == known.iana || listed(known.aliases, lower))
            return known.number;
    return std::nullopt;
}

std::optional<std::string> charsetForEncoding(StringEncoding encoding)
{
    const Known* known = byNumber(encoding);
    if (!known)
        return std::nullopt;
    return std::string(known->iana);
}

namespace {
std::optional<std::string> convert(std::string_view bytes, const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    std::string input(bytes);
    char* in = input.data();
    size_t inLeft = input.size();
    char buffer[4096];
    bool ok = true;
    for (;;) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = inLeft ? iconv(cd, &in, &inLeft, &outPtr, &outLeft) : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result != static_cast<size_t>(-1)) {
            if (inLeft == 0 && in != nullptr) {
                in = nullptr; // one more round flushes any shift state
                continue;
            }
            break;
        }
        if (errno == E2BIG)
            continue;
        ok = false; // EILSEQ: not valid in the encoding; EINVAL: cut off inside a character
        break;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return out;
}
} // namespace

std::optional<std::string> decodeToUTF8(std::string_view bytes, StringEncoding encoding)
{
    const Known* known = byNumber(encoding);
    if (!known)
        return std::nullopt;
    return convert(bytes, "UTF-8", known->iconvName);
}

std::optional<std::string> encodeFromUTF8(std::string_view text, StringEncoding encoding)
{
    const Known* known = byNumber(encoding);
    if (!known)
        return std::nullopt;
    return convert(text, known->iconvName, "UTF-8");
}

} // namespace net
