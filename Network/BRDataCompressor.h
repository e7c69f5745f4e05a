#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Deflates data into the gzip format: whole, piece by piece, or file to file.
class BRDataCompressor {
public:
    // A compressor with its stream set up (it stays not ready if that failed).
    static std::unique_ptr<BRDataCompressor> compressor();

    BRDataCompressor();
    ~BRDataCompressor();
    BRDataCompressor(const BRDataCompressor&) = delete;
    BRDataCompressor& operator=(const BRDataCompressor&) = delete;

    base::ErrorPtr setupStream();
    base::ErrorPtr closeStream();
    bool streamReady() const { return m_streamReady; }

    // The bytes deflated from this piece; with shouldFinish the gzip stream is completed.
    // nullopt for an empty piece or on failure (then *error is set).
    std::optional<base::Bytes> compressBytesLengthErrorShouldFinish(const uint8_t* bytes, size_t length,
                                                                    base::ErrorPtr* error, bool shouldFinish);

    static std::optional<base::Bytes> compressDataError(const base::Bytes& data, base::ErrorPtr* error);
    static bool compressDataFromFileToFileError(const std::string& sourcePath,
                                                const std::string& destinationPath, base::ErrorPtr* error);

    static base::ErrorPtr deflateErrorWithCode(int code);

private:
    std::optional<base::Bytes> deflatePiece(const uint8_t* bytes, size_t length, base::ErrorPtr* error,
                                            bool finish);

    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_streamReady = false;
};
