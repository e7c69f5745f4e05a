#include "Network/BRDataCompressor.h"
#include "Network/BRDataDecompressor.h"
#include "ZipTestTools.h"

#include <cerrno>

using namespace ziptest;

namespace {

constexpr size_t kPiece = 262144;

// Feeds the body in random pieces of 1 byte up to maxPiece (many of them tiny).
std::vector<uint8_t> inflateInPieces(const std::vector<uint8_t>& body, size_t maxPiece, bool* ended,
                                     base::ErrorPtr* error, unsigned seed = 1)
{
    auto decompressor = BRDataDecompressor::decompressor();
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    for (size_t offset = 0, size; offset < body.size(); offset += size) {
        size = std::min({ random() % 3 == 0 ? 1 + random() % 16 : 1 + random() % maxPiece, maxPiece, body.size() - offset });
        auto piece = decompressor->uncompressBytesLengthError(body.data() + offset, size, error);
        if (!piece)
            break;
        out.insert(out.end(), piece->begin(), piece->end());
    }
    *ended = decompressor->streamEnded();
    return out;
}

void expectCodeError(const base::ErrorPtr& error, const std::string& description)
{
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "BRHTTPRequestErrorDomain");
    EXPECT_EQ(error->code, 11);
    EXPECT_EQ(error->description, description);
}

} // namespace

TEST(GzipDecompressor, InflatesGzipPigzAndZlibBodiesWholeInPiecesAndFileToFile)
{
    TempDir dir;
    // Zeros compress about a thousandfold, so the output buffer fills while input remains.
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> sources = {
        { "text", sampleData(700000) },
        { "zeros", std::vector<uint8_t>(1 << 20, 0) },
    };
    for (const auto& [name, source] : sources) {
        const std::string src = dir / name;
        writeFile(src, source);
        ASSERT_EQ(run("gzip -c " + src + " > " + src + ".gz"), 0);
        ASSERT_EQ(run("pigz -c " + src + " > " + src + ".pigz"), 0);
        ASSERT_EQ(python(dir, "import zlib\nd=open('" + src + "','rb').read()\nopen('" + src +
                                  ".zz','wb').write(zlib.compress(d, 9))\n"),
                  0);
        unsigned seed = 1;
        for (const char* suffix : { ".gz", ".pigz", ".zz" }) {
            SCOPED_TRACE(name + suffix);
            const std::string compressedPath = src + suffix;
            const auto body = readBytes(compressedPath);

            base::ErrorPtr error;
            auto whole = BRDataDecompressor::uncompressDataError(body, &error);
            EXPECT_FALSE(error);
            ASSERT_TRUE(whole);
            EXPECT_TRUE(*whole == source);

            bool ended = false;
            auto pieces = inflateInPieces(body, 71680, &ended, &error, seed++);
            EXPECT_FALSE(error);
            EXPECT_TRUE(ended);
            EXPECT_TRUE(pieces == source);

            const std::string out = compressedPath + ".out";
            EXPECT_TRUE(BRDataDecompressor::uncompressDataFromFileToFileError(compressedPath, out, &error));
            EXPECT_FALSE(error);
            EXPECT_TRUE(readBytes(out) == source);
        }
    }
}

