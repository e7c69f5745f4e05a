#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/PropertyList.h"
#include "tests/Classes/Library/ReaderTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

using readertest::ReaderTest;

class PdfDocumentTest : public ReaderTest {};

TEST_F(PdfDocumentTest, NewRecordIsArchivedUnderItsRelativePath)
{
    std::string path = place("Documents/acme/Pdf/catalog.pdf", pdffix::textPdf(12));
    auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->fileName(), "catalog.pdf");
    EXPECT_EQ(record->fileURL(), path);

    std::string archive = PdfDocument::archiveFilePath("/Documents/acme/Pdf/catalog.pdf");
    EXPECT_EQ(archive, (home() / "Library/Application Support").string() + "/" +
                           base::Digest::md5Hex(std::string("/Documents/acme/Pdf/catalog.pdf")) + ".plist");
    auto plist = base::PropertyList::readFile(archive);
    ASSERT_TRUE(plist && plist->isDictionary());
    std::vector<std::string> keys;
    for (const auto& [key, value] : plist->asDictionary())
        keys.push_back(std::string(key.view()));
    EXPECT_EQ(keys, (std::vector<std::string>{"FileGUID", "FileName", "FileDate", "PageCount", "PageNumber",
                                              "Bookmarks", "FileSize", "LastOpen"}));
    const base::Value& v = *plist;
    EXPECT_EQ(v["FileGUID"].toString().size(), 36u);
    EXPECT_EQ(v["FileGUID"].toString(), record->guid());
    EXPECT_EQ(v["FileName"].toString(), "/Documents/acme/Pdf/catalog.pdf");
    EXPECT_EQ(v["PageCount"].toInt(), 12);
    EXPECT_EQ(v["PageNumber"].toInt(), 1);
    EXPECT_TRUE(v["Bookmarks"].isArray() && v["Bookmarks"].asArray().empty());
    EXPECT_EQ(uint64_t(v["FileSize"].toInt()), std::filesystem::file_size(path));
    auto fileDate = base::FileManager::modificationDate(path);
    ASSERT_TRUE(fileDate);
    EXPECT_NEAR(v["FileDate"].asDate().timeIntervalSince1970(), fileDate->timeIntervalSince1970(), 1.0);
    EXPECT_EQ(v["LastOpen"].asDate(), PdfDocument::referenceDate());
}

