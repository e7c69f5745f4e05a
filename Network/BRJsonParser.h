#pragma once
#include "Network/BRJsonBase.h"
#include "Platform/Base/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Strict JSON parser over the UTF-8 bytes of a text of known length. Numbers become exact
// decimals, objects keep their document order. One instance serves one thread at a time.
class BRJsonParser : public BRJsonBase {
public:
    // An object or an array; nullopt on error (code 4 for any other valid value).
    std::optional<base::Value> objectWithString(std::optional<std::string_view> text);
    // Any JSON value; nullopt on error. A missing text (nullopt) is code 12.
    std::optional<base::Value> fragmentWithString(std::optional<std::string_view> text);

private:
    struct Frame;
    struct Pending;

    std::optional<base::Value> scanValue();
    static base::Value closeContainer(const Frame& frame, Pending& pending);
    bool scanMemberKey(Pending& pending);
    bool scanString(base::String& result);
    bool scanUnicodeEscape(std::string& out);
    bool scanHexQuad(uint32_t& unit);
    bool scanNumber(base::Value& out);
    bool scanLiteral(std::string_view literal, const char* error);
    void skipWhitespace();

    // Read position and end of the text; valid during one parse only.
    const unsigned char* m_c = nullptr;
    const unsigned char* m_end = nullptr;
    // Strings with escapes are assembled here.
    std::string m_scratch;
};
