// What a decode really holds at its peak, measured in a child process, against what the decode
// budget counted for it.
#include "Platform/Graphics/DecodeBudget.h"
#include "Platform/Graphics/Image.h"
#include "tests/Support/LargePictures.h"
#include "tests/Support/Sanitizers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace gfx {

// Named: the folder's tests may be built as one unit.
namespace decodepeaktest {

constexpr int kSide = 7990;

#if defined(BRIVANTA_TEST_ASAN) || defined(BRIVANTA_TEST_TSAN)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Peak {
    long measured = -1; // bytes the process grew by at its highest
    long counted = -1;  // bytes the budget was asked for
    bool decoded = false;
};

Peak measure(const std::function<Image()>& decode)
{
    struct Answer {
        long counted;
        bool decoded;
    } answer {};
    long grown = -1;
    bool ok = largepictures::inChild<Answer>([&](Answer& a) {
        DecodeBudget::shared().resetPeak();
        {
            Image image = decode();
            a.decoded = !image.isNull();
        }
        a.counted = static_cast<long>(DecodeBudget::shared().peakInFlight());
    }, answer, grown);
    if (!ok)
        return {};
    return {grown, answer.counted, answer.decoded};
}

} // namespace decodepeaktest

using namespace decodepeaktest;
using namespace largepictures;

TEST(DecodePeak, EachFormatHoldsNoMoreThanTheBudgetCountedForIt)
{
    if (kSanitized)
        GTEST_SKIP() << "a sanitizer's shadow memory and quarantine hold memory the decode does not";
    struct Case {
        const char* name;
        std::function<base::Bytes()> make;
        bool decodes; // whole; else refused, its decode over the whole budget or its format unknown
        // Decoded to a screen's size too: JPEG by the decoder's own scaling, 16-bit PNG and HDR
        // row by row, the rest whole and scaled down at once.
        bool fitted = false;
    };
    const std::vector<Case> cases = {
        {"jpeg", [] { return jpeg(kSide, false); }, true, true},
        {"progressive jpeg", [] { return jpeg(kSide, true); }, false, true},
        {"png grey", [] { return png(kSide, 1, 8); }, true},
        {"png rgb", [] { return png(kSide, 3, 8); }, true},
        {"png rgba", [] { return png(kSide, 4, 8); }, true},
        {"png indexed", [] { return png(kSide, 3, 8, true); }, true},
        {"png 16-bit rgb", [] { return png(kSide, 3, 16); }, true, true},
        {"png 16-bit rgba", [] { return png(kSide, 4, 16); }, true, true},
        {"gif", [] { return gif(kSide); }, true},
        {"hdr", [] { return hdr(kSide); }, true, true},
        {"bmp", [] { return bmp(kSide); }, false},
        {"webp", [] { return webp(kSide); }, false, true},
    };
    // Beside the counted bytes a decode touches some pages of code, stack and small tables.
    constexpr long kSlack = 8L << 20;
    for (const auto& c : cases) {
        base::Bytes bytes = c.make();
        for (bool fitted : {false, true}) {
            if (fitted && !c.fitted)
                continue;
            Peak peak = measure([&] {
                return fitted ? Image::fromBytesFitting(bytes, {1024, 768}, 1, DecodeBudget::Priority::Screen)
                              : Image::fromBytes(bytes);
            });
            std::string row = std::string(c.name) + (fitted ? " fitted" : " whole");
            ASSERT_GE(peak.measured, 0) << row;
            // Fitted, every picture the decoders take comes out.
            EXPECT_EQ(peak.decoded, fitted ? std::string(c.name) != "webp" : c.decodes) << row;
            EXPECT_LE(peak.measured, peak.counted + kSlack) << row;
            EXPECT_LE(peak.measured, static_cast<long>(DecodeBudget::kDefaultLimit) + kSlack) << row;
            std::printf("%-24s held %7.1f MB, counted %7.1f MB\n", row.c_str(), peak.measured / 1048576.0,
                        peak.counted / 1048576.0);
        }
    }
}

} // namespace gfx
