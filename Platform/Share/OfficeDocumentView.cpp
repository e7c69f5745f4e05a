#include "Platform/Share/OfficeDocumentView.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Share/DocumentOpener.h"
#include "Platform/Share/OfficeConverter.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TiledView.h"
#include "Platform/UI/Window.h"

#include <optional>

namespace share {

namespace {

// Conversions run one after another on a thread of their own.
base::WorkerThread& conversionThread()
{
    // A running conversion is ended when the application terminates.
    static base::WorkerThread& thread = base::lastingWorkerThread("office-convert", "office conversions");
    return thread;
}

// One page of the converted document, drawn white under the page in tiles off the main thread
// by the page workers, as the reader draws its pages. Its size is fixed: a new width makes a
// new view.
class OfficePageView : public ui::TiledView {
public:
    OfficePageView(const gfx::Rect& frame, std::shared_ptr<pdf::Page> page, std::string refusedText)
        : ui::TiledView(frame)
        , m_page(std::move(page))
        , m_refusedText(std::move(refusedText))
    {
        setBackgroundColor(gfx::Color::white());
        setUserInteractionEnabled(false);
        ui::Window* window = ui::Window::keyWindow();
        double scale = window ? window->scale() : 1;
        setLevelsOfDetail(4);
        setLevelsOfDetailBias(ui::TiledView::biasForScale(scale));
        setTileSize(ui::TiledView::tileSizeForWindow(scale, window ? window->bounds().size : gfx::Size{1024, 768}));
        std::shared_ptr<pdf::Page> drawn = m_page;
        gfx::Rect box = bounds();
        std::weak_ptr<bool> alive = m_alive;
        setDrawCallback([this, drawn, box, alive](gfx::Context& context, const gfx::Rect& rect) {
            context.setFillColor(gfx::Color::white());
            context.fillRect(rect);
            auto outcome = drawn->draw(context, box);
            // A page the workers give up on says so where it stands.
            if (outcome == pdf::DrawOutcome::TooCostly || outcome == pdf::DrawOutcome::Damaged)
                base::RunLoop::main().post([this, alive] {
                    if (!alive.expired())
                        showRefused();
                });
        });
    }
    ~OfficePageView() override
    {
        *m_alive = false;
        detach();
        setDrawCallback({});
    }
    // Set once a drawing of the page was refused.
    const std::shared_ptr<ui::Label>& refusedLabel() const { return m_refused; }
    const char* className() const override { return "OfficePageView"; }
    const std::shared_ptr<pdf::Page>& page() const { return m_page; }
    gfx::Size pageSize() const { return m_page->size(); }
    // Read once: the driver and screen readers find the page by its words.
    std::string accessibilityText() const override
    {
        if (!m_text)
            m_text = m_page->text();
        return *m_text;
    }

private:
    void showRefused()
    {
        if (m_refused)
            return;
        m_refused = ui::View::make<ui::Label>(bounds().insetBy(24, 24));
        m_refused->setNumberOfLines(0);
        m_refused->setTextAlignment(gfx::TextAlignment::Center);
        m_refused->setFont(gfx::Font("Helvetica-Bold", 20));
        m_refused->setTextColor(gfx::Color{0.3, 0.3, 0.3, 1});
        m_refused->setBackgroundColor(std::nullopt);
        m_refused->setText(m_refusedText);
        addSubview(m_refused);
    }

