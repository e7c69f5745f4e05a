#pragma once
#include "Classes/Library/Reader/PdfContentView.h"
#include "Classes/Library/PdfMainPagebar.h"
#include "Classes/Library/PdfMainToolbar.h"
#include "Classes/Library/PdfThumbsViewController.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/ActionSheet.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/ViewController.h"

#include <map>
#include <set>
#include <memory>
#include <string>

class PdfDocument;
class PdfViewController;
namespace base {
class Timer;
}
namespace ui {
class TapGestureRecognizer;
}

class PdfViewControllerDelegate {
public:
    virtual ~PdfViewControllerDelegate() = default;
    // The user left the reader.
    virtual void dismissReaderViewController(PdfViewController&) {}
};

// The full-screen PDF reader: pages side by side in a paging strip of at most three views,
// a top toolbar and a bottom page bar that fade while reading, links, zoom, bookmarks and
// sharing. Keeps the record's page and bookmarks and saves it on leaving.
class PdfViewController : public ui::ViewController,
                          public PdfMainToolbarDelegate,
                          public PdfMainPagebarDelegate,
                          public PdfContentViewDelegate,
                          public PdfThumbsViewControllerDelegate,
                          public ui::ScrollViewDelegate,
                          public ui::GestureRecognizerDelegate,
                          public ui::ActionSheetDelegate {
public:
    // Nothing for no document.
    static std::shared_ptr<PdfViewController> initWithReaderDocumentDocumentName(std::shared_ptr<PdfDocument> document,
                                                                                 const std::string& name);
    PdfViewController(std::shared_ptr<PdfDocument> document, const std::string& name);
    ~PdfViewController() override;
    const char* className() const override { return "PdfViewController"; }

    // Not retained; the owner clears it.
    void setDelegate(PdfViewControllerDelegate* delegate) { m_delegate = delegate; }
    PdfViewControllerDelegate* delegate() const { return m_delegate; }

    void showDocumentPage(int page);
    // The same as the toolbar's back button.
    void dismissReaderViewController() override;
    // The thumbnail grid.
    void thumbsViewControllerGotoPage(PdfThumbsViewController&, int page) override;
    void dismissThumbsViewController(PdfThumbsViewController& grid) override;

    const std::shared_ptr<PdfDocument>& document() const { return m_document; }
    int currentPage() const { return m_currentPage; }
    const std::map<int, std::shared_ptr<PdfContentView>>& contentViews() const { return m_contentViews; }
    const std::shared_ptr<ui::ScrollView>& scrollView() const { return m_scrollView; }
    const std::shared_ptr<PdfMainToolbar>& mainToolbar() const { return m_toolbar; }
    const std::shared_ptr<PdfMainPagebar>& mainPagebar() const { return m_pagebar; }
    const std::shared_ptr<ui::ActionSheet>& shareSheet() const { return m_shareSheet; }
    const std::string& docName() const { return m_docName; }

    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskAll; }
    bool shouldAutorotate() const override { return true; }
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    // A turn closes the share sheet and lays the pages out again at the new size.
    void willRotateToInterfaceOrientationDuration(ui::InterfaceOrientation to, double duration) override;
    void willAnimateRotationToInterfaceOrientationDuration(ui::InterfaceOrientation to, double duration) override;
    void viewDidUnload() override;

    // Toolbar, page bar, page views.
    void tappedInToolbarDoneButton(PdfMainToolbar&, ui::Button&) override;
    void tappedInToolbarThumbsButton(PdfMainToolbar&, ui::Button&) override;
    void tappedInToolbarMarkButton(PdfMainToolbar&, ui::Button&) override;
    void tappedInToolbarShareButton(PdfMainToolbar&, ui::Button& button) override;
    void pagebarGotoPage(PdfMainPagebar&, int page) override;
    void contentViewTouchesBegan(PdfContentView& view, const std::vector<ui::Touch*>& touches) override;
    void contentViewPageDrawn(PdfContentView& view) override;
    // Paging strip.
    void scrollViewDidEndDecelerating(ui::ScrollView&) override;
    void scrollViewDidEndScrollingAnimation(ui::ScrollView&) override;
    // Left/Right and Page Up/Page Down turn a page, Home and End go to the first and last.
    bool scrollViewHandleKey(ui::ScrollView&, const std::string& key) override;
    // Taps only on the strip and the pages, never on the bars.
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) override;
    bool gestureRecognizerShouldRecognizeSimultaneously(ui::GestureRecognizer& a, ui::GestureRecognizer& b) override;
    void actionSheetClickedButtonAtIndex(ui::ActionSheet&, int index) override;

    // A hook for the share actions (e-mail, print, open in); the default does them.
    void emailAction();
    void printAction();
    void openInAction();

    // The views re-laid after a change of size, the current page kept in view.
    void updateScrollViewContentViews();
    // Bars hidden this long ago or more may be shown by a tap.
    static constexpr double kShowDelay = 0.75;
    static constexpr double kTapArea = 48;
    static constexpr int64_t kMailSizeLimit = 52428800;

private:
    void updateScrollViewContentSize();
    void showDocument();
    bool finishInterruptedTurn();
    void incrementPageNumber();
    void decrementPageNumber();
    void handleSingleTap(gfx::Point point, ui::GestureRecognizer& recognizer);
    void handleDoubleTap(gfx::Point point);
    void updateBookmarkState();
    void dismissPopControllers();
    void applicationWill();
    void openLink(const pdf::LinkTarget& target);
    void showAlert(const std::string& title, const std::string& message);
    void holdRendersForShownPage();
    void showWaitingPreviews();

    std::shared_ptr<PdfDocument> m_document;
    std::string m_docName;
    std::shared_ptr<ui::ScrollView> m_scrollView;
    std::shared_ptr<PdfMainToolbar> m_toolbar;
    std::shared_ptr<PdfMainPagebar> m_pagebar;
    std::map<int, std::shared_ptr<PdfContentView>> m_contentViews;
    std::shared_ptr<ui::TapGestureRecognizer> m_singleTap, m_doubleTap, m_doubleTapTwo;
    // The single tap waits for the double tap to fail: held here until then.
    std::shared_ptr<base::Timer> m_singleTapTimer;
    std::shared_ptr<ui::ActionSheet> m_shareSheet;
    std::shared_ptr<base::Timer> m_showTimer;
    // The other pages' pictures wait for the shown page's tiles, and every render is held till
    // then, so opening and turning draw the page once before anything else; the timer lets
    // them go should the tiles not come (a window that draws nothing).
    std::set<int> m_previewsWaiting;
    std::shared_ptr<void> m_rendersHeld;
    std::shared_ptr<base::Timer> m_previewTimer;
    gfx::Rect m_rectToShow;
    gfx::Size m_lastAppearSize;
    base::Date m_lastHideTime;
    int m_currentPage = 0;
    bool m_isVisible = false;
    PdfViewControllerDelegate* m_delegate = nullptr;
    base::ObserverToken m_resignObserver, m_terminateObserver;
};
