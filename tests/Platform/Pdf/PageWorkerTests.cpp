#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Pdf/Engine/PopplerDocument.h"
#include "Platform/Pdf/PageWorkers.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/HostilePdfFixtures.h"
#include "tests/Support/PeakMemory.h"
#include "tests/Support/Sanitizers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <future>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using pdf::DrawOutcome;
using pdf::PageWorkers;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

using testsupport::workersPeakMB;

class PageWorkersTest : public ::testing::Test {
protected:
    void SetUp() override { PageWorkers::shared().resetForTesting(); }
    void TearDown() override { PageWorkers::shared().resetForTesting(); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        auto path = m_dir / name;
        pdffix::writeFile(path, bytes);
        return path.string();
    }
    std::shared_ptr<pdf::Page> pageOf(const std::string& path)
    {
        auto opened = pdf::Document::open(path);
        EXPECT_EQ(opened.status, pdf::Document::Status::Opened) << path;
        if (!opened.document)
            return nullptr;
        m_documents.push_back(opened.document);
        return opened.document->page(1);
    }
    // A tile as the tiled views draw one: two pixels a point, moved to its corner and clipped.
    static std::unique_ptr<gfx::Context> tile(const gfx::Rect& area)
    {
        auto context = gfx::Context::createBitmap(area.size, 2);
        context->translate(-area.x(), -area.y());
        context->clipToRect(area.insetBy(3, 5));
        return context;
    }
    static std::vector<unsigned char> pixelsOf(gfx::Context& context)
    {
        cairo_surface_t* surface = cairo_get_target(context.cairo());
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        size_t bytes = size_t(cairo_image_surface_get_stride(surface)) * size_t(cairo_image_surface_get_height(surface));
        return std::vector<unsigned char>(data, data + bytes);
    }

    basetest::TempDir m_dir;
    std::vector<std::shared_ptr<pdf::Document>> m_documents;
};

