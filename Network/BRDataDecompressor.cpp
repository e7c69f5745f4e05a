#include "Network/BRDataDecompressor.h"

#include "Network/BRDataFileCoding.h"

#include <algorithm>
#include <zlib.h>

namespace {
// 32 KB window; zlib or gzip header recognised automatically.
constexpr int kWindowBits = 47;
// Keeps tiny pieces from inflating a few bytes per call.
constexpr size_t kMinimumGrowth = 1024;
}

struct BRDataDecompressor::Stream {
    z_stream z {};
    // After the end of a member, the next two bytes tell whether another gzip member follows.
    enum class Phase { Inflating, Ended, Ignoring } phase = Phase::Inflating;
    uint8_t lookahead[2] = {};
    size_t lookaheadCount = 0;
    bool sawInput = false;

    // Inflates the input into out, growing it; stops at a stream end or when the input is used
    // up and zlib has nothing pending. Returns a zlib failure code, or Z_OK.
    int inflateInto(const uint8_t*& input, size_t& remaining, base::Bytes& out, size_t& written, size_t growth)
    {
        z.next_in = const_cast<Bytef*>(input);
        z.avail_in = static_cast<uInt>(remaining);
        int result = Z_OK;
        for (;;) {
            if (written == out.size())
                out.resize(out.size() + growth);
            z.next_out = out.data() + written;
            z.avail_out = static_cast<uInt>(out.size() - written);
            result = ::inflate(&z, Z_NO_FLUSH);
            written = out.size() - z.avail_out;
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

bool BRDataDecompressor::streamEnded() const
{
    return m_stream->phase != Stream::Phase::Inflating;
}

std::optional<base::Bytes> BRDataDecompressor::uncompressBytesLengthError(const uint8_t* bytes, size_t length,
                                                                          base::ErrorPtr* error)
{
    if (length == 0)
        return std::nullopt;
    auto fail = [&](int code) -> std::optional<base::Bytes> {
        if (error)
            *error = inflateErrorWithCode(code);
        return std::nullopt;
    };
    if (!m_streamReady)
        return fail(Z_STREAM_ERROR);

    Stream& s = *m_stream;
    s.sawInput = true;
    const size_t growth = std::max(length / 2, kMinimumGrowth);
    base::Bytes out(std::max(length + length / 2, kMinimumGrowth));
    size_t written = 0;
    const uint8_t* input = bytes;
    size_t remaining = length;

    for (;;) {
        if (s.phase == Stream::Phase::Inflating) {
            if (remaining == 0)
                break;
            if (int result = s.inflateInto(input, remaining, out, written, growth); result != Z_OK)
                return fail(result);
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
            if (int result = s.inflateInto(magic, magicLength, out, written, growth); result != Z_OK)
                return fail(result);
        } else {
            break;
        }
    }
    out.resize(written);
    return out;
}

std::optional<base::Bytes> BRDataDecompressor::uncompressDataError(const base::Bytes& data, base::ErrorPtr* error)
{
    BRDataDecompressor decompressor;
    if (auto setupError = decompressor.setupStream()) {
        if (error)
            *error = setupError;
        return std::nullopt;
    }
    base::ErrorPtr inflateError;
    auto result = decompressor.uncompressBytesLengthError(data.data(), data.size(), &inflateError);
    if (inflateError) {
        if (error)
            *error = inflateError;
        return std::nullopt;
    }
    if (result && !decompressor.streamEnded()) {
        if (error)
            *error = inflateErrorWithCode(Z_BUF_ERROR);
        return std::nullopt;
    }
    return result;
}

bool BRDataDecompressor::uncompressDataFromFileToFileError(const std::string& sourcePath,
                                                           const std::string& destinationPath, base::ErrorPtr* error)
{
    auto decompressor = BRDataDecompressor::decompressor();
    BRDataFileCoding::Coder coder;
    coder.piece = [&](const uint8_t* bytes, size_t length, bool, base::ErrorPtr* pieceError) {
        return decompressor->uncompressBytesLengthError(bytes, length, pieceError);
    };
    coder.finish = [&](base::ErrorPtr* finishError) -> std::optional<base::Bytes> {
        if (!decompressor->streamReady()) {
            *finishError = inflateErrorWithCode(Z_STREAM_ERROR);
            return std::nullopt;
        }
        // An empty source is an empty body; a non-empty one must hold a complete stream.
        if (decompressor->m_stream->sawInput && !decompressor->streamEnded()) {
            *finishError = inflateErrorWithCode(Z_BUF_ERROR);
            return std::nullopt;
        }
        return base::Bytes {};
    };
    coder.close = [&] { return decompressor->closeStream(); };
    return BRDataFileCoding::codeFileToFile("Decompression", sourcePath, destinationPath, coder, error);
}

base::ErrorPtr BRDataDecompressor::inflateErrorWithCode(int code)
{
    return BRDataFileCoding::makeError("Decompression of data failed with code " +
                                       std::to_string(static_cast<int16_t>(code)));
}