    std::shared_ptr<pdf::Page> m_page;
    std::string m_refusedText;
    mutable std::optional<std::string> m_text;
    std::shared_ptr<ui::Label> m_refused;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// What a converted document turned out to be, read by the page workers off the main thread.
struct Opened {
    std::shared_ptr<pdf::Document> document;
    std::vector<std::shared_ptr<pdf::Page>> pages;
};

Opened openConverted(const std::string& pdfPath)
{
    Opened opened;
    auto result = pdf::Document::open(pdfPath);
    if (!result.document || result.document->pageCount() < 1)
        return opened;
    for (int number = 1; number <= result.document->pageCount(); ++number) {
        auto page = result.document->page(number);
        if (!page)
            return {};
        opened.pages.push_back(std::move(page));
    }
    opened.document = result.document;
    return opened;
}

const char* reasonText(OfficeConverter::Status status)
{
    switch (status) {
    case OfficeConverter::Status::MissingFile:
        return "the file cannot be read";
    case OfficeConverter::Status::NoConverter:
        return "no office suite is installed";
    case OfficeConverter::Status::TimedOut:
        return "the conversion took too long";
    case OfficeConverter::Status::Protected:
        return "the file is protected by a password";
    case OfficeConverter::Status::Damaged:
        return "the file is damaged";
    default:
        return "the conversion failed";
    }
}

} // namespace

OfficeDocumentView::OfficeDocumentView(const gfx::Rect& frame) : ui::View(frame)
{
    // The textured grey a document stands on.
    setBackgroundColor(gfx::Color{0.44, 0.46, 0.50, 1});
    m_scroll = ui::View::make<ui::ScrollView>(bounds());
    m_scroll->setAlwaysBounceVertical(true);
    addSubview(m_scroll);
    m_message = ui::View::make<ui::Label>(gfx::Rect(40, 40, frame.size.width - 80, 120));
    m_message->setNumberOfLines(0);
    m_message->setTextAlignment(gfx::TextAlignment::Center);
    m_message->setTextColor(gfx::Color::white());
    m_message->setFont(gfx::Font("Helvetica-Bold", 20));
    m_message->setBackgroundColor(std::nullopt);
    m_message->setHidden(true);
    addSubview(m_message);
}

OfficeDocumentView::~OfficeDocumentView() { *m_alive = false; }

void OfficeDocumentView::setFailureMessages(std::string handedOver, std::string notHandedOver)
{
    m_handedOverText = std::move(handedOver);
    m_notHandedOverText = std::move(notHandedOver);
}

void OfficeDocumentView::setProblemMessages(std::string locked, std::string damaged)
{
    m_lockedText = std::move(locked);
    m_damagedText = std::move(damaged);
}

std::string OfficeDocumentView::failureMessage() const
{
    return m_message->isHidden() ? std::string() : m_message->text();
}

void OfficeDocumentView::loadFile(const std::string& path)
{
    m_path = path;
    m_pdfPath.clear();
    m_document.reset();
    for (auto& page : m_pages)
        page->removeFromSuperview();
    m_pages.clear();
    m_pageSources.clear();
    m_message->setHidden(true);
    m_loading = true;
    uint64_t generation = ++m_generation;
    if (m_delegate)
        m_delegate->officeDocumentViewDidStartLoad(*this);
    std::weak_ptr<bool> alive = m_alive;
    auto kept = OfficeConverter::cachedPdfPath(path);
    conversionThread().post([this, alive, generation, path, kept] {
        auto result = kept ? OfficeConverter::convertTo(path, *kept)
                           : OfficeConverter::Result{OfficeConverter::Status::MissingFile, {}};
        // The application is ending: nobody waits for the document, and nothing is handed on.
        if (result.status == OfficeConverter::Status::Stopped)
            return;
        // Read by the workers here, so the main thread never waits on a document.
        auto opened = std::make_shared<Opened>();
        if (result.ok())
            *opened = openConverted(result.pdfPath);
        base::RunLoop::main().post([this, alive, generation, result, opened] {
            // The view went, or a newer load replaced this one.
            if (alive.expired() || generation != m_generation)
                return;
            if (result.ok())
                finish(result.pdfPath, opened->document, opened->pages);
            else if (result.status == OfficeConverter::Status::Protected)
                fail(reasonText(result.status), false, &m_lockedText);
            else if (result.status == OfficeConverter::Status::Damaged)
                fail(reasonText(result.status), false, &m_damagedText);
            else
                fail(reasonText(result.status));
        });
    });
}

void OfficeDocumentView::finish(const std::string& pdfPath, std::shared_ptr<pdf::Document> document,
                                std::vector<std::shared_ptr<pdf::Page>> pages)
{
    // A converted document the workers could not read (damaged, or over their limits).
    if (!document || pages.empty()) {
        fail("the converted document cannot be read", false, &m_damagedText);
        return;
    }
    m_loading = false;
    m_document = std::move(document);
    m_pdfPath = pdfPath;
    m_pageSources = std::move(pages);
    m_laidOutWidth = -1;
    layoutPages();
    m_scroll->setContentOffset({0, 0});
    if (m_delegate)
        m_delegate->officeDocumentViewDidFinishLoad(*this);
}

void OfficeDocumentView::fail(const std::string& reason, bool handOver, const std::string* text)
{
    m_loading = false;
    // Sharing still works on the file: the desktop's own application may show it.
    bool handedOver = handOver && DocumentOpener::shared().open(m_path);
    m_message->setText(text ? *text : handedOver ? m_handedOverText : m_notHandedOverText);
    m_message->setHidden(false);
    if (m_delegate)
        m_delegate->officeDocumentViewDidFailLoad(*this, reason);
}

void OfficeDocumentView::layoutSubviews()
{
    m_scroll->setFrame(bounds());
    m_message->setFrame(gfx::Rect(40, 40, std::max(0.0, bounds().size.width - 80), 120));
    layoutPages();
}

void OfficeDocumentView::layoutPages()
{
    if (m_pageSources.empty())
        return;
    double width = std::max(0.0, bounds().size.width - 2 * kPageMargin);
    // Tiles belong to one size of page: another width makes the pages anew.
    bool remake = width != m_laidOutWidth;
    m_laidOutWidth = width;
    if (remake) {
        for (auto& page : m_pages)
            page->removeFromSuperview();
        m_pages.clear();
    }
    double y = kPageMargin;
    for (size_t i = 0; i < m_pageSources.size(); ++i) {
        gfx::Size size = m_pageSources[i]->size();
        double height = size.width > 0 ? width * size.height / size.width : 0;
        gfx::Rect frame(kPageMargin, y, width, height);
        if (remake) {
            auto view = ui::View::make<OfficePageView>(frame, m_pageSources[i], m_damagedText);
            m_scroll->addSubview(view);
            m_pages.push_back(view);
        } else {
            m_pages[i]->setFrame(frame);
        }
        y += height + kPageMargin;
    }
    m_scroll->setContentSize(gfx::Size{bounds().size.width, y});
}

double OfficeDocumentView::contentHeight() const { return m_scroll->contentSize().height; }

int OfficeDocumentView::pageCount() const { return m_document ? m_document->pageCount() : 0; }

gfx::Image OfficeDocumentView::imageOfVisiblePart(double scale) const
{
    gfx::Size size = bounds().size;
    if (size.width <= 0 || size.height <= 0)
        return {};
    auto context = gfx::Context::createBitmap(size, scale);
    context->setFillColor(gfx::Color::white());
    context->fillRect(gfx::Rect(gfx::Point{}, size));
    // The scroll view alone, which fills the bounds: what stands on the grey stays on paper.
    ui::renderView(*m_scroll, *context);
    // The pages in view whole, whatever tiles are drawn yet.
    gfx::Rect shown(m_scroll->contentOffset(), size);
    for (const auto& view : m_pages) {
        gfx::Rect frame = view->frame();
        if (!frame.intersects(shown))
            continue;
        context->save();
        context->clipToRect(frame.offsetBy(-shown.x(), -shown.y()).intersection(gfx::Rect(gfx::Point{}, size)));
        static_cast<OfficePageView&>(*view).page()->draw(*context, frame.offsetBy(-shown.x(), -shown.y()));
        context->restore();
    }
    return context->makeImage();
}

} // namespace share
