#include "Common/PublicFunction.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Device.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/Graphics/Image.h"
#include "Protocol/LoginMode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using base::FileManager;

namespace {

class FilePathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brivanta-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_home = pattern;
        setenv("BRIVANTA_HOME", m_home.c_str(), 1);
        base::UserDefaults::resetStandard();
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setClientID("AbC");
    }
    void TearDown() override
    {
        base::Device::setCurrent(std::nullopt);
        LoginMode::freeInstance();
        base::UserDefaults::resetStandard();
        unsetenv("BRIVANTA_HOME");
        fs::remove_all(m_home);
    }

    fs::path documents() const { return m_home / "Documents"; }
    static void write(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static void setMachine(const std::string& machine)
    {
        base::Device::setCurrent(base::Device {machine, "6.0"});
    }

    fs::path m_home;
};

// The bundle's picture of that resource name, as PNG bytes to compare with.
base::Bytes bundlePicture(const std::string& file)
{
    fs::path name(file);
    std::string path = base::Bundle::pathForResource(name.stem().string(), "png");
    EXPECT_FALSE(path.empty()) << file;
    return gfx::Image::fromFile(path).pngData();
}

TEST_F(FilePathTest, EachFileTypeHasItsFolderServerWordAndDefaultPicture)
{
    struct Row {
        int type;
        const char* folder;
        const char* word;
        const char* recognised;
        const char* picture;
    };
    const Row rows[] = {
        {1, "ProductImages", "product", nullptr, "fileDefault.png"},
        {2, "CatalogImages", "CatalogImages", nullptr, "fileDefault.png"},
        {3, "ConfigImages", "icon", nullptr, "fileDefault.png"},
        {4, "LibraryImages", "library/cover_image", nullptr, "fileDefault.png"},
        {5, "Pdf", "library/pdf", "PDF", "icon-default_pdf"},
        {6, "Video", "library/vedio", "VEDIO", "icon-default_video"},
        {7, "Excel", "library/excel", "EXCEL", "fileDefault.png"},
        {8, "Word", "library/word", "WORD", "fileDefault.png"},
        {9, "Keynote", "library/keynote", "KEYNOTE", "icon-default_slide"},
        {0, nullptr, nullptr, nullptr, "fileDefault.png"},
        {10, nullptr, nullptr, nullptr, "fileDefault.png"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        fs::path expected = documents() / "abc";
        if (row.folder)
            expected /= row.folder;
        EXPECT_EQ(PublicFunction::filePathWithNameFiletype("f.bin", row.type), (expected / "f.bin").string());

        std::string word = row.word ? std::string(row.word) + "/" : "";
        EXPECT_EQ(PublicFunction::fileURLWithNameFiletype("f.bin", row.type),
                  "http://localhost:580/brivanta_saas/images/AbC/" + word + "f.bin");
        if (row.recognised) {
            EXPECT_EQ(PublicFunction::getFileType(std::string(row.recognised)), row.type);
        }

        gfx::Image picture = PublicFunction::getLocalImageFiletype("missing.png", row.type);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.pngData(), bundlePicture(row.picture));
    }
    // Words are compared exactly; anything unknown or missing is "other".
    EXPECT_EQ(PublicFunction::getFileType(std::string("pdf")), 9);
    EXPECT_EQ(PublicFunction::getFileType(std::nullopt), 9);
    // The four pictures differ, so the comparisons above tell them apart.
    EXPECT_NE(bundlePicture("fileDefault.png"), bundlePicture("icon-default_pdf"));
    EXPECT_NE(bundlePicture("icon-default_video"), bundlePicture("icon-default_slide"));
}

