#include "Platform/Base/Log.h"
#include "ZipTestTools.h"

#include <ctime>
#include <sys/stat.h>

using namespace ziptest;

namespace {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

time_t modificationTime(const std::string& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mtime;
}

time_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second;
    return ::timegm(&t);
}

} // namespace

TEST(ZipArchive, ExtractsTreeWithSeparatorsAndEntryDatesInLocalTime)
{
    TempDir dir;
    const std::string archive = dir / "tree.zip";
    ASSERT_EQ(python(dir, "import zipfile\n"
                          "with zipfile.ZipFile('" + archive + "', 'w') as z:\n"
                          "    z.writestr(zipfile.ZipInfo('a/', (2021, 3, 4, 5, 6, 8)), '')\n"
                          "    z.writestr(zipfile.ZipInfo('a/b.txt', (2021, 3, 4, 5, 6, 8)), 'bee')\n"
                          "    z.writestr(zipfile.ZipInfo('c\\\\d.txt', (2019, 12, 31, 23, 59, 58)), 'dee')\n"
                          "    z.writestr(zipfile.ZipInfo('e/f/g.txt', (2000, 1, 2, 3, 4, 6)), 'gee')\n"),
              0);

    // Shanghai has kept UTC+8 without daylight saving since 1991.
    for (auto [zone, offset] : { std::pair { "UTC", 0 }, std::pair { "Asia/Shanghai", 8 * 3600 } }) {
        SCOPED_TRACE(zone);
        ScopedTimeZone timeZone(zone);
        const std::string target = dir / (std::string("out-") + (offset ? "sh" : "utc"));
        base::ScopedLogCapture log;
        EXPECT_TRUE(extract(archive, target, true));
        EXPECT_TRUE(log.contains("4 entries in the zip file"));
        EXPECT_EQ(listTree(target), (std::vector<std::string> { "a/", "a/b.txt", "c/", "c/d.txt", "e/", "e/f/", "e/f/g.txt" }));
        EXPECT_EQ(readText(target + "/c/d.txt"), "dee");
        EXPECT_EQ(modificationTime(target + "/a/b.txt"), utc(2021, 3, 4, 5, 6, 8) - offset);
        EXPECT_EQ(modificationTime(target + "/c/d.txt"), utc(2019, 12, 31, 23, 59, 58) - offset);
        EXPECT_EQ(modificationTime(target + "/e/f/g.txt"), utc(2000, 1, 2, 3, 4, 6) - offset);
    }
}

TEST(ZipArchive, OverwriteFollowsFlagAndDelegate)
{
    TempDir dir;
    const std::string archive = dir / "over.zip";
    ASSERT_EQ(python(dir, "import zipfile\n"
                          "with zipfile.ZipFile('" + archive + "', 'w') as z:\n"
                          "    z.writestr('x.txt', 'new')\n"
                          "    z.writestr('y.txt', 'why')\n"),
              0);
    const std::string target = dir / "out";
    fs::create_directories(target);
    auto reset = [&] {
        writeText(target + "/x.txt", "old");
        fs::remove(target + "/y.txt");
    };

    reset();
    EXPECT_TRUE(extract(archive, target, true));
    EXPECT_EQ(readText(target + "/x.txt"), "new");

    reset();
    EXPECT_TRUE(extract(archive, target, false));
    EXPECT_EQ(readText(target + "/x.txt"), "new");

    reset();
    auto refusing = std::make_shared<RecordingDelegate>(false);
    EXPECT_TRUE(extract(archive, target, false, refusing));
    EXPECT_EQ(readText(target + "/x.txt"), "old");
    EXPECT_EQ(readText(target + "/y.txt"), "why");
    EXPECT_EQ(refusing->askedPaths, std::vector<std::string> { target + "/x.txt" });

    // With overwrite YES the delegate is not asked.
    reset();
    auto asked = std::make_shared<RecordingDelegate>(false);
    EXPECT_TRUE(extract(archive, target, true, asked));
    EXPECT_EQ(readText(target + "/x.txt"), "new");
    EXPECT_TRUE(asked->askedPaths.empty());
}

TEST(ZipArchive, EmptyMissingAndForeignArchives)
{
    TempDir dir;
    // The zip library cannot open a bare 22-byte empty archive; one behind a stub it can.
    const std::string bare = dir / "bare.zip";
    const std::string empty = dir / "empty.zip";
    writeText(empty, "stub");
    ASSERT_EQ(python(dir, "import zipfile\nzipfile.ZipFile('" + bare + "', 'w').close()\n"
                          "zipfile.ZipFile('" + empty + "', 'a').close()\n"),
              0);
    writeText(dir / "text.zip", "this is not a zip archive\n");

    BRZipArchive zip;
    EXPECT_TRUE(zip.UnzipCloseFile());
    EXPECT_FALSE(zip.UnzipOpenFile(dir / "missing.zip"));
    EXPECT_FALSE(zip.UnzipOpenFile(dir / "text.zip"));
    EXPECT_FALSE(zip.UnzipOpenFile(bare));

    auto delegate = std::make_shared<RecordingDelegate>();
    zip.setDelegate(delegate);
    ASSERT_TRUE(zip.UnzipOpenFile(empty));
    EXPECT_FALSE(zip.UnzipFileToOverWrite(dir / "out", true));
    EXPECT_EQ(delegate->messages, (std::vector<std::string> { "Failed", "Error occurs" }));
    EXPECT_TRUE(zip.UnzipCloseFile());
    EXPECT_TRUE(zip.UnzipCloseFile());
}

