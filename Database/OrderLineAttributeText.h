#pragma once
#include "Database/product_attribute_cell_Entity.h"

#include <optional>
#include <string>
#include <vector>

// The attribute choices of an order line as one stored and uploaded text: "name:value" pairs
// joined by ",", without escaping. Writer and reader live side by side so they cannot drift.
namespace OrderLineAttributeText {

// In the records' order; a record without a value, or with one of spaces and tabs only, is
// left out. No choice at all gives "".
std::string write(const std::vector<product_attribute_cell_Entity>& records);
// Pieces split at "," and then at ":"; only pieces of exactly two parts come back. A missing
// or blank text gives none.
std::vector<product_attribute_cell_Entity> read(const std::optional<std::string>& text);

// The permitted values of an attribute: its list split at every ",", empty pieces kept ("" is
// one empty value). None for an absent list.
std::vector<std::string> permittedValues(const std::optional<std::string>& list);
// An attribute must be chosen when its list holds a value that is not blank; the index of the
// first such attribute still without a value. Absent lists and lists of blanks never stop an
// add: nothing could be chosen from them.
std::optional<size_t> firstUnchosen(const std::vector<product_attribute_cell_Entity>& records);

// A value of spaces and tabs only counts as none.
bool isBlank(const std::optional<std::string>& text);

} // namespace OrderLineAttributeText
