#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Inflates gzip or zlib data: whole, piece by piece as an answer arrives, or file to file.
// One decompressor inflates one body on one thread.
class BRDataDecompressor {
public:
    // A decompressor with its stream set up (it stays not ready if that failed).
    static std::unique_ptr<BRDataDecompressor> decompressor();

    BRDataDecompressor();
    ~BRDataDecompressor();
    BRDataDecompressor(const BRDataDecompressor&) = delete;
    BRDataDecompressor& operator=(const BRDataDecompressor&) = delete;

    base::ErrorPtr setupStream();
    base::ErrorPtr closeStream();
    bool streamReady() const { return m_streamReady; }
    // Whether the compressed data seen so far ends on a complete stream; a body whose last
    // piece leaves this false was truncated.
    bool streamEnded() const;

    // The bytes inflated from this piece; nullopt for an empty piece or on failure (then
    // *error is set). A second gzip member is inflated too; other trailing bytes are ignored.
    std::optional<base::Bytes> uncompressBytesLengthError(const uint8_t* bytes, size_t length,
                                                          base::ErrorPtr* error);

    // Inflates this piece into `write` a bounded buffer at a time, however much it inflates to.
    // False when inflation failed (*error set) or `write` answered false (*error left alone);
    // then unconsumedLength() tells how many of the piece's last bytes were not read.
    bool uncompressBytesLengthIntoError(const uint8_t* bytes, size_t length,
                                        const std::function<bool(const uint8_t*, size_t)>& write,
                                        base::ErrorPtr* error);

    // The whole body; a body that ends before its stream does is an error.
    static std::optional<base::Bytes> uncompressDataError(const base::Bytes& data, base::ErrorPtr* error);
    // The same, refusing to inflate past `limit` bytes: then nullopt, *tooLarge set, no error.
    static std::optional<base::Bytes> uncompressDataLimitError(const base::Bytes& data, uint64_t limit,
                                                               bool* tooLarge, base::ErrorPtr* error);
    static bool uncompressDataFromFileToFileError(const std::string& sourcePath,
                                                  const std::string& destinationPath,
                                                  base::ErrorPtr* error);

    size_t unconsumedLength() const;

    static base::ErrorPtr inflateErrorWithCode(int code);

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_streamReady = false;
};
