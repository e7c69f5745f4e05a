#pragma once
// A home of the test's own with PDFs placed under Documents, for the reader's suites.
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Platform/Base/Date.h"
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

#include "Platform/UI/Driver.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

namespace readertest {

// A headless window on the manual clock, driven through hit testing.
class ReaderWindowTest : public ReaderTest {
protected:
    void SetUp() override
    {
        base::RunLoop::main().setManualClock(true);
        // The wall clock moves with the manual one.
        base::Date::setFixedNow(base::Date(1.8e9));
        ui::View::setAnimationsEnabled(true);
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
    }
    void TearDown() override
    {
        driver.reset();
        window.reset();
        base::RunLoop::main().advance(10);
        base::RunLoop::main().setManualClock(false);
        base::Date::setFixedNow(std::nullopt);
    }
    // Where a test keeps a picture: $BRIVANTA_REVIEW_DIR when set (to look at it), else the home.
    std::string reviewPath(const std::string& name) const
    {
        const char* review = std::getenv("BRIVANTA_REVIEW_DIR");
        return (((review && *review) ? std::filesystem::path(review) : home()) / name).string();
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
};

} // namespace readertest
