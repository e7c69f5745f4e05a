#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfContentThumb.h"
#include "Classes/Library/Reader/PdfContentView.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "tests/Classes/Library/ReaderTestSupport.h"

#include <cmath>
#include <thread>

namespace pdf {
void PrintTo(const LinkTarget& t, std::ostream* os)
{
    *os << int(t.kind) << " '" << t.url << "' " << t.page;
}
} // namespace pdf

namespace {

using readertest::ReaderWindowTest;

class PdfContentViewTest : public ReaderWindowTest {
protected:
    std::shared_ptr<PdfContentView> show(const std::string& path, int page, gfx::Rect frame = {0, 0, 1024, 768})
    {
        auto view = std::make_shared<PdfContentView>(frame, path, page, std::nullopt);
        window->addSubview(view);
        window->layoutIfNeeded();
        return view;
    }
    // The page drawn in full into the window's frame.
    gfx::Image drawnPage(PdfContentView& view)
    {
        window->snapshot();
        view.contentPage()->drawVisibleTilesNow();
        return window->snapshot();
    }
};

TEST_F(PdfContentViewTest, PagesMatchTheReferenceRendererOnEveryRotation)
{
    std::string upright = place("Documents/a/Pdf/links.pdf", pdffix::linkPdf());
    for (int degrees : {0, 90, 180, 270}) {
        SCOPED_TRACE(degrees);
        std::string path = upright;
        if (degrees) {
            path = (home() / ("Documents/a/Pdf/r" + std::to_string(degrees) + ".pdf")).string();
            ASSERT_TRUE(pdffix::rotatedCopy(upright, path, degrees));
        }
        auto view = show(path, 1);
        ASSERT_TRUE(view->contentPage());
        gfx::Image shot = drawnPage(*view);
        shot.writePng(reviewPath("reader-page-" + std::to_string(degrees) + ".png"));
        // Drawn at just the pixels shown: one tile at the minimum zoom's own scale.
        EXPECT_EQ(view->contentPage()->tilesDrawnAtScale(view->minimumZoomScale()), 1);
        EXPECT_EQ(view->contentPage()->tilesDrawn(), 1);
        gfx::Rect onScreen = view->containerView()->convertRectToView(view->containerView()->bounds(), nullptr);
        int x0 = int(std::ceil(onScreen.x())), y0 = int(std::ceil(onScreen.y()));
        int w = int(onScreen.maxX()) - x0, h = int(onScreen.maxY()) - y0;
        std::string reference = (home() / ("ref" + std::to_string(degrees))).string();
        ASSERT_TRUE(pdffix::run({"pdftocairo", "-png", "-singlefile", "-f", "1", "-l", "1", "-scale-to-x",
                                 std::to_string(int(std::lround(onScreen.width()))), "-scale-to-y",
                                 std::to_string(int(std::lround(onScreen.height()))), path, reference}));
        gfx::Image ref = gfx::Image::fromFile(reference + ".png");
        ASSERT_TRUE(ref);
        // The placement differs by under a pixel: compare each pixel with its reference
        // neighbourhood's closest value.
        int far = 0, total = 0;
        for (int y = 2; y < h - 2; y += 2)
            for (int x = 2; x < w - 2; x += 2) {
                gfx::Color a = shot.colorAt(x0 + x, y0 + y);
                double best = 9;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        gfx::Color b = ref.colorAt(x + dx + int(x0 - onScreen.x() + 0.5), y + dy);
                        best = std::min(best, std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b));
                    }
                ++total;
                if (best > 0.35)
                    ++far;
            }
        EXPECT_LT(far, total / 100) << far << " of " << total;
        view->removeFromSuperview();
    }
}

