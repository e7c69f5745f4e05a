#include "ReaderLeavingSupport.h"
#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfContentView.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/PdfMainToolbar.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/PdfViewController.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Pdf/Engine/PageCost.h"
#include "Platform/Pdf/PageWorkers.h"
#include "Platform/Graphics/Context.h"
#include <cairo.h>
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TiledView.h"
#include "tests/Classes/Library/ReaderTestSupport.h"
#include "tests/Support/HostilePdfFixtures.h"
#include "tests/Support/PeakMemory.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <future>
#include <set>
#include <sys/resource.h>
#include <thread>

namespace {

using readertest::Leaving;
using readertest::ReaderWindowTest;

// A page of the given size holding one picture over all of it.
std::string picturePdf(double width, double height, const std::string& image)
{
    std::string content = "q " + pdffix::num(width) + " 0 0 " + pdffix::num(height) + " 0 0 cm /Im1 Do Q";
    return pdffix::onePage(content, image, pdffix::Box{0, 0, width, height});
}

// A 1-bit scan at 600 dots an inch: white paper with a black block over the middle ninth.
std::string bilevelScan(int width, int height, double pageW, double pageH)
{
    size_t row = size_t(width + 7) / 8;
    std::string white(row, '\xFF'), banded(row, '\xFF');
    for (int x = width / 3; x < 2 * width / 3; ++x)
        banded[size_t(x) / 8] = char(banded[size_t(x) / 8] & ~(0x80 >> (x % 8)));
    std::string bits;
    bits.reserve(row * size_t(height));
    for (int y = 0; y < height; ++y)
        bits += y >= height / 3 && y < 2 * height / 3 ? banded : white;
    return picturePdf(pageW, pageH,
                      pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width " + std::to_string(width) +
                                                 " /Height " + std::to_string(height) +
                                                 " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /FlateDecode",
                                             pdffix::deflated(bits)));
}

// A colour scan at 300 dots an inch as scanners write it (JPEG): red above, blue below.
std::string colourScan(int width, int height, double pageW, double pageH)
{
    auto paper = gfx::Context::createBitmap(gfx::Size{double(width), double(height)});
    paper->setFillColor(gfx::Color{0.8, 0.1, 0.1, 1});
    paper->fillRect(gfx::Rect(0, 0, width, height / 2.0));
    paper->setFillColor(gfx::Color{0.1, 0.1, 0.8, 1});
    paper->fillRect(gfx::Rect(0, height / 2.0, width, height / 2.0));
    auto jpeg = paper->makeImage().jpegData(0.85);
    return picturePdf(pageW, pageH,
                      pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width " + std::to_string(width) +
                                                 " /Height " + std::to_string(height) +
                                                 " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
                                             std::string(jpeg.begin(), jpeg.end())));
}

// A JPEG whose frame header claims 23000 x 23000 pixels under a dictionary that says 64 x 64:
// its decoder goes by the frame.
std::string understatedJpegPdf()
{
    auto small = gfx::Context::createBitmap(gfx::Size{64, 64});
    small->setFillColor(gfx::Color{0.2, 0.4, 0.6, 1});
    small->fillRect(gfx::Rect(0, 0, 64, 64));
    auto bytes = small->makeImage().jpegData(0.8);
    std::string jpeg(bytes.begin(), bytes.end());
    bool patched = false;
    for (size_t i = 0; i + 9 < jpeg.size() && !patched; ++i)
        if (uint8_t(jpeg[i]) == 0xFF && uint8_t(jpeg[i + 1]) == 0xC0) {
            for (size_t at : {i + 5, i + 7}) {
                jpeg[at] = char(23000 >> 8);
                jpeg[at + 1] = char(23000 & 0xFF);
            }
            patched = true;
        }
    EXPECT_TRUE(patched);
    return pdffix::onePage("q 612 0 0 792 0 0 cm /Im1 Do Q",
                           pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width 64 /Height 64 /ColorSpace "
                                                  "/DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
                                                  jpeg));
}

