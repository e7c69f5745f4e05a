#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Classes/Library/Reader/PdfThumbView.h"
#include "tests/Classes/Library/ReaderTestSupport.h"

namespace {

using readertest::ReaderTest;

class PdfThumbTest : public ReaderTest {
protected:
    void SetUp() override
    {
        // Letter pages, with page 2 turned on its side so pictures of pages tell apart.
        pdffix::DocumentPlan plan;
        for (int i = 1; i <= 12; ++i) {
            pdffix::PagePlan p;
            p.label = "Page " + std::to_string(i);
            if (i == 2)
                p.media = {0, 0, 792, 612};
            plan.pages.push_back(p);
        }
        m_path = place("Documents/acme/Pdf/catalog.pdf", pdffix::build(plan));
        m_record = PdfDocument::withDocumentFilePathPassword(m_path, std::nullopt);
        ASSERT_TRUE(m_record);
    }
    std::shared_ptr<PdfThumbRequest> request(const std::shared_ptr<PdfThumbView>& view, int page, gfx::Size size)
    {
        return PdfThumbRequest::newForView(view, m_record->fileURL(), std::nullopt, m_record->guid(), page, size);
    }
    std::string thumbFile(const std::string& name) const
    {
        return PdfThumbCache::thumbCachePathForGUID(m_record->guid()) + "/" + name + ".png";
    }
    static std::shared_ptr<PdfThumbView> view() { return ui::View::make<PdfThumbView>(gfx::Rect(0, 0, 240, 240)); }

    std::string m_path;
    std::shared_ptr<PdfDocument> m_record;
};

TEST_F(PdfThumbTest, RenderWritesTheNamedPictureAndShowsIt)
{
    struct Case {
        int page;
        gfx::Size size;
        const char* name;
        int width, height; // pixels at scale 1
    } cases[] = {
        {3, {240, 240}, "0000003-0240x0240", 184, 240},
        {1, {22, 28}, "0000001-0022x0028", 20, 28},
        {3, {32, 42}, "0000003-0032x0042", 32, 40},
        {2, {240, 240}, "0000002-0240x0240", 240, 184},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto v = view();
        auto r = request(v, c.page, c.size);
        EXPECT_EQ(r->thumbName(), c.name);
        EXPECT_EQ(r->cacheKey(), std::string(c.name) + "+" + m_record->guid());
        EXPECT_TRUE(PdfThumbCache::sharedInstance().thumbRequestPriority(r, true).isNull());
        settle();
        auto image = gfx::Image::fromFile(thumbFile(c.name));
        ASSERT_TRUE(image);
        EXPECT_EQ(image.pixelWidth(), c.width);
        EXPECT_EQ(image.pixelHeight(), c.height);
        ASSERT_TRUE(v->imageView()->image());
        EXPECT_EQ(v->imageView()->image().pixelWidth(), c.width);
        EXPECT_FALSE(v->operation());
        // Now answered from memory at once.
        auto again = PdfThumbCache::sharedInstance().thumbRequestPriority(request(view(), c.page, c.size), true);
        EXPECT_EQ(again.pixelHeight(), c.height);
    }
}

TEST_F(PdfThumbTest, OneLoadAndRenderPerPictureThenDiskAfterTheMemoryGoes)
{
    int loads = PdfThumbFetch::loadCount, renders = PdfThumbRender::renderCount;
    auto a = view(), b = view();
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(a, 4, {240, 240}), true);
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(b, 4, {240, 240}), false);
    settle();
    EXPECT_EQ(PdfThumbFetch::loadCount - loads, 0);
    EXPECT_EQ(PdfThumbRender::renderCount - renders, 1);
    EXPECT_TRUE(a->imageView()->image());

    PdfThumbCache::sharedInstance().removeAllObjects();
    auto c = view();
    EXPECT_TRUE(PdfThumbCache::sharedInstance().thumbRequestPriority(request(c, 4, {240, 240}), true).isNull());
    settle();
    EXPECT_EQ(PdfThumbFetch::loadCount - loads, 1);
    EXPECT_EQ(PdfThumbRender::renderCount - renders, 1);
    ASSERT_TRUE(c->imageView()->image());
    EXPECT_EQ(c->imageView()->image().pixelWidth(), 184);
    // Loaded pictures are opaque.
    EXPECT_EQ(c->imageView()->image().pixelAt(0, 0) >> 24, 0xFFu);
}

TEST_F(PdfThumbTest, APictureOnItsWayToDiskIsNotDrawnAgain)
{
    int loads = PdfThumbFetch::loadCount, renders = PdfThumbRender::renderCount;
    auto& writer = PdfThumbWriter::sharedInstance();
    writer.queue().setSuspended(true);
    auto a = view();
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(a, 8, {240, 240}), true);
    PdfThumbQueue::sharedInstance().loadQueue().waitUntilAllOperationsAreFinished();
    PdfThumbQueue::sharedInstance().workQueue().waitUntilAllOperationsAreFinished();
    drainMain();
    EXPECT_TRUE(a->imageView()->image());
    EXPECT_FALSE(std::filesystem::exists(thumbFile("0000008-0240x0240")));

    // Asked again before the write: the waiting picture answers.
    PdfThumbCache::sharedInstance().removeAllObjects();
    auto b = view();
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(b, 8, {240, 240}), true);
    PdfThumbQueue::sharedInstance().loadQueue().waitUntilAllOperationsAreFinished();
    PdfThumbQueue::sharedInstance().workQueue().waitUntilAllOperationsAreFinished();
    drainMain();
    EXPECT_TRUE(b->imageView()->image());
    EXPECT_EQ(PdfThumbRender::renderCount - renders, 1);
    EXPECT_EQ(PdfThumbFetch::loadCount - loads, 0);

    writer.queue().setSuspended(false);
    settle();
    EXPECT_TRUE(gfx::Image::fromFile(thumbFile("0000008-0240x0240")));
    EXPECT_FALSE(writer.pendingImage(thumbFile("0000008-0240x0240")));
}

