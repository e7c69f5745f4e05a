#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Chinese text to toneless pinyin, for filing and ordering customer names. The GB 18030 forms
// work on bytes; Latin letters and digits are kept, blanks dropped.

// The text of one two-byte unit into `out` (at least 20 zeroed bytes; at most 8 written);
// its length. `available` is how many bytes `unit` holds: a unit cut short has no text.
size_t gbkCharToPinyin(char* out, const unsigned char* unit, size_t available = 2);
// The whole byte string; the separator follows each syllable and each kept ASCII character.
std::string gbkStringToPinyin(std::string_view input, const std::optional<std::string>& separator = std::nullopt);
// A UTF-8 name through GB 18030, converted without separator; "" for text iconv refuses.
std::string pinyinOfName(std::string_view utf8);
