#pragma once
#include <cstdint>
#include <set>

// Item indices of the widgets: unsigned 32-bit, with this value for "no item".
inline constexpr uint32_t NSNotFound = 2147483647;

using BRIndexSet = std::set<uint32_t>;

// The indices of `set` that are not in `other`.
BRIndexSet indexesOutsideIndexSet(const BRIndexSet& set, const BRIndexSet& other);
// The indices location ..< location + length.
BRIndexSet indexSetWithRange(uint32_t location, uint32_t length);
