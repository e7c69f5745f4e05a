#include "Network/BRDataDecompressor.h"

#include "Network/BRDataFileCoding.h"

#include <algorithm>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {
// 32 KB window; zlib or gzip header recognised automatically.
constexpr int kWindowBits = 47;
// What one inflate step writes at most; a piece that inflates a thousandfold is handed on in
// buffers of this size, never held whole.
constexpr size_t kOutputPiece = 262144;
using Writer = std::function<bool(const uint8_t*, size_t)>;
}

struct BRDataDecompressor::Stream {
    z_stream z {};
    // After the end of a member, the next two bytes tell whether another gzip member follows.
    enum class Phase { Inflating, Ended, Ignoring } phase = Phase::Inflating;
    uint8_t lookahead[2] = {};
    size_t lookaheadCount = 0;
    bool sawInput = false;
    size_t unconsumed = 0;
    // Stopped by its writer: zlib may still hold output that an empty piece brings out.
    bool holding = false;

    std::vector<uint8_t> buffer;

    // Inflates the input a buffer at a time into `write`; stops at a stream end, when the input
    // is used up and zlib has nothing pending, or when `write` refuses (then `stopped`).
    // Returns a zlib failure code, or Z_OK.
    int inflateInto(const uint8_t*& input, size_t& remaining, const Writer& write, bool& stopped)
    {
        if (buffer.empty())
            buffer.resize(kOutputPiece);
        z.next_in = const_cast<Bytef*>(input);
        z.avail_in = static_cast<uInt>(remaining);
        int result = Z_OK;
        for (;;) {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            result = ::inflate(&z, Z_NO_FLUSH);
            size_t produced = buffer.size() - z.avail_out;
            if (produced > 0 && !write(buffer.data(), produced)) {
                stopped = true;
                result = Z_OK;
                break;
            }
            if (result == Z_STREAM_END) {
                phase = Phase::Ended;
                lookaheadCount = 0;
                result = Z_OK;
                break;
            }
            // No progress was possible: everything pending has been delivered.
            if (result == Z_BUF_ERROR) {
                result = Z_OK;
                break;
            }
            if (result != Z_OK)
                break;
            // A full output buffer may hide pending output, so go round again.
            if (z.avail_in == 0 && z.avail_out != 0)
                break;
        }
        input = z.next_in;
        remaining = z.avail_in;
        return result;
    }
};

std::unique_ptr<BRDataDecompressor> BRDataDecompressor::decompressor()
{
    auto result = std::make_unique<BRDataDecompressor>();
    result->setupStream();
    return result;
}

BRDataDecompressor::BRDataDecompressor() : m_stream(std::make_unique<Stream>()) {}

BRDataDecompressor::~BRDataDecompressor()
{
    if (m_streamReady)
        closeStream();
}

base::ErrorPtr BRDataDecompressor::setupStream()
{
    if (m_streamReady)
        return nullptr;
    *m_stream = Stream {};
    int result = ::inflateInit2(&m_stream->z, kWindowBits);
    if (result != Z_OK)
        return inflateErrorWithCode(result);
    m_streamReady = true;
    return nullptr;
}

base::ErrorPtr BRDataDecompressor::closeStream()
{
    if (!m_streamReady)
        return nullptr;
    m_streamReady = false;
    int result = ::inflateEnd(&m_stream->z);
    if (result != Z_OK)
        return inflateErrorWithCode(result);
    return nullptr;
}

size_t BRDataDecompressor::unconsumedLength() const { return m_stream->unconsumed; }

bool BRDataDecompressor::streamEnded() const
{
    return m_stream->phase != Stream::Phase::Inflating;
}

std::optional<base::Bytes> BRDataDecompressor::uncompressBytesLengthError(const uint8_t* bytes, size_t length,
                                                                          base::ErrorPtr* error)
{
    if (length == 0)
        return std::nullopt;
    base::Bytes out;
    out.reserve(length + length / 2);
    Writer append = [&](const uint8_t* piece, size_t size) {
        out.insert(out.end(), piece, piece + size);
        return true;
    };
    if (!uncompressBytesLengthIntoError(bytes, length, append, error))
        return std::nullopt;
    return out;
}

