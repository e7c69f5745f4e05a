#include "Classes/Library/Reader/PdfContentView.h"

#include "Platform/Graphics/Resample.h"

#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfContentThumb.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Resample.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kContentInset = 4;

base::WorkerThread& pageQuestions()
{
    // Stopped when the application terminates, when the page workers' waits end too.
    static base::WorkerThread& thread = base::lastingWorkerThread("pdf-pages", "asking for pages");
    return thread;
}

} // namespace

PdfContentView::PdfContentView(const gfx::Rect& frame, int page)
    : ui::ScrollView(frame)
{
    setShowsScrollIndicators(false);
    setContentMode(ui::ContentMode::Redraw);
    setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    setBackgroundColor(std::nullopt);
    setAutoresizesSubviews(false);
    setDelegate(this);
    setTag(page);
}

PdfContentView::PdfContentView(const gfx::Rect& frame, const std::string& fileURL, int page,
                               const std::optional<std::string>& password)
    : PdfContentView(frame, page)
{
    m_page = PdfContentPage::initWithURLPagePassword(fileURL, page, password, &m_unavailable);
    showPage();
}

PdfContentView::PdfContentView(const gfx::Rect& frame, std::shared_ptr<pdf::Document> document,
                               const std::string& fileURL, int page, const std::optional<std::string>& password)
    : PdfContentView(frame, page)
{
    if (document && document->pageCount() >= 1) {
        if (auto known = document->knownPage(std::clamp(page, 1, document->pageCount()))) {
            m_page = PdfContentPage::withPage(std::move(document), std::move(known), &m_unavailable);
            showPage();
            return;
        }
    }
    // Asked off the main thread: a page of a large document may take a worker to its limits.
    m_pending = true;
    std::weak_ptr<bool> alive = m_alive;
    pageQuestions().post([this, alive, document, fileURL, page, password] {
        if (alive.expired())
            return;
        auto opened = document ? document : PdfDocumentOpenShared(fileURL, password);
        pdf::DrawOutcome outcome = pdf::DrawOutcome::Failed;
        std::shared_ptr<pdf::Page> had;
        if (opened && opened->pageCount() >= 1 && !alive.expired())
            had = opened->page(std::clamp(page, 1, opened->pageCount()), &outcome);
        base::RunLoop::main().post([this, alive, opened, had, outcome] {
            if (!alive.expired())
                pageArrived(opened, had, outcome);
        });
    });
}

void PdfContentView::pageArrived(std::shared_ptr<pdf::Document> document, std::shared_ptr<pdf::Page> page,
                                 pdf::DrawOutcome outcome)
{
    m_pending = false;
    if (page)
        m_page = PdfContentPage::withPage(std::move(document), std::move(page), &m_unavailable);
    else
        m_unavailable = outcome == pdf::DrawOutcome::TooCostly ? PdfContentPage::Unavailable::TooCostly
                        : outcome == pdf::DrawOutcome::Damaged  ? PdfContentPage::Unavailable::Damaged
                                                                : PdfContentPage::Unavailable::Missing;
    showPage();
    if (!m_page) {
        showMessage(m_unavailable == PdfContentPage::Unavailable::TooCostly ? m_refusedText : m_damagedText);
        // The page area is final: whoever waits for the page to be drawn waits no longer.
        if (m_message)
            m_message->contentViewPageDrawn(*this);
        return;
    }
    if (auto asked = std::exchange(m_onArrival, {}))
        asked();
}

void PdfContentView::showPage()
{
    if (!m_page)
        return;
    gfx::Rect pageBounds = m_page->bounds();
    m_container = ui::View::make<ui::View>(pageBounds);
    m_container->setAutoresizesSubviews(false);
    m_container->setUserInteractionEnabled(false);
    m_container->setContentMode(ui::ContentMode::Redraw);
    m_container->setAutoresizingMask(ui::AutoresizingNone);
    m_container->setBackgroundColor(gfx::Color::white());
    ui::View::Shadow shadow;
    shadow.offset = {0, 0};
    shadow.radius = 4;
    shadow.opacity = 1;
    shadow.path = pageBounds;
    m_container->setShadow(shadow);

    setContentSize(pageBounds.size);
    setContentInset(gfx::EdgeInsets{kContentInset, kContentInset, kContentInset, kContentInset});
    setContentOffset({-kContentInset, -kContentInset});

    m_thumb = ui::View::make<PdfContentThumb>(pageBounds);
    m_container->addSubview(m_thumb);
    m_container->addSubview(m_page);
    addSubview(m_container);

    updateMinimumMaximumZoom();
    setZoomScale(minimumZoomScale());
    centreContainer();
    // The page goes with this view (the destructor clears the handler).
    m_page->setTilesCompleteHandler([this] { pageTilesComplete(); });
    m_page->setRefusedHandler([this](PdfContentPage::Unavailable why) { pageRefused(why); });
}

PdfContentView::~PdfContentView()
{
    m_alive.reset();
    if (m_page) {
        m_page->setTilesCompleteHandler({});
        m_page->setRefusedHandler({});
    }
    setDelegate(nullptr);
}