// A worker draws exactly what this process would; a page over a limit ends its worker, is
// refused from then on, and the next page draws in a new worker as before.
TEST_F(PageWorkersTest, PagesDrawAsInThisProcessAndOverALimitAreEndedAndReplaced)
{
    pdf::PageWorkers::Limits limits;
    limits.memoryBytes = size_t(768) << 20;
    limits.secondsPerPage = 1;
    PageWorkers::shared().setLimits(limits);

    pdffix::DocumentPlan plan;
    auto photo = gfx::Context::createBitmap(gfx::Size{300, 200});
    photo->setFillColor(gfx::Color{0.2, 0.5, 0.8, 1});
    photo->fillRect(gfx::Rect(0, 0, 150, 200));
    auto jpeg = photo->makeImage().jpegData(0.9);
    plan.jpeg.assign(jpeg.begin(), jpeg.end());
    plan.jpegWidth = 300;
    plan.jpegHeight = 200;
    pdffix::PagePlan text, picture;
    text.label = "Worker";
    picture.label = "Photo";
    picture.imageRef = 1;
    picture.rotate = 90;
    plan.pages = {text};
    std::string plain = write("plain.pdf", pdffix::build(plan));
    plan.pages = {picture};
    std::string photoPage = write("photo.pdf", pdffix::build(plan));

    // Drawn here and by a worker, tile by tile: the same bytes.
    for (const std::string& path : {plain, photoPage}) {
        SCOPED_TRACE(path);
        auto page = pageOf(path);
        ASSERT_TRUE(page);
        auto local = pdf::engine::Document::open(path).document;
        ASSERT_TRUE(local);
        auto localPage = local->page(1);
        ASSERT_TRUE(localPage);
        EXPECT_EQ(page->size(), localPage->size());
        EXPECT_EQ(page->box(), localPage->box());
        EXPECT_EQ(page->rotation(), localPage->rotation());
        gfx::Rect into(0, 0, page->size().width * 1.5, page->size().height * 1.5);
        for (gfx::Rect area : {gfx::Rect(0, 0, 256, 256), gfx::Rect(256, 512, 256, 256)}) {
            auto here = tile(area), there = tile(area);
            localPage->draw(*here, into);
            EXPECT_EQ(page->drawInWorker(*there, into), DrawOutcome::Drawn);
            auto expected = pixelsOf(*here), got = pixelsOf(*there);
            EXPECT_EQ(expected, got);
            EXPECT_NE(std::count(got.begin(), got.end(), 0), std::ptrdiff_t(got.size())) << "something drawn";

            // On paper: within the clip, white paper under the page whatever lay there, as a
            // white fill and the page drawn over it; outside it, what lay there.
            auto onRed = [&] {
                auto context = gfx::Context::createBitmap(area.size, 2);
                context->setFillColor(gfx::Color{1, 0, 0, 1});
                context->fillRect(gfx::Rect(gfx::Point{}, area.size));
                context->translate(-area.x(), -area.y());
                context->clipToRect(area.insetBy(3, 5));
                return context;
            };
            auto filled = onRed(), paper = onRed();
            filled->setFillColor(gfx::Color::white());
            filled->fillRect(area);
            localPage->draw(*filled, into);
            EXPECT_EQ(page->drawOnPaper(*paper, into), DrawOutcome::Drawn);
            auto expectedOnPaper = pixelsOf(*filled), gotOnPaper = pixelsOf(*paper);
            EXPECT_EQ(expectedOnPaper, gotOnPaper);
            EXPECT_NE(expectedOnPaper, pixelsOf(*onRed())) << "paper and page drawn";
            EXPECT_EQ(gotOnPaper[2], 255) << "red kept outside the clip";
        }
    }

    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"huge-jpeg.pdf", pdffix::hugeJpegPdf()},
        {"progressive-under-a-small-dict.pdf", pdffix::smallDictProgressiveJpegPdf()},
        {"filtered-saves.pdf", pdffix::filteredUnbalancedSavesPdf()},
        {"nested-forms.pdf", pdffix::nestedFormsPdf()},
    };
    auto plainPage = pageOf(plain);
    ASSERT_TRUE(plainPage);
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = write(c.name, c.bytes);
        auto page = pageOf(path);
        ASSERT_TRUE(page);
        auto context = gfx::Context::createBitmap(gfx::Size{612, 792}, 1);
        auto start = Clock::now();
        EXPECT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, 612, 792)), DrawOutcome::TooCostly);
        EXPECT_LT(secondsSince(start), limits.secondsPerPage + 1.5);
        EXPECT_EQ(PageWorkers::shared().refusal(path, 1, 0), DrawOutcome::TooCostly);
        // Refused at once the next time.
        start = Clock::now();
        EXPECT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, 612, 792)), DrawOutcome::TooCostly);
        EXPECT_LT(secondsSince(start), 0.1);
        // The next page draws as usual.
        auto next = gfx::Context::createBitmap(gfx::Size{306, 396}, 1);
        EXPECT_EQ(plainPage->drawInWorker(*next, gfx::Rect(0, 0, 306, 396)), DrawOutcome::Drawn);
        EXPECT_EQ(PageWorkers::shared().refusal(plain, 1, 0), DrawOutcome::Drawn);
        EXPECT_LE(PageWorkers::shared().workerIds().size(), size_t(PageWorkers::kMaxWorkers));
        EXPECT_LT(workersPeakMB(), 1024);
    }
}

// A page with text, a picture seen through its soft mask and a half-transparent band, its
// crop box moved within the media box.
std::string seenThroughPagePdf(int rotate)
{
    auto photo = gfx::Context::createBitmap(gfx::Size{240, 160});
    photo->fillLinearGradient(gfx::Rect(0, 0, 240, 160), {0, 0}, {240, 160},
                              {{0, gfx::Color{0.9, 0.4, 0.1, 1}}, {1, gfx::Color{0.1, 0.3, 0.8, 1}}});
    auto jpeg = photo->makeImage().jpegData(0.9);
    std::string mask;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x)
            mask += char((x * 255 / 239 + y) % 256);
    pdffix::Writer w;
    int catalog = w.reserve(), pages = w.reserve();
    int smask = w.add(pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width 240 /Height 160 /ColorSpace "
                                             "/DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
                                             pdffix::deflated(mask)));
    int image = w.add(pdffix::Writer::stream("/Type /XObject /Subtype /Image /Width 240 /Height 160 /ColorSpace "
                                             "/DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode /SMask " +
                                                 std::to_string(smask) + " 0 R",
                                             std::string(jpeg.begin(), jpeg.end())));
    std::string content = "BT /F1 9 Tf 30 280 Td 11 TL\n";
    for (int line = 0; line < 22; ++line)
        content += "(Line " + std::to_string(line + 1) + " of the terms, set as a word processor sets them.) '\n";
    content += "ET\nq 170.3 0 0 113.7 190.2 120.6 cm /Im1 Do Q\n";
    content += "q /Half gs 0.2 0.6 0.3 rg 25 40 330 50 re f Q\n";
    int contents = w.add(pdffix::Writer::stream("", content));
    int page = w.add("<< /Type /Page /Parent " + std::to_string(pages) +
                     " 0 R /MediaBox [0 0 400 300] /CropBox [17.5 9.25 383 296] /Rotate " + std::to_string(rotate) +
                     " /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> "
                     "/ExtGState << /Half << /ca 0.5 >> >> /XObject << /Im1 " +
                     std::to_string(image) + " 0 R >> >> /Contents " + std::to_string(contents) + " 0 R >>");
    w.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    return w.finish(catalog);
}

