#include "Classes/Customer/Pinyin.h"

#include "Classes/Customer/PinyinTables.h"

#include <iconv.h>

#include <cstring>

namespace {

// The numerals row (lead 0xA2): the number each symbol stands for.
constexpr const char* kNumerals[95] = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",                                          // A1-AA
    "", "", "", "", "", "",                                                                     // AB-B0
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19",
    "20",                                                                                       // B1-C4
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19",
    "20",                                                                                       // C5-D8
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",                                          // D9-E2
    "", "",                                                                                     // E3-E4
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",                                          // E5-EE
    "", "",                                                                                     // EF-F0
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12",                              // F1-FC
    "", "", "",                                                                                 // FD-FF
};

// The Greek row (lead 0xA6), letters in alphabetical order.
constexpr const char* kGreek[25] = {"a", "b", "g", "d", "e", "z", "e", "th", "i", "k", "l", "m", "n",
                                    "x", "o", "p", "r", "s", "t", "u", "ph", "kh", "ps", "o", ""};

size_t copyText(char* out, const char* text)
{
    size_t length = std::min<size_t>(std::strlen(text), 8);
    std::memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

bool keptFullWidth(unsigned c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '(' || c == ')'
        || c == '[' || c == ']' || c == '{' || c == '}';
}

} // namespace

size_t gbkCharToPinyin(char* out, const unsigned char* unit, size_t available)
{
    if (available < 2)
        return 0;
    const unsigned lead = unit[0];
    const unsigned trail = unit[1];
    switch (lead) {
    case 0xA2:
        return trail < 0xA1 ? 0 : copyText(out, kNumerals[(trail - 0xA1) % 95]);
    case 0xA6:
        if (trail >= 0xA1 && trail <= 0xB8)
            return copyText(out, kGreek[trail - 0xA1]);
        if (trail >= 0xC1 && trail <= 0xD8)
            return copyText(out, kGreek[trail - 0xC1]);
        return 0;
    case 0xA3: {
        // Full-width ASCII sits 0x80 above its half-width form.
        if (trail < 0x80 || !keptFullWidth(trail - 0x80))
            return 0;
        out[0] = static_cast<char>(trail - 0x80);
        out[1] = '\0';
        return 1;
    }
    default:
        if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE)
            return 0;
        int index = pinyin::kCharIndex[lead - 0x81][trail - 0x40];
        if (index <= 0 || index >= pinyin::kSyllableCount)
            return 0;
        return copyText(out, pinyin::kSyllables[index]);
    }
}

std::string gbkStringToPinyin(std::string_view input, const std::optional<std::string>& separator)
{
    std::string output;
    output.reserve(input.size() * 6);
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    const size_t size = input.size();
    for (size_t i = 0; i < size;) {
        const unsigned char byte = bytes[i];
        if (byte >= 0x80) {
            char buffer[20] = {};
            size_t length = gbkCharToPinyin(buffer, bytes + i, size - i);
            output.append(buffer, length);
            if (separator)
                output += *separator;
            i += 2;
            continue;
        }
        if (byte != ' ' && byte != '\t' && byte != '\r' && byte != '\n') {
            output += static_cast<char>(byte);
            if (separator)
                output += *separator;
        }
        ++i;
    }
    return output;
}

std::string pinyinOfName(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    // One converter for the process: names are converted on the main thread only.
    static iconv_t converter = iconv_open("GB18030", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return {};
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string encoded(utf8.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* out = encoded.data();
    size_t outLeft = encoded.size();
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1))
        return {};
    encoded.resize(encoded.size() - outLeft);
    return gbkStringToPinyin(encoded);
}
