#pragma once
#include <string>
#include <string_view>

namespace base {

// Unicode lower case of UTF-8 text; text that is not valid UTF-8 has only its ASCII letters
// lowered.
std::string lowercased(std::string_view text);
// The key two texts are compared by when case must not matter: the composed form, each
// character case-folded on its own (so "Ä" typed either way meets "ä", and "Σ" meets "ς";
// "ß" stays one letter). Text that is not valid UTF-8 has only its ASCII letters folded.
std::string folded(std::string_view text);
// The same key written into out, whose storage is reused (for folding many texts in a row).
void foldInto(std::string_view text, std::string& out);
// Whether the text holds only ASCII bytes (its lower case is then a byte-wise affair).
bool isASCII(std::string_view text);

// "White space" is spaces and tabs only; line ends stay unless asked for.
std::string_view trimmingWhitespace(std::string_view text);
std::string_view trimmingWhitespaceAndNewlines(std::string_view text);

} // namespace base