TEST_F(PdfDocumentTest, PageAndBookmarksSurviveIntoAnotherProcess)
{
    std::string path = place("Documents/acme/Pdf/catalog.pdf", pdffix::textPdf(12));
    auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    ASSERT_TRUE(record);
    record->setPageNumber(7);
    record->bookmarks() = {7, 3};
    ASSERT_TRUE(record->saveReaderDocument());
    std::string guid = record->guid();

    // The other process reports what it found in its exit code.
    pid_t child = fork();
    if (child == 0) {
        auto again = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
        int code = !again ? 1 : again->guid() != guid ? 2 : again->pageNumber() != 7 ? 3
                 : again->bookmarks() != std::set<int>{3, 7} ? 4 : 0;
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // Another client's file of the same name has its own record.
    std::string other = place("Documents/other/Pdf/catalog.pdf", pdffix::textPdf(3));
    auto theirs = PdfDocument::withDocumentFilePathPassword(other, std::nullopt);
    ASSERT_TRUE(theirs);
    EXPECT_NE(theirs->guid(), guid);
    EXPECT_EQ(theirs->pageNumber(), 1);
    EXPECT_TRUE(theirs->bookmarks().empty());
    EXPECT_EQ(theirs->pageCount(), 3);
    EXPECT_EQ(PdfDocument::withDocumentFilePathPassword(path, std::nullopt)->guid(), guid);
}

TEST_F(PdfDocumentTest, ArchivesAreReadTolerantly)
{
    std::string path = place("Documents/acme/Pdf/old.pdf", pdffix::textPdf(2));
    std::string relative = "/Documents/acme/Pdf/old.pdf";
    std::string archive = PdfDocument::archiveFilePath(relative);
    struct Case {
        std::string name;
        std::string xml; // empty: a damaged file
        bool found;
        int page;
    } cases[] = {
        {"no guid, no bookmarks",
         "<plist version=\"1.0\"><dict><key>FileName</key><string>" + relative +
             "</string><key>PageNumber</key><integer>2</integer></dict></plist>",
         true, 2},
        {"another file's archive",
         "<plist version=\"1.0\"><dict><key>FileGUID</key><string>X</string><key>FileName</key>"
         "<string>/Documents/x/Pdf/old.pdf</string></dict></plist>",
         false, 0},
        {"damaged", "<plist><dict><key>", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(base::FileManager::writeAtomically(archive, c.xml));
        auto record = PdfDocument::unarchiveFromFileNamePassword(path, std::string("pw"));
        ASSERT_EQ(bool(record), c.found);
        if (record) {
            EXPECT_EQ(record->guid().size(), 36u);
            EXPECT_TRUE(record->bookmarks().empty());
            EXPECT_EQ(record->pageNumber(), c.page);
            EXPECT_EQ(record->password(), std::optional<std::string>("pw"));
        }
        // Whatever was there, an opening gets a usable record.
        auto opened = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
        ASSERT_TRUE(opened);
        opened->updateProperties();
        EXPECT_EQ(opened->pageCount(), 2);
    }
}

TEST_F(PdfDocumentTest, OpeningRules)
{
    std::string plain = pdffix::textPdf(2);
    std::string userLocked = place("Documents/acme/Pdf/user.pdf", "");
    std::string ownerLocked = place("Documents/acme/Pdf/owner.pdf", "");
    std::string longLocked = place("Documents/acme/Pdf/long.pdf", "");
    std::string source = place("src.pdf", plain);
    std::string longPassword(126, 'k');
    ASSERT_TRUE(pdffix::encryptedCopy(source, userLocked, "secret", "boss"));
    ASSERT_TRUE(pdffix::encryptedCopy(source, ownerLocked, "", "boss"));
    ASSERT_TRUE(pdffix::encryptedCopy(source, longLocked, longPassword, "boss2"));
    std::string noise(2048, 'x');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 131 + 7) % 251 + 1);

    struct Case {
        std::string name;
        std::string path;
        bool record;
        std::optional<int> pageCount;
    } cases[] = {
        {"random bytes", place("Documents/acme/Pdf/random.pdf", noise), false, std::nullopt},
        {"junk before the marker", place("Documents/acme/Pdf/junk.pdf", "0123456789" + plain), true, 2},
        {"NUL before the marker", place("Documents/acme/Pdf/nul.pdf", std::string("abc\0def", 7) + plain), false,
         std::nullopt},
        {"marker past 1,024 bytes", place("Documents/acme/Pdf/late.pdf", std::string(1100, ' ') + plain), false,
         std::nullopt},
        {"user password", userLocked, true, std::nullopt},
        {"owner password only", ownerLocked, true, 2},
        {"tmp inside names", place("Documents/atmpro/Pdf/hotmpot.pdf", plain), true, 2},
        {"missing", (home() / "Documents/acme/Pdf/none.pdf").string(), false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto record = PdfDocument::withDocumentFilePathPassword(c.path, std::nullopt);
        ASSERT_EQ(bool(record), c.record);
        if (record) {
            EXPECT_EQ(record->pageCount(), c.pageCount);
            EXPECT_EQ(record->fileURL(), c.path);
        }
    }
    EXPECT_FALSE(PdfDocumentOpen(userLocked, std::nullopt));
    EXPECT_FALSE(PdfDocumentOpen(userLocked, std::string("wrong")));
    EXPECT_TRUE(PdfDocumentOpen(userLocked, std::string("secret")));
    EXPECT_TRUE(PdfDocumentOpen(ownerLocked, std::nullopt));
    EXPECT_TRUE(PdfDocumentOpen(source, std::string("whatever")));
    EXPECT_FALSE(PdfDocumentOpen(longLocked, longPassword));
    EXPECT_FALSE(PdfDocumentOpen("", std::nullopt));
    // A record keeps the password it was opened with, and counts the pages with it.
    auto withPassword = PdfDocument::initWithFilePathPassword(userLocked, std::string("secret"));
    ASSERT_TRUE(withPassword);
    EXPECT_EQ(withPassword->pageCount(), 2);
}

TEST_F(PdfDocumentTest, OnlyALeadingTmpFolderMovesToDocuments)
{
    std::string inTmp = place("tmp/report.pdf", pdffix::textPdf(1));
    place("Documents/report.pdf", pdffix::textPdf(4));
    auto record = PdfDocument::initWithFilePathPassword(inTmp, std::nullopt);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->fileURL(), (home() / "Documents/report.pdf").string());
    EXPECT_EQ(record->pageCount(), 4);
}

