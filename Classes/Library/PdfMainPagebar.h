#pragma once
#include "Classes/Library/Reader/PdfThumbView.h"
#include "Platform/UI/Control.h"
#include "Platform/UI/GradientView.h"

#include <functional>
#include <map>
#include <memory>

class PdfThumbRequest;

class PdfDocument;
class PdfMainPagebar;
namespace base {
class Timer;
}
namespace ui {
class Label;
}

class PdfMainPagebarDelegate {
public:
    virtual ~PdfMainPagebarDelegate() = default;
    virtual void pagebarGotoPage(PdfMainPagebar& pagebar, int page) = 0;
};

// The strip the finger scrubs along: `value` is the touch's x, kept within the bounds.
class PdfTrackControl : public ui::Control {
public:
    explicit PdfTrackControl(const gfx::Rect& frame);
    const char* className() const override { return "PdfTrackControl"; }
    double value() const { return m_value; }
    double limitValue(double x) const;

protected:
    bool beginTracking(gfx::Point point, const ui::Touch& touch) override;
    void continueTracking(gfx::Point point, const ui::Touch& touch) override;
    void endTracking(gfx::Point point, bool inside) override;

private:
    double m_value = 0;
};

class PdfPagebarThumb : public PdfThumbView {
public:
    PdfPagebarThumb(const gfx::Rect& frame, bool small = false);
    const char* className() const override { return "PdfPagebarThumb"; }
};

class PdfPagebarShadow : public ui::GradientView {
public:
    explicit PdfPagebarShadow(const gfx::Rect& frame);
    const char* className() const override { return "PdfPagebarShadow"; }
};

// The reader's bottom bar: small page pictures across it, a larger one of the current page
// riding over them, and the page number above; scrubbing along it turns to the page.
class PdfMainPagebar : public ui::GradientView {
public:
    PdfMainPagebar(const gfx::Rect& frame, std::shared_ptr<PdfDocument> document);
    ~PdfMainPagebar() override;
    const char* className() const override { return "PdfMainPagebar"; }

    void setDelegate(PdfMainPagebarDelegate* delegate) { m_delegate = delegate; }
    void updatePagebar();
    void updatePagebarViews();
    void hidePagebar();
    void showPagebar();
    void layoutSubviews() override;

    const std::shared_ptr<PdfTrackControl>& trackControl() const { return m_track; }
    const std::map<int, std::shared_ptr<PdfPagebarThumb>>& miniThumbViews() const { return m_miniThumbs; }
    const std::shared_ptr<PdfPagebarThumb>& pageThumbView() const { return m_pageThumb; }
    // Asked first for the large picture of a page (it keeps and shows it, and answers true);
    // the thumbnail cache is asked otherwise.
    using PictureSource = std::function<bool(const std::shared_ptr<PdfThumbRequest>& request)>;
    void setPagePictureSource(PictureSource source) { m_pagePictureSource = std::move(source); }
    // What the large picture last asked for; none before it did.
    const std::shared_ptr<PdfThumbRequest>& pageThumbRequest() const { return m_pageThumbRequest; }
    // What the small picture of the page asked for; none when the bar shows no small picture of it.
    std::shared_ptr<PdfThumbRequest> miniThumbRequest(int page) const;
    const std::shared_ptr<ui::Label>& pageNumberLabel() const { return m_pageNumberLabel; }
    bool hasTrackTimer() const { return m_trackTimer != nullptr; }
    bool hasEnableTimer() const { return m_enableTimer != nullptr; }

    // "%d of %d" from the bundle's table, used only when it holds exactly two integer slots.
    static std::string pageNumberText(const std::string& format, int page, int count);

protected:
    void willMoveToSuperview(ui::View* newSuperview) override;

private:
    int pageCount() const;
    void updatePageNumberText(int page);
    void updatePageThumbView(int page);
    int trackViewPageNumber() const;
    void trackViewTouchDown();
    void trackViewValueChanged();
    void trackViewTouchUp();
    void restartTrackTimer();
    void startEnableTimer();
    void stopTimers();

    std::shared_ptr<PdfDocument> m_document;
    std::shared_ptr<PdfTrackControl> m_track;
    std::map<int, std::shared_ptr<PdfPagebarThumb>> m_miniThumbs;
    std::map<int, std::shared_ptr<PdfThumbRequest>> m_miniThumbRequests;
    std::shared_ptr<PdfPagebarThumb> m_pageThumb;
    std::shared_ptr<PdfThumbRequest> m_pageThumbRequest;
    PictureSource m_pagePictureSource;
    std::shared_ptr<ui::View> m_pageNumberView;
    std::shared_ptr<ui::Label> m_pageNumberLabel;
    std::shared_ptr<base::Timer> m_trackTimer;
    std::shared_ptr<base::Timer> m_enableTimer;
    PdfMainPagebarDelegate* m_delegate = nullptr;
};