TEST(GzipDecompressor, EmptyPlainAndDamagedBodies)
{
    base::ErrorPtr error;
    EXPECT_FALSE(BRDataDecompressor::uncompressDataError({}, &error));
    EXPECT_FALSE(error);

    const std::string plain = "This is not compressed data at all.";
    EXPECT_FALSE(BRDataDecompressor::uncompressDataError(base::Bytes(plain.begin(), plain.end()), &error));
    expectCodeError(error, "Decompression of data failed with code -3");

    TempDir dir;
    const auto source = sampleData(300000);
    writeFile(dir / "src", source);
    ASSERT_EQ(run("gzip -c " + dir / "src" + " > " + dir / "src.gz"), 0);
    const auto body = readBytes(dir / "src.gz");

    // Cut in the middle, and cut by one byte of the trailer: both are incomplete.
    for (size_t keep : { body.size() / 2, body.size() - 1 }) {
        SCOPED_TRACE(keep);
        const base::Bytes truncated(body.begin(), body.begin() + static_cast<long>(keep));
        error = nullptr;
        EXPECT_FALSE(BRDataDecompressor::uncompressDataError(truncated, &error));
        expectCodeError(error, "Decompression of data failed with code -5");

        error = nullptr;
        bool ended = true;
        inflateInPieces(truncated, 71680, &ended, &error);
        EXPECT_FALSE(error);
        EXPECT_FALSE(ended);

        writeFile(dir / "cut.gz", truncated);
        error = nullptr;
        EXPECT_FALSE(BRDataDecompressor::uncompressDataFromFileToFileError(dir / "cut.gz", dir / "cut", &error));
        expectCodeError(error, "Decompression of data failed with code -5");
    }

    // A wrong CRC in the trailer is a data error.
    base::Bytes badCrc = body;
    badCrc[badCrc.size() - 8] ^= 0xff;
    error = nullptr;
    EXPECT_FALSE(BRDataDecompressor::uncompressDataError(badCrc, &error));
    expectCodeError(error, "Decompression of data failed with code -3");

    // An empty download is an empty body.
    writeText(dir / "empty.gz", "");
    error = nullptr;
    EXPECT_TRUE(BRDataDecompressor::uncompressDataFromFileToFileError(dir / "empty.gz", dir / "empty", &error));
    EXPECT_FALSE(error);
    EXPECT_TRUE(fs::exists(dir / "empty") && fs::file_size(dir / "empty") == 0);
}

TEST(GzipDecompressor, InflatesEveryMemberAndIgnoresOtherTrailingBytes)
{
    TempDir dir;
    const auto a = sampleData(100000, 11);
    const auto b = sampleData(70000, 12);
    writeFile(dir / "a", a);
    writeFile(dir / "b", b);
    ASSERT_EQ(run("gzip -c " + dir / "a" + " > " + dir / "a.gz"), 0);
    ASSERT_EQ(run("pigz -c " + dir / "b" + " > " + dir / "b.gz"), 0);
    ASSERT_EQ(run("cat " + dir / "a.gz" + " " + dir / "b.gz" + " > " + dir / "ab.gz"), 0);
    const auto ab = readBytes(dir / "ab.gz");
    auto expected = a;
    expected.insert(expected.end(), b.begin(), b.end());

    base::ErrorPtr error;
    auto whole = BRDataDecompressor::uncompressDataError(ab, &error);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(*whole == expected);
    bool ended = false;
    // One byte at a time splits the second member's magic bytes across pieces.
    EXPECT_TRUE(inflateInPieces(ab, 1, &ended, &error) == expected);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(BRDataDecompressor::uncompressDataFromFileToFileError(dir / "ab.gz", dir / "ab", &error));
    EXPECT_TRUE(readBytes(dir / "ab") == expected);

    auto garbage = readBytes(dir / "a.gz");
    const std::string tail = "\x1f trailing bytes";
    garbage.insert(garbage.end(), tail.begin(), tail.end());
    whole = BRDataDecompressor::uncompressDataError(garbage, &error);
    EXPECT_FALSE(error);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(*whole == a);
    EXPECT_TRUE(inflateInPieces(garbage, 1, &ended, &error) == a);

    // A second member that breaks off is as truncated as a first one.
    auto partialSecond = readBytes(dir / "a.gz");
    const auto bGz = readBytes(dir / "b.gz");
    partialSecond.insert(partialSecond.end(), bGz.begin(), bGz.begin() + 40);
    EXPECT_FALSE(BRDataDecompressor::uncompressDataError(partialSecond, &error));
    expectCodeError(error, "Decompression of data failed with code -5");
}

