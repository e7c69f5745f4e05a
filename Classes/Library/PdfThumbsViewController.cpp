#include "Classes/Library/PdfThumbsViewController.h"

#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Classes/Library/PdfThumbsPageThumb.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/SegmentedControl.h"

namespace {
constexpr double kToolbarHeight = 44;
constexpr double kCellSize = 256;
}

PdfThumbsMainToolbar::PdfThumbsMainToolbar(const gfx::Rect& frame, const std::string& title)
    : BRToolbarView(frame)
{
    double width = bounds().width();
    m_done = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(8, 5, 60, 34));
    m_done->setTitle(Language::stringWithName("BACK"));
    PublicFunction::initializeToBackButtonHeight34(m_done.get());
    m_done->addTarget([this](ui::Control& c) {
        if (m_delegate)
            m_delegate->tappedInToolbarDoneButton(*this, static_cast<ui::Button&>(c));
    }, ui::ControlEventTouchUpInside);
    addSubview(m_done);

    m_view = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(76, 5, 34, 34));
    m_view->setImage(ui::imageNamed("Pdf-View"));
    m_view->setBackgroundImage(SkinManager::skinFromImageName(std::string("Button-default_H34.png")).stretchable(5, 0));
    m_view->addTarget([this](ui::Control& c) {
        if (m_delegate)
            m_delegate->tappedInToolbarViewButton(*this, static_cast<ui::Button&>(c));
    }, ui::ControlEventTouchUpInside);
    addSubview(m_view);

    m_show = std::make_shared<ui::SegmentedControl>(std::vector<std::string>{"", ""}, gfx::Rect(width - 74, 5, 66, 34));
    m_show->setImageForSegmentAtIndex(ui::imageNamed("Pdf-Thumbs"), 0);
    m_show->setImageForSegmentAtIndex(ui::imageNamed("Pdf-Mark-Y"), 1);
    m_show->setTintColor(gfx::Color{96 / 255.0, 121 / 255.0, 152 / 255.0, 1});
    m_show->setBackgroundImage(SkinManager::skinFromImageName(std::string("Button-default_H34.png")));
    m_show->setSelectedSegmentIndex(0);
    m_show->setAutoresizingMask(ui::AutoresizingFlexibleLeftMargin);
    m_show->addTarget([this](ui::Control& c) {
        if (m_delegate)
            m_delegate->tappedInToolbarShowControl(*this, static_cast<ui::SegmentedControl&>(c));
    }, ui::ControlEventValueChanged);
    addSubview(m_show);

    m_title = makeTitleLabel(gfx::Rect(118, 7, width - 200, 30), title);
    addSubview(m_title);
}

std::shared_ptr<PdfThumbsViewController> PdfThumbsViewController::initWithReaderDocumentDocumentName(
    std::shared_ptr<PdfDocument> document, const std::string& name)
{
    if (!document)
        return nullptr;
    return std::make_shared<PdfThumbsViewController>(std::move(document), name);
}

PdfThumbsViewController::PdfThumbsViewController(std::shared_ptr<PdfDocument> document, const std::string& name)
    : m_document(std::move(document))
    , m_docName(name)
{
}

PdfThumbsViewController::~PdfThumbsViewController()
{
    if (m_thumbsView)
        m_thumbsView->setDelegate(nullptr);
    if (m_toolbar)
        m_toolbar->setDelegate(nullptr);
}

void PdfThumbsViewController::viewDidLoad()
{
    auto root = view();
    root->setBackgroundColor(gfx::Color::fromWhite(0.25));
    gfx::Rect b = root->bounds();
    m_toolbar = ui::View::make<PdfThumbsMainToolbar>(gfx::Rect(b.x(), b.y(), b.width(), kToolbarHeight), m_docName);
    m_toolbar->setDelegate(this);
    root->addSubview(m_toolbar);
    m_thumbsView = ui::View::make<PdfThumbsView>(
        gfx::Rect(b.x(), b.y() + kToolbarHeight, b.width(), b.height() - kToolbarHeight));
    m_thumbsView->setDelegate(this);
    root->insertSubviewBelowSubview(m_thumbsView, m_toolbar.get());
    m_thumbsView->setThumbSize({kCellSize, kCellSize});
}

