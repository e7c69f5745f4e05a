#include "Network/BRDataCompressor.h"

#include "Network/BRDataFileCoding.h"

#include <algorithm>
#include <zlib.h>

namespace {
// 32 KB window with a gzip wrapper.
constexpr int kWindowBits = 31;
constexpr int kMemoryLevel = 8;
constexpr size_t kMinimumGrowth = 1024;
}

struct BRDataCompressor::Stream {
    z_stream z {};
    bool finished = false;
};

std::unique_ptr<BRDataCompressor> BRDataCompressor::compressor()
{
    auto result = std::make_unique<BRDataCompressor>();
    result->setupStream();
    return result;
}

BRDataCompressor::BRDataCompressor() : m_stream(std::make_unique<Stream>()) {}

BRDataCompressor::~BRDataCompressor()
{
    if (m_streamReady)
        closeStream();
}

base::ErrorPtr BRDataCompressor::setupStream()
{
    if (m_streamReady)
        return nullptr;
    *m_stream = Stream {};
    int result = ::deflateInit2(&m_stream->z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBits, kMemoryLevel,
                                Z_DEFAULT_STRATEGY);
    if (result != Z_OK)
        return deflateErrorWithCode(result);
    m_streamReady = true;
    return nullptr;
}

base::ErrorPtr BRDataCompressor::closeStream()
{
    if (!m_streamReady)
        return nullptr;
    m_streamReady = false;
    int result = ::deflateEnd(&m_stream->z);
    if (result != Z_OK)
        return deflateErrorWithCode(result);
    return nullptr;
}

std::optional<base::Bytes> BRDataCompressor::compressBytesLengthErrorShouldFinish(const uint8_t* bytes, size_t length,
                                                                                  base::ErrorPtr* error,
                                                                                  bool shouldFinish)
{
    if (length == 0)
        return std::nullopt;
    return deflatePiece(bytes, length, error, shouldFinish);
}

std::optional<base::Bytes> BRDataCompressor::deflatePiece(const uint8_t* bytes, size_t length, base::ErrorPtr* error,
                                                          bool finish)
{
    auto fail = [&](int code) -> std::optional<base::Bytes> {
        if (error)
            *error = deflateErrorWithCode(code);
        return std::nullopt;
    };
    if (!m_streamReady)
        return fail(Z_STREAM_ERROR);

    z_stream& z = m_stream->z;
    const size_t growth = std::max(length / 2, kMinimumGrowth);
    base::Bytes out(growth);
    size_t written = 0;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(length);
    do {
        if (written == out.size())
            out.resize(out.size() + growth);
        z.next_out = out.data() + written;
        z.avail_out = static_cast<uInt>(out.size() - written);
        int result = ::deflate(&z, finish ? Z_FINISH : Z_NO_FLUSH);
        written = out.size() - z.avail_out;
        if (result == Z_STREAM_END) {
            m_stream->finished = true;
            break;
        }
        // No progress was possible: nothing was pending after all.
        if (result == Z_BUF_ERROR && !finish)
            break;
        if (result != Z_OK)
            return fail(result);
    } while (z.avail_out == 0);
    out.resize(written);
    return out;
}

std::optional<base::Bytes> BRDataCompressor::compressDataError(const base::Bytes& data, base::ErrorPtr* error)
{
    if (data.empty())
        return std::nullopt;
    BRDataCompressor compressor;
    if (auto setupError = compressor.setupStream()) {
        if (error)
            *error = setupError;
        return std::nullopt;
    }
    return compressor.compressBytesLengthErrorShouldFinish(data.data(), data.size(), error, true);
}

bool BRDataCompressor::compressDataFromFileToFileError(const std::string& sourcePath, const std::string& destinationPath,
                                                       base::ErrorPtr* error)
{
    auto compressor = BRDataCompressor::compressor();
    BRDataFileCoding::Coder coder;
    coder.piece = [&](const uint8_t* bytes, size_t length, bool lastPiece, base::ErrorPtr* pieceError) {
        return compressor->compressBytesLengthErrorShouldFinish(bytes, length, pieceError, lastPiece);
    };
    // A source whose length is a multiple of the piece size (or empty) still needs its end.
    coder.finish = [&](base::ErrorPtr* finishError) -> std::optional<base::Bytes> {
        if (compressor->m_streamReady && compressor->m_stream->finished)
            return base::Bytes {};
        return compressor->deflatePiece(nullptr, 0, finishError, true);
    };
    coder.close = [&] { return compressor->closeStream(); };
    return BRDataFileCoding::codeFileToFile("Compression", sourcePath, destinationPath, coder, error);
}

base::ErrorPtr BRDataCompressor::deflateErrorWithCode(int code)
{
    return BRDataFileCoding::makeError("Compression of data failed with code " +
                                       std::to_string(static_cast<int16_t>(code)));
}
