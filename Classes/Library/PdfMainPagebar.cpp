#include "Classes/Library/PdfMainPagebar.h"

#include "Classes/Library/BRToolbarView.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Common/Language.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Timer.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Touch.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {
constexpr double kThumbSmallWidth = 22, kThumbSmallHeight = 28, kThumbSmallGap = 2;
constexpr double kThumbLargeWidth = 32, kThumbLargeHeight = 42;
constexpr double kNumberWidth = 96, kNumberHeight = 30, kNumberY = -50;
constexpr double kSideInset = 4;
constexpr double kTimerDelay = 0.25;
}

PdfTrackControl::PdfTrackControl(const gfx::Rect& frame)
    : ui::Control(frame)
{
    setAutoresizesSubviews(false);
    setUserInteractionEnabled(true);
    setContentMode(ui::ContentMode::Redraw);
    setAutoresizingMask(ui::AutoresizingNone);
    setBackgroundColor(std::nullopt);
}

double PdfTrackControl::limitValue(double x) const
{
    double low = bounds().x(), high = bounds().width() - 1;
    return std::max(low, std::min(x, high));
}

bool PdfTrackControl::beginTracking(gfx::Point point, const ui::Touch&)
{
    m_value = limitValue(point.x);
    return true;
}

void PdfTrackControl::continueTracking(gfx::Point point, const ui::Touch&)
{
    if (!bounds().contains(point))
        return;
    double x = limitValue(point.x);
    if (x != m_value) {
        m_value = x;
        sendActionsForControlEvents(ui::ControlEventValueChanged);
    }
}

void PdfTrackControl::endTracking(gfx::Point point, bool)
{
    m_value = limitValue(point.x);
}

PdfPagebarThumb::PdfPagebarThumb(const gfx::Rect& frame, bool small)
    : PdfThumbView(frame)
{
    gfx::Color back = gfx::Color::fromWhite(0.8, small ? 0.6 : 0.7);
    setBackgroundColor(back);
    imageView()->setBackgroundColor(back);
    imageView()->setBorderColor(gfx::Color::fromWhite(0.4, 0.6));
    imageView()->setBorderWidth(1);
}

PdfPagebarShadow::PdfPagebarShadow(const gfx::Rect& frame)
    : ui::GradientView(frame)
{
    setUserInteractionEnabled(false);
    setContentMode(ui::ContentMode::Redraw);
    setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    setBackgroundColor(std::nullopt);
    setGradientColors({gfx::Color::fromWhite(0.42, 0), gfx::Color::fromWhite(0.42, 1)});
}

PdfMainPagebar::PdfMainPagebar(const gfx::Rect& frame, std::shared_ptr<PdfDocument> document)
    : ui::GradientView(frame)
    , m_document(std::move(document))
{
    setAutoresizesSubviews(true);
    setUserInteractionEnabled(true);
    setContentMode(ui::ContentMode::Redraw);
    setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleTopMargin);
    setBackgroundColor(std::nullopt);
    setGradientColors({gfx::Color::fromWhite(0.5, 0.8), gfx::Color::fromWhite(0.3, 0.8)});

    gfx::Rect b = bounds();
    addSubview(ui::View::make<PdfPagebarShadow>(gfx::Rect(b.x(), b.y() - 4, b.width(), 4)));

    m_pageNumberView = ui::View::make<ui::View>(
        gfx::Rect(std::floor((b.width() - kNumberWidth) / 2), kNumberY, kNumberWidth, kNumberHeight));
    m_pageNumberView->setAutoresizesSubviews(false);
    m_pageNumberView->setUserInteractionEnabled(false);
    m_pageNumberView->setAutoresizingMask(ui::AutoresizingFlexibleLeftMargin | ui::AutoresizingFlexibleRightMargin);
    m_pageNumberView->setBackgroundColor(gfx::Color::fromWhite(0, 0.4));
    ui::View::Shadow shadow;
    shadow.offset = {0, 0};
    shadow.color = gfx::Color::fromWhite(0, 0.6);
    shadow.path = m_pageNumberView->bounds();
    shadow.radius = 2;
    shadow.opacity = 1;
    m_pageNumberView->setShadow(shadow);
    m_pageNumberLabel = ui::View::make<ui::Label>(m_pageNumberView->bounds().insetBy(4, 2));
    m_pageNumberLabel->setAutoresizingMask(ui::AutoresizingNone);
    m_pageNumberLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_pageNumberLabel->setBackgroundColor(std::nullopt);
    m_pageNumberLabel->setTextColor(gfx::Color::white());
    m_pageNumberLabel->setFont(gfx::Font::systemFont(16));
    m_pageNumberLabel->setShadowColor(gfx::Color::black());
    m_pageNumberLabel->setShadowOffset({0, 1});
    m_pageNumberLabel->setAdjustsFontSizeToFitWidth(true);
    m_pageNumberLabel->setMinimumFontSize(12);
    m_pageNumberView->addSubview(m_pageNumberLabel);
    addSubview(m_pageNumberView);

    m_track = ui::View::make<PdfTrackControl>(b);
    m_track->addTarget([this](ui::Control&) { trackViewTouchDown(); }, ui::ControlEventTouchDown);
    m_track->addTarget([this](ui::Control&) { trackViewValueChanged(); }, ui::ControlEventValueChanged);
    m_track->addTarget([this](ui::Control&) { trackViewTouchUp(); },
                       ui::ControlEventTouchUpInside | ui::ControlEventTouchUpOutside);
    addSubview(m_track);

    updatePageNumberText(m_document->pageNumber());
}