TEST_F(PdfContentViewTest, ThePagePictureShowsBeforeAnyTile)
{
    std::string path = place("Documents/a/Pdf/text.pdf", pdffix::textPdf(3));
    auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    auto view = show(path, 2);
    view->showPageThumbPagePasswordGuid(record->fileURL(), 2, std::nullopt, record->guid());
    settle();
    ASSERT_TRUE(view->thumbView()->imageView()->image());
    gfx::Image shot = window->snapshot();
    shot.writePng(reviewPath("reader-placeholder.png"));
    EXPECT_EQ(view->contentPage()->tilesDrawn(), 0);
    // The title's ink, from the picture alone.
    gfx::Rect page = view->containerView()->convertRectToView(view->containerView()->bounds(), nullptr);
    int dark = 0;
    for (int y = int(page.y()) + 40; y < int(page.y()) + 140; ++y)
        for (int x = int(page.x()) + 60; x < int(page.x()) + 300; ++x)
            dark += shot.colorAt(x, y).r < 0.5;
    EXPECT_GT(dark, 100);
    // A second view of the same page is answered at once from memory.
    auto again = show(path, 2);
    again->showPageThumbPagePasswordGuid(record->fileURL(), 2, std::nullopt, record->guid());
    EXPECT_TRUE(again->thumbView()->imageView()->image());
    // Under the page's tiles, all drawn, the picture is left out; zoomed in, with tiles due, it
    // stands in again.
    view->contentPage()->drawVisibleTilesNow();
    settle();
    EXPECT_TRUE(view->thumbView()->isHidden());
    view->loopZoom();
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(view->thumbView()->isHidden());
}

TEST_F(PdfContentViewTest, APictureOfADrawnPageComesFromItsTilesAndMatchesARenderedOne)
{
    std::string path = place("Documents/a/Pdf/text.pdf", pdffix::textPdf(3));
    auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    // In a wide view and in a narrow one.
    struct Case {
        int page;
        gfx::Rect frame;
    } cases[] = {{2, {0, 0, 1024, 768}}, {3, {0, 0, 600, 900}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        int renders = PdfThumbRender::renderCount;
        auto drawn = show(path, c.page, c.frame);
        drawn->contentPage()->drawVisibleTilesNow();
        drawn->showPageThumbPagePasswordGuid(record->fileURL(), c.page, std::nullopt, record->guid());
        // At once, from the tiles: no render.
        gfx::Image fromTiles = drawn->thumbView()->imageView()->image();
        ASSERT_TRUE(fromTiles);
        settle();
        EXPECT_EQ(PdfThumbRender::renderCount, renders);
        // The same picture rendered, for a document of another name (no tiles of it drawn).
        PdfThumbCache::sharedInstance().removeAllObjects();
        auto other = PdfDocument::withDocumentFilePathPassword(place("Documents/b/Pdf/text.pdf", pdffix::textPdf(3)),
                                                               std::nullopt);
        auto fresh = show(other->fileURL(), c.page, c.frame);
        fresh->showPageThumbPagePasswordGuid(other->fileURL(), c.page, std::nullopt, other->guid());
        settle();
        EXPECT_EQ(PdfThumbRender::renderCount, renders + 1);
        gfx::Image rendered = fresh->thumbView()->imageView()->image();
        ASSERT_TRUE(rendered);
        ASSERT_EQ(fromTiles.pixelWidth(), rendered.pixelWidth());
        ASSERT_EQ(fromTiles.pixelHeight(), rendered.pixelHeight());
        double difference = 0;
        for (int y = 0; y < rendered.pixelHeight(); ++y)
            for (int x = 0; x < rendered.pixelWidth(); ++x)
                difference += std::abs(int(fromTiles.pixelAt(x, y) & 0xFF) - int(rendered.pixelAt(x, y) & 0xFF));
        EXPECT_LT(difference / (rendered.pixelWidth() * rendered.pixelHeight()), 6.0);

        // A page bar's small picture comes from the larger one; it too matches one rendered.
        gfx::Image small[2];
        for (int render = 0; render < 2; ++render) {
            auto holder = ui::View::make<PdfContentThumb>(gfx::Rect(0, 0, 32, 32));
            auto& doc = render ? *other : *record;
            auto request = PdfThumbRequest::newForView(holder, doc.fileURL(), std::nullopt, doc.guid(), c.page,
                                                       gfx::Size{32, 32});
            if (render) {
                PdfThumbCache::sharedInstance().thumbRequestPriority(request, true);
                settle();
            } else {
                ASSERT_TRUE(drawn->keepPictureFromTiles(request));
            }
            small[render] = holder->imageView()->image();
            ASSERT_TRUE(small[render]);
        }
        ASSERT_EQ(small[0].pixelWidth(), small[1].pixelWidth());
        ASSERT_EQ(small[0].pixelHeight(), small[1].pixelHeight());
        double smallDifference = 0;
        for (int y = 0; y < small[1].pixelHeight(); ++y)
            for (int x = 0; x < small[1].pixelWidth(); ++x)
                smallDifference += std::abs(int(small[0].pixelAt(x, y) & 0xFF) - int(small[1].pixelAt(x, y) & 0xFF));
        EXPECT_LT(smallDifference / (small[1].pixelWidth() * small[1].pixelHeight()), 6.0);
        drawn->removeFromSuperview();
        fresh->removeFromSuperview();
    }
}

TEST_F(PdfContentViewTest, ZoomLimitsStepsAndTurning)
{
    auto view = show(place("Documents/a/Pdf/text.pdf", pdffix::textPdf(2)), 1);
    double minimum = std::min(1016.0 / 612, 760.0 / 792);
    EXPECT_NEAR(view->minimumZoomScale(), minimum, 1e-9);
    EXPECT_NEAR(view->maximumZoomScale(), 3 * minimum, 1e-9);
    EXPECT_NEAR(view->zoomScale(), minimum, 1e-9);
    EXPECT_NEAR(view->zoomAmount(), 2 * minimum / 3, 1e-9);
    EXPECT_EQ(view->tag(), 1);
    // Centred while narrower than the view.
    gfx::Rect page = view->containerView()->convertRectToView(view->containerView()->bounds(), nullptr);
    EXPECT_NEAR(page.midX(), 512, 0.5);
    EXPECT_NEAR(page.midY(), 384, 0.5);

    struct Step {
        const char* op;
        double expected; // in minimums
    } steps[] = {{"loop", 1 + 2.0 / 3}, {"loop", 1 + 4.0 / 3}, {"loop", 3}, {"loop", 1}, {"increment", 1 + 2.0 / 3},
                 {"decrement", 1}, {"decrement", 1}, {"loop", 1 + 2.0 / 3}, {"reset", 1}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.op);
        std::string op = s.op;
        if (op == "loop")
            view->loopZoom();
        else if (op == "increment")
            view->zoomIncrement();
        else if (op == "decrement")
            view->zoomDecrement();
        else
            view->zoomReset();
        base::RunLoop::main().advance(1); // animations end
        EXPECT_NEAR(view->zoomScale() / minimum, s.expected, 1e-6);
    }

    // Turned to portrait: at the minimum it stays at the new minimum.
    view->setFrame(gfx::Rect(0, 0, 768, 1024));
    double portrait = std::min(760.0 / 612, 1016.0 / 792);
    EXPECT_NEAR(view->zoomScale(), portrait, 1e-9);
    EXPECT_NEAR(view->maximumZoomScale(), 3 * portrait, 1e-9);
    // Above the new maximum it is clamped.
    view->setFrame(gfx::Rect(0, 0, 1024, 768));
    view->setZoomScale(view->maximumZoomScale());
    view->setFrame(gfx::Rect(0, 0, 400, 300));
    EXPECT_NEAR(view->zoomScale(), view->maximumZoomScale(), 1e-9);
}