TEST_F(PdfDocumentTest, AReplacedFileLosesItsThumbnailsAndKeepsItsPagesInRange)
{
    std::string path = place("Documents/acme/Pdf/catalog.pdf", pdffix::textPdf(12));
    auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    ASSERT_TRUE(record);
    record->setPageNumber(7);
    record->bookmarks() = {3, 7};
    record->saveReaderDocument();
    std::string thumbs = PdfThumbCache::thumbCachePathForGUID(record->guid());
    pdffix::writeFile(std::filesystem::path(thumbs) / "0000001-0240x0240.png", "x");

    // Unchanged: nothing moves.
    record->updateProperties();
    EXPECT_TRUE(std::filesystem::exists(thumbs));
    EXPECT_EQ(record->pageNumber(), 7);

    place("Documents/acme/Pdf/catalog.pdf", pdffix::textPdf(5));
    auto reopened = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    ASSERT_TRUE(reopened);
    reopened->updateProperties();
    EXPECT_FALSE(std::filesystem::exists(thumbs));
    EXPECT_EQ(reopened->pageCount(), 5);
    EXPECT_EQ(reopened->pageNumber(), 5);
    EXPECT_EQ(reopened->bookmarks(), std::set<int>{3});
    EXPECT_EQ(reopened->guid(), record->guid());
    auto saved = PdfDocument::unarchiveFromFileNamePassword(path, std::nullopt);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->pageNumber(), 5);
    EXPECT_EQ(saved->bookmarks(), std::set<int>{3});
}

// Page views of one file share its open document while one holds it; a replaced file, another
// password, or a file opened again after every holder let go gets a document of its own.
TEST_F(PdfDocumentTest, PageViewsShareTheOpenDocumentOfOneVersionOfAFile)
{
    std::string path = place("Documents/acme/Pdf/shared.pdf", pdffix::textPdf(3));
    auto first = PdfDocumentOpenShared(path, std::nullopt);
    ASSERT_TRUE(first);
    EXPECT_EQ(PdfDocumentOpenShared(path, std::nullopt), first);
    EXPECT_NE(PdfDocumentOpenShared(path, std::string("other")), first);
    // The plain opening is the thumbnails' and the record's: always its own.
    EXPECT_NE(PdfDocumentOpen(path, std::nullopt), first);

    place("Documents/acme/Pdf/shared.pdf", pdffix::textPdf(5));
    auto replaced = PdfDocumentOpenShared(path, std::nullopt);
    ASSERT_TRUE(replaced);
    EXPECT_NE(replaced, first);
    EXPECT_EQ(replaced->pageCount(), 5);

    std::weak_ptr<pdf::Document> gone = replaced;
    replaced.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_FALSE(PdfDocumentOpenShared(place("Documents/acme/Pdf/broken.pdf", "not a pdf"), std::nullopt));
}

} // namespace