// Whether two pixels differ by at most `tolerance` in each channel (rounding where a tile's
// edge cuts the filtering of a picture).
bool within(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > tolerance)
            return false;
    return true;
}

// Tiles of a zoomed page are drawn from what the page's first tile at that zoom kept: each
// tile holds the pixels of the whole page drawn at once in the bitmap's own pixels, at every
// zoom, rotation and pixel scale, also when tiles of another zoom came in between.
TEST_F(PageWorkersTest, TilesOfAZoomedPageHoldThePixelsOfTheWholePage)
{
    struct Zoom {
        double zoom, pixelScale;
    } zooms[] = {{1.5, 2}, {2.5, 2}, {1.75, 4}};
    const double tilePoints = 128;
    for (int rotate : {0, 90}) {
        std::string path = write("seen-through-" + std::to_string(rotate) + ".pdf", seenThroughPagePdf(rotate));
        auto document = pdf::engine::Document::open(path).document;
        ASSERT_TRUE(document);
        auto page = document->page(1);
        ASSERT_TRUE(page);
        std::vector<std::pair<size_t, std::unique_ptr<gfx::Context>>> wholes;
        for (size_t z = 0; z < std::size(zooms); ++z) {
            // A page moved by parts of a point, as a fitted page is centred.
            gfx::Rect into(0.35, 0.7, page->size().width * zooms[z].zoom, page->size().height * zooms[z].zoom);
            // Drawn in one piece, in the bitmap's own pixels.
            double scale = zooms[z].pixelScale;
            auto whole =
                gfx::Context::createBitmap(gfx::Size{std::ceil(into.maxX()) * scale, std::ceil(into.maxY()) * scale}, 1);
            whole->scaleBy(scale, scale);
            page->draw(*whole, into);
            wholes.emplace_back(z, std::move(whole));
        }
        // The tiles of each zoom, half of them, then those of the next zoom; then the other half.
        for (int pass = 0; pass < 2; ++pass) {
            for (auto& [z, whole] : wholes) {
                SCOPED_TRACE(testing::Message() << "rotate " << rotate << " zoom " << zooms[z].zoom << " scale "
                                                << zooms[z].pixelScale << " pass " << pass);
                gfx::Rect into(0.35, 0.7, page->size().width * zooms[z].zoom, page->size().height * zooms[z].zoom);
                int columns = int(std::ceil(into.maxX() / tilePoints)), rows = int(std::ceil(into.maxY() / tilePoints));
                cairo_surface_t* expected = cairo_get_target(whole->cairo());
                cairo_surface_flush(expected);
                for (int row = 0; row < rows; ++row) {
                    for (int column = (row + pass) % 2; column < columns; column += 2) {
                        gfx::Rect area(column * tilePoints, row * tilePoints, tilePoints, tilePoints);
                        auto tile = gfx::Context::createBitmap(area.size, zooms[z].pixelScale);
                        tile->translate(-area.x(), -area.y());
                        tile->clipToRect(area);
                        page->draw(*tile, into);
                        cairo_surface_t* got = cairo_get_target(tile->cairo());
                        cairo_surface_flush(got);
                        int pixels = int(tilePoints * zooms[z].pixelScale);
                        int x0 = column * pixels, y0 = row * pixels;
                        int differing = 0;
                        for (int y = 0; y < pixels && y0 + y < cairo_image_surface_get_height(expected); ++y) {
                            auto* a = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(got) +
                                                                         y * cairo_image_surface_get_stride(got));
                            auto* b = reinterpret_cast<const uint32_t*>(
                                cairo_image_surface_get_data(expected) + (y0 + y) * cairo_image_surface_get_stride(expected));
                            for (int x = 0; x < pixels && x0 + x < cairo_image_surface_get_width(expected); ++x)
                                differing += !within(a[x], b[x0 + x], 3);
                        }
                        // A magnified picture's edge that falls on a pixel's centre may put
                        // one row of its pixels on either side.
                        EXPECT_LE(differing, pixels * pixels / 2000) << "row " << row << " column " << column;
                    }
                }
            }
        }
    }
}

