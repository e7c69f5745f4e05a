#pragma once
#include "Platform/Base/Value.h"

#include <string>
#include <string_view>

namespace base {

class Digest {
public:
    // Lower-case hexadecimal MD5.
    static std::string md5Hex(const Bytes& bytes);
    static std::string md5Hex(std::string_view text);
    // A random (version 4) UUID in upper-case canonical form, 8-4-4-4-12.
    static std::string uuidString();
};

} // namespace base
