#pragma once
#include "Platform/Pdf/Document.h"
#include "Platform/UI/TiledView.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class GestureRecognizer;
}

// A link of a page, its area in the page view's coordinates and its resolved target.
struct PdfDocumentLink {
    gfx::Rect rect;
    pdf::LinkTarget target;
};

// One page of a PDF drawn in tiles (the tiled settings of the reader: 4 levels, the bias and
// tile size of the window), with the page's links for taps. Opens its own copy of the document.
class PdfContentPage : public ui::TiledView {
public:
    // Why a page has no view: it cannot be had, drawing it at its fitted size passed a
    // worker's limits, or it crashed the worker.
    enum class Unavailable { None, Missing, TooCostly, Damaged };
    // Nothing when the document or the page cannot be had, or when the page is known to be
    // damaged (`why` tells which). The page is clamped to 1..count.
    // Opens the document and asks for the page: waits for workers (tools and tests).
    static std::shared_ptr<PdfContentPage> initWithURLPagePassword(const std::string& fileURL, int page,
                                                                   const std::optional<std::string>& password,
                                                                   Unavailable* why = nullptr);
    // The view of a page already had; asks no worker.
    static std::shared_ptr<PdfContentPage> withPage(std::shared_ptr<pdf::Document> document,
                                                    std::shared_ptr<pdf::Page> page, Unavailable* why = nullptr);
    PdfContentPage(std::shared_ptr<pdf::Document> document, std::shared_ptr<pdf::Page> page, gfx::Size size);
    ~PdfContentPage() override;
    const char* className() const override { return "PdfContentPage"; }

    int pageNumber() const { return m_page->number(); }
    // The page's own size in points, rotation applied (the bounds are rounded to even points).
    gfx::Size pageSize() const { return m_page->size(); }
    // Runs on the main thread each time arriving tiles complete the visible part, or the whole
    // page drawn ahead.
    void setTilesCompleteHandler(std::function<void()> handler) { m_tilesComplete = std::move(handler); }
    // Runs on the main thread once the page's drawing at its fitted size went over the workers'
    // limits, or crashed a worker: TooCostly or Damaged.
    void setRefusedHandler(std::function<void(Unavailable)> handler);
    // The fitted level, which the page's refusal is judged at as well.
    void setFitLevelScale(double pixelScale);
    // One tile: drawn by a worker; when too costly above the fitted size, drawn again once at
    // half the pixels. Answers what refuses the page (TooCostly or Damaged at the fitted size).
    static pdf::DrawOutcome drawTile(const pdf::Page& page, gfx::Context& context, const gfx::Rect& rect,
                                     const gfx::Rect& box, double fitPixelScale);
    int pageAngle() const { return m_page->rotation(); }
    // Last annotation first, as a tap looks them up.
    const std::vector<PdfDocumentLink>& links() const;
    // The target of the first link under the tap; none unless the gesture ended.
    pdf::LinkTarget processSingleTap(const ui::GestureRecognizer& recognizer) const;
    pdf::LinkTarget linkTargetAt(gfx::Point point) const;

    // The reader's tile settings on a tiled view, for the current window.
    static void applyTileSettings(ui::TiledView& view);

protected:
    // Tiles stop before the view leaves.
    void willMoveToSuperview(ui::View* newSuperview) override;
    void visibleTilesDidComplete() override;
    void tilesAheadDidComplete() override;

private:
    void buildAnnotationLinksList() const;

    std::shared_ptr<pdf::Document> m_document;
    std::shared_ptr<pdf::Page> m_page;
    // Read on first use: a manual's named links walk its whole name tree, which a page shown
    // without a tap on it never needs.
    mutable std::vector<PdfDocumentLink> m_links;
    mutable bool m_linksRead = false;
    std::function<void()> m_tilesComplete;
    // Shared with the tile workers, which post to it; read on the main thread.
    struct Refusal {
        std::function<void(Unavailable)> handler;
        bool told = false;
        std::atomic<double> fitPixelScale{0};
    };
    std::shared_ptr<Refusal> m_refusal = std::make_shared<Refusal>();
};
