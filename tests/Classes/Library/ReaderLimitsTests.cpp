#include "ReaderLeavingSupport.h"
#include "Classes/Library/PdfContentPage.h"
#include "Classes/Library/PdfContentView.h"
#include "Classes/Library/PdfDocument.h"
#include "Classes/Library/PdfMainToolbar.h"
#include "Classes/Library/PdfThumbQueue.h"
#include "Classes/Library/PdfViewController.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Pdf/PageCost.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TiledView.h"
#include "tests/Classes/Library/ReaderTestSupport.h"
#include "tests/Support/HostilePdfFixtures.h"

#include <chrono>
#include <set>
#include <sys/resource.h>

namespace {

using readertest::Leaving;
using readertest::ReaderWindowTest;

class ReaderLimitsTest : public ReaderWindowTest {
protected:
    void TearDown() override
    {
        reader.reset();
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        ReaderWindowTest::TearDown();
    }
    void open(const std::string& path, int page = 1)
    {
        record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
        ASSERT_TRUE(record);
        record->setPageNumber(page);
        reader = PdfViewController::initWithReaderDocumentDocumentName(record, "Hostile");
        ASSERT_TRUE(reader);
        reader->setDelegate(&leaving);
        window->setRootViewController(reader);
        base::RunLoop::main().advance(0.1);
        window->layoutIfNeeded();
    }
    PdfContentView* shown(int page)
    {
        auto found = reader->contentViews().find(page);
        return found == reader->contentViews().end() ? nullptr : found->second.get();
    }
    // Draws what the page view would show now, on this thread, as a screenshot does.
    void drawNow(PdfContentView& view)
    {
        if (auto page = view.contentPage())
            page->drawVisibleTilesNow();
        window->layoutIfNeeded();
    }
    static double peakResidentMB()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss / 1024.0;
    }

    std::shared_ptr<PdfDocument> record;
    std::shared_ptr<PdfViewController> reader;
    Leaving leaving;
};

// Each file is small; drawn, each would take gigabytes and seconds to minutes. The page area
// says the page is too large instead, memory stays bounded and leaving ends the work at once.
TEST_F(ReaderLimitsTest, HostilePagesAreRefusedWithAMessage)
{
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"huge-jpeg.pdf", pdffix::hugeJpegPdf()},
        {"image-bomb.pdf", pdffix::imageBombPdf()},
        {"unbalanced-saves.pdf", pdffix::unbalancedSavesPdf()},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_LT(c.bytes.size(), 4u << 20);
        std::string path = place(std::string("Documents/acme/Pdf/") + c.name, c.bytes);
        open(path);
        ASSERT_NO_FATAL_FAILURE();
        PdfContentView* view = shown(1);
        ASSERT_NE(view, nullptr);
        drawNow(*view);
        PdfThumbQueue::sharedInstance().waitUntilIdle();
        drainMain();
        EXPECT_EQ(view->contentPage(), nullptr);
        EXPECT_EQ(view->unavailable(), PdfContentPage::Unavailable::TooCostly);
        ASSERT_NE(view->messageLabel(), nullptr);
        EXPECT_EQ(view->messageLabel()->text(), Language::stringWithName("PDFPAGETOOLARGE"));
        EXPECT_TRUE(driver->findByText(Language::stringWithName("PDFPAGETOOLARGE")));
        EXPECT_LT(peakResidentMB(), 1536);

        // Leaving: the reader's work is over within a second.
        auto left = std::chrono::steady_clock::now();
        ASSERT_TRUE(driver->tap(reader->mainToolbar()->doneButton().get()));
        PdfThumbQueue::sharedInstance().waitUntilIdle();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - left).count();
        EXPECT_EQ(leaving.calls, 1);
        EXPECT_LT(seconds, 1.0);
        leaving.calls = 0;
        window->setRootViewController(nullptr);
        reader.reset();
    }
}

// What the limits read from the file itself: a real photo page passes, each hostile page fails
// on its own count.
TEST_F(ReaderLimitsTest, PageCostsComeFromTheFile)
{
    pdffix::DocumentPlan plan;
    pdffix::PagePlan text;
    text.label = "Plain";
    plan.pages = {text};
    struct Case {
        const char* name;
        std::string bytes;
        bool drawable;
        double pixels;
        size_t depth; // at least; counting stops past a limit
    } cases[] = {
        {"text.pdf", pdffix::build(plan), true, 0, 0},
        {"huge-jpeg.pdf", pdffix::hugeJpegPdf(), false, 23000.0 * 23000, 1},
        {"image-bomb.pdf", pdffix::imageBombPdf(), false, 12000.0 * 12000, 1},
        {"unbalanced-saves.pdf", pdffix::unbalancedSavesPdf(), false, 0, pdf::PageLimits::kSaveDepth + 1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = place(c.name, c.bytes);
        pdf::PageCost cost = pdf::pageCost(path, 1);
        EXPECT_TRUE(cost.read);
        EXPECT_EQ(cost.imagePixels, c.pixels);
        EXPECT_GE(cost.saveDepth, c.depth);
        EXPECT_EQ(pdf::withinLimits(cost), c.drawable);
        EXPECT_EQ(pdf::pageIsDrawable(path, 1), c.drawable);
    }
    // A page that is not there is not judged: the drawing library answers for it.
    EXPECT_FALSE(pdf::pageCost(place("two.pdf", pdffix::textPdf(2)), 3).read);
}

// Pages the PDF library cannot get or draw say so in the page area, in the user's language.
TEST_F(ReaderLimitsTest, PagesThatCannotBeHadSayWhyInBothLanguages)
{
    struct Case {
        const char* name;
        std::string bytes;
        int page;
        const char* key;
    } cases[] = {
        {"tiny.pdf", pdffix::tinyPagePdf(), 1, "PDFPAGECANNOTBESHOWN"},
        {"loop.pdf", pdffix::pageTreeLoopPdf(), 2, "PDFPAGECANNOTBESHOWN"},
        {"torn.pdf", pdffix::damagedLastPagePdf(), 2, "PDFPAGECANNOTBESHOWN"},
        {"bomb.pdf", pdffix::unbalancedSavesPdf(), 1, "PDFPAGETOOLARGE"},
    };
    std::set<std::string> texts;
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        for (auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (language == 1 ? " in English" : " in Chinese"));
            open(place(std::string("Documents/acme/Pdf/") + c.name, c.bytes), c.page);
            ASSERT_NO_FATAL_FAILURE();
            ASSERT_GE(reader->contentViews().size(), 1u) << "the reader shows its page area";
            PdfContentView* view = shown(c.page);
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(view->contentPage(), nullptr);
            ASSERT_NE(view->messageLabel(), nullptr);
            std::string text = Language::stringWithName(c.key);
            EXPECT_FALSE(text.empty());
            EXPECT_EQ(view->messageLabel()->text(), text);
            texts.insert(text);
            window->setRootViewController(nullptr);
            reader.reset();
        }
    }
    // Two messages, each in two languages.
    EXPECT_EQ(texts.size(), 4u);
}

} // namespace
