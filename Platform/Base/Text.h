#pragma once
#include <string>
#include <string_view>

namespace base {

// Unicode lower case of UTF-8 text; text that is not valid UTF-8 has only its ASCII letters
// lowered.
std::string lowercased(std::string_view text);
// Whether the text holds only ASCII bytes (its lower case is then a byte-wise affair).
bool isASCII(std::string_view text);

// "White space" is spaces and tabs only; line ends stay unless asked for.
std::string_view trimmingWhitespace(std::string_view text);
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

} // namespace base
