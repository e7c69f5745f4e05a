#pragma once
#include <cstdint>

// The generated tables behind the pinyin conversion (tools/make_pinyin_table.py).
namespace pinyin {

constexpr int kLeadCount = 126;   // lead bytes 0x81..0xFE
constexpr int kTrailCount = 191;  // trail bytes 0x40..0xFE
// Entry 0 and the last entry are empty; the syllables between are in alphabetical order.
extern const int kSyllableCount;
extern const char* const kSyllables[];
// The syllable of each two-byte unit, 0 for none.
extern const int16_t kCharIndex[kLeadCount][kTrailCount];

} // namespace pinyin
