#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// Text encodings as the application names them: a number per encoding. The application's
// code holds these numbers (a request's default response encoding is 5) and compares them,
// so they must not change.
//   1 ASCII            4 UTF-8             5 ISO Latin-1       8 Shift JIS
//   3 EUC-JP           9 ISO Latin-2      10 UTF-16           11 windows-1251
//  12 windows-1252    13 windows-1253     14 windows-1254     15 windows-1250
//  21 ISO-2022-JP     30 Mac Roman
//  0x90000100 UTF-16BE  0x94000100 UTF-16LE  0x8C000100 UTF-32  0x98000100 UTF-32BE
//  0x9C000100 UTF-32LE
//  The rest are 0x80000000 plus a table number: 0x80000632 GB 18030, 0x80000631 GBK,
//  0x80000930 GB 2312 (EUC-CN), 0x80000A03 Big5, 0x80000940 EUC-KR, 0x80000A02 KOI8-R,
//  0x8000020F ISO Latin-9, 0x80000A05 HZ-GB-2312.
using StringEncoding = uint32_t;

namespace encoding {
constexpr StringEncoding ASCII = 1;
constexpr StringEncoding UTF8 = 4;
constexpr StringEncoding ISOLatin1 = 5;
constexpr StringEncoding UTF16 = 10;
constexpr StringEncoding WindowsCP1252 = 12;
constexpr StringEncoding GB18030 = 0x80000632;
}

// An IANA character-set name ("utf-8", "ISO-8859-1", "gbk"; case-insensitive, quotes
// allowed) to its number; nothing for a name this layer does not know.
std::optional<StringEncoding> encodingForCharset(std::string_view name);
// The IANA name of an encoding; nothing when unknown.
std::optional<std::string> charsetForEncoding(StringEncoding encoding);
// `bytes` in `encoding`, as UTF-8; nothing when the bytes are not valid in it or the encoding
// is unknown.
std::optional<std::string> decodeToUTF8(std::string_view bytes, StringEncoding encoding);
// UTF-8 `text` in `encoding`; nothing when it has a character the encoding lacks (or the
// text is not valid UTF-8, or the encoding is unknown).
std::optional<std::string> encodeFromUTF8(std::string_view text, StringEncoding encoding);

} // namespace net