TEST_F(PdfContentViewTest, AtTheMaximumOnlyVisibleTilesAreDrawn)
{
    auto view = show(place("Documents/a/Pdf/text.pdf", pdffix::textPdf(2)), 1);
    view->setZoomScale(view->maximumZoomScale());
    window->layoutIfNeeded();
    auto page = view->contentPage();
    page->drawVisibleTilesNow();
    // 2.88 pixels a point needs the 4x level: 256-point tiles, a 1024 x 768 window over
    // 355 x 266 points of page at the top left: 2 x 2 tiles.
    EXPECT_EQ(page->tilesDrawnAtScale(4), 4);
    EXPECT_EQ(page->tilesDrawn(), 4);
    view->setContentOffset({view->contentOffset().x, view->contentOffset().y + 800});
    page->drawVisibleTilesNow();
    EXPECT_EQ(page->tilesDrawnAtScale(4), 6);
    view->removeFromSuperview();
    page->drawVisibleTilesNow();
    EXPECT_EQ(page->tilesDrawn(), 6);
    EXPECT_TRUE(page->isDetached());
}

TEST_F(PdfContentViewTest, PagesAreClampedAndLockedDocumentsGiveNone)
{
    std::string path = place("Documents/a/Pdf/twelve.pdf", pdffix::textPdf(12));
    std::string locked = (home() / "Documents/a/Pdf/locked.pdf").string();
    ASSERT_TRUE(pdffix::encryptedCopy(path, locked, "secret", "boss"));
    struct Case {
        std::string path;
        int asked;
        int shown; // 0: no page view
    } cases[] = {{path, 0, 1}, {path, 99, 12}, {path, 5, 5}, {locked, 1, 0}};
    for (const auto& c : cases) {
        auto view = std::make_shared<PdfContentView>(gfx::Rect(0, 0, 1024, 768), c.path, c.asked, std::nullopt);
        if (c.shown) {
            ASSERT_TRUE(view->contentPage());
            EXPECT_EQ(view->contentPage()->pageNumber(), c.shown);
        } else {
            EXPECT_FALSE(view->contentPage());
            EXPECT_FALSE(view->containerView());
        }
    }
}