PdfMainPagebar::~PdfMainPagebar()
{
    stopTimers();
}

int PdfMainPagebar::pageCount() const
{
    return m_document->pageCount().value_or(0);
}

std::string PdfMainPagebar::pageNumberText(const std::string& format, int page, int count)
{
    // Exactly two integer slots and nothing else a formatter would read; else the fixed text.
    int slots = 0;
    bool safe = true;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == 'd') {
            ++slots;
            ++i;
            continue;
        }
        safe = false;
    }
    const std::string& used = safe && slots == 2 ? format : std::string("%d of %d");
    std::string out;
    int values[2] = {page, count};
    int next = 0;
    for (size_t i = 0; i < used.size(); ++i) {
        if (used[i] == '%' && i + 1 < used.size()) {
            if (used[i + 1] == '%') {
                out += '%';
            } else {
                out += std::to_string(values[next++]);
            }
            ++i;
            continue;
        }
        out += used[i];
    }
    return out;
}

void PdfMainPagebar::updatePageNumberText(int page)
{
    if (page == m_pageNumberLabel->tag())
        return;
    // The application's language, not the desktop's, decides the reader's words.
    std::string format = Language::stringWithName("%d of %d");
    if (format.empty())
        format = base::Bundle::localizedString("%d of %d", "%d of %d");
    m_pageNumberLabel->setText(pageNumberText(format, page, pageCount()));
    m_pageNumberLabel->setTag(page);
}

void PdfMainPagebar::updatePageThumbView(int page)
{
    int count = pageCount();
    if (!m_pageThumb || count < 1)
        return;
    if (count > 1) {
        double width = m_track->bounds().width();
        double x = std::floor((width - kThumbLargeWidth) / double(count - 1) * double(page - 1));
        gfx::Rect frame = m_pageThumb->frame();
        if (frame.x() != x)
            m_pageThumb->setFrame(gfx::Rect(x, frame.y(), frame.width(), frame.height()));
    }
    if (page == m_pageThumb->tag())
        return;
    m_pageThumb->setTag(page);
    m_pageThumb->reuse();
    auto request = PdfThumbRequest::newForView(m_pageThumb, m_document->fileURL(), m_document->password(),
                                               m_document->guid(), page, {kThumbLargeWidth, kThumbLargeHeight});
    m_pageThumbRequest = request;
    if (m_pagePictureSource && m_pagePictureSource(request))
        return;
    gfx::Image image = PdfThumbCache::sharedInstance().thumbRequestPriority(request, true);
    m_pageThumb->showImage(image);
}

std::shared_ptr<PdfThumbRequest> PdfMainPagebar::miniThumbRequest(int page) const
{
    auto found = m_miniThumbRequests.find(page);
    return found == m_miniThumbRequests.end() ? nullptr : found->second;
}

