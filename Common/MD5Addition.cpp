#include "Common/MD5Addition.h"

#include "Platform/Base/Digest.h"

std::optional<std::string> MD5Addition::stringFromMD5(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    return base::Digest::md5Hex(text);
}