TEST_F(PdfContentViewTest, TapsAtDrawnLinksAnswerTheirTargets)
{
    std::string upright = place("Documents/a/Pdf/links.pdf", pdffix::linkPdf());
    for (int degrees : {0, 90, 180, 270}) {
        SCOPED_TRACE(degrees);
        std::string path = upright;
        if (degrees) {
            path = (home() / ("Documents/a/Pdf/t" + std::to_string(degrees) + ".pdf")).string();
            ASSERT_TRUE(pdffix::rotatedCopy(upright, path, degrees));
        }
        auto view = show(path, 1);
        std::vector<pdf::LinkTarget> answers;
        auto tap = std::make_shared<ui::TapGestureRecognizer>();
        tap->addTarget([&](ui::GestureRecognizer& r) { answers.push_back(view->processSingleTap(r)); });
        view->addGestureRecognizer(tap);
        auto page = view->contentPage();
        // Document order of the fixture: www, named, integer 4, launch, under, over, old name.
        const auto& links = page->links();
        ASSERT_EQ(links.size(), 7u);
        auto tapAtLink = [&](size_t documentIndex, gfx::Point nudge = {}) {
            const auto& link = links[links.size() - 1 - documentIndex];
            gfx::Point at = page->convertPointToView(link.rect.center(), nullptr);
            driver->tap(gfx::Point{at.x + nudge.x, at.y + nudge.y});
        };
        tapAtLink(0);
        tapAtLink(1);
        tapAtLink(2);
        tapAtLink(3);
        // In the overlap of the two, the later annotation answers.
        const auto& under = links[links.size() - 1 - 4].rect;
        const auto& over = links[links.size() - 1 - 5].rect;
        gfx::Rect both = under.intersection(over);
        driver->tap(page->convertPointToView(both.center(), nullptr));
        // Empty paper.
        driver->tap(page->convertPointToView({5, 5}, nullptr));
        std::vector<pdf::LinkTarget> expected = {
            pdf::LinkTarget::toUrl("http://www.example.org/x"), pdf::LinkTarget::toPage(3),
            pdf::LinkTarget::toPage(5), pdf::LinkTarget::none(),
            pdf::LinkTarget::toUrl("http://over.example.org/"), pdf::LinkTarget::none()};
        EXPECT_EQ(answers, expected);
        view->removeFromSuperview();
    }
}

TEST_F(PdfContentViewTest, UnfinishedGesturesAndPagesWithoutLinksAnswerNothing)
{
    auto view = show(place("Documents/a/Pdf/links.pdf", pdffix::linkPdf()), 1);
    ui::TapGestureRecognizer idle; // never ended
    const auto& link = view->contentPage()->links().back();
    EXPECT_EQ(view->contentPage()->linkTargetAt(link.rect.center()), pdf::LinkTarget::toUrl("http://www.example.org/x"));
    EXPECT_EQ(view->processSingleTap(idle), pdf::LinkTarget::none());
    auto plain = show(place("Documents/a/Pdf/plain.pdf", pdffix::textPdf(1)), 1);
    EXPECT_TRUE(plain->contentPage()->links().empty());
}

// Three page views of one document draw at once on the tile threads.
TEST_F(PdfContentViewTest, ThreePagesDrawTogether)
{
    std::string path = place("Documents/a/Pdf/text.pdf", pdffix::textPdf(3));
    std::vector<std::shared_ptr<PdfContentView>> views;
    for (int page = 1; page <= 3; ++page) {
        views.push_back(show(path, page, gfx::Rect((page - 1) * 1024.0 / 3, 0, 1024 / 3.0, 768)));
        views.back()->setZoomScale(views.back()->maximumZoomScale());
    }
    window->snapshot();
    for (int i = 0; i < 4000; ++i) {
        base::RunLoop::main().runPending();
        bool all = true;
        for (auto& v : views)
            all = all && v->contentPage()->tilesDrawn() > 0;
        if (all)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (auto& v : views)
        EXPECT_GT(v->contentPage()->tilesDrawn(), 0);
}

} // namespace
