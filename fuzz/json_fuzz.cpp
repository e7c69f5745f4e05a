// The JSON parser on any bytes: a failure leaves an error trace; a success writes, in every
// writer mode, a text that parses back to an equal tree.
#include "FuzzCheck.h"
#include "Network/BRJsonParser.h"
#include "Network/BRJsonWriter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    BRJsonParser parser;
    auto value = parser.fragmentWithString(text);
    if (!value) {
        FUZZ_CHECK(parser.errorTrace() && !parser.errorTrace()->empty());
        return 0;
    }
    FUZZ_CHECK(!parser.errorTrace());
    for (int mode = 0; mode < 4; ++mode) {
        BRJsonWriter writer;
        writer.setHumanReadable(mode & 1);
        writer.setSortKeys(mode & 2);
        auto written = writer.stringWithFragment(*value);
        FUZZ_CHECK(written);
        BRJsonParser again;
        auto back = again.fragmentWithString(*written);
        FUZZ_CHECK(back);
        FUZZ_CHECK(*back == *value);
        // The compact form of what was read back is the same text.
        if (mode == 0)
            FUZZ_CHECK(writer.stringWithFragment(*back) == written);
    }
    return 0;
}
