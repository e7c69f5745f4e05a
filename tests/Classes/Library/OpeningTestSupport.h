#pragma once
// Documents placed on the device for the opening road, and a desktop of stub programs.
#include "Common/PublicFunction.h"
#include "tests/Classes/Library/LibraryTestSupport.h"
#include "tests/Support/PdfFixtures.h"

#include <fstream>
#include <sys/stat.h>

namespace librarytest {

class LibraryRoutingTest : public LibraryScreenTest {
protected:
    std::string place(const std::string& name, const std::string& type, const std::string& bytes)
    {
        auto path = PublicFunction::filePathWithNameFiletype(name, PublicFunction::getFileType(type));
        EXPECT_TRUE(path) << name;
        if (!path)
            return {};
        std::filesystem::create_directories(std::filesystem::path(*path).parent_path());
        pdffix::writeFile(*path, bytes);
        return *path;
    }
    void stub(const std::string& name, const std::string& body)
    {
        auto path = std::filesystem::path(base::Paths::home()) / "bin" / name;
        pdffix::writeFile(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
    }
    static int lines(const std::string& path)
    {
        std::ifstream in(path);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            ++n;
        return n;
    }
};

} // namespace librarytest