void PdfContentView::pageRefused(PdfContentPage::Unavailable why)
{
    if (!m_page)
        return;
    m_page->setTilesCompleteHandler({});
    m_page->setRefusedHandler({});
    m_page->detach();
    m_container->removeFromSuperview();
    m_container.reset();
    m_thumb.reset();
    m_thumbRequest.reset();
    m_page.reset();
    m_unavailable = why;
    setZoomScale(1);
    setContentSize(gfx::Size{});
    showMessage(why == PdfContentPage::Unavailable::Damaged ? m_damagedText : m_refusedText);
    // The page area is final: whoever waits for the page to be drawn waits no longer.
    if (m_message)
        m_message->contentViewPageDrawn(*this);
}

void PdfContentView::showMessage(const std::string& text)
{
    if (!m_messageLabel) {
        m_messageLabel = ui::View::make<ui::Label>(bounds().insetBy(48, 48));
        m_messageLabel->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
        m_messageLabel->setTextAlignment(gfx::TextAlignment::Center);
        m_messageLabel->setNumberOfLines(0);
        m_messageLabel->setFont(gfx::Font::boldSystemFont(20));
        m_messageLabel->setTextColor(gfx::Color::white());
        m_messageLabel->setBackgroundColor(std::nullopt);
        addSubview(m_messageLabel);
    }
    m_messageLabel->setText(text);
}

void PdfContentView::showPageThumbPagePasswordGuid(const std::string& fileURL, int page,
                                                   const std::optional<std::string>& password,
                                                   const std::string& guid, bool priority)
{
    if (m_pending) {
        m_onArrival = [this, fileURL, page, password, guid, priority] {
            showPageThumbPagePasswordGuid(fileURL, page, password, guid, priority);
        };
        return;
    }
    if (!m_thumb)
        return;
    // A small stand-in, shown stretched under the page until its tiles are drawn: quick to make,
    // and kept in the thumbnail cache for the next visit.
    m_thumbRequest = PdfThumbRequest::newForView(m_thumb, fileURL, password, guid, page, gfx::Size{240, 240});
    // A page already drawn gives its picture before the cache is asked, which then has it.
    if (m_page->visibleTilesComplete())
        makeThumbFromTiles();
    gfx::Image image = PdfThumbCache::sharedInstance().thumbRequestPriority(m_thumbRequest, priority);
    if (image)
        m_thumb->showImage(image);
}

void PdfContentView::drawPageAheadPasswordGuid(const std::string& fileURL, int page,
                                               const std::optional<std::string>& password, const std::string& guid)
{
    if (m_pending) {
        m_onArrival = [this, fileURL, page, password, guid] { drawPageAheadPasswordGuid(fileURL, page, password, guid); };
        return;
    }
    if (!m_thumb)
        return;
    m_thumbRequest = PdfThumbRequest::newForView(m_thumb, fileURL, password, guid, page, gfx::Size{240, 240});
    // A picture made earlier (in memory) shows as it is; the tiles are drawn all the same.
    if (gfx::Image made = PdfThumbCache::sharedInstance().finishedImage(m_thumbRequest->cacheKey()))
        m_thumb->showImage(made);
    if (m_page->tilesAheadComplete())
        makeThumbFromTiles();
    else
        m_page->drawAhead();
}

void PdfContentView::pageTilesComplete()
{
    makeThumbFromTiles();
    showThumbWhereTilesAreDue();
    if (m_message)
        m_message->contentViewPageDrawn(*this);
}

void PdfContentView::makeThumbFromTiles()
{
    if (!m_thumbRequest || m_thumb->imageView()->image() || m_thumb->targetKey() != m_thumbRequest->cacheKey())
        return;
    if (gfx::Image image = pictureFromTiles(*m_thumbRequest)) {
        PdfThumbKeep(m_thumbRequest, image, false);
        m_thumb->showImage(image);
    }
}

bool PdfContentView::keepPictureFromTiles(const std::shared_ptr<PdfThumbRequest>& request)
{
    auto view = request ? request->thumbView() : nullptr;
    if (!view || view->targetKey() != request->cacheKey() || view->imageView()->image())
        return false;
    gfx::Image image = pictureFromTiles(*request);
    if (!image)
        return false;
    PdfThumbKeep(request, image, false);
    view->showImage(image);
    return true;
}

