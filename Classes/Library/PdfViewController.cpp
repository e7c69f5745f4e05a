#include "Classes/Library/PdfViewController.h"

#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Common/Language.h"
#include "Common/UIHelpers.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Timer.h"
#include "Platform/Pdf/PageWorkers.h"
#include "Platform/Share/DocumentOpener.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/Share/Printer.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/Touch.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kToolbarHeight = 44;
constexpr double kPagebarHeight = 48;
constexpr double kFirstShowDelay = 0.02;
// How long the other pages' pictures wait at most for the shown page's tiles.
constexpr double kPreviewWait = 2;
// About one frame: what follows the shown page's tiles waits for the frame that shows them.
constexpr double kFrameWait = 1.0 / 60;
// How long a second tap may take: the single tap is held until then.
constexpr double kDoubleTapWindow = 0.35;

bool hasScheme(const std::string& url)
{
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    for (size_t i = 0; i < colon; ++i) {
        char c = url[i];
        bool ok = std::isalpha(static_cast<unsigned char>(c)) ||
                  (i > 0 && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return false;
    }
    return true;
}

std::string lower(std::string text)
{
    for (auto& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::shared_ptr<PdfViewController> PdfViewController::initWithReaderDocumentDocumentName(
    std::shared_ptr<PdfDocument> document, const std::string& name)
{
    if (!document)
        return nullptr;
    return std::make_shared<PdfViewController>(std::move(document), name);
}

PdfViewController::PdfViewController(std::shared_ptr<PdfDocument> document, const std::string& name)
    : m_document(std::move(document))
    , m_docName(name)
{
    auto& center = base::NotificationCenter::defaultCenter();
    m_terminateObserver = center.addObserver(ui::Application::kWillTerminateNotification, nullptr,
                                             [this](const base::Notification&) { applicationWill(); });
    m_resignObserver = center.addObserver(ui::Application::kWillResignActiveNotification, nullptr,
                                          [this](const base::Notification&) { applicationWill(); });
    m_document->updateProperties();
    PdfThumbCache::touchThumbCacheWithGUID(m_document->guid());
}

PdfViewController::~PdfViewController()
{
    for (auto* timer : {&m_singleTapTimer, &m_showTimer, &m_previewTimer})
        if (*timer)
            (*timer)->invalidate();
    if (m_scrollView)
        m_scrollView->setDelegate(nullptr);
    if (m_toolbar)
        m_toolbar->setDelegate(nullptr);
    if (m_pagebar)
        m_pagebar->setDelegate(nullptr);
    for (auto& [page, view] : m_contentViews)
        view->setMessage(nullptr);
    if (m_shareSheet)
        m_shareSheet->setDelegate(nullptr);
}

void PdfViewController::loadView()
{
    auto* window = ui::Window::keyWindow();
    gfx::Size size = window ? window->bounds().size : ui::Window::kScreenSize;
    auto root = std::make_shared<ui::View>(gfx::Rect(gfx::Point{}, size));
    root->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    setView(root);
}

void PdfViewController::viewDidLoad()
{
    // From the start: the page bar asks for its pictures before the first page shows.
    holdRendersForShownPage();
    auto root = view();
    // The platform's textured background: a dark linen grey.
    root->setBackgroundColor(gfx::Color::fromWhite(0.25));
    gfx::Rect b = root->bounds();

    m_scrollView = ui::View::make<ui::ScrollView>(b);
    m_scrollView->setPagingEnabled(true);
    m_scrollView->setShowsScrollIndicators(false);
    m_scrollView->setContentMode(ui::ContentMode::Redraw);
    m_scrollView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_scrollView->setBackgroundColor(std::nullopt);
    m_scrollView->setUserInteractionEnabled(true);
    m_scrollView->setAutoresizesSubviews(false);
    m_scrollView->setDelegate(this);
    root->addSubview(m_scrollView);

    m_toolbar = ui::View::make<PdfMainToolbar>(gfx::Rect(b.x(), b.y(), b.width(), kToolbarHeight), m_document, m_docName);
    m_toolbar->setDelegate(this);
    root->addSubview(m_toolbar);

    m_pagebar = ui::View::make<PdfMainPagebar>(gfx::Rect(b.x(), b.height() - kPagebarHeight, b.width(), kPagebarHeight),
                                              m_document);
    m_pagebar->setDelegate(this);
    // A page drawn already (the one shown, or a neighbour drawn ahead) gives the page bar its
    // picture from its tiles.
    m_pagebar->setPagePictureSource([this](const std::shared_ptr<PdfThumbRequest>& request) {
        auto found = m_contentViews.find(request->thumbPage());
        return found != m_contentViews.end() && found->second->keepPictureFromTiles(request);
    });
    root->addSubview(m_pagebar);

    std::weak_ptr<ui::ViewController> weak = sharedController();
    m_singleTap = std::make_shared<ui::TapGestureRecognizer>();
    m_singleTap->setNumberOfTouchesRequired(1);
    m_singleTap->setNumberOfTapsRequired(1);
    m_singleTap->setDelegate(this);
    m_singleTap->addTarget([this, weak](ui::GestureRecognizer& r) {
        if (r.state() != ui::GestureRecognizer::State::Ended)
            return;
        // Held until a double tap can no longer come.
        gfx::Point point = r.locationInView(view().get());
        if (m_singleTapTimer)
            m_singleTapTimer->invalidate();
        auto recognizer = std::static_pointer_cast<ui::GestureRecognizer>(r.shared_from_this());
        m_singleTapTimer = base::Timer::scheduled(kDoubleTapWindow, false, [weak, point, recognizer](base::Timer&) {
            auto self = std::static_pointer_cast<PdfViewController>(weak.lock());
            if (!self)
                return;
            self->m_singleTapTimer.reset();
            self->handleSingleTap(point, *recognizer);
        });
    });
    root->addGestureRecognizer(m_singleTap);

    auto doubleAction = [this](ui::GestureRecognizer& r) {
        if (r.state() != ui::GestureRecognizer::State::Ended)
            return;
        if (m_singleTapTimer) {
            m_singleTapTimer->invalidate();
            m_singleTapTimer.reset();
        }
        handleDoubleTap(r.locationInView(view().get()));
    };
    m_doubleTap = std::make_shared<ui::TapGestureRecognizer>();
    m_doubleTap->setNumberOfTouchesRequired(1);
    m_doubleTap->setNumberOfTapsRequired(2);
    m_doubleTap->setDelegate(this);
    m_doubleTap->addTarget(doubleAction);
    root->addGestureRecognizer(m_doubleTap);
    m_doubleTapTwo = std::make_shared<ui::TapGestureRecognizer>();
    m_doubleTapTwo->setNumberOfTouchesRequired(2);
    m_doubleTapTwo->setNumberOfTapsRequired(2);
    m_doubleTapTwo->setDelegate(this);
    m_doubleTapTwo->addTarget(doubleAction);
    root->addGestureRecognizer(m_doubleTapTwo);

    m_contentViews.clear();
    m_lastHideTime = base::Date::now();
}

bool PdfViewController::gestureRecognizerShouldRecognizeSimultaneously(ui::GestureRecognizer& a,
                                                                      ui::GestureRecognizer& b)
{
    // The single tap waits for the double one itself (held on a timer), so neither beats the other.
    auto ours = [this](ui::GestureRecognizer& r) {
        return &r == m_singleTap.get() || &r == m_doubleTap.get() || &r == m_doubleTapTwo.get();
    };
    return ours(a) && ours(b);
}

bool PdfViewController::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch)
{
    return dynamic_cast<ui::ScrollView*>(touch.view()) != nullptr;
}

void PdfViewController::viewWillAppear(bool)
{
    if (m_lastAppearSize.width != 0 && m_lastAppearSize != view()->bounds().size)
        updateScrollViewContentViews();
    m_lastAppearSize = {};
}

void PdfViewController::viewDidAppear(bool)
{
    if (m_scrollView->contentSize().width == 0 && !m_showTimer) {
        std::weak_ptr<ui::ViewController> weak = sharedController();
        m_showTimer = base::Timer::scheduled(kFirstShowDelay, false, [weak](base::Timer&) {
            if (auto self = std::static_pointer_cast<PdfViewController>(weak.lock())) {
                self->m_showTimer.reset();
                self->showDocument();
            }
        });
    }
}

void PdfViewController::willRotateToInterfaceOrientationDuration(ui::InterfaceOrientation, double)
{
    if (m_isVisible)
        dismissPopControllers();
}

void PdfViewController::willAnimateRotationToInterfaceOrientationDuration(ui::InterfaceOrientation, double)
{
    // The views have their turned size by now: the pages follow, the current one in view.
    if (m_isVisible)
        updateScrollViewContentViews();
    m_lastAppearSize = {};
}

void PdfViewController::viewWillDisappear(bool)
{
    // The grid or whatever covers the reader needs the renders.
    showWaitingPreviews();
    m_lastAppearSize = view()->bounds().size;
}

void PdfViewController::viewDidUnload()
{
    m_toolbar.reset();
    m_pagebar.reset();
    m_scrollView.reset();
    m_contentViews.clear();
    m_lastAppearSize = {};
    m_currentPage = 0;
}

void PdfViewController::updateScrollViewContentSize()
{
    int count = std::min(m_document->pageCount().value_or(0), 3);
    gfx::Size size = m_scrollView->bounds().size;
    m_scrollView->setContentSize({size.width * count, size.height});
}

void PdfViewController::showDocument()
{
    updateScrollViewContentSize();
    int count = m_document->pageCount().value_or(0);
    // A saved page past the end (a shorter file since) shows the nearest page.
    if (count > 0)
        showDocumentPage(std::clamp(m_document->pageNumber(), 1, count));
    m_document->setLastOpen(base::Date::now());
    m_isVisible = true;
}

void PdfViewController::showDocumentPage(int page)
{
    int count = m_document->pageCount().value_or(0);
    if (page == m_currentPage || page < 1 || page > count)
        return;
    int minPage = 1, maxPage = count;
    if (count > 3) {
        if (page == 1)
            maxPage = 3;
        else if (page == count)
            minPage = count - 2;
        else {
            minPage = page - 1;
            maxPage = page + 1;
        }
    }
    auto leftovers = m_contentViews;
    std::vector<int> created;
    // The page shown first: a page asked for off the main thread is answered before its
    // neighbours.
    std::vector<int> order{page};
    for (int n = minPage; n <= maxPage; ++n)
        if (n != page)
            order.push_back(n);
    gfx::Rect first(gfx::Point{}, m_scrollView->bounds().size);
    for (int n : order) {
        gfx::Rect frame = first.offsetBy(first.width() * (n - minPage), 0);
        auto found = m_contentViews.find(n);
        if (found != m_contentViews.end()) {
            found->second->setFrame(frame);
            found->second->zoomReset();
            leftovers.erase(n);
        } else {
            auto content = std::make_shared<PdfContentView>(frame, m_document->openDocument(), m_document->fileURL(), n,
                                                            m_document->password());
            m_scrollView->addSubview(content);
            m_contentViews[n] = content;
            content->setMessage(this);
            content->setRefusedText(Language::stringWithName("PDFPAGETOOLARGE"));
            content->setDamagedText(Language::stringWithName("PDFPAGECANNOTBESHOWN"));
            // Where a page cannot be drawn, the page area says why rather than staying blank.
            if (!content->contentPage() && !content->isPagePending())
                content->showMessage(Language::stringWithName(
                    content->unavailable() == PdfContentPage::Unavailable::TooCostly ? "PDFPAGETOOLARGE"
                                                                                       : "PDFPAGECANNOTBESHOWN"));
            created.push_back(n);
        }
    }
    for (auto& [n, content] : leftovers) {
        content->setMessage(nullptr);
        content->removeFromSuperview();
        m_contentViews.erase(n);
    }
    double width = m_scrollView->bounds().width();
    double x = 0;
    if (count >= 3)
        x = page == count ? 2 * width : page == 1 ? 0 : width;
    else
        x = page == 2 ? width : 0;
    gfx::Point offset{x, 0};
    if (m_scrollView->contentOffset() != offset)
        m_scrollView->setContentOffset(offset, false);
    if (m_document->pageNumber() != page)
        m_document->setPageNumber(page);
    // The new current page gets its picture first; the others, from the last, once its tiles
    // are drawn (its picture then comes from them).
    bool shownNew = std::find(created.begin(), created.end(), page) != created.end();
    std::erase_if(m_previewsWaiting, [&](int n) { return !m_contentViews.count(n); });
    m_previewsWaiting.insert(created.begin(), created.end());
    if (m_previewsWaiting.erase(page) || shownNew)
        m_contentViews[page]->showPageThumbPagePasswordGuid(m_document->fileURL(), page, m_document->password(),
                                                            m_document->guid());
    auto shown = m_contentViews[page]->contentPage();
    bool drawn = shown ? shown->visibleTilesComplete() : !m_contentViews[page]->isPagePending();
    if (!drawn)
        holdRendersForShownPage();
    m_pagebar->updatePagebar();
    if (drawn)
        showWaitingPreviews();
    updateBookmarkState();
    m_currentPage = page;
}

void PdfViewController::holdRendersForShownPage()
{
    if (!m_rendersHeld)
        m_rendersHeld = PdfThumbQueue::sharedInstance().holdRenders();
    if (m_previewTimer)
        m_previewTimer->invalidate();
    std::weak_ptr<ui::ViewController> weak = sharedController();
    m_previewTimer = base::Timer::scheduled(kPreviewWait, false, [weak](base::Timer&) {
        if (auto self = std::static_pointer_cast<PdfViewController>(weak.lock()))
            self->showWaitingPreviews();
    });
}

void PdfViewController::contentViewPageDrawn(PdfContentView& view)
{
    if (view.tag() != m_currentPage)
        return;
    // The page bar's pictures of the page, large and small, come from the same tiles.
    view.keepPictureFromTiles(m_pagebar->pageThumbRequest());
    view.keepPictureFromTiles(m_pagebar->miniThumbRequest(view.tag()));
    // The rest waits for the frame that shows the page, so as not to slow it.
    if (m_previewTimer)
        m_previewTimer->invalidate();
    std::weak_ptr<ui::ViewController> weak = sharedController();
    m_previewTimer = base::Timer::scheduled(kFrameWait, false, [weak](base::Timer&) {
        if (auto self = std::static_pointer_cast<PdfViewController>(weak.lock()))
            self->showWaitingPreviews();
    });
}

void PdfViewController::showWaitingPreviews()
{
    if (m_previewTimer) {
        m_previewTimer->invalidate();
        m_previewTimer.reset();
    }
    m_rendersHeld.reset();
    // The neighbours are drawn ahead: a turn then shows its page at once, and their pictures
    // come from those tiles instead of drawing each page a second time.
    auto waiting = std::exchange(m_previewsWaiting, {});
    for (auto it = waiting.rbegin(); it != waiting.rend(); ++it)
        if (auto found = m_contentViews.find(*it); found != m_contentViews.end())
            found->second->drawPageAheadPasswordGuid(m_document->fileURL(), *it, m_document->password(),
                                                     m_document->guid());
}

void PdfViewController::updateScrollViewContentViews()
{
    if (!m_scrollView)
        return;
    updateScrollViewContentSize();
    gfx::Point offset;
    gfx::Rect frame(gfx::Point{}, m_scrollView->bounds().size);
    for (auto& [n, content] : m_contentViews) {
        content->setFrame(frame);
        if (n == m_document->pageNumber())
            offset = frame.origin;
        frame = frame.offsetBy(frame.width(), 0);
    }
    if (m_scrollView->contentOffset() != offset)
        m_scrollView->setContentOffset(offset, false);
}

void PdfViewController::scrollViewDidEndDecelerating(ui::ScrollView& scrollView)
{
    // A drag that interrupted a turn ends it too.
    scrollView.setTag(0);
    double x = scrollView.contentOffset().x;
    for (auto& [n, content] : m_contentViews)
        if (std::abs(content->frame().x() - x) < 0.5) {
            if (n != 0)
                showDocumentPage(n);
            break;
        }
}

void PdfViewController::scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView)
{
    int target = scrollView.tag();
    scrollView.setTag(0);
    showDocumentPage(target);
}

bool PdfViewController::scrollViewHandleKey(ui::ScrollView& scrollView, const std::string& key)
{
    if (&scrollView != m_scrollView.get() || !m_document)
        return false;
    int count = m_document->pageCount().value_or(0);
    if (key == "right" || key == "pagedown")
        incrementPageNumber();
    else if (key == "left" || key == "pageup")
        decrementPageNumber();
    else if (key == "home" || key == "end") {
        if (m_scrollView->tag() == 0) // not in the middle of a turn
            showDocumentPage(key == "home" ? 1 : count);
    } else
        return false;
    return true;
}

void PdfViewController::incrementPageNumber()
{
    if (m_scrollView->tag() != 0)
        return;
    int count = m_document->pageCount().value_or(0);
    int page = m_document->pageNumber();
    if (count < 2 || page >= count)
        return;
    gfx::Point offset = m_scrollView->contentOffset();
    offset.x += m_scrollView->bounds().width();
    m_scrollView->setTag(page + 1);
    m_scrollView->setContentOffset(offset, true);
}

void PdfViewController::decrementPageNumber()
{
    if (m_scrollView->tag() != 0)
        return;
    int count = m_document->pageCount().value_or(0);
    int page = m_document->pageNumber();
    if (count < 2 || page <= 1)
        return;
    gfx::Point offset = m_scrollView->contentOffset();
    offset.x -= m_scrollView->bounds().width();
    m_scrollView->setTag(page - 1);
    m_scrollView->setContentOffset(offset, true);
}

void PdfViewController::openLink(const pdf::LinkTarget& target)
{
    std::string url = target.url;
    if (!hasScheme(url) && url.rfind("www", 0) == 0)
        url = "http://" + url;
    // A document must not start programs or open local files through the desktop's opener.
    std::string scheme = lower(url.substr(0, url.find(':')));
    if (!hasScheme(url) || (scheme != "http" && scheme != "https" && scheme != "mailto")) {
        base::logf("PdfViewController: link not opened: %s", url.c_str());
        return;
    }
    ui::Application::shared().openURL(url);
}

bool PdfViewController::finishInterruptedTurn()
{
    // A touch stops the strip's animation where it is; the turn ends at its page at once and
    // the tap itself is taken as one during the turn.
    int target = m_scrollView->tag();
    if (target == 0)
        return false;
    m_scrollView->setTag(0);
    m_currentPage = 0;
    showDocumentPage(target);
    return true;
}

void PdfViewController::handleSingleTap(gfx::Point point, ui::GestureRecognizer& recognizer)
{
    if (finishInterruptedTurn())
        return;
    gfx::Rect b = view()->bounds();
    gfx::Rect centre(b.x() + kTapArea, b.y(), b.width() - 2 * kTapArea, b.height());
    if (centre.contains(point)) {
        auto found = m_contentViews.find(m_document->pageNumber());
        pdf::LinkTarget target;
        if (found != m_contentViews.end() && found->second->contentPage()) {
            auto page = found->second->contentPage();
            target = page->linkTargetAt(view()->convertPointToView(point, page.get()));
        }
        (void)recognizer;
        switch (target.kind) {
        case pdf::LinkTarget::Kind::Url:
            openLink(target);
            break;
        case pdf::LinkTarget::Kind::Page:
            showDocumentPage(target.page);
            break;
        case pdf::LinkTarget::Kind::None:
            if (base::Date::now().timeIntervalSince(m_lastHideTime) > kShowDelay &&
                (m_toolbar->isHidden() || m_pagebar->isHidden())) {
                m_toolbar->showToolbar();
                m_pagebar->showPagebar();
            }
            break;
        }
        return;
    }
    if (gfx::Rect(b.width() - kTapArea, b.y(), kTapArea, b.height()).contains(point))
        incrementPageNumber();
    else if (gfx::Rect(b.x(), b.y(), kTapArea, b.height()).contains(point))
        decrementPageNumber();
}

void PdfViewController::handleDoubleTap(gfx::Point point)
{
    if (finishInterruptedTurn())
        return;
    gfx::Rect b = view()->bounds();
    if (b.insetBy(kTapArea, kTapArea).contains(point)) {
        auto found = m_contentViews.find(m_document->pageNumber());
        if (found != m_contentViews.end())
            found->second->loopZoom();
        return;
    }
    if (gfx::Rect(b.width() - kTapArea, b.y(), kTapArea, b.height()).contains(point))
        incrementPageNumber();
    else if (gfx::Rect(b.x(), b.y(), kTapArea, b.height()).contains(point))
        decrementPageNumber();
}

void PdfViewController::contentViewTouchesBegan(PdfContentView&, const std::vector<ui::Touch*>& touches)
{
    if (m_toolbar->isHidden() && m_pagebar->isHidden())
        return;
    if (touches.size() == 1) {
        gfx::Point point = touches.front()->locationInView(view().get());
        if (!view()->bounds().insetBy(kTapArea, kTapArea).contains(point))
            return;
    }
    m_toolbar->hideToolbar();
    m_pagebar->hidePagebar();
    m_lastHideTime = base::Date::now();
}

void PdfViewController::updateBookmarkState()
{
    m_toolbar->setBookmarkState(m_document->bookmarks().count(m_document->pageNumber()) > 0);
}

void PdfViewController::tappedInToolbarMarkButton(PdfMainToolbar&, ui::Button&)
{
    dismissPopControllers();
    int page = m_document->pageNumber();
    if (m_document->bookmarks().count(page)) {
        m_toolbar->setBookmarkState(false);
        m_document->bookmarks().erase(page);
    } else {
        m_toolbar->setBookmarkState(true);
        m_document->bookmarks().insert(page);
    }
}

void PdfViewController::tappedInToolbarThumbsButton(PdfMainToolbar&, ui::Button&)
{
    dismissPopControllers();
    showWaitingPreviews();
    auto grid = PdfThumbsViewController::initWithReaderDocumentDocumentName(m_document, m_docName);
    if (!grid)
        return;
    grid->setDelegate(this);
    grid->setTitle(title());
    grid->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    presentViewController(grid, false);
}

void PdfViewController::thumbsViewControllerGotoPage(PdfThumbsViewController&, int page)
{
    showDocumentPage(page);
}

void PdfViewController::dismissThumbsViewController(PdfThumbsViewController& grid)
{
    updateBookmarkState();
    grid.setDelegate(nullptr);
    dismissViewController(false);
}

void PdfViewController::pagebarGotoPage(PdfMainPagebar&, int page)
{
    showDocumentPage(page);
}

void PdfViewController::tappedInToolbarShareButton(PdfMainToolbar&, ui::Button& button)
{
    if (!m_shareSheet) {
        m_shareSheet = std::make_shared<ui::ActionSheet>(
            "", this, "", "",
            std::vector<std::string>{Language::stringWithName("EMAIL"), Language::stringWithName("PRINT"),
                                     Language::stringWithName("OPENINOTHERAPP")});
    }
    if (!m_shareSheet->isVisible()) {
        m_rectToShow = button.convertRectToView(button.bounds(), view().get());
        m_shareSheet->showFromRect(m_rectToShow, view().get(), true);
    }
}

void PdfViewController::actionSheetClickedButtonAtIndex(ui::ActionSheet&, int index)
{
    switch (index) {
    case 0:
        emailAction();
        break;
    case 1:
        printAction();
        break;
    case 2:
        openInAction();
        break;
    default:
        break;
    }
}

void PdfViewController::showAlert(const std::string& title, const std::string& message)
{
    auto alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("OK"),
                                                 std::vector<std::string>{});
    alert->show();
}