void PdfThumbsViewController::viewWillAppear(bool)
{
    m_thumbsView->reloadThumbsCenterOnIndex(m_document->pageNumber() - 1);
}

void PdfThumbsViewController::viewDidUnload()
{
    m_toolbar.reset();
    m_thumbsView.reset();
}

int PdfThumbsViewController::pageOfIndex(int index) const
{
    if (m_showBookmarked)
        return index >= 0 && size_t(index) < m_bookmarked.size() ? m_bookmarked[size_t(index)] : 0;
    return index + 1;
}

size_t PdfThumbsViewController::numberOfThumbsInThumbsView(PdfThumbsView&)
{
    if (m_showBookmarked)
        return m_bookmarked.size();
    return size_t(std::max(0, m_document->pageCount().value_or(0)));
}

std::shared_ptr<PdfThumbView> PdfThumbsViewController::thumbsViewThumbCellWithFrame(PdfThumbsView&, const gfx::Rect& frame)
{
    return ui::View::make<PdfThumbsPageThumb>(frame);
}

void PdfThumbsViewController::thumbsViewUpdateThumbCellForIndex(PdfThumbsView&, PdfThumbView& cell, int index)
{
    auto& thumb = static_cast<PdfThumbsPageThumb&>(cell);
    int page = pageOfIndex(index);
    thumb.showText(std::to_string(page));
    thumb.showBookmark(m_document->bookmarks().count(page) > 0);
    auto shared = std::static_pointer_cast<PdfThumbView>(thumb.sharedView());
    auto request = PdfThumbRequest::newForView(shared, m_document->fileURL(), m_document->password(), m_document->guid(),
                                               page, thumb.maximumContentSize());
    if (gfx::Image image = PdfThumbCache::sharedInstance().thumbRequestPriority(request, true))
        thumb.showImage(image);
}

void PdfThumbsViewController::thumbsViewRefreshThumbCellForIndex(PdfThumbsView&, PdfThumbView& cell, int index)
{
    static_cast<PdfThumbsPageThumb&>(cell).showBookmark(m_document->bookmarks().count(pageOfIndex(index)) > 0);
}

void PdfThumbsViewController::thumbsViewDidSelectThumbWithIndex(PdfThumbsView&, int index)
{
    if (!m_delegate)
        return;
    m_delegate->thumbsViewControllerGotoPage(*this, pageOfIndex(index));
    m_delegate->dismissThumbsViewController(*this);
}

void PdfThumbsViewController::thumbsViewDidPressThumbWithIndex(PdfThumbsView& view, int index)
{
    int page = pageOfIndex(index);
    auto& marks = m_document->bookmarks();
    if (marks.count(page))
        marks.erase(page);
    else
        marks.insert(page);
    m_updateBookmarked = true;
    view.refreshThumbWithIndex(index);
}

void PdfThumbsViewController::tappedInToolbarShowControl(PdfThumbsMainToolbar&, ui::SegmentedControl& control)
{
    switch (control.selectedSegmentIndex()) {
    case 0:
        m_showBookmarked = false;
        m_markedOffset = m_thumbsView->insetContentOffset();
        m_thumbsView->reloadThumbsContentOffset(m_thumbsOffset);
        break;
    case 1:
        m_showBookmarked = true;
        m_thumbsOffset = m_thumbsView->insetContentOffset();
        if (m_updateBookmarked) {
            m_bookmarked.assign(m_document->bookmarks().begin(), m_document->bookmarks().end());
            m_markedOffset = {0, 0};
            m_updateBookmarked = false;
        }
        m_thumbsView->reloadThumbsContentOffset(m_markedOffset);
        break;
    default:
        break;
    }
}

void PdfThumbsViewController::tappedInToolbarDoneButton(PdfThumbsMainToolbar&, ui::Button&)
{
    if (!m_delegate)
        return;
    auto keep = sharedController();
    // Closing the grid lets go of its delegate: the reader is asked to leave through the
    // pointer taken before.
    PdfThumbsViewControllerDelegate* reader = m_delegate;
    reader->dismissThumbsViewController(*this);
    reader->dismissReaderViewController();
}

void PdfThumbsViewController::tappedInToolbarViewButton(PdfThumbsMainToolbar&, ui::Button&)
{
    if (m_delegate)
        m_delegate->dismissThumbsViewController(*this);
}