bool BRDataDecompressor::uncompressBytesLengthIntoError(const uint8_t* bytes, size_t length, const Writer& write,
                                                        base::ErrorPtr* error)
{
    if (length == 0 && !m_stream->holding)
        return true;
    auto fail = [&](int code) {
        if (error)
            *error = inflateErrorWithCode(code);
        return false;
    };
    if (!m_streamReady)
        return fail(Z_STREAM_ERROR);

    Stream& s = *m_stream;
    s.sawInput = s.sawInput || length > 0;
    s.unconsumed = 0;
    const uint8_t* input = bytes;
    size_t remaining = length;
    bool stopped = false;

    for (;;) {
        if (s.phase == Stream::Phase::Inflating) {
            if (remaining == 0 && !s.holding)
                break;
            s.holding = false;
            if (int result = s.inflateInto(input, remaining, write, stopped); result != Z_OK)
                return fail(result);
            if (stopped) {
                s.unconsumed = remaining;
                s.holding = true;
                return false;
            }
            if (s.phase == Stream::Phase::Inflating)
                break;
        } else if (s.phase == Stream::Phase::Ended) {
            while (s.lookaheadCount < 2 && remaining > 0) {
                s.lookahead[s.lookaheadCount++] = *input++;
                --remaining;
            }
            if (s.lookaheadCount < 2)
                break;
            if (s.lookahead[0] != 0x1f || s.lookahead[1] != 0x8b) {
                s.phase = Stream::Phase::Ignoring;
                continue;
            }
            if (int result = ::inflateReset(&s.z); result != Z_OK)
                return fail(result);
            s.phase = Stream::Phase::Inflating;
            const uint8_t* magic = s.lookahead;
            size_t magicLength = 2;
            if (int result = s.inflateInto(magic, magicLength, write, stopped); result != Z_OK)
                return fail(result);
            if (stopped) {
                // The magic bytes were the whole input of that step; zlib holds what it read.
                s.unconsumed = remaining;
                return false;
            }
        } else {
            break;
        }
    }
    return true;
}

std::optional<base::Bytes> BRDataDecompressor::uncompressDataError(const base::Bytes& data, base::ErrorPtr* error)
{
    return uncompressDataLimitError(data, UINT64_MAX, nullptr, error);
}

std::optional<base::Bytes> BRDataDecompressor::uncompressDataLimitError(const base::Bytes& data, uint64_t limit,
                                                                        bool* tooLarge, base::ErrorPtr* error)
{
    if (tooLarge)
        *tooLarge = false;
    // Empty data holds no stream: nothing, as from a piece-by-piece decompressor.
    if (data.empty()) {
        BRDataDecompressor decompressor;
        if (auto setupError = decompressor.setupStream(); setupError && error)
            *error = setupError;
        return std::nullopt;
    }
    WholeInflation whole = inflateWholeWithin(data.data(), data.size(), limit);
    if (whole.bytes)
        return std::move(whole.bytes);
    if (whole.tooLarge && tooLarge)
        *tooLarge = true;
    if (error) {
        if (whole.error)
            *error = whole.error;
        else if (whole.endedEarly)
            *error = inflateErrorWithCode(Z_BUF_ERROR);
    }
    return std::nullopt;
}

