// Gzip inflation on any bytes: inflating piece by piece gives what inflating the whole gives,
// and compressing then inflating returns the input.
#include "FuzzCheck.h"
#include "Network/BRDataCompressor.h"
#include "Network/BRDataDecompressor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const base::Bytes input(data, data + size);

    base::ErrorPtr wholeError;
    auto whole = BRDataDecompressor::uncompressDataError(input, &wholeError);
    FUZZ_CHECK(whole || wholeError || input.empty());

    // Piece sizes from the input itself, so the fuzzer explores the cuts too.
    auto decompressor = BRDataDecompressor::decompressor();
    FUZZ_CHECK(decompressor->streamReady());
    base::Bytes pieces;
    bool failed = false;
    for (size_t at = 0, k = 0; at < size; ++k) {
        size_t piece = std::min<size_t>(size - at, 1 + data[k % size] % 97);
        base::ErrorPtr error;
        auto out = decompressor->uncompressBytesLengthError(data + at, piece, &error);
        if (!out && error) {
            failed = true;
            break;
        }
        if (out)
            pieces.insert(pieces.end(), out->begin(), out->end());
        at += piece;
    }
    if (whole) {
        FUZZ_CHECK(!failed);
        FUZZ_CHECK(decompressor->streamEnded());
        FUZZ_CHECK(pieces == *whole);
    } else if (!input.empty()) {
        FUZZ_CHECK(failed || !decompressor->streamEnded());
    }

    if (!input.empty()) {
        base::ErrorPtr error;
        auto compressed = BRDataCompressor::compressDataError(input, &error);
        FUZZ_CHECK(compressed);
        auto back = BRDataDecompressor::uncompressDataError(*compressed, &error);
        FUZZ_CHECK(back && *back == input);
    }
    return 0;
}
