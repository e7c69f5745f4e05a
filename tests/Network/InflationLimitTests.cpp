#include "Network/BRDataDecompressor.h"
#include "ZipTestTools.h"
#include "tests/Support/Bombs.h"

#include <functional>
#include <set>

using namespace ziptest;

namespace {

std::set<std::string> listing(const fs::path& folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        names.insert(fs::relative(it->path(), folder).string());
    return names;
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// Rewrites the uncompressed size every header of the archive declares for its last entry.
void declareSize(const std::string& archive, uint32_t size)
{
    auto bytes = readBytes(archive);
    auto patch = [&](size_t at) {
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = uint8_t(size >> (8 * i));
    };
    size_t local = 0, central = 0;
    for (size_t i = 0; i + 4 < bytes.size(); ++i) {
        uint32_t signature = uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8 | uint32_t(bytes[i + 2]) << 16 |
                             uint32_t(bytes[i + 3]) << 24;
        if (signature == 0x04034b50)
            local = i;
        else if (signature == 0x02014b50)
            central = i;
    }
    patch(local + 22);
    patch(central + 24);
    writeFile(archive, bytes);
}

} // namespace

TEST(InflationLimits, GzipFileInflationStopsAtItsLimitsAndLeavesNothing)
{
    TempDir dir;
    // 4 MB that inflate to 4 GiB; and text of ordinary compressibility.
    writeBytes(dir / "bomb.gz", bombfix::gzipBomb(4096));
    ASSERT_LT(fs::file_size(dir / "bomb.gz"), 8u << 20);
    const std::vector<uint8_t> text = sampleData(3 << 20);
    writeFile(dir / "text", text);
    ASSERT_EQ(run("gzip -kc " + quote(dir / "text") + " > " + quote(dir / "text.gz")), 0);

    struct Case {
        const char* name;
        std::string source;
        std::function<void(BRDataDecompressor&)> limit;
        const char* failure; // nullptr: inflates whole
    };
    const Case cases[] = {
        { "bomb, default limits", dir / "bomb.gz", [](BRDataDecompressor&) {}, "inflates to more than 100 times its size" },
        { "text, default limits", dir / "text.gz", [](BRDataDecompressor&) {}, nullptr },
        { "text exactly at the size limit", dir / "text.gz",
          [&](BRDataDecompressor& d) { d.setMaxInflatedSize(text.size()); }, nullptr },
        { "text one byte over the size limit", dir / "text.gz",
          [&](BRDataDecompressor& d) { d.setMaxInflatedSize(text.size() - 1); },
          "inflates to more than 3145727 bytes" },
        { "bomb under a raised ratio, size limit", dir / "bomb.gz",
          [](BRDataDecompressor& d) {
              d.setMaxInflationRatio(1e9);
              d.setMaxInflatedSize(64 << 20);
          },
          "inflates to more than 67108864 bytes" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir / "out";
        auto before = listing(dir.path());
        BRDataDecompressor decompressor;
        c.limit(decompressor);
        base::ErrorPtr error;
        bool ok = decompressor.uncompressFileToFileError(c.source, out, &error);
        if (!c.failure) {
            EXPECT_TRUE(ok);
            EXPECT_FALSE(error);
            EXPECT_EQ(readBytes(out), text);
            fs::remove(out);
            continue;
        }
        EXPECT_FALSE(ok);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, 11);
        EXPECT_EQ(error->description, "Decompression of " + c.source + " failed because it " + (c.failure + 0));
        EXPECT_EQ(listing(dir.path()), before) << "output left behind";
    }

    // The class-level road the downloads take keeps the default limits.
    base::ErrorPtr error;
    EXPECT_FALSE(BRDataDecompressor::uncompressDataFromFileToFileError(dir / "bomb.gz", dir / "out", &error));
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(InflationLimits, ZipExtractionStopsAtItsLimitsAndRemovesWhatItMade)
{
    TempDir dir;
    // 1 MiB that unpacks to 1 GiB; and a small tree of ordinary text.
    writeBytes(dir / "bomb.zip", bombfix::zipBomb(1024));
    ASSERT_LT(fs::file_size(dir / "bomb.zip"), 2u << 20);
    writeFile(dir / "text", sampleData(300000));
    ASSERT_EQ(python(dir, "import zipfile\n"
                          "with zipfile.ZipFile('" + dir / "tree.zip" + "', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                          "    data = open('" + dir / "text" + "', 'rb').read()\n"
                          "    z.writestr('skin/', '')\n"
                          "    for n in ('skin/a.png', 'skin/deep/b.png', 'c.png'):\n"
                          "        z.writestr(n, data)\n"),
              0);
    // An enciphered entry (inflated here, not by the zip library) declaring 1,000 bytes and
    // holding 40 MiB, after an honest one.
    writeFile(dir / "zeros", std::vector<uint8_t>(40 << 20, 0));
    {
        BRZipArchive liar;
        ASSERT_TRUE(liar.CreateZipFile2Password(dir / "liar.zip", "secret"));
        ASSERT_TRUE(liar.addFileToZipNewname(dir / "text", "skin/first.png"));
        ASSERT_TRUE(liar.addFileToZipNewname(dir / "zeros", "skin/more/zeros.png"));
        ASSERT_TRUE(liar.CloseZipFile2());
    }
    declareSize(dir / "liar.zip", 1000);

    struct Case {
        const char* name;
        std::string archive;
        std::function<void(BRZipArchive&)> limit;
        const char* failure; // nullptr: extracts whole
        std::string password = {};
    };
    const Case cases[] = {
        { "bomb, default limits", dir / "bomb.zip", [](BRZipArchive&) {}, "more than 100 times its size" },
        { "tree, default limits", dir / "tree.zip", [](BRZipArchive&) {}, nullptr },
        { "tree over a size limit", dir / "tree.zip", [](BRZipArchive& z) { z.setMaxExtractedSize(800000); },
          "more than 800000 bytes" },
        { "bomb under a raised ratio, size limit", dir / "bomb.zip",
          [](BRZipArchive& z) {
              z.setMaxCompressionRatio(1e9);
              z.setMaxExtractedSize(32 << 20);
          },
          "more than 33554432 bytes" },
        { "enciphered entry lying about its size", dir / "liar.zip",
          [](BRZipArchive& z) { z.setMaxExtractedSize(8 << 20); }, "more than 8388608 bytes", "secret" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = dir / "target";
        fs::remove_all(target);
        fs::create_directories(target + "/skin");
        writeText(target + "/skin/kept.png", "kept");
        auto before = listing(target);

        BRZipArchive zip;
        auto delegate = std::make_shared<RecordingDelegate>();
        zip.setDelegate(delegate);
        c.limit(zip);
        ASSERT_TRUE(zip.UnzipOpenFilePassword(c.archive, c.password));
        bool ok = zip.UnzipFileToOverWrite(target, true);
        zip.UnzipCloseFile();
        if (!c.failure) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(readBytes(target + "/skin/deep/b.png"), readBytes(dir / "text"));
            continue;
        }
        EXPECT_FALSE(ok);
        EXPECT_TRUE(delegate->said(std::string("Refused the archive because it unpacks to ") + c.failure))
            << (delegate->messages.empty() ? "" : delegate->messages.back());
        EXPECT_EQ(listing(target), before) << "output left behind";
        EXPECT_EQ(readText(target + "/skin/kept.png"), "kept");
    }
}