TEST_F(FilePathTest, NamesAndClientIdsThatAreNotOneSafeComponentGiveNoPath)
{
    EXPECT_EQ(PublicFunction::filePathWithNameFiletype("my file.pdf", 5),
              (documents() / "abc/Pdf/my file.pdf").string());
    for (const std::string& bad : std::vector<std::string> {"../x", "a/b", "", ".", "..", "a\\b", "../../brivanta_lite.sqlite",
                            std::string("a\0b", 3)})
        EXPECT_FALSE(PublicFunction::filePathWithNameFiletype(bad, 5)) << bad;
    EXPECT_FALSE(PublicFunction::filePathWithNameFiletype(std::nullopt, 5));
    // The skins archive sits straight in the client folder.
    EXPECT_EQ(PublicFunction::filePathWithNameFiletype("SkinImages.zip", 10),
              (documents() / "abc/SkinImages.zip").string());

    for (const char* badClient : {"", "..", "a/b", "../etc"}) {
        LoginMode::sharedInstance()->setClientID(badClient);
        EXPECT_FALSE(PublicFunction::filePathWithNameFiletype("x.pdf", 5)) << badClient;
        EXPECT_FALSE(PublicFunction::clientFolderPath(badClient)) << badClient;
    }
    EXPECT_EQ(PublicFunction::clientFolderPath("XyZ"), (documents() / "xyz").string());
}

TEST_F(FilePathTest, DownloadAddressesUseTheImageHostAndEscapeEachSegment)
{
    auto defaults = base::UserDefaults::standard();
    EXPECT_EQ(PublicFunction::fileURLWithNameFiletype("my file.pdf", 5),
              "http://localhost:580/brivanta_saas/images/AbC/library/pdf/my%20file.pdf");
    EXPECT_EQ(PublicFunction::fileURLWithNameFiletype("a#b?c=%.pdf", 5),
              "http://localhost:580/brivanta_saas/images/AbC/library/pdf/a%23b%3Fc%3D%25.pdf");
    EXPECT_EQ(PublicFunction::fileURLWithNameFiletype("caf\xc3\xa9.jpg", 1),
              "http://localhost:580/brivanta_saas/images/AbC/product/caf%C3%A9.jpg");
    EXPECT_FALSE(PublicFunction::fileURLWithNameFiletype(std::nullopt, 5));

    defaults->setString("commands.example", "IP");
    defaults->setString("files.example", "ImageIP");
    defaults->setInteger(80, "ImagePort");
    defaults->setString("", "ImagePath");
    EXPECT_EQ(PublicFunction::fileURLWithNameFiletype("my file.pdf", 5),
              "http://files.example/images/AbC/library/pdf/my%20file.pdf");

    LoginMode::sharedInstance()->setClientID("A&B");
    EXPECT_EQ(PublicFunction::fileURLWithNameFiletype("p.png", 1),
              "http://files.example/images/A%26B/product/p.png");
}

TEST_F(FilePathTest, LocalImagesComeFromTheTypeFolderOrTheLibraryCovers)
{
    gfx::Image picture = gfx::Image::fromFile(base::Bundle::pathForResource("icon-default_video", "png"));
    ASSERT_FALSE(picture.isNull());
    ASSERT_TRUE(FileManager::createDirectories(documents() / "abc/LibraryImages"));
    ASSERT_TRUE(FileManager::writeAtomically(documents() / "abc/LibraryImages/cover.png", picture.pngData()));
    write(documents() / "abc/ProductImages/broken.png", "not a picture");

    // A spreadsheet shows its cover, found with the library covers.
    EXPECT_EQ(PublicFunction::getLocalImageFiletype("cover.png", 7).pngData(), picture.pngData());
    // A product image is looked for only in its own folder.
    EXPECT_EQ(PublicFunction::getLocalImageFiletype("cover.png", 1).pngData(), bundlePicture("fileDefault.png"));
    EXPECT_EQ(PublicFunction::getLocalImageFiletype("broken.png", 1).pngData(), bundlePicture("fileDefault.png"));
    EXPECT_EQ(PublicFunction::getLocalImageFiletype("../LibraryImages/cover.png", 1).pngData(),
              bundlePicture("fileDefault.png"));
}

