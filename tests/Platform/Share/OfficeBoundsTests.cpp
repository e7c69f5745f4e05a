// What the office conversion may look into and write: locked and over-large files are told
// apart before the suite runs, the suite works inside its private profile, and the kept PDFs
// stay within their limit.
#include "Platform/Base/Paths.h"
#include "Platform/Share/OfficeConverter.h"
#include "Platform/Share/OfficeFileCheck.h"
#include "Platform/Share/Printer.h"
#include "Platform/Share/Program.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/Bombs.h"
#include "tests/Support/CompoundFiles.h"
#include "tests/Support/OfficeFixtures.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using Verdict = share::OfficeFileCheck::Verdict;

std::map<std::string, std::string> readVariables(const fs::path& path)
{
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (auto eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    return values;
}

bool inside(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size() + 1, folder + "/") == 0;
}

} // namespace

TEST(OfficeFileCheck, TellsLockedAndOverlargeFilesFromPlainOnes)
{
    basetest::TempHome home;
    const fs::path dir = home.path();
    ASSERT_TRUE(officefix::make(officefix::Kind::Document, dir / "real.docx", {"A real page"}));
    std::string cut = compoundfix::wordDocument(true).substr(0, 700);
    struct Case {
        const char* name;
        std::string bytes; // empty: the file is already there
        Verdict verdict;
    } cases[] = {
        {"locked.doc", compoundfix::wordDocument(true), Verdict::Protected},
        {"plain.doc", compoundfix::wordDocument(false), Verdict::Plain},
        {"locked.xls", compoundfix::excelWorkbook(true), Verdict::Protected},
        {"plain.xls", compoundfix::excelWorkbook(false), Verdict::Plain},
        {"locked.docx", compoundfix::encryptedPackage(), Verdict::Protected},
        {"bomb.docx", bombfix::zipBomb(1024, "word/document.xml"), Verdict::Damaged},
        {"real.docx", "", Verdict::Plain},
        {"cut.doc", cut, Verdict::Plain},
        {"noise.xls", std::string(3000, '\xD0'), Verdict::Plain},
        {"empty.docx", std::string(), Verdict::Plain},
        {"torn.docx", std::string("PK\x03\x04") + " and nothing more", Verdict::Damaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.empty() || std::string(c.name) == "empty.docx")
            pdffix::writeFile(dir / c.name, c.bytes);
        EXPECT_EQ(share::OfficeFileCheck::inspect((dir / c.name).string()), c.verdict);
    }
}

TEST(OfficeConverterBounds, TheSuiteWritesOnlyInsideItsProfileWhichGoesAfterAFailure)
{
    basetest::TempHome home;
    const fs::path bin = home.path() / "bin", heard = home.path() / "heard.txt";
    fs::create_directories(bin);
    // A suite that notes where it was told to write, leaves the litter a killed one leaves,
    // then fails or writes its PDF as asked.
    pdffix::writeFile(bin / "soffice", "#!/bin/sh\n"
                                       "env | grep -E '^(HOME|XDG_CONFIG_HOME|XDG_CACHE_HOME|XDG_DATA_HOME|TMPDIR)=' > '" +
                                           heard.string() + "'\n"
                                           "[ -n \"$TMPDIR\" ] && mkdir -p \"$TMPDIR/lu1234.tmp\"\n"
                                           "[ -n \"$XDG_CACHE_HOME\" ] && mkdir -p \"$XDG_CACHE_HOME/dconf\"\n"
                                           "while [ $# -gt 1 ]; do [ \"$1\" = --outdir ] && out=$2; shift; done\n"
                                           "grep -q fail \"$1\" && exit 1\n"
                                           "echo '%PDF-1.4' > \"$out/document.pdf\"\n");
    chmod((bin / "soffice").c_str(), 0755);
    basetest::ScopedEnv path("PATH", bin.string() + ":/usr/bin:/bin");
    const std::string profile = share::OfficeConverter::profileFolder();

    struct Case {
        const char* name;
        share::OfficeConverter::Status status;
        bool profileKept;
    } cases[] = {
        {"fail.docx", share::OfficeConverter::Status::Failed, false},
        {"good.docx", share::OfficeConverter::Status::Converted, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(heard);
        pdffix::writeFile(home.path() / c.name, c.name);
        auto result = share::OfficeConverter::convert((home.path() / c.name).string(), 30);
        EXPECT_EQ(result.status, c.status);
        auto told = readVariables(heard);
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "TMPDIR"})
            EXPECT_TRUE(inside(told[name], profile)) << name << "=" << told[name];
        EXPECT_EQ(fs::exists(profile), c.profileKept);
        EXPECT_FALSE(fs::exists(profile + "/tmp/lu1234.tmp")) << "temporary folders stay behind";
    }
}