class ReaderLimitsTest : public ReaderWindowTest {
protected:
    void SetUp() override
    {
        ReaderWindowTest::SetUp();
        pdf::PageWorkers::shared().resetForTesting();
    }
    void TearDown() override
    {
        reader.reset();
        pdf::PageWorkers::shared().resetForTesting();
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        ReaderWindowTest::TearDown();
    }
    void open(const std::string& path, int page = 1)
    {
        record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
        ASSERT_TRUE(record);
        // As the library opens it: the document held open, its pages known.
        record->holdOpenDocument();
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
    static double secondsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    std::shared_ptr<PdfDocument> record;
    std::shared_ptr<PdfViewController> reader;
    Leaving leaving;
};

// Each file is small; drawn, each takes its worker past a limit. The page area says the page is
// too large instead, memory stays bounded and leaving ends the work at once.
TEST_F(ReaderLimitsTest, HostilePagesAreRefusedWithAMessage)
{
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"progressive-jpeg.pdf", pdffix::smallDictProgressiveJpegPdf()},
        {"inline-progressive.pdf", pdffix::inlineProgressiveJpegPdf()},
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
        EXPECT_LT(testsupport::ownPeakMB(), 1536);

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

// Ordinary scans are shown, not refused: a 1-bit A3 page at 600 dots an inch (ten kilobytes
// on disk, 70 million pixels) and an A4 colour page at 300.
TEST_F(ReaderLimitsTest, ScansAreDrawn)
{
    struct Case {
        const char* name;
        std::string bytes;
        gfx::Color lower, top; // three fifths and a tenth down the page, across its middle
    } cases[] = {
        {"a3-600-bilevel.pdf", bilevelScan(7016, 9921, 842, 1191), gfx::Color::black(), gfx::Color::white()},
        {"a4-300-colour.pdf", colourScan(2480, 3508, 595, 842), gfx::Color{0.1, 0.1, 0.8, 1},
         gfx::Color{0.8, 0.1, 0.1, 1}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(place(std::string("Documents/acme/Pdf/") + c.name, c.bytes));
        ASSERT_NO_FATAL_FAILURE();
        PdfContentView* view = shown(1);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->unavailable(), PdfContentPage::Unavailable::None);
        ASSERT_NE(view->contentPage(), nullptr);
        EXPECT_EQ(view->messageLabel(), nullptr);
        drawNow(*view);
        gfx::Image shot = window->snapshot();
        gfx::Rect page = view->containerView()->convertRectToView(view->containerView()->bounds(), nullptr);
        auto near = [](gfx::Color a, gfx::Color b) {
            return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) < 0.25;
        };
        gfx::Color lower = shot.colorAt(int(page.midX()), int(page.minY() + page.height() * 0.6));
        gfx::Color top = shot.colorAt(int(page.midX()), int(page.minY() + page.height() / 10));
        EXPECT_TRUE(near(lower, c.lower)) << lower.r << " " << lower.g << " " << lower.b;
        EXPECT_TRUE(near(top, c.top)) << top.r << " " << top.g << " " << top.b;
        window->setRootViewController(nullptr);
        reader.reset();
    }
}