// Leaving a document ends its drawing at once, whatever the page; shutting down ends every
// worker and draws nothing more.
TEST_F(PageWorkersTest, StoppingADocumentOrShuttingDownEndsItsDrawingAtOnce)
{
    pdf::PageWorkers::Limits limits;
    limits.secondsPerPage = 60;
    PageWorkers::shared().setLimits(limits);
    std::string path = write("nested-forms.pdf", pdffix::nestedFormsPdf());
    auto page = pageOf(path);
    ASSERT_TRUE(page);
    for (bool shutDown : {false, true}) {
        SCOPED_TRACE(shutDown ? "shut down" : "document stopped");
        auto drawing = std::async(std::launch::async, [&] {
            auto context = gfx::Context::createBitmap(gfx::Size{612, 792}, 1);
            return page->drawInWorker(*context, gfx::Rect(0, 0, 612, 792));
        });
        // A listed worker is already taken for the page.
        auto waited = Clock::now();
        while (PageWorkers::shared().busyWorkerIds().empty() && secondsSince(waited) < 30)
            std::this_thread::yield();
        ASSERT_FALSE(PageWorkers::shared().busyWorkerIds().empty());
        auto start = Clock::now();
        if (shutDown)
            PageWorkers::shared().shutDown();
        else
            PageWorkers::shared().stopDocument(path);
        ASSERT_EQ(drawing.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_EQ(drawing.get(), DrawOutcome::Stopped);
        EXPECT_LT(secondsSince(start), 1.0);
        EXPECT_TRUE(PageWorkers::shared().busyWorkerIds().empty());
        EXPECT_EQ(PageWorkers::shared().refusal(path, 1, 0), DrawOutcome::Drawn) << "stopped, not refused";
    }
    // Shut down: nothing starts again.
    auto context = gfx::Context::createBitmap(gfx::Size{10, 10}, 1);
    EXPECT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, 10, 10)), DrawOutcome::Stopped);
    EXPECT_TRUE(PageWorkers::shared().workerIds().empty());
}

// A worker's start is not its page's time: a slow start draws the page under a limit shorter
// than the start, and a worker that ends as it starts refuses nothing; the next one draws.
TEST_F(PageWorkersTest, AWorkersStartIsNotCountedAgainstItsPage)
{
    std::string path = write("text.pdf", pdffix::textPdf(1));
    auto page = pageOf(path);
    ASSERT_TRUE(page);
    struct Case {
        const char* name;
        std::string before; // what the worker does before it is the worker
        DrawOutcome outcome;
    } cases[] = {
        {"started slowly", "sleep 2", DrawOutcome::Drawn},
        {"ended as it started", "exit 0", DrawOutcome::Failed},
        {"crashed as it started", "kill -SEGV $$", DrawOutcome::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string wrapper = (m_dir / "worker.sh").string();
        {
            std::ofstream out(wrapper);
            out << "#!/bin/sh\n" << c.before << "\nexec '" << PageWorkers::workerProgram() << "' \"$@\"\n";
        }
        ASSERT_EQ(chmod(wrapper.c_str(), 0755), 0);
        setenv("BRIVANTA_PDF_WORKER", wrapper.c_str(), 1);
        PageWorkers::shared().resetForTesting();
        unsetenv("BRIVANTA_PDF_WORKER");
        pdf::PageWorkers::Limits limits;
        limits.secondsPerPage = 1;
        PageWorkers::shared().setLimits(limits);
        auto context = gfx::Context::createBitmap(gfx::Size{306, 396}, 1);
        EXPECT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, 306, 396)), c.outcome);
        EXPECT_EQ(PageWorkers::shared().refusal(path, 1, 0), DrawOutcome::Drawn) << "nothing refused";
        // The next worker, a sound one, draws the page.
        PageWorkers::shared().resetForTesting();
        PageWorkers::shared().setLimits(limits);
        EXPECT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, 306, 396)), DrawOutcome::Drawn);
    }
}