TEST(ZipArchive, EncryptedArchiveNeedsItsPassword)
{
    TempDir dir;
    fs::create_directories(dir / "src");
    writeText(dir / "src/s1.txt", std::string(5000, 'q') + "secret one");
    writeFile(dir / "src/s2.bin", sampleData(40000));
    ASSERT_EQ(run("cd " + quote(dir / "src") + " && zip -q -P secret ../secret.zip s1.txt s2.bin"), 0);

    EXPECT_TRUE(extract(dir / "secret.zip", dir / "good", true, nullptr, "secret"));
    EXPECT_EQ(run("diff -r " + quote(dir / "src") + " " + quote(dir / "good")), 0);

    for (const char* password : { "wrong", "" }) {
        SCOPED_TRACE(password);
        const std::string target = dir / (std::string("bad-") + password);
        auto delegate = std::make_shared<RecordingDelegate>();
        EXPECT_FALSE(extract(dir / "secret.zip", target, true, delegate, password));
        EXPECT_TRUE(delegate->said("Failed to reading zip file"));
        EXPECT_TRUE(listTree(target).empty());
    }
}

TEST(ZipArchive, CreatedArchivesPassUnzip)
{
    TempDir dir;
    fs::create_directories(dir / "src");
    writeText(dir / "src/note.txt", "a short note\n");
    writeFile(dir / "src/data.bin", sampleData(150000, 3));

    BRZipArchive zip;
    EXPECT_FALSE(zip.addFileToZipNewname(dir / "src/note.txt", "note.txt"));
    EXPECT_FALSE(zip.CloseZipFile2());

    for (const std::string password : { "", "s3cret" }) {
        SCOPED_TRACE(password);
        const std::string archive = dir / ("made" + password + ".zip");
        ASSERT_TRUE(password.empty() ? zip.CreateZipFile2(archive) : zip.CreateZipFile2Password(archive, password));
        EXPECT_TRUE(zip.addFileToZipNewname(dir / "src/note.txt", "docs/note.txt"));
        EXPECT_TRUE(zip.addFileToZipNewname(dir / "src/data.bin", "data.bin"));
        EXPECT_FALSE(zip.addFileToZipNewname(dir / "src/missing", "missing"));
        EXPECT_TRUE(zip.CloseZipFile2());

        const std::string pass = password.empty() ? "" : " -P " + password;
        EXPECT_EQ(run("unzip -tq" + pass + " " + quote(archive) + " >/dev/null"), 0);
        const std::string out = dir / ("unzipped" + password);
        ASSERT_EQ(run("unzip -q" + pass + " " + quote(archive) + " -d " + quote(out)), 0);
        EXPECT_TRUE(readBytes(out + "/data.bin") == readBytes(dir / "src/data.bin"));
        EXPECT_EQ(readText(out + "/docs/note.txt"), "a short note\n");
        // Entry dates carry the files' modification times (to the two seconds a zip date holds).
        EXPECT_LE(std::abs(modificationTime(out + "/data.bin") - modificationTime(dir / "src/data.bin")), 2);
    }
}

TEST(ZipArchive, LargeTreeMatchesUnzip)
{
    TempDir dir;
    ASSERT_EQ(python(dir, "import os, random\n"
                          "r = random.Random(4)\n"
                          "for i in range(2000):\n"
                          "    d = os.path.join('" + dir / "tree" + "', 'd%02d' % (i % 20), 's%d' % (i % 3))\n"
                          "    os.makedirs(d, exist_ok=True)\n"
                          "    open(os.path.join(d, 'f%04d.bin' % i), 'wb').write(r.randbytes(r.randrange(0, 3000)))\n"),
              0);
    ASSERT_EQ(run("cd " + quote(dir.path().string()) + " && zip -qr tree.zip tree"), 0);
    EXPECT_TRUE(extract(dir / "tree.zip", dir / "ours", true));
    ASSERT_EQ(run("unzip -o -q " + quote(dir / "tree.zip") + " -d " + quote(dir / "theirs")), 0);
    EXPECT_EQ(run("diff -r " + quote(dir / "ours") + " " + quote(dir / "theirs")), 0);
    EXPECT_EQ(listTree(dir / "ours").size(), 2000u + 20u * 4u + 1u);
}