// The same bombs reached by routes a scan of the file does not follow, and a page that draws for
// ever. Drawn by workers: quitting while the page draws ends it at once, the page area then says
// the page is too large, memory stays bounded and leaving ends the work at once.
TEST_F(ReaderLimitsTest, HostileShapesAreDrawnByWorkersWithinLimits)
{
    std::string encrypted = place("plain-saves.pdf", pdffix::filteredUnbalancedSavesPdf());
    ASSERT_TRUE(pdffix::run({"qpdf", "--stream-data=preserve", "--encrypt", "", "owner", "256", "--", encrypted,
                             encrypted + ".enc"}));
    std::ifstream in(encrypted + ".enc", std::ios::binary);
    std::string encryptedBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(encryptedBytes.find("/Encrypt"), std::string::npos);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"type3-glyph.pdf", pdffix::type3GlyphJpegPdf()},
        {"annotation.pdf", pdffix::annotationJpegPdf()},
        {"pattern-cell.pdf", pdffix::patternJpegPdf()},
        {"small-dict-progressive.pdf", pdffix::smallDictProgressiveJpegPdf()},
        {"inline-progressive.pdf", pdffix::inlineProgressiveJpegPdf()},
        {"filtered-saves.pdf", pdffix::filteredUnbalancedSavesPdf()},
        {"encrypted-saves.pdf", encryptedBytes},
        {"decoy-catalog.pdf", pdffix::decoyCatalogPdf()},
        {"nested-forms.pdf", pdffix::nestedFormsPdf()},
    };
    auto& workers = pdf::PageWorkers::shared();
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_LT(c.bytes.size(), 16u << 10);
        std::string path = place(std::string("Documents/acme/Pdf/") + c.name, c.bytes);

        // Quitting while the page draws: the drawing ends at once.
        workers.resetForTesting();
        pdf::PageWorkers::Limits limits;
        limits.secondsPerPage = 60;
        workers.setLimits(limits);
        open(path);
        ASSERT_NO_FATAL_FAILURE();
        PdfContentView* view = shown(1);
        ASSERT_NE(view, nullptr);
        // A page the file's own objects show to be too large is refused before any drawing.
        if (view->contentPage()) {
            std::atomic<bool> returned{false};
            auto quit = std::async(std::launch::async, [&] {
                auto waited = std::chrono::steady_clock::now();
                while (workers.busyWorkerIds().empty() && !returned && secondsSince(waited) < 30)
                    std::this_thread::yield();
                auto start = std::chrono::steady_clock::now();
                workers.shutDown();
                return start;
            });
            drawNow(*view);
            returned = true;
            double quitting = secondsSince(quit.get());
            EXPECT_LT(quitting, 1.0);
        }
        settle();
        window->setRootViewController(nullptr);
        reader.reset();

        // Drawn under the limits: a message where the page would be.
        // Described under the generous limit, drawn under the short one: on a busy machine the
        // opening alone may take longer than the drawing is given.
        workers.resetForTesting();
        open(path);
        ASSERT_NO_FATAL_FAILURE();
        limits.secondsPerPage = 0.5;
        workers.setLimits(limits);
        view = shown(1);
        ASSERT_NE(view, nullptr);
        drawNow(*view);
        settle();
        EXPECT_EQ(view->contentPage(), nullptr);
        EXPECT_EQ(view->unavailable(), PdfContentPage::Unavailable::TooCostly);
        ASSERT_NE(view->messageLabel(), nullptr);
        EXPECT_EQ(view->messageLabel()->text(), Language::stringWithName("PDFPAGETOOLARGE"));
        EXPECT_TRUE(driver->findByText(Language::stringWithName("PDFPAGETOOLARGE")));
        EXPECT_LT(testsupport::ownPeakMB() + testsupport::workersPeakMB(), 1536);

        auto left = std::chrono::steady_clock::now();
        ASSERT_TRUE(driver->tap(reader->mainToolbar()->doneButton().get()));
        PdfThumbQueue::sharedInstance().waitUntilIdle();
        EXPECT_EQ(leaving.calls, 1);
        EXPECT_LT(secondsSince(left), 1.0);
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
        double pixels;
        double decoded; // bytes, at the pictures' own depth
        size_t depth; // at least; counting stops past a limit
    } cases[] = {
        {"text.pdf", pdffix::build(plan), 0, 0, 0},
        {"huge-jpeg.pdf", pdffix::hugeJpegPdf(), 23000.0 * 23000, 23000.0 * 23000 * 3, 1},
        {"understated-jpeg.pdf", understatedJpegPdf(), 64.0 * 64, 23000.0 * 23000 * 3, 1},
        {"image-bomb.pdf", pdffix::imageBombPdf(), 12000.0 * 12000, 12000.0 * 12000 * 3, 1},
        {"unbalanced-saves.pdf", pdffix::unbalancedSavesPdf(), 0, 0, pdf::PageLimits::kSaveDepth + 1},
        // Scans: 1 bit at 600 dots an inch on A3 and on A0, colour at 300 on A4 and A3.
        {"a3-600-bilevel.pdf", bilevelScan(7016, 9921, 842, 1191), 7016.0 * 9921, 877.0 * 9921, 1},
        {"a0-600-bilevel.pdf", bilevelScan(19866, 28087, 2384, 3370), 19866.0 * 28087, 2484.0 * 28087, 1},
        {"a4-300-colour.pdf", colourScan(2480, 3508, 595, 842), 2480.0 * 3508, 2480.0 * 3508 * 3, 1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = place(c.name, c.bytes);
        pdf::PageCost cost = pdf::pageCost(path, 1);
        EXPECT_TRUE(cost.read);
        EXPECT_EQ(cost.imagePixels, c.pixels);
        EXPECT_EQ(cost.imageBytes, c.decoded);
        EXPECT_GE(cost.saveDepth, c.depth);
    }
    // A page that is not there is not judged: the drawing library answers for it.
    EXPECT_FALSE(pdf::pageCost(place("two.pdf", pdffix::textPdf(2)), 3).read);
}