// A stop that comes as a worker's answer is already in is no fault of the page: the worker it
// killed is never handed out again, and the next drawing of the page draws.
TEST_F(PageWorkersTest, AWorkerStoppedAsItAnsweredIsNotTakenAgain)
{
    std::string path = write("text.pdf", pdffix::textPdf(2));
    auto page = pageOf(path);
    ASSERT_TRUE(page);
    // Large enough that copying the pixels out leaves the stop time to come.
    auto context = gfx::Context::createBitmap(gfx::Size{612, 792}, 2);
    // Stops are scattered over a span as long as a drawing in a new worker, its start included,
    // takes on this machine now, and half as long again: some meet no answer, some one on its
    // way, some come after it. Where the machine slows and ten stops in a row meet no answer,
    // the span doubles.
    PageWorkers::shared().resetForTesting();
    auto measured = Clock::now();
    ASSERT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, 612, 792)), DrawOutcome::Drawn);
    PageWorkers::shared().resetForTesting();
    std::atomic<int64_t> span{std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - measured).count() * 3 / 2};
    std::atomic<bool> drawing{true};
    std::thread stopper([&] {
        std::mt19937_64 random(7);
        while (drawing) {
            if (PageWorkers::shared().busyWorkerIds().empty()) {
                std::this_thread::yield();
                continue;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % uint64_t(span + 1)));
            PageWorkers::shared().stopDocument(path);
        }
    });
    int drawn = 0, stoppedInRow = 0;
    bool answered = true;
    for (int i = 0; i < 200 && answered; ++i) {
        DrawOutcome outcome = page->drawInWorker(*context, gfx::Rect(0, 0, 612, 792));
        answered = outcome == DrawOutcome::Drawn || outcome == DrawOutcome::Stopped;
        EXPECT_TRUE(answered) << i << ": " << int(outcome);
        drawn += outcome == DrawOutcome::Drawn;
        stoppedInRow = outcome == DrawOutcome::Stopped ? stoppedInRow + 1 : 0;
        if (stoppedInRow == 10) {
            span = span * 2;
            stoppedInRow = 0;
        }
    }
    // The stopper ends before any verdict: a failure reports, it does not end the program.
    drawing = false;
    stopper.join();
    ASSERT_TRUE(answered);
    EXPECT_GT(drawn, 0) << "the stops came too soon to meet any answer";
    EXPECT_EQ(PageWorkers::shared().refusal(path, 1, 0), DrawOutcome::Drawn);
    for (int i = 0; i < 5; ++i) {
        auto context = gfx::Context::createBitmap(gfx::Size{60, 80}, 1);
        EXPECT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, 60, 80)), DrawOutcome::Drawn);
    }
}

// Each worker is held to its own address space by the system itself, whatever it draws.
TEST_F(PageWorkersTest, EachWorkerRunsUnderItsOwnAddressLimit)
{
#if defined(BRIVANTA_TEST_ASAN) || defined(BRIVANTA_TEST_TSAN)
    GTEST_SKIP() << "a sanitizer's allocator reserves more address space than any limit";
#endif
    pdf::PageWorkers::Limits limits;
    limits.memoryBytes = size_t(700) << 20;
    PageWorkers::shared().setLimits(limits);
    PageWorkers::shared().startAhead();
    auto ids = PageWorkers::shared().workerIds();
    ASSERT_EQ(ids.size(), 1u) << "one worker started ahead of any document";
    // The worker sets it first thing once it runs.
    std::string found, soft, hard;
    for (auto start = Clock::now(); secondsSince(start) < 30;) {
        std::ifstream in("/proc/" + std::to_string(ids[0]) + "/limits");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("Max address space", 0) == 0)
                found = line;
        std::istringstream fields(found.substr(std::min(found.size(), std::strlen("Max address space"))));
        fields >> soft >> hard;
        if (soft != "unlimited")
            break;
        std::this_thread::yield();
    }
    EXPECT_EQ(soft, std::to_string(limits.memoryBytes)) << found;
    EXPECT_EQ(hard, std::to_string(limits.memoryBytes)) << found;
}

