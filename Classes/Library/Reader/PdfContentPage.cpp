#include "Classes/Library/Reader/PdfContentPage.h"

#include "Classes/Library/Reader/PdfDocument.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/PageWorkers.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cairo.h>
#include <climits>
#include <cmath>

std::shared_ptr<PdfContentPage> PdfContentPage::initWithURLPagePassword(const std::string& fileURL, int page,
                                                                        const std::optional<std::string>& password,
                                                                        Unavailable* why)
{
    Unavailable ignored;
    Unavailable& reason = why ? *why : ignored;
    reason = Unavailable::Missing;
    auto document = PdfDocumentOpenShared(fileURL, password);
    if (!document || document->pageCount() < 1)
        return nullptr;
    pdf::DrawOutcome outcome;
    auto pdfPage = document->page(std::clamp(page, 1, document->pageCount()), &outcome);
    if (!pdfPage) {
        reason = outcome == pdf::DrawOutcome::TooCostly ? Unavailable::TooCostly
                 : outcome == pdf::DrawOutcome::Damaged ? Unavailable::Damaged
                                                         : Unavailable::Missing;
        return nullptr;
    }
    return withPage(std::move(document), std::move(pdfPage), why);
}

std::shared_ptr<PdfContentPage> PdfContentPage::withPage(std::shared_ptr<pdf::Document> document,
                                                         std::shared_ptr<pdf::Page> pdfPage, Unavailable* why)
{
    Unavailable ignored;
    Unavailable& reason = why ? *why : ignored;
    reason = Unavailable::Missing;
    if (!document || !pdfPage)
        return nullptr;
    // Even whole points, so the page centres on whole points.
    gfx::Size size = pdfPage->size();
    double w = std::isfinite(size.width) && size.width < 1e6 ? double(int(size.width) & ~1) : 0;
    double h = std::isfinite(size.height) && size.height < 1e6 ? double(int(size.height) & ~1) : 0;
    if (w <= 0 || h <= 0)
        return nullptr;
    // A page that crashed a worker is damaged at any size; one too costly at its fitted size
    // says so when its first tile is asked for.
    if (pdf::PageWorkers::shared().refusal(document->path(), pdfPage->number(), INT_MIN) == pdf::DrawOutcome::Damaged) {
        reason = Unavailable::Damaged;
        return nullptr;
    }
    reason = Unavailable::None;
    return std::make_shared<PdfContentPage>(std::move(document), std::move(pdfPage), gfx::Size{w, h});
}

PdfContentPage::PdfContentPage(std::shared_ptr<pdf::Document> document, std::shared_ptr<pdf::Page> page, gfx::Size size)
    : ui::TiledView(gfx::Rect(0, 0, size.width, size.height))
    , m_document(std::move(document))
    , m_page(std::move(page))
{
    setUserInteractionEnabled(false);
    setAutoresizesSubviews(false);
    setContentMode(ui::ContentMode::Redraw);
    setBackgroundColor(std::nullopt);
    applyTileSettings(*this);
    // Workers read only the page, the fixed bounds and the shared refusal.
    std::shared_ptr<pdf::Page> drawn = m_page;
    gfx::Rect box = bounds();
    std::shared_ptr<Refusal> shared = m_refusal;
    std::weak_ptr<Refusal> refusal = m_refusal;
    setDrawCallback([drawn, box, shared, refusal](gfx::Context& context, const gfx::Rect& rect) {
        pdf::DrawOutcome outcome = drawTile(*drawn, context, rect, box, shared->fitPixelScale.load());
        if (outcome != pdf::DrawOutcome::TooCostly && outcome != pdf::DrawOutcome::Damaged)
            return;
        base::RunLoop::main().post([refusal, outcome] {
            auto told = refusal.lock();
            if (!told || told->told || !told->handler)
                return;
            told->told = true;
            told->handler(outcome == pdf::DrawOutcome::Damaged ? Unavailable::Damaged : Unavailable::TooCostly);
        });
    });
}