gfx::Image PdfContentView::pictureFromTiles(const PdfThumbRequest& request) const
{
    if (!m_page || request.thumbPage() != tag() || PdfThumbCache::sharedInstance().finishedImage(request.cacheKey()))
        return {};
    gfx::Size pixels = PdfThumbPixelSize(m_page->pageSize(), request);
    gfx::Size page = m_page->bounds().size;
    if (!(pixels.width > 0) || !(page.width > 0) || !(page.height > 0))
        return {};
    // The page's own picture and the page bar's are often of one size: made once for both.
    int drawn = m_page->tilesDrawn();
    if (m_madePicture.image && m_madePicture.pixels == pixels && m_madePicture.scale == request.scale()
        && m_madePicture.tilesDrawn == drawn)
        return m_madePicture.image;
    // The page bar's small pictures come from a larger one made already, not from the tiles again.
    if (m_madePicture.image && m_madePicture.tilesDrawn == drawn && m_madePicture.pixels.width >= 2 * pixels.width
        && m_madePicture.pixels.height >= 2 * pixels.height) {
        gfx::SurfaceRef smaller = gfx::areaAveragedSurface(
            m_madePicture.image.cairoSurface(), m_madePicture.pixels.width, m_madePicture.pixels.height,
            int(std::round(pixels.width)), int(std::round(pixels.height)));
        if (smaller)
            return gfx::Image::fromSurface(smaller.get(), request.scale());
    }
    auto context = gfx::Context::createBitmap(pixels, 1);
    if (!context)
        return {};
    context->setFillColor(gfx::Color::white());
    context->fillRect(gfx::Rect(gfx::Point{}, pixels));
    context->scaleBy(pixels.width / page.width, pixels.height / page.height);
    // Zoomed in, the tiles do not hold the whole page: the picture is drawn as usual then.
    if (!m_page->drawFromKeptTiles(*context) || context->error())
        return {};
    m_madePicture = {pixels, request.scale(), drawn,
                     gfx::Image::fromSurface(cairo_get_target(context->cairo()), request.scale())};
    return m_madePicture.image;
}

void PdfContentView::updateMinimumMaximumZoom()
{
    if (!m_page)
        return;
    gfx::Rect target = bounds().insetBy(kContentInset, kContentInset);
    gfx::Size page = m_page->bounds().size;
    double minimum = std::min(target.width() / page.width, target.height() / page.height);
    if (!(minimum > 0))
        minimum = 0.01;
    setMinimumZoomScale(minimum);
    setMaximumZoomScale(minimum * 3);
    m_zoomAmount = (maximumZoomScale() - minimumZoomScale()) / 3;
    // At rest at the minimum the page is drawn at just the pixels it shows, not at the next
    // power of two (an image page costs its picture's scaling per pixel).
    ui::Window* shownIn = window() ? window() : ui::Window::keyWindow();
    m_page->setFitLevelScale(minimum * (shownIn ? shownIn->scale() : 1));
}

void PdfContentView::boundsDidChange(const gfx::Rect& oldBounds)
{
    ui::ScrollView::boundsDidChange(oldBounds);
    if (!m_page || oldBounds.size == bounds().size)
        return;
    double oldMinimum = minimumZoomScale();
    double zoom = zoomScale();
    updateMinimumMaximumZoom();
    if (zoom <= oldMinimum || zoom < minimumZoomScale())
        setZoomScale(minimumZoomScale());
    else if (zoom > maximumZoomScale())
        setZoomScale(maximumZoomScale());
    setNeedsLayout();
}

void PdfContentView::willMoveToSuperview(ui::View* newSuperview)
{
    ui::ScrollView::willMoveToSuperview(newSuperview);
    if (!newSuperview && m_page)
        m_page->detach();
}

void PdfContentView::zoomIncrement()
{
    if (zoomScale() < maximumZoomScale())
        setZoomScale(std::min(zoomScale() + m_zoomAmount, maximumZoomScale()), true);
}

void PdfContentView::zoomDecrement()
{
    if (zoomScale() > minimumZoomScale())
        setZoomScale(std::max(zoomScale() - m_zoomAmount, minimumZoomScale()), true);
}

void PdfContentView::loopZoom()
{
    if (zoomScale() + 0.000001 < maximumZoomScale())
        zoomIncrement();
    else
        setZoomScale(minimumZoomScale(), true);
}

void PdfContentView::zoomReset()
{
    if (zoomScale() > minimumZoomScale())
        setZoomScale(minimumZoomScale(), false);
}

pdf::LinkTarget PdfContentView::processSingleTap(const ui::GestureRecognizer& recognizer) const
{
    return m_page ? m_page->processSingleTap(recognizer) : pdf::LinkTarget{};
}

void PdfContentView::layoutSubviews()
{
    ui::ScrollView::layoutSubviews();
    centreContainer();
}

void PdfContentView::showThumbWhereTilesAreDue()
{
    // Under the page's own tiles, all drawn, the picture would be scaled and drawn unseen.
    if (m_thumb && m_page)
        m_thumb->setHidden(m_page->tilesAheadComplete());
}

void PdfContentView::centreContainer()
{
    showThumbWhereTilesAreDue();
    if (!m_container)
        return;
    gfx::Rect frame = m_container->frame();
    gfx::Size view = bounds().size;
    gfx::Point offset = contentOffset();
    double x = frame.width() < view.width ? (view.width - frame.width()) / 2 + offset.x : 0;
    double y = frame.height() < view.height ? (view.height - frame.height()) / 2 + offset.y : 0;
    m_container->setCenter({x + frame.width() / 2, y + frame.height() / 2});
}

void PdfContentView::touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    ui::ScrollView::touchesBegan(touches, event);
    if (m_message)
        m_message->contentViewTouchesBegan(*this, touches);
}