// A tile over the time limit is drawn once more at the next lower level; a refusal stays where
// it happened: the tile's level and above for a zoomed tile, the tile alone for its stand-in, and
// the fitted level only when the fitted page itself fails.
TEST_F(ReaderLimitsTest, RefusalsStayAtTheLevelWhereTheyHappened)
{
    auto& workers = pdf::PageWorkers::shared();
    pdf::PageWorkers::Limits limits;
    limits.secondsPerPage = 0.3;
    std::string plain = place("plain.pdf", pdffix::textPdf(1));
    using O = pdf::DrawOutcome;
    struct Case {
        const char* name;
        double tileScale;  // pixels a point of the tile's bitmap
        double fitScale;   // pixels a point of the fitted page
        O drawn;           // what the tile's drawing answers
        std::map<int, O> refusedAt;
    } cases[] = {
        // Level 2 fails and so does its stand-in at level 1; the fitted level 0 is untouched.
        {"zoomed", 4, 1, O::Drawn, {{3, O::TooCostly}, {2, O::TooCostly}, {1, O::Drawn}, {0, O::Drawn}}},
        // The stand-in falls at the fitted level itself: still only the tile's level is refused.
        {"stand-in-at-fit", 4, 2, O::Drawn, {{2, O::TooCostly}, {1, O::Drawn}, {0, O::Drawn}}},
        // The fitted page itself fails: refused at its level and above, a thumbnail may try.
        {"fitted", 0.25, 0.25, O::TooCostly, {{-1, O::TooCostly}, {-2, O::TooCostly}, {-3, O::Drawn}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Drawn for ever at any size; a file of its own, as refusals are kept by file.
        std::string endless = place(std::string(c.name) + ".pdf", pdffix::nestedFormsPdf());
        // Opened under the usual limit, which a busy machine needs; only the drawing is held short.
        workers.setLimits(pdf::PageWorkers::Limits{});
        auto document = pdf::Document::open(endless).document;
        ASSERT_TRUE(document);
        auto page = document->page(1);
        ASSERT_TRUE(page);
        workers.setLimits(limits);
        gfx::Rect box(0, 0, 612, 792);
        auto tile = gfx::Context::createBitmap(gfx::Size{128, 128}, c.tileScale);
        EXPECT_EQ(PdfContentPage::drawTile(*page, *tile, gfx::Rect(0, 0, 128, 128), box, c.fitScale), c.drawn);
        for (const auto& [level, refused] : c.refusedAt)
            EXPECT_EQ(workers.refusal(endless, 1, level), refused) << "level " << level;
        if (c.drawn == O::Drawn) {
            // Tried and failed twice, the tile shows what lies under it: its pixels are clear.
            cairo_surface_t* surface = cairo_get_target(tile->cairo());
            cairo_surface_flush(surface);
            EXPECT_EQ(cairo_image_surface_get_data(surface)[3], 0);
        }
    }
    EXPECT_EQ(workers.refusal(plain, 1, 2), pdf::DrawOutcome::Drawn) << "another file is not touched";
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
        {"bomb.pdf", pdffix::smallDictProgressiveJpegPdf(), 1, "PDFPAGETOOLARGE"},
        // A shading function nested so deep that reading it crashes the drawing library.
        {"deep-function.pdf", pdffix::deepFunctionShadingPdf(), 1, "PDFPAGECANNOTBESHOWN"},
    };
    // The crash comes first however long a checked build on a busy machine takes to reach it.
    pdf::PageWorkers::Limits limits;
    limits.secondsPerPage = 600;
    pdf::PageWorkers::shared().setLimits(limits);
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
            // A page the opening could not describe is asked for off the main thread.
            EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return !view->isPagePending(); }, 30));
            // Judged by the worker that draws it.
            if (view->contentPage()) {
                drawNow(*view);
                settle();
            }
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