TEST(GzipCompressor, OutputIsValidGzipAtPieceBoundaries)
{
    TempDir dir;
    for (size_t size : { size_t(1), kPiece - 1, kPiece, kPiece + 1, size_t(1) << 20 }) {
        SCOPED_TRACE(size);
        const auto source = sampleData(size, static_cast<unsigned>(size));
        const std::string src = dir / "src";
        writeFile(src, source);

        base::ErrorPtr error;
        auto compressed = BRDataCompressor::compressDataError(source, &error);
        ASSERT_TRUE(compressed);
        writeFile(dir / "memory.gz", *compressed);
        ASSERT_TRUE(BRDataCompressor::compressDataFromFileToFileError(src, dir / "file.gz", &error));
        EXPECT_FALSE(error);
        for (const char* name : { "memory.gz", "file.gz" }) {
            EXPECT_EQ(run("gzip -t " + dir / name), 0) << name;
            EXPECT_EQ(run("gzip -dc " + dir / name + " > " + dir / "back"), 0);
            EXPECT_TRUE(readBytes(dir / "back") == source) << name;
        }
    }

    base::ErrorPtr error;
    EXPECT_FALSE(BRDataCompressor::compressDataError({}, &error));
    EXPECT_FALSE(error);
    writeText(dir / "empty", "");
    ASSERT_TRUE(BRDataCompressor::compressDataFromFileToFileError(dir / "empty", dir / "empty.gz", &error));
    EXPECT_EQ(run("gzip -t " + dir / "empty.gz"), 0);
    EXPECT_EQ(run("test -z \"$(gzip -dc " + dir / "empty.gz" + ")\""), 0);

    auto compressor = BRDataCompressor::compressor();
    EXPECT_FALSE(compressor->compressBytesLengthErrorShouldFinish(reinterpret_cast<const uint8_t*>("x"), 0, &error, true));
}

TEST(GzipFileVariants, ReportMissingUnreadableAndUnwritableFiles)
{
    TempDir dir;
    writeText(dir / "src", "some text to compress");
    ASSERT_TRUE(BRDataCompressor::compressDataFromFileToFileError(dir / "src", dir / "src.gz", nullptr));

    using FileCoder = bool (*)(const std::string&, const std::string&, base::ErrorPtr*);
    const std::vector<std::tuple<std::string, FileCoder, std::string>> coders = {
        { "Compression", &BRDataCompressor::compressDataFromFileToFileError, dir / "src" },
        { "Decompression", &BRDataDecompressor::uncompressDataFromFileToFileError, dir / "src.gz" },
    };
    for (const auto& [op, code, good] : coders) {
        SCOPED_TRACE(op);
        base::ErrorPtr error;
        const std::string missing = dir / "missing";
        EXPECT_FALSE(code(missing, dir / "out", &error));
        expectCodeError(error, op + " of " + missing + " failed the file does not exist");
        EXPECT_TRUE(fs::exists(dir / "out"));

        const std::string unreachable = dir / "no/such/folder/out";
        EXPECT_FALSE(code(good, unreachable, &error));
        expectCodeError(error, op + " of " + good + " failed because we were to create a file at " + unreachable);

        const std::string folder = dir.path().string();
        EXPECT_FALSE(code(folder, dir / "out", &error));
        expectCodeError(error, op + " of " + folder + " failed because we were unable to read from the source data file");
        ASSERT_TRUE(error->underlying);
        EXPECT_EQ(error->underlying->code, EISDIR);

        if (fs::exists("/dev/full")) {
            EXPECT_FALSE(code(good, "/dev/full", &error));
            expectCodeError(error, op + " of " + good +
                                       " failed because we were unable to write to the destination data file at /dev/full");
            ASSERT_TRUE(error->underlying);
            EXPECT_EQ(error->underlying->code, ENOSPC);
        }
    }
}