TEST_F(FilePathTest, DocumentsAreSafeToOpenOnlyWhenNotEmptyAndWithinTheDeviceLimit)
{
    fs::path empty = documents() / "empty.pdf";
    fs::path six = documents() / "six.pdf";
    write(empty, "");
    write(six, "");
    fs::resize_file(six, 6 * 1024 * 1024);

    setMachine("x86_64");
    EXPECT_EQ(PublicFunction::getMaxSizeForDevice(), 41943040u);
    EXPECT_FALSE(PublicFunction::safeSizeOfPath(empty.string()));
    EXPECT_FALSE(PublicFunction::safeSizeOfPath((documents() / "absent.pdf").string()));
    EXPECT_TRUE(PublicFunction::safeSizeOfPath(six.string()));
    fs::resize_file(six, 41943040);
    EXPECT_TRUE(PublicFunction::safeSizeOfPath(six.string()));
    fs::resize_file(six, 41943041);
    EXPECT_FALSE(PublicFunction::safeSizeOfPath(six.string()));

    setMachine("armv7l");
    EXPECT_EQ(PublicFunction::getMaxSizeForDevice(), 5242880u);
    fs::resize_file(six, 6 * 1024 * 1024);
    EXPECT_FALSE(PublicFunction::safeSizeOfPath(six.string()));
}

TEST_F(FilePathTest, FoldersAreMadeAndExcludedFromBackupOnlyOnNewerSystems)
{
    base::ScopedLogCapture log;
    PublicFunction::createDirectoryifNeed("abc/Pdf/deep");
    EXPECT_TRUE(fs::is_directory(documents() / "abc/Pdf/deep"));
    EXPECT_TRUE(log.contains("Excluding deep from backup successfully"));

    EXPECT_FALSE(PublicFunction::addSkipBackupAttributeToItemAtURL((documents() / "none").string()));
    EXPECT_TRUE(log.contains("Error excluding none from backup"));

    base::Device::setCurrent(base::Device {"x86_64", "5.0.1"});
    EXPECT_FALSE(PublicFunction::addSkipBackupAttributeToItemAtURL((documents() / "abc").string()));
    base::Device::setCurrent(base::Device {"x86_64", "5.1"});
    EXPECT_TRUE(PublicFunction::addSkipBackupAttributeToItemAtURL((documents() / "abc").string()));
}

TEST_F(FilePathTest, ClientFoldersMoveToLowerCaseWithoutReplacingAnything)
{
    write(documents() / "AbC/brivanta_lite.sqlite", "db");
    write(documents() / "XY/old", "upper");
    write(documents() / "xy/new", "lower");
    PublicFunction::changeAllClientFolderToLower();
    EXPECT_EQ(FileManager::readTextFile(documents() / "abc/brivanta_lite.sqlite"), "db");
    EXPECT_FALSE(fs::exists(documents() / "AbC"));
    // The lower-case folder exists already: both stay as they are.
    EXPECT_EQ(FileManager::readTextFile(documents() / "XY/old"), "upper");
    EXPECT_EQ(FileManager::readTextFile(documents() / "xy/new"), "lower");
}

TEST_F(FilePathTest, OnlyDirectoriesMoveFromTmpAndNeverOverAnExistingEntry)
{
    fs::path tmp = m_home / "tmp";
    write(tmp / "XyZ/brivanta_lite.sqlite", "moved");
    write(tmp / "partial.download", "half");
    write(tmp / "Abc/brivanta_lite.sqlite", "stale");
    write(documents() / "abc/brivanta_lite.sqlite", "current");
    fs::create_directories(m_home / "elsewhere");
    fs::create_directory_symlink(m_home / "elsewhere", tmp / "Link");

    PublicFunction::moveAllClientFolderToDocuments();
    EXPECT_EQ(FileManager::readTextFile(documents() / "xyz/brivanta_lite.sqlite"), "moved");
    EXPECT_FALSE(fs::exists(tmp / "XyZ"));
    EXPECT_TRUE(fs::exists(tmp / "partial.download"));
    EXPECT_FALSE(fs::exists(documents() / "partial.download"));
    EXPECT_EQ(FileManager::readTextFile(documents() / "abc/brivanta_lite.sqlite"), "current");
    EXPECT_EQ(FileManager::readTextFile(tmp / "Abc/brivanta_lite.sqlite"), "stale");
    EXPECT_FALSE(fs::exists(documents() / "link"));
}

TEST_F(FilePathTest, SkinFoldersAreRemovedFromEveryClient)
{
    write(documents() / "abc/SkinImages/a.png", "x");
    write(documents() / "def/SkinImages/b.png", "x");
    write(documents() / "def/brivanta_lite.sqlite", "db");
    PublicFunction::removeAllSkinImageFolders();
    EXPECT_FALSE(fs::exists(documents() / "abc/SkinImages"));
    EXPECT_FALSE(fs::exists(documents() / "def/SkinImages"));
    EXPECT_TRUE(fs::exists(documents() / "def/brivanta_lite.sqlite"));
}

