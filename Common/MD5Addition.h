#pragma once
#include <optional>
#include <string>
#include <string_view>

// Digests of texts.
class MD5Addition {
public:
    // The MD5 of the UTF-8 bytes as 32 lower-case hex digits; nothing for an empty text.
    static std::optional<std::string> stringFromMD5(std::string_view text);
};
