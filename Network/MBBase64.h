#pragma once
#include "Platform/Base/Value.h"

#include <optional>
#include <string>
#include <string_view>

// Base64 of byte buffers (standard alphabet, "=" padding, no line breaks). The order record
// keeps the customer's signature picture as this text.
class MBBase64 {
public:
    static std::string base64Encoding(const base::Bytes& data);
    // Lenient about layout: white space and "=" are skipped wherever they stand. Anything else
    // outside the alphabet, a non-ASCII byte, or a lone trailing symbol gives nothing.
    static std::optional<base::Bytes> dataWithBase64EncodedString(std::string_view text);
};
