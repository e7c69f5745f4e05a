#pragma once
// A home of the test's own with PDFs placed under Documents, for the reader's suites.
#include "Classes/Library/PdfThumbCache.h"
#include "Classes/Library/PdfThumbQueue.h"
#include "Platform/Base/RunLoop.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/PdfFixtures.h"

#include <gtest/gtest.h>

namespace readertest {

class ReaderTest : public ::testing::Test {
protected:
    ~ReaderTest() override
    {
        PdfThumbQueue::sharedInstance().cancelAllOperations();
        PdfThumbQueue::sharedInstance().waitUntilIdle();
        drainMain();
        PdfThumbCache::sharedInstance().removeAllObjects();
    }
    std::filesystem::path home() const { return m_home.path(); }
    // Writes bytes at a path relative to the home; gives the full path.
    std::string place(const std::string& relative, const std::string& bytes) const
    {
        auto path = m_home.path() / relative;
        pdffix::writeFile(path, bytes);
        return path.string();
    }
    // The queues' work done and its pictures delivered on the main loop.
    static void settle()
    {
        PdfThumbQueue::sharedInstance().waitUntilIdle();
        drainMain();
    }
    static void drainMain()
    {
        while (base::RunLoop::main().runPending()) {
        }
    }

    basetest::TempHome m_home;
};

} // namespace readertest
