#pragma once
#include "Classes/Library/Reader/PdfContentPage.h"
#include "Platform/Pdf/Document.h"
#include "Platform/UI/ScrollView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class PdfContentThumb;
class PdfThumbRequest;

namespace ui {
class Label;
}
class PdfContentView;

// Hears touches beginning on a page view (the reader hides its bars then).
class PdfContentViewDelegate {
public:
    virtual ~PdfContentViewDelegate() = default;
    virtual void contentViewTouchesBegan(PdfContentView& view, const std::vector<ui::Touch*>& touches) {}
    // The page's visible tiles are all drawn.
    virtual void contentViewPageDrawn(PdfContentView& view) {}
};

// One zoomable page: a white container with a shadow holding the page's picture under the
// tiled page itself, centred while smaller than the view. Its tag is its page number.
class PdfContentView : public ui::ScrollView, public ui::ScrollViewDelegate {
public:
    // Opens the document and asks for the page here: waits for workers (tools and tests).
    PdfContentView(const gfx::Rect& frame, const std::string& fileURL, int page,
                   const std::optional<std::string>& password);
    // The page of an open document: shown at once when the document's opening described it,
    // else asked for off the main thread and shown when the answer comes (the page pending
    // meanwhile). Without a document, the document is opened there too.
    PdfContentView(const gfx::Rect& frame, std::shared_ptr<pdf::Document> document, const std::string& fileURL,
                   int page, const std::optional<std::string>& password);
    ~PdfContentView() override;
    const char* className() const override { return "PdfContentView"; }

    // Asks the thumbnail cache for the page's picture (240 x 240) under the page, first in line
    // or after the rest. A picture still missing when the whole page's tiles are drawn is made
    // from them: the page is not drawn a second time for it.
    void showPageThumbPagePasswordGuid(const std::string& fileURL, int page,
                                       const std::optional<std::string>& password, const std::string& guid,
                                       bool priority = true);
    // A neighbour of the page on screen: its tiles are drawn ahead, so that a turn to it shows
    // it at once, and its picture is made from them rather than drawn a second time.
    // Another picture of this page (the page bar's) made from its kept tiles, kept and shown
    // as a drawn one would be; false when the tiles do not hold the whole page or the picture
    // is there already.
    bool keepPictureFromTiles(const std::shared_ptr<PdfThumbRequest>& request);
    void drawPageAheadPasswordGuid(const std::string& fileURL, int page, const std::optional<std::string>& password,
                                   const std::string& guid);
    void zoomIncrement();
    void zoomDecrement();
    // One step up, or back to the minimum from the top.
    void loopZoom();
    void zoomReset();
    pdf::LinkTarget processSingleTap(const ui::GestureRecognizer& recognizer) const;

    // Not retained; the owner clears it.
    void setMessage(PdfContentViewDelegate* message) { m_message = message; }
    PdfContentViewDelegate* message() const { return m_message; }

    // Nothing when the page could not be had; then the reason, and a message in its place.
    const std::shared_ptr<PdfContentPage>& contentPage() const { return m_page; }
    // The page was asked for and its answer has not come yet.
    bool isPagePending() const { return m_pending; }
    PdfContentPage::Unavailable unavailable() const { return m_unavailable; }
    void showMessage(const std::string& text);
    // What the page area says when a drawing worker gives the page up (in the user's language;
    // the reader's engine has no language tables of its own).
    void setRefusedText(std::string text) { m_refusedText = std::move(text); }
    // And when drawing the page crashes a worker.
    void setDamagedText(std::string text) { m_damagedText = std::move(text); }
    const std::shared_ptr<ui::Label>& messageLabel() const { return m_messageLabel; }
    const std::shared_ptr<PdfContentThumb>& thumbView() const { return m_thumb; }
    const std::shared_ptr<ui::View>& containerView() const { return m_container; }
    double zoomAmount() const { return m_zoomAmount; }

    void layoutSubviews() override;
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

    ui::View* viewForZoomingInScrollView(ui::ScrollView&) override { return m_container.get(); }
    void scrollViewDidZoom(ui::ScrollView&) override { centreContainer(); }

protected:
    // A page view leaving the reader draws no further tiles.
    void willMoveToSuperview(ui::View* newSuperview) override;
    void boundsDidChange(const gfx::Rect& oldBounds) override;

private:
    explicit PdfContentView(const gfx::Rect& frame, int page);
    // Puts the page's view (the container with its picture and tiles) in place.
    void showPage();
    // The page asked for off the main thread has come, or cannot be had (`outcome` says why).
    void pageArrived(std::shared_ptr<pdf::Document> document, std::shared_ptr<pdf::Page> page,
                     pdf::DrawOutcome outcome);
    void updateMinimumMaximumZoom();
    void centreContainer();
    void showThumbWhereTilesAreDue();
    void pageTilesComplete();
    // The page went over the drawing limits: its message takes the page's place.
    void pageRefused(PdfContentPage::Unavailable why);
    void makeThumbFromTiles();
    gfx::Image pictureFromTiles(const PdfThumbRequest& request) const;

    std::shared_ptr<PdfContentPage> m_page;
    std::shared_ptr<PdfContentThumb> m_thumb;
    std::shared_ptr<PdfThumbRequest> m_thumbRequest;
    // The last picture made from the tiles, and of what.
    struct MadePicture {
        gfx::Size pixels;
        double scale = 0;
        int tilesDrawn = -1;
        gfx::Image image;
    };
    mutable MadePicture m_madePicture;
    std::shared_ptr<ui::View> m_container;
    std::shared_ptr<ui::Label> m_messageLabel;
    PdfContentPage::Unavailable m_unavailable = PdfContentPage::Unavailable::None;
    bool m_pending = false;
    // What was asked of the page while it was pending, done once it comes.
    std::function<void()> m_onArrival;
    // Gone with the view: an answer arriving later finds it expired.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    double m_zoomAmount = 0;
    PdfContentViewDelegate* m_message = nullptr;
    std::string m_refusedText = "This page is too large to be shown on this device.";
    std::string m_damagedText = "This page is damaged and cannot be shown.";
};