// A home named relative to the folder the program started in is used whole: its folders, the
// office suite's profile (handed over as an address), the suite's real conversion and the PDF
// kept for a missing printer all lie under its absolute path.
TEST(OfficeConverterBounds, ARelativeHomeIsHandedOnWhole)
{
    basetest::TempDir dir;
    const fs::path whole = dir.path().lexically_normal();
    const std::string relative = whole.lexically_relative(fs::current_path()).string();
    ASSERT_FALSE(relative.empty());
    ASSERT_NE(relative.front(), '/');
    basetest::ScopedEnv home("BRIVANTA_HOME", relative);
    const fs::path bin = whole / "bin";
    fs::create_directories(bin);
    const std::string kept = [&] {
        basetest::ScopedEnv noPrinter("PATH", bin.string());
        pdffix::writeFile(whole / "order.pdf", pdffix::textPdf(1));
        return share::Printer::shared().printFile((whole / "order.pdf").string(), "Order.pdf", false).savedPath;
    }();
    struct Case {
        const char* name;
        std::string path;
        std::string expected;
    } cases[] = {
        {"home", base::Paths::home(), whole.string()},
        {"caches", base::Paths::libraryCaches(), (whole / "Library/Caches").string()},
        {"suite profile", share::OfficeConverter::profileFolder(), (whole / "Library/Caches/OfficeProfile").string()},
        {"kept for the printer's Outbox", fs::path(kept).parent_path().parent_path().string(), (whole / "Outbox").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.path, c.expected);
    }
    if (!share::findProgram("soffice"))
        GTEST_SKIP() << "soffice is not installed";
    // The suite reads its profile's address as a path, not as a host named by the home.
    ASSERT_TRUE(officefix::make(officefix::Kind::Document, whole / "Documents/terms.docx", {"Terms"}));
    auto result = share::OfficeConverter::convert((fs::path(relative) / "Documents/terms.docx").string(), 90);
    EXPECT_EQ(result.status, share::OfficeConverter::Status::Converted);
    EXPECT_EQ(result.pdfPath.rfind((whole / "Library/Caches/OfficeDocuments/").string(), 0), 0u) << result.pdfPath;
}

TEST(OfficeConverterBounds, KeptPdfsStayWithinTheLimitLeastRecentlyOpenedFirst)
{
    basetest::TempHome home;
    const fs::path bin = home.path() / "bin";
    fs::create_directories(bin);
    pdffix::writeFile(bin / "soffice", "#!/bin/sh\nwhile [ $# -gt 1 ]; do [ \"$1\" = --outdir ] && out=$2; shift; done\n"
                                       "head -c 400000 /dev/zero > \"$out/document.pdf\"\n");
    chmod((bin / "soffice").c_str(), 0755);
    basetest::ScopedEnv path("PATH", bin.string() + ":/usr/bin:/bin");

    // Five documents of 400 kB each, converted a minute apart, then the oldest opened again.
    std::vector<std::string> pdfs;
    auto now = fs::file_time_type::clock::now();
    for (int i = 0; i < 5; ++i) {
        std::string doc = (home.path() / ("d" + std::to_string(i) + ".docx")).string();
        pdffix::writeFile(doc, "document " + std::to_string(i));
        auto result = share::OfficeConverter::convert(doc, 30);
        ASSERT_EQ(result.status, share::OfficeConverter::Status::Converted);
        fs::last_write_time(result.pdfPath, now - std::chrono::minutes(10 - i));
        pdfs.push_back(result.pdfPath);
    }
    EXPECT_EQ(share::OfficeConverter::convert((home.path() / "d0.docx").string()).status,
              share::OfficeConverter::Status::Cached);

    share::OfficeConverter::pruneCache(1'300'000);
    std::vector<bool> kept;
    for (const auto& pdf : pdfs)
        kept.push_back(fs::exists(pdf));
    EXPECT_EQ(kept, (std::vector<bool>{true, false, false, true, true}));

    // A conversion prunes to the built-in limit, never dropping the PDF it has just made.
    share::OfficeConverter::pruneCache(0, pdfs[4]);
    EXPECT_EQ(fs::exists(pdfs[4]), true);
    EXPECT_EQ(fs::exists(pdfs[0]), false);
}
