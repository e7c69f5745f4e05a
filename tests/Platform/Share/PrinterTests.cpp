// A print that reaches no printer is kept in the Outbox for the user, and never in the place
// of one kept before.
#include "Platform/Share/Printer.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/PdfFixtures.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PrinterTest, EveryPrintKeptWithoutAPrinterIsAFileOfItsOwn)
{
    struct Case {
        const char* what;
        const char* lp;       // a stand-in lp on the PATH; none when null
        const char* jobName;  // given for both prints
        const char* fileName; // the name each kept file has
    } cases[] = {
        {"no lp", nullptr, "Order.pdf", "Order.pdf"},
        {"lp fails", "#!/bin/sh\nexit 1\n", "Order.pdf", "Order.pdf"},
        {"a name without .pdf", nullptr, "Seating Guide", "Seating Guide.pdf"},
        {"a name with a slash", nullptr, "a/b.pdf", "a_b.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        basetest::TempHome home;
        const fs::path bin = home.path() / "bin";
        fs::create_directories(bin);
        if (c.lp) {
            pdffix::writeFile(bin / "lp", c.lp);
            chmod((bin / "lp").c_str(), 0755);
        }
        basetest::ScopedEnv path("PATH", bin.string());

        // Two different documents printed under one name, one after the other: each stays
        // whole in its own file once both are kept.
        std::map<std::string, std::string> kept;
        for (int pages : {1, 2}) {
            const fs::path source = home.path() / ("order" + std::to_string(pages) + ".pdf");
            pdffix::writeFile(source, pdffix::textPdf(pages));
            share::PrintResult result = share::Printer::shared().printFile(source.string(), c.jobName, false);
            EXPECT_FALSE(result.printed);
            ASSERT_FALSE(result.savedPath.empty());
            const fs::path saved = result.savedPath;
            EXPECT_EQ(saved.filename(), c.fileName);
            EXPECT_EQ(saved.parent_path().parent_path(), home.path() / "Outbox");
            kept[result.savedPath] = contents(source);
        }
        ASSERT_EQ(kept.size(), 2u) << "the second print took the first one's place";
        for (const auto& [saved, expected] : kept)
            EXPECT_EQ(contents(saved), expected) << saved;
    }
}

} // namespace