void PdfViewController::emailAction()
{
    auto& mail = share::MailComposer::shared();
    if (!mail.canSendMail()) {
        showAlert(Language::stringWithName("NOTIFICATION"), Language::stringWithName("NOEMAILCONFIG"));
        return;
    }
    if ((m_document->fileSize() >> 21) > 24)
        return;
    auto bytes = base::FileManager::readFile(m_document->fileURL());
    if (!bytes)
        return;
    std::string name = m_document->fileName();
    mail.setUnsentHandler(showUnsentMail);
    auto result = mail.compose(name, {}, share::Attachment{std::move(*bytes), "application/pdf", name});
    if (result == share::MailResult::Sent)
        showAlert(Language::stringWithName("FILEHAVSBEENEMAILED"), "");
    else if (result == share::MailResult::Failed) {
        base::logf("sending mail error:%s", "the message could not be written");
        showAlert(Language::stringWithName("MAILFAILED"), "");
    } else if (result == share::MailResult::Saved && !mail.unsentMessagePath().empty()) {
        showUnsentMail(mail.unsentMessagePath());
    }
}

void PdfViewController::printAction()
{
    auto result = share::Printer::shared().printFile(m_document->fileURL(), m_document->fileName(), true);
    if (!result.savedPath.empty())
        showAlert(Language::stringWithName("PRINTSAVED"), result.savedPath);
}