pdf::DrawOutcome PdfContentPage::drawTile(const pdf::Page& page, gfx::Context& context, const gfx::Rect& rect,
                                          const gfx::Rect& box, double fitPixelScale)
{
    pdf::DrawOutcome outcome = page.drawOnPaper(context, box);
    if (outcome == pdf::DrawOutcome::Drawn)
        return outcome;
    // Nothing drawn: blank paper, under whatever stands in.
    context.setFillColor(gfx::Color::white());
    context.fillRect(rect);
    if (outcome != pdf::DrawOutcome::TooCostly)
        return outcome;
    // Too costly at this zoom: at its fitted size the page is refused; above it, the tile is
    // drawn once more at the next lower level (half the pixels each way) and stretched, the
    // coarser tiles standing in meanwhile.
    gfx::AffineTransform ctm = context.currentTransform();
    double pixelScale = context.scale() * std::hypot(ctm.a, ctm.b);
    if (!(fitPixelScale > 0) || pixelScale <= fitPixelScale * 1.01)
        return outcome;
    gfx::Size pixels{std::ceil(rect.width() * pixelScale / 2), std::ceil(rect.height() * pixelScale / 2)};
    if (!(pixels.width >= 1 && pixels.height >= 1))
        return pdf::DrawOutcome::Drawn;
    auto lower = gfx::Context::createBitmap(pixels, 1);
    lower->scaleBy(pixelScale / 2, pixelScale / 2);
    lower->translate(-rect.x(), -rect.y());
    lower->setFillColor(gfx::Color::white());
    lower->fillRect(rect);
    if (page.drawStandIn(*lower, box) == pdf::DrawOutcome::Drawn) {
        context.save();
        context.clipToRect(rect);
        context.drawImage(lower->makeImage(), rect);
        context.restore();
    } else {
        // Nothing of its own: the coarser tiles show through.
        cairo_t* cr = context.cairo();
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_fill(cr);
        cairo_restore(cr);
    }
    return pdf::DrawOutcome::Drawn;
}

void PdfContentPage::setFitLevelScale(double pixelScale)
{
    ui::TiledView::setFitLevelScale(pixelScale);
    m_refusal->fitPixelScale = pixelScale;
}

void PdfContentPage::setRefusedHandler(std::function<void(Unavailable)> handler)
{
    m_refusal->handler = std::move(handler);
}

PdfContentPage::~PdfContentPage()
{
    // The page goes before the document it came from.
    detach();
    setDrawCallback({});
    m_page.reset();
    m_document.reset();
}

void PdfContentPage::applyTileSettings(ui::TiledView& view)
{
    ui::Window* window = view.window() ? view.window() : ui::Window::keyWindow();
    double scale = window ? window->scale() : 1;
    gfx::Size size = window ? window->bounds().size : gfx::Size{1024, 768};
    view.setLevelsOfDetail(4);
    view.setLevelsOfDetailBias(ui::TiledView::biasForScale(scale));
    view.setTileSize(ui::TiledView::tileSizeForWindow(scale, size));
}

const std::vector<PdfDocumentLink>& PdfContentPage::links() const
{
    buildAnnotationLinksList();
    return m_links;
}

void PdfContentPage::buildAnnotationLinksList() const
{
    if (m_linksRead)
        return;
    m_linksRead = true;
    m_links.clear();
    // Areas come under the same transform as the drawing, whatever the page's rotation.
    for (auto& link : m_page->links(bounds()))
        m_links.insert(m_links.begin(), PdfDocumentLink{link.area, link.target});
}

pdf::LinkTarget PdfContentPage::linkTargetAt(gfx::Point point) const
{
    for (const auto& link : links())
        if (link.rect.standardized().contains(point))
            return link.target;
    return {};
}

pdf::LinkTarget PdfContentPage::processSingleTap(const ui::GestureRecognizer& recognizer) const
{
    if (recognizer.state() != ui::GestureRecognizer::State::Ended || links().empty())
        return {};
    return linkTargetAt(recognizer.locationInView(this));
}

void PdfContentPage::willMoveToSuperview(ui::View* newSuperview)
{
    if (!newSuperview)
        detach();
}

void PdfContentPage::visibleTilesDidComplete()
{
    if (m_tilesComplete)
        m_tilesComplete();
}

void PdfContentPage::tilesAheadDidComplete()
{
    if (m_tilesComplete)
        m_tilesComplete();
}
