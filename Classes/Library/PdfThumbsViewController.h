#pragma once
#include "Classes/Library/BRToolbarView.h"
#include "Classes/Library/PdfThumbsView.h"
#include "Platform/UI/ViewController.h"

#include <memory>
#include <string>
#include <vector>

class PdfDocument;
class PdfThumbsViewController;
class PdfThumbsMainToolbar;
namespace ui {
class Button;
class Label;
class SegmentedControl;
}

class PdfThumbsMainToolbarDelegate {
public:
    virtual ~PdfThumbsMainToolbarDelegate() = default;
    virtual void tappedInToolbarDoneButton(PdfThumbsMainToolbar&, ui::Button&) = 0;
    virtual void tappedInToolbarViewButton(PdfThumbsMainToolbar&, ui::Button&) = 0;
    virtual void tappedInToolbarShowControl(PdfThumbsMainToolbar&, ui::SegmentedControl&) = 0;
};

// The grid's top bar: back, back to the page, the all-pages / bookmarks switch and the title.
class PdfThumbsMainToolbar : public BRToolbarView {
public:
    PdfThumbsMainToolbar(const gfx::Rect& frame, const std::string& title);
    const char* className() const override { return "PdfThumbsMainToolbar"; }
    void setDelegate(PdfThumbsMainToolbarDelegate* delegate) { m_delegate = delegate; }
    const std::shared_ptr<ui::Button>& doneButton() const { return m_done; }
    const std::shared_ptr<ui::Button>& viewButton() const { return m_view; }
    const std::shared_ptr<ui::SegmentedControl>& showControl() const { return m_show; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_title; }

private:
    std::shared_ptr<ui::Button> m_done, m_view;
    std::shared_ptr<ui::SegmentedControl> m_show;
    std::shared_ptr<ui::Label> m_title;
    PdfThumbsMainToolbarDelegate* m_delegate = nullptr;
};

class PdfThumbsViewControllerDelegate {
public:
    virtual ~PdfThumbsViewControllerDelegate() = default;
    virtual void thumbsViewControllerGotoPage(PdfThumbsViewController&, int page) = 0;
    virtual void dismissThumbsViewController(PdfThumbsViewController&) = 0;
    virtual void dismissReaderViewController() = 0;
};

// The pages of the open PDF as a grid over the reader: all pages or the bookmarked ones; a tap
// goes to the page, a long press toggles its bookmark.
class PdfThumbsViewController : public ui::ViewController,
                                public PdfThumbsViewDelegate,
                                public PdfThumbsMainToolbarDelegate {
public:
    static std::shared_ptr<PdfThumbsViewController> initWithReaderDocumentDocumentName(std::shared_ptr<PdfDocument> document,
                                                                                       const std::string& name);
    PdfThumbsViewController(std::shared_ptr<PdfDocument> document, const std::string& name);
    ~PdfThumbsViewController() override;
    const char* className() const override { return "PdfThumbsViewController"; }

    void setDelegate(PdfThumbsViewControllerDelegate* delegate) { m_delegate = delegate; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskAll; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidUnload() override;

    size_t numberOfThumbsInThumbsView(PdfThumbsView&) override;
    std::shared_ptr<PdfThumbView> thumbsViewThumbCellWithFrame(PdfThumbsView&, const gfx::Rect& frame) override;
    void thumbsViewUpdateThumbCellForIndex(PdfThumbsView&, PdfThumbView& cell, int index) override;
    void thumbsViewDidSelectThumbWithIndex(PdfThumbsView&, int index) override;
    bool answersRefresh() const override { return true; }
    void thumbsViewRefreshThumbCellForIndex(PdfThumbsView&, PdfThumbView& cell, int index) override;
    bool answersPress() const override { return true; }
    void thumbsViewDidPressThumbWithIndex(PdfThumbsView&, int index) override;

    void tappedInToolbarDoneButton(PdfThumbsMainToolbar&, ui::Button&) override;
    void tappedInToolbarViewButton(PdfThumbsMainToolbar&, ui::Button&) override;
    void tappedInToolbarShowControl(PdfThumbsMainToolbar&, ui::SegmentedControl& control) override;

    const std::shared_ptr<PdfThumbsView>& thumbsView() const { return m_thumbsView; }
    const std::shared_ptr<PdfThumbsMainToolbar>& mainToolbar() const { return m_toolbar; }
    const std::vector<int>& bookmarked() const { return m_bookmarked; }
    bool showBookmarked() const { return m_showBookmarked; }

private:
    int pageOfIndex(int index) const;

    std::shared_ptr<PdfDocument> m_document;
    std::string m_docName;
    std::shared_ptr<PdfThumbsMainToolbar> m_toolbar;
    std::shared_ptr<PdfThumbsView> m_thumbsView;
    std::vector<int> m_bookmarked;
    gfx::Point m_thumbsOffset, m_markedOffset;
    bool m_updateBookmarked = true;
    bool m_showBookmarked = false;
    PdfThumbsViewControllerDelegate* m_delegate = nullptr;
};
