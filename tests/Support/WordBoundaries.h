#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <unicode/ubrk.h>
#include <unicode/utext.h>

namespace testsupport {

// Where the Chinese dictionary segmentation puts word boundaries, in bytes.
inline std::set<size_t> wordBoundaries(const std::string& text)
{
    std::set<size_t> boundaries;
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* words = ubrk_open(UBRK_WORD, "zh", nullptr, 0, &status);
    UText utf8 = UTEXT_INITIALIZER;
    utext_openUTF8(&utf8, text.data(), static_cast<int64_t>(text.size()), &status);
    ubrk_setUText(words, &utf8, &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    for (int32_t at = ubrk_first(words); U_SUCCESS(status) && at != UBRK_DONE; at = ubrk_next(words))
        boundaries.insert(static_cast<size_t>(at));
    ubrk_close(words);
    utext_close(&utf8);
    return boundaries;
}

} // namespace testsupport