// Three workers each within the limit but together past it: the largest is ended and its page
// refused; the other two go on drawing.
TEST_F(PageWorkersTest, WorkersTogetherPastTheLimitEndTheLargest)
{
#ifdef BRIVANTA_TEST_TSAN
    // The thread checker's shadow memory makes each of these workers pass the limit alone.
    GTEST_SKIP() << "worker sizes under the thread checker say nothing of the combined limit";
#endif
    pdf::PageWorkers::Limits limits;
    limits.memoryBytes = size_t(1000) << 20;
    limits.secondsPerPage = 120;
    PageWorkers::shared().setLimits(limits);
    // Pages that draw for ever into bitmaps of 180, 220 and 620 MB: each worker clears its part
    // of the shared pixels first, which makes it that large, and grows slowly as it draws on.
    // The largest starts first and the others once it holds its pixels: together they then pass
    // the limit (under a sanitizer too) while it is the largest, however slowly it grew on a
    // loaded machine; without it they stay well within.
    const int rows[] = {5760, 7040, 19840};
    std::vector<std::string> paths;
    std::vector<std::shared_ptr<pdf::Page>> pages;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(write("forms" + std::to_string(i) + ".pdf", pdffix::nestedFormsPdf()));
        pages.push_back(pageOf(paths.back()));
        ASSERT_TRUE(pages.back());
    }
    std::vector<std::future<DrawOutcome>> drawing(3);
    auto draw = [&](int i) {
        drawing[size_t(i)] = std::async(std::launch::async, [&, i] {
            auto context = gfx::Context::createBitmap(gfx::Size{8192, double(rows[i])}, 1);
            return pages[size_t(i)]->drawInWorker(*context, gfx::Rect(0, 0, 8192, rows[i]));
        });
    };
    draw(2);
    size_t residentMB = 0;
    for (auto start = Clock::now(); residentMB < 600 && secondsSince(start) < 90;) {
        auto busy = PageWorkers::shared().busyWorkerIds();
        std::ifstream statm(busy.empty() ? std::string() : "/proc/" + std::to_string(busy[0]) + "/statm");
        size_t total = 0, resident = 0;
        if (statm >> total >> resident)
            residentMB = resident * size_t(sysconf(_SC_PAGESIZE)) >> 20;
        std::this_thread::yield();
    }
    ASSERT_GE(residentMB, 600u) << "the largest page's worker never held its pixels";
    draw(0);
    draw(1);
    ASSERT_EQ(drawing[2].wait_for(std::chrono::seconds(90)), std::future_status::ready);
    EXPECT_EQ(drawing[2].get(), DrawOutcome::TooCostly);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(drawing[size_t(i)].wait_for(std::chrono::milliseconds(0)), std::future_status::timeout)
            << "the smaller ones draw on";
    EXPECT_EQ(PageWorkers::shared().busyWorkerIds().size(), 2u);
    EXPECT_NE(PageWorkers::shared().refusal(paths[2], 1, 99), DrawOutcome::Drawn);
    PageWorkers::shared().shutDown();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(drawing[size_t(i)].get(), DrawOutcome::Stopped);
}

// A worker started ahead shares for pixels what the largest page drawn so far took, up to a
// large tile's 16 MB: a page drawn larger once does not make every later worker hold its size.
TEST_F(PageWorkersTest, PixelsSharedAheadGrowWithThePagesDrawnUpToALargeTiles)
{
    const size_t cap = size_t(16) << 20;
    auto page = pageOf(write("text.pdf", pdffix::textPdf(1)));
    ASSERT_TRUE(page);
    struct Case {
        int width, height;
        size_t atLeast, atMost;
    } cases[] = {
        {1500, 1200, size_t(7200000), cap}, // grown past a window's page
        {2400, 2400, cap, cap},
        {4000, 3000, cap, cap},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        auto context = gfx::Context::createBitmap(gfx::Size{double(c.width), double(c.height)}, 1);
        ASSERT_EQ(page->drawInWorker(*context, gfx::Rect(0, 0, c.width, c.height)), DrawOutcome::Drawn);
        PageWorkers::shared().resetForTesting();
        PageWorkers::shared().startAhead();
        auto ids = PageWorkers::shared().workerIds();
        ASSERT_EQ(ids.size(), 1u);
        // The share the worker was handed, as it holds it.
        struct stat shared {};
        std::string held = "/proc/" + std::to_string(ids[0]) + "/fd/" + std::to_string(pdf::worker::kPixelsFd);
        ASSERT_EQ(stat(held.c_str(), &shared), 0) << held;
        EXPECT_GE(size_t(shared.st_size), c.atLeast);
        EXPECT_LE(size_t(shared.st_size), c.atMost);
    }
}

} // namespace