BRDataDecompressor::WholeInflation BRDataDecompressor::inflateWholeWithin(const uint8_t* data, size_t length,
                                                                          uint64_t limit)
{
    WholeInflation result;
    // One pass to measure, through the stream's own bounded buffer.
    uint64_t size = 0;
    {
        BRDataDecompressor measure;
        if (auto setupError = measure.setupStream()) {
            result.error = setupError;
            return result;
        }
        Writer count = [&](const uint8_t*, size_t piece) {
            if (size + piece > limit) {
                result.tooLarge = true;
                return false;
            }
            size += piece;
            return true;
        };
        base::ErrorPtr inflateError;
        if (!measure.uncompressBytesLengthIntoError(data, length, count, &inflateError)) {
            result.error = result.tooLarge ? nullptr : inflateError;
            return result;
        }
        if (!measure.streamEnded()) {
            result.endedEarly = true;
            return result;
        }
    }
    // The second pass gives the same bytes into room made once.
    BRDataDecompressor fill;
    if (auto setupError = fill.setupStream()) {
        result.error = setupError;
        return result;
    }
    base::Bytes out;
    out.reserve(size_t(size));
    Writer append = [&](const uint8_t* piece, size_t pieceLength) {
        if (out.size() + pieceLength > size)
            return false;
        out.insert(out.end(), piece, piece + pieceLength);
        return true;
    };
    base::ErrorPtr inflateError;
    if (!fill.uncompressBytesLengthIntoError(data, length, append, &inflateError) || out.size() != size) {
        result.error = inflateError ? inflateError : inflateErrorWithCode(Z_DATA_ERROR);
        return result;
    }
    result.bytes = std::move(out);
    return result;
}

bool BRDataDecompressor::uncompressDataFromFileToFileError(const std::string& sourcePath,
                                                           const std::string& destinationPath, base::ErrorPtr* error)
{
    return decompressor()->uncompressFileToFileError(sourcePath, destinationPath, error);
}

bool BRDataDecompressor::uncompressFileToFileError(const std::string& sourcePath, const std::string& destinationPath,
                                                   base::ErrorPtr* error)
{
    // A failed set-up leaves the stream not ready; the coding loop reports it.
    if (m_streamReady)
        closeStream();
    setupStream();
    uint64_t read = 0, written = 0;
    base::ErrorPtr limitError;
    BRDataFileCoding::Coder coder;
    coder.pieceInto = [&](const uint8_t* bytes, size_t length, bool, const BRDataFileCoding::Writer& write,
                          base::ErrorPtr* pieceError) {
        read += length;
        BRDataFileCoding::Writer bounded = [&](const uint8_t* piece, size_t size) {
            uint64_t total = written + size;
            if (total > m_maxInflatedSize)
                limitError = limitReached("Decompression of " + sourcePath + " failed because it inflates to more than " +
                                          std::to_string(m_maxInflatedSize) + " bytes");
            else if (total > kRatioCheckedFrom && double(total) > m_maxInflationRatio * double(read))
                limitError = limitReached("Decompression of " + sourcePath + " failed because it inflates to more than " +
                                          std::to_string(int64_t(m_maxInflationRatio)) + " times its size");
            if (limitError)
                return false;
            written = total;
            return write(piece, size);
        };
        if (uncompressBytesLengthIntoError(bytes, length, bounded, pieceError))
            return true;
        if (limitError)
            *pieceError = limitError;
        return false;
    };
    coder.finish = [&](base::ErrorPtr* finishError) -> std::optional<base::Bytes> {
        if (!streamReady()) {
            *finishError = inflateErrorWithCode(Z_STREAM_ERROR);
            return std::nullopt;
        }
        // An empty source is an empty body; a non-empty one must hold a complete stream.
        if (m_stream->sawInput && !streamEnded()) {
            *finishError = inflateErrorWithCode(Z_BUF_ERROR);
            return std::nullopt;
        }
        return base::Bytes {};
    };
    coder.close = [&] { return closeStream(); };
    bool ok = BRDataFileCoding::codeFileToFile("Decompression", sourcePath, destinationPath, coder, error);
    // What a bomb wrote so far is of no use to anyone.
    if (!ok && limitError)
        ::unlink(destinationPath.c_str());
    return ok;
}

base::ErrorPtr BRDataDecompressor::limitReached(std::string description)
{
    auto cause = base::Error::make(kLimitDomain, 1, description);
    return BRDataFileCoding::makeError(std::move(description), std::move(cause));
}

base::ErrorPtr BRDataDecompressor::inflateErrorWithCode(int code)
{
    return BRDataFileCoding::makeError("Decompression of data failed with code " +
                                       std::to_string(static_cast<int16_t>(code)));
}