void PdfViewController::openInAction()
{
    if (!share::DocumentOpener::shared().open(m_document->fileURL(), "application/pdf"))
        showAlert(Language::stringWithName("NOTIFICATION"), Language::stringWithName("PLEASEDOWNLOADREADER"));
}

void PdfViewController::dismissPopControllers()
{
    if (m_shareSheet && m_shareSheet->isVisible())
        m_shareSheet->dismissWithClickedButtonIndex(-1, false);
}

void PdfViewController::tappedInToolbarDoneButton(PdfMainToolbar&, ui::Button&)
{
    dismissReaderViewController();
}

void PdfViewController::dismissReaderViewController()
{
    m_document->saveReaderDocument();
    if (m_previewTimer)
        m_previewTimer->invalidate();
    m_previewTimer.reset();
    m_previewsWaiting.clear();
    m_rendersHeld.reset();
    PdfThumbQueue::sharedInstance().cancelOperationsWithGUID(m_document->guid());
    // A page still being drawn is ended with its worker, whatever it asks of it.
    pdf::PageWorkers::shared().stopDocument(m_document->fileURL());
    PdfThumbCache::sharedInstance().removeAllObjects();
    dismissPopControllers();
    if (m_delegate)
        m_delegate->dismissReaderViewController(*this);
}

void PdfViewController::applicationWill()
{
    m_document->saveReaderDocument();
}