void PdfMainPagebar::layoutSubviews()
{
    int count = pageCount();
    // A document of no pages has nothing to show (and would divide by zero below).
    if (count < 1)
        return;
    gfx::Rect control = bounds().insetBy(kSideInset, 0);
    double stride = kThumbSmallWidth + kThumbSmallGap;
    int thumbs = std::min(int(control.width() / stride), count);
    thumbs = std::max(thumbs, 1);
    double width = thumbs * stride - kThumbSmallGap;
    double x = std::floor((bounds().width() - width) / 2);
    m_track->setFrame(gfx::Rect(x, control.y(), width, control.height()));
    double height = m_track->bounds().height();
    if (!m_pageThumb) {
        m_pageThumb = ui::View::make<PdfPagebarThumb>(
            gfx::Rect(0, std::floor((height - kThumbLargeHeight) / 2), kThumbLargeWidth, kThumbLargeHeight));
        m_track->addSubview(m_pageThumb);
    }
    updatePageThumbView(m_document->pageNumber());
    double pageStride = double(count) / double(std::max(thumbs - 1, 1));
    gfx::Rect rect(0, std::floor((height - kThumbSmallHeight) / 2), kThumbSmallWidth, kThumbSmallHeight);
    std::set<int> used;
    for (int i = 0; i < thumbs; ++i) {
        int page = std::min(int(pageStride * i + 1), count);
        auto found = m_miniThumbs.find(page);
        if (found != m_miniThumbs.end()) {
            found->second->setHidden(false);
            if (found->second->frame() != rect)
                found->second->setFrame(rect);
        } else {
            auto thumb = ui::View::make<PdfPagebarThumb>(rect, true);
            auto request = PdfThumbRequest::newForView(thumb, m_document->fileURL(), m_document->password(),
                                                       m_document->guid(), page, {kThumbSmallWidth, kThumbSmallHeight});
            m_miniThumbRequests[page] = request;
            gfx::Image image = PdfThumbCache::sharedInstance().thumbRequestPriority(request, false);
            if (image)
                thumb->showImage(image);
            // Below the large thumb, which stays on top.
            m_track->insertSubviewBelowSubview(thumb, m_pageThumb.get());
            m_miniThumbs[page] = thumb;
        }
        used.insert(page);
        rect = rect.offsetBy(stride, 0);
    }
    for (auto& [page, thumb] : m_miniThumbs)
        if (!used.count(page))
            thumb->setHidden(true);
}

void PdfMainPagebar::updatePagebarViews()
{
    int page = m_document->pageNumber();
    updatePageNumberText(page);
    updatePageThumbView(page);
}

void PdfMainPagebar::updatePagebar()
{
    if (!isHidden())
        updatePagebarViews();
}

void PdfMainPagebar::hidePagebar()
{
    BRToolbarView::fadeOut(*this);
}

void PdfMainPagebar::showPagebar()
{
    if (!isHidden())
        return;
    updatePagebarViews();
    BRToolbarView::fadeIn(*this);
}

int PdfMainPagebar::trackViewPageNumber() const
{
    int count = pageCount();
    double width = m_track->bounds().width();
    if (count < 1 || width <= 0)
        return 0;
    int page = int(m_track->value() / (width / count)) + 1;
    return std::clamp(page, 1, count);
}

void PdfMainPagebar::trackViewTouchDown()
{
    int page = trackViewPageNumber();
    if (page != m_document->pageNumber()) {
        updatePageNumberText(page);
        updatePageThumbView(page);
        restartTrackTimer();
    }
    m_track->setTag(page);
}

void PdfMainPagebar::trackViewValueChanged()
{
    int page = trackViewPageNumber();
    if (page != m_track->tag()) {
        updatePageNumberText(page);
        updatePageThumbView(page);
        m_track->setTag(page);
        restartTrackTimer();
    }
}

void PdfMainPagebar::trackViewTouchUp()
{
    if (m_trackTimer) {
        m_trackTimer->invalidate();
        m_trackTimer.reset();
    }
    if (m_track->tag() != m_document->pageNumber()) {
        m_track->setUserInteractionEnabled(false);
        if (m_delegate)
            m_delegate->pagebarGotoPage(*this, m_track->tag());
        startEnableTimer();
    }
    m_track->setTag(0);
}

void PdfMainPagebar::restartTrackTimer()
{
    if (m_trackTimer)
        m_trackTimer->invalidate();
    std::weak_ptr<ui::View> weak = sharedView();
    m_trackTimer = base::Timer::scheduled(kTimerDelay, false, [weak](base::Timer&) {
        auto self = std::static_pointer_cast<PdfMainPagebar>(weak.lock());
        if (!self)
            return;
        self->m_trackTimer.reset();
        int page = self->m_track->tag();
        if (page != self->m_document->pageNumber() && self->m_delegate)
            self->m_delegate->pagebarGotoPage(*self, page);
    });
}

void PdfMainPagebar::startEnableTimer()
{
    if (m_enableTimer)
        m_enableTimer->invalidate();
    std::weak_ptr<ui::View> weak = sharedView();
    m_enableTimer = base::Timer::scheduled(kTimerDelay, false, [weak](base::Timer&) {
        auto self = std::static_pointer_cast<PdfMainPagebar>(weak.lock());
        if (!self)
            return;
        self->m_enableTimer.reset();
        self->m_track->setUserInteractionEnabled(true);
    });
}

void PdfMainPagebar::stopTimers()
{
    if (m_trackTimer)
        m_trackTimer->invalidate();
    if (m_enableTimer)
        m_enableTimer->invalidate();
    m_trackTimer.reset();
    m_enableTimer.reset();
}

void PdfMainPagebar::willMoveToSuperview(ui::View* newSuperview)
{
    if (!newSuperview)
        stopTimers();
}
