#include "Classes/Library/PdfContentPage.h"

#include "Classes/Library/PdfDocument.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/PageWorkers.h"
#include "Platform/Pdf/PageCost.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/Window.h"

#include <algorithm>
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
    auto pdfPage = document->page(std::clamp(page, 1, document->pageCount()));
    if (!pdfPage)
        return nullptr;
    // Even whole points, so the page centres on whole points.
    gfx::Size size = pdfPage->size();
    double w = std::isfinite(size.width) && size.width < 1e6 ? double(int(size.width) & ~1) : 0;
    double h = std::isfinite(size.height) && size.height < 1e6 ? double(int(size.height) & ~1) : 0;
    if (w <= 0 || h <= 0)
        return nullptr;
    // Pages are drawn by workers under limits; a page the file's own objects or an earlier
    // drawing already show to be beyond them says so at once, before any worker is asked.
    if (!pdf::pageIsDrawable(fileURL, pdfPage->number()) ||
        pdf::PageWorkers::shared().wasRefused(fileURL, pdfPage->number())) {
        reason = Unavailable::TooCostly;
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
    // Workers read only the page and the fixed bounds.
    std::shared_ptr<pdf::Page> drawn = m_page;
    gfx::Rect box = bounds();
    std::weak_ptr<Refusal> refusal = m_refusal;
    setDrawCallback([drawn, box, refusal](gfx::Context& context, const gfx::Rect& rect) {
        context.setFillColor(gfx::Color::white());
        context.fillRect(rect);
        if (drawn->drawInWorker(context, box) != pdf::DrawOutcome::TooCostly)
            return;
        base::RunLoop::main().post([refusal] {
            auto told = refusal.lock();
            if (!told || told->told || !told->handler)
                return;
            told->told = true;
            told->handler();
        });
    });
}

void PdfContentPage::setRefusedHandler(std::function<void()> handler)
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