// Fixture pictures come from an independent tool, which also reads the results back.
class ThumbnailTest : public FilePathTest {
protected:
    // Debian's interpreter, which has the package setup.sh installs, even when another comes first.
    static int python(const std::string& program)
    {
        std::string interpreter = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        std::string command = interpreter + " -c '" + program + "'";
        return std::system(command.c_str());
    }
    std::string products() const { return (documents() / "abc/ProductImages").string(); }
    void makePicture(const std::string& name, int width, int height, const std::string& format)
    {
        fs::create_directories(products());
        ASSERT_EQ(python("from PIL import Image; Image.new(\"RGB\", (" + std::to_string(width) + ", "
                         + std::to_string(height) + "), (200, 40, 40)).save(\"" + products() + "/"
                         + name + "\", \"" + format + "\")"),
                  0)
            << "python3-pil is needed (scripts/setup.sh installs it)";
    }
    // Succeeds when the tool reads the file as a PNG of that size.
    int checkPng(const std::string& name, int width, int height)
    {
        return python("import sys; from PIL import Image; im = Image.open(\"" + products() + "/" + name
                      + "\"); sys.exit(0 if im.format == \"PNG\" and im.size == (" + std::to_string(width)
                      + ", " + std::to_string(height) + ") else 1)");
    }
};

TEST_F(ThumbnailTest, LargePhotosShrinkToFitAndSmallOnesKeepTheirSize)
{
    makePicture("photo.jpg", 320, 220, "JPEG");
    makePicture("square.jpg", 100, 100, "JPEG");
    makePicture("tall.png", 100, 440, "PNG");
    // The sync makes thumbnails on its own thread, with no run loop.
    bool made = false;
    std::thread worker([&] {
        made = PublicFunction::createImgThumbWithImgNameThumbNameFiletype("photo.jpg", "photo_t.png", 5)
            && PublicFunction::createImgThumbWithImgNameThumbNameFiletype("square.jpg", "square_t.png", 1)
            && PublicFunction::createImgThumbWithImgNameThumbNameFiletype("tall.png", "tall_t.png", 1);
    });
    worker.join();
    EXPECT_TRUE(made);
    EXPECT_EQ(checkPng("photo_t.png", 160, 110), 0);
    EXPECT_EQ(checkPng("square_t.png", 100, 100), 0);
    EXPECT_EQ(checkPng("tall_t.png", 25, 110), 0);
}

TEST_F(ThumbnailTest, AnExistingThumbnailIsKeptAndBadInputsWriteNothing)
{
    makePicture("photo.jpg", 320, 220, "JPEG");
    makePicture("old_t.png", 10, 10, "PNG");
    EXPECT_TRUE(PublicFunction::createImgThumbWithImgNameThumbNameFiletype("photo.jpg", "old_t.png", 1));
    EXPECT_EQ(checkPng("old_t.png", 10, 10), 0);

    // A damaged thumbnail is made again.
    write(products() + "/bad_t.png", "junk");
    EXPECT_TRUE(PublicFunction::createImgThumbWithImgNameThumbNameFiletype("photo.jpg", "bad_t.png", 1));
    EXPECT_EQ(checkPng("bad_t.png", 160, 110), 0);

    EXPECT_FALSE(PublicFunction::createImgThumbWithImgNameThumbNameFiletype("absent.jpg", "a_t.png", 1));
    EXPECT_FALSE(PublicFunction::createImgThumbWithImgNameThumbNameFiletype(std::nullopt, "a_t.png", 1));
    EXPECT_FALSE(PublicFunction::createImgThumbWithImgNameThumbNameFiletype("photo.jpg", std::nullopt, 1));
    EXPECT_FALSE(PublicFunction::createImgThumbWithImgNameThumbNameFiletype("photo.jpg", "../../escape.png", 1));
    EXPECT_FALSE(fs::exists(products() + "/a_t.png"));
    EXPECT_FALSE(fs::exists(documents() / "escape.png"));
}

} // namespace
