#include "Platform/Share/OfficeDocumentView.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/Document.h"
#include "Platform/Share/DocumentOpener.h"
#include "Platform/Share/OfficeConverter.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/Window.h"

#include <optional>

namespace share {

namespace {

// Conversions run one after another on a thread of their own.
base::WorkerThread& conversionThread()
{
    // Never destroyed; stopped and joined when the application terminates (a running
    // conversion is ended then).
    static base::WorkerThread* thread = [] {
        auto* made = new base::WorkerThread("office-convert");
        base::BackgroundWork::add("office conversions", [made] { return made->stop(); });
        return made;
    }();
    return *thread;
}

// One page of the converted document, drawn white under the page.
class OfficePageView : public ui::View {
public:
    OfficePageView(std::shared_ptr<pdf::Page> page) : m_page(std::move(page))
    {
        setBackgroundColor(gfx::Color::white());
    }
    const char* className() const override { return "OfficePageView"; }
    void drawRect(gfx::Context& context, const gfx::Rect&) override { m_page->draw(context, bounds()); }
    gfx::Size pageSize() const { return m_page->size(); }
    // Read once: the driver and screen readers find the page by its words.
    std::string accessibilityText() const override
    {
        if (!m_text)
            m_text = m_page->text();
        return *m_text;
    }

private:
    std::shared_ptr<pdf::Page> m_page;
    mutable std::optional<std::string> m_text;
};

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
        base::RunLoop::main().post([this, alive, generation, result] {
            // The view went, or a newer load replaced this one.
            if (alive.expired() || generation != m_generation)
                return;
            if (result.ok())
                finish(result.pdfPath);
            else if (result.status == OfficeConverter::Status::Protected)
                fail(reasonText(result.status), false, &m_lockedText);
            else if (result.status == OfficeConverter::Status::Damaged)
                fail(reasonText(result.status), false, &m_damagedText);
            else
                fail(reasonText(result.status));
        });
    });
}

void OfficeDocumentView::finish(const std::string& pdfPath)
{
    auto opened = pdf::Document::open(pdfPath);
    if (!opened.document || opened.document->pageCount() < 1) {
        fail("the converted document cannot be read");
        return;
    }
    m_loading = false;
    m_document = opened.document;
    m_pdfPath = pdfPath;
    for (int number = 1; number <= m_document->pageCount(); ++number) {
        auto page = ui::View::make<OfficePageView>(m_document->page(number));
        m_scroll->addSubview(page);
        m_pages.push_back(page);
    }
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
    double width = std::max(0.0, bounds().size.width - 2 * kPageMargin);
    double y = kPageMargin;
    for (auto& view : m_pages) {
        auto size = static_cast<OfficePageView&>(*view).pageSize();
        double height = size.width > 0 ? width * size.height / size.width : 0;
        view->setFrame(gfx::Rect(kPageMargin, y, width, height));
        y += height + kPageMargin;
    }
    if (!m_pages.empty())
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
    return context->makeImage();
}

} // namespace share
