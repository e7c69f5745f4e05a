#pragma once
#include "Classes/Library/BRToolbarView.h"

#include <climits>
#include <memory>
#include <string>

class PdfDocument;
class PdfMainToolbar;
namespace ui {
class Button;
class Label;
}

class PdfMainToolbarDelegate {
public:
    virtual ~PdfMainToolbarDelegate() = default;
    virtual void tappedInToolbarDoneButton(PdfMainToolbar& toolbar, ui::Button& button) = 0;
    virtual void tappedInToolbarThumbsButton(PdfMainToolbar& toolbar, ui::Button& button) = 0;
    virtual void tappedInToolbarMarkButton(PdfMainToolbar& toolbar, ui::Button& button) = 0;
    virtual void tappedInToolbarShareButton(PdfMainToolbar& toolbar, ui::Button& button) = 0;
};

// The reader's top bar: back, thumbnails, the document's name, bookmark and share.
class PdfMainToolbar : public BRToolbarView {
public:
    PdfMainToolbar(const gfx::Rect& frame, const std::shared_ptr<PdfDocument>& document, const std::string& documentName);
    const char* className() const override { return "PdfMainToolbar"; }

    // Not retained; the owner clears it.
    void setDelegate(PdfMainToolbarDelegate* delegate) { m_delegate = delegate; }
    void setBookmarkState(bool state);
    void updateBookmarkImage();
    void hideToolbar();
    void showToolbar();

    const std::shared_ptr<ui::Button>& doneButton() const { return m_done; }
    const std::shared_ptr<ui::Button>& thumbsButton() const { return m_thumbs; }
    const std::shared_ptr<ui::Button>& markButton() const { return m_mark; }
    const std::shared_ptr<ui::Button>& shareButton() const { return m_share; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_title; }
    static constexpr int kNoState = INT_MIN;

private:
    std::shared_ptr<ui::Button> m_done, m_thumbs, m_mark, m_share;
    std::shared_ptr<ui::Label> m_title;
    PdfMainToolbarDelegate* m_delegate = nullptr;
};