TEST_F(PdfThumbTest, AViewAskedAgainNeverShowsTheEarlierPicture)
{
    auto v = view();
    // Both requests wait in the queue until the view wants page 2 only.
    PdfThumbQueue::sharedInstance().loadQueue().setSuspended(true);
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(v, 1, {240, 240}), true);
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(v, 2, {240, 240}), true);
    PdfThumbQueue::sharedInstance().loadQueue().setSuspended(false);
    settle();
    ASSERT_TRUE(v->imageView()->image());
    EXPECT_EQ(v->imageView()->image().pixelWidth(), 240); // page 2 lies on its side
    EXPECT_EQ(v->imageView()->image().pixelHeight(), 184);

    // Reused before its picture comes: nothing shows, and the placeholder goes.
    auto w = view();
    PdfThumbQueue::sharedInstance().loadQueue().setSuspended(true);
    auto r = request(w, 5, {240, 240});
    PdfThumbCache::sharedInstance().thumbRequestPriority(r, true);
    w->reuse();
    EXPECT_FALSE(PdfThumbCache::sharedInstance().containsKey(r->cacheKey()));
    PdfThumbQueue::sharedInstance().loadQueue().setSuspended(false);
    settle();
    EXPECT_FALSE(w->imageView()->image());
    EXPECT_FALSE(std::filesystem::exists(thumbFile("0000005-0240x0240")));
}

TEST_F(PdfThumbTest, FailuresLeaveNoEntryAndDamagedFilesAreDrawnAgain)
{
    auto v = view();
    auto beyond = request(v, 13, {240, 240});
    PdfThumbCache::sharedInstance().thumbRequestPriority(beyond, true);
    settle();
    EXPECT_FALSE(PdfThumbCache::sharedInstance().containsKey(beyond->cacheKey()));
    EXPECT_FALSE(v->imageView()->image());

    int renders = PdfThumbRender::renderCount;
    pdffix::writeFile(thumbFile("0000006-0240x0240"), "\x89PNG\r\n\x1a\n torn");
    auto w = view();
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(w, 6, {240, 240}), true);
    settle();
    EXPECT_EQ(PdfThumbRender::renderCount - renders, 1);
    EXPECT_TRUE(gfx::Image::fromFile(thumbFile("0000006-0240x0240")));
    EXPECT_TRUE(w->imageView()->image());
    EXPECT_FALSE(std::filesystem::exists(thumbFile("0000006-0240x0240") + ".tmp"));
}

TEST_F(PdfThumbTest, TallPagesStayWithinTheBox)
{
    pdffix::DocumentPlan plan;
    pdffix::PagePlan tall;
    tall.media = {0, 0, 200, 2000};
    plan.pages = {tall};
    std::string path = place("Documents/acme/Pdf/tall.pdf", pdffix::build(plan));
    auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    ASSERT_TRUE(record);
    auto v = view();
    PdfThumbCache::sharedInstance().thumbRequestPriority(
        PdfThumbRequest::newForView(v, record->fileURL(), std::nullopt, record->guid(), 1, {22, 28}), true);
    settle();
    ASSERT_TRUE(v->imageView()->image());
    EXPECT_LE(v->imageView()->image().pixelWidth(), 22);
    EXPECT_LE(v->imageView()->image().pixelHeight(), 28);
}

TEST_F(PdfThumbTest, ClosingADocumentCancelsItsWork)
{
    PdfThumbQueue::sharedInstance().loadQueue().setSuspended(true);
    std::vector<std::shared_ptr<PdfThumbView>> views;
    std::vector<std::shared_ptr<PdfThumbRequest>> requests;
    for (int page = 1; page <= 6; ++page) {
        views.push_back(view());
        requests.push_back(request(views.back(), page, {22, 28}));
        PdfThumbCache::sharedInstance().thumbRequestPriority(requests.back(), false);
        EXPECT_TRUE(views.back()->operation());
    }
    PdfThumbQueue::sharedInstance().cancelOperationsWithGUID(m_record->guid());
    PdfThumbQueue::sharedInstance().loadQueue().setSuspended(false);
    settle();
    for (size_t i = 0; i < views.size(); ++i) {
        EXPECT_FALSE(views[i]->operation());
        EXPECT_FALSE(views[i]->imageView()->image());
        EXPECT_FALSE(PdfThumbCache::sharedInstance().containsKey(requests[i]->cacheKey()));
    }
    // The next request starts again.
    auto again = view();
    PdfThumbCache::sharedInstance().thumbRequestPriority(request(again, 1, {22, 28}), true);
    settle();
    EXPECT_TRUE(again->imageView()->image());
}

} // namespace
