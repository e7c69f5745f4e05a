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
    // A whole body inflated within `limit` bytes. The inflated size is measured first, so a
    // body past the limit is refused without being held, and one within it is inflated into a
    // buffer of exactly its size (never grown by copying).
    struct WholeInflation {
        std::optional<base::Bytes> bytes; // set on success (possibly empty)
        bool tooLarge = false;
        bool endedEarly = false; // the data stops before its stream does
        base::ErrorPtr error;    // an inflate failure
    };
    static WholeInflation inflateWholeWithin(const uint8_t* data, size_t length, uint64_t limit);
    // Inflates a file into a file within this decompressor's limits.
    static bool uncompressDataFromFileToFileError(const std::string& sourcePath,
                                                  const std::string& destinationPath,
                                                  base::ErrorPtr* error);
    // The same on a fresh stream of this decompressor, within its limits: passing one stops
    // at once with the limit error and removes the destination.
    bool uncompressFileToFileError(const std::string& sourcePath, const std::string& destinationPath,
                                   base::ErrorPtr* error);

    // Limits of a file inflation: the bytes written, and the bytes written per compressed
    // byte read (checked once kRatioCheckedFrom bytes are written, so small files with long
    // runs pass). The defaults are far above any real download.
    uint64_t maxInflatedSize() const { return m_maxInflatedSize; }
    void setMaxInflatedSize(uint64_t bytes) { m_maxInflatedSize = bytes; }
    double maxInflationRatio() const { return m_maxInflationRatio; }
    void setMaxInflationRatio(double ratio) { m_maxInflationRatio = ratio; }
    static constexpr uint64_t kDefaultMaxInflatedSize = uint64_t(8) << 30;
    static constexpr double kDefaultMaxInflationRatio = 100;
    static constexpr uint64_t kRatioCheckedFrom = uint64_t(256) << 20;

    size_t unconsumedLength() const;

    static base::ErrorPtr inflateErrorWithCode(int code);
    // A body stopped by the size or ratio brake: the error's cause is of kLimitDomain.
    static constexpr const char* kLimitDomain = "BRDataDecompressorLimit";
    static base::ErrorPtr limitReached(std::string description);

private:
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_streamReady = false;
    uint64_t m_maxInflatedSize = kDefaultMaxInflatedSize;
    double m_maxInflationRatio = kDefaultMaxInflationRatio;
};
