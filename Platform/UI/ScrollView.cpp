#include "Platform/UI/ScrollView.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"
#include "Platform/UI/PanGestureRecognizer.h"
#include "Platform/UI/PinchGestureRecognizer.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
constexpr double kFrameInterval = 1.0 / 60;
// Free deceleration: the speed falls by this factor per second, as e^-rate.
constexpr double kDecelerationRate = 2;
// Settling on a page or back from beyond an edge is quicker.
constexpr double kSettleRate = 8;
constexpr double kMaxRate = 12;
constexpr double kPagingVelocity = 200;
constexpr double kScrollAnimationDuration = 0.3;
// A wheel that has not moved for this long has let go of the page it turns.
constexpr double kWheelRestSeconds = 0.15;
constexpr double kIndicatorThickness = 3;
constexpr double kIndicatorInset = 2;
constexpr double kIndicatorMinLength = 20;

double now()
{
    return base::RunLoop::main().now();
}

// How far content follows a finger pulling it `overshoot` beyond an edge.
double rubberBand(double overshoot, double dimension)
{
    if (dimension <= 0)
        return 0;
    return (1 - 1 / (overshoot * 0.55 / dimension + 1)) * dimension;
}

double easeOut(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return 1 - std::pow(1 - t, 3);
}

double length(gfx::Point p)
{
    return std::hypot(p.x, p.y);
}
}

// Pan and pinch of a scroll view: a pan begins only along an axis that scrolls, a pinch only
// when there is something to zoom, and both may run at once.
class ScrollGestureDelegate : public GestureRecognizerDelegate {
public:
    explicit ScrollGestureDelegate(ScrollView& owner) : m_owner(owner) {}

    bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) override
    {
        if (&recognizer == m_owner.m_pan.get()) {
            gfx::Point t = m_owner.m_pan->translationInView(&m_owner);
            bool horizontal = std::fabs(t.x) > std::fabs(t.y);
            return horizontal ? m_owner.canScrollHorizontally() : m_owner.canScrollVertically();
        }
        if (&recognizer == m_owner.m_pinch.get()) {
            View* zoomView = m_owner.m_delegate ? m_owner.m_delegate->viewForZoomingInScrollView(m_owner) : nullptr;
            return zoomView && m_owner.m_maximumZoom > m_owner.m_minimumZoom;
        }
        return true;
    }

    bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer& a, GestureRecognizer& b) override
    {
        GestureRecognizer* pan = m_owner.m_pan.get();
        GestureRecognizer* pinch = m_owner.m_pinch.get();
        return (&a == pan && &b == pinch) || (&a == pinch && &b == pan);
    }

private:
    ScrollView& m_owner;
};

// A finger coming down stops the content where it is.
class ScrollPanRecognizer : public PanGestureRecognizer {
public:
    explicit ScrollPanRecognizer(ScrollView& owner) : m_owner(owner) {}
    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override
    {
        if (m_owner.m_decelerating || m_owner.m_animatingScroll) {
            m_owner.stopScrolling();
            m_owner.updateIndicators();
        }
        PanGestureRecognizer::touchesBegan(touches, event);
    }

private:
    ScrollView& m_owner;
};

ScrollView::ScrollView()
{
    setUp();
}

ScrollView::ScrollView(const gfx::Rect& frame) : View(frame)
{
    setUp();
}

ScrollView::~ScrollView()
{
    stopTimer();
    if (m_wheelRest)
        m_wheelRest->invalidate();
    // A finger still down keeps the recognizers alive; detached, they call back no more.
    m_pan->setDelegate(nullptr);
    m_pinch->setDelegate(nullptr);
    removeGestureRecognizer(m_pan.get());
    removeGestureRecognizer(m_pinch.get());
}

void ScrollView::setUp()
{
    setClipsToBounds(true);
    m_gestureDelegate = std::make_unique<ScrollGestureDelegate>(*this);
    m_pan = std::make_shared<ScrollPanRecognizer>(*this);
    m_pan->setDelegate(m_gestureDelegate.get());
    m_pan->addTarget([this](GestureRecognizer&) { handlePan(); });
    addGestureRecognizer(m_pan);
    m_pinch = std::make_shared<PinchGestureRecognizer>();
    m_pinch->setDelegate(m_gestureDelegate.get());
    m_pinch->addTarget([this](GestureRecognizer&) { handlePinch(); });
    addGestureRecognizer(m_pinch);
    for (auto* indicator : {&m_verticalIndicator, &m_horizontalIndicator}) {
        *indicator = View::make();
        (*indicator)->setBackgroundColor(gfx::Color::black().withAlpha(0.45));
        (*indicator)->setCornerRadius(kIndicatorThickness / 2);
        (*indicator)->setUserInteractionEnabled(false);
        (*indicator)->setHidden(true);
        addSubview(*indicator);
    }
}

void ScrollView::setContentSize(gfx::Size size)
{
    if (size == m_contentSize)
        return;
    m_contentSize = size;
    setNeedsLayout();
}

void ScrollView::setContentInset(const gfx::EdgeInsets& insets)
{
    if (insets == m_contentInset)
        return;
    m_contentInset = insets;
    setNeedsLayout();
    if (m_dragging || m_animatingScroll)
        return;
    if (m_decelerating) {
        // The motion heads for a rest that the new range may have moved: a bounce back goes
        // to the new edge, a fling stays inside the new range.
        gfx::Point offset = contentOffset();
        m_motionTo = m_springingBack ? clampedOffset(offset) : clampedOffset(m_motionTo);
        m_motionFrom = offset;
        m_motionStart = now();
        return;
    }
    // At rest outside the new range: move to its edge (over the animation when in a block).
    gfx::Point offset = contentOffset();
    if (clampedOffset(offset) != offset) {
        applyOffset(clampedOffset(offset));
        updateIndicators();
    }
}

gfx::Point ScrollView::minimumContentOffset() const
{
    return {-m_contentInset.left, -m_contentInset.top};
}

gfx::Point ScrollView::maximumContentOffset() const
{
    gfx::Point min = minimumContentOffset();
    return {std::max(min.x, m_contentSize.width + m_contentInset.right - bounds().width()),
            std::max(min.y, m_contentSize.height + m_contentInset.bottom - bounds().height())};
}

bool ScrollView::canScrollHorizontally() const
{
    return m_scrollEnabled && (m_alwaysBounceHorizontal || maximumContentOffset().x > minimumContentOffset().x);
}

bool ScrollView::canScrollVertically() const
{
    return m_scrollEnabled && (m_alwaysBounceVertical || maximumContentOffset().y > minimumContentOffset().y);
}

gfx::Point ScrollView::clampedOffset(gfx::Point offset) const
{
    gfx::Point min = minimumContentOffset(), max = maximumContentOffset();
    return {std::clamp(offset.x, min.x, max.x), std::clamp(offset.y, min.y, max.y)};
}

gfx::Point ScrollView::rubberBandedOffset(gfx::Point offset) const
{
    gfx::Point min = minimumContentOffset(), max = maximumContentOffset();
    auto axis = [this](double v, double lo, double hi, double dimension) {
        if (v < lo)
            return m_bounces ? lo - rubberBand(lo - v, dimension) : lo;
        if (v > hi)
            return m_bounces ? hi + rubberBand(v - hi, dimension) : hi;
        return v;
    };
    return {axis(offset.x, min.x, max.x, bounds().width()), axis(offset.y, min.y, max.y, bounds().height())};
}

void ScrollView::applyOffset(gfx::Point offset)
{
    gfx::Rect b = bounds();
    if (b.origin == offset)
        return;
    b.origin = offset;
    setBounds(b);
    updateIndicators();
    if (m_delegate)
        m_delegate->scrollViewDidScroll(*this);
    // Content that depends on the offset (table rows) is placed at once.
    layoutIfNeeded();
}

void ScrollView::setContentOffset(gfx::Point offset, bool animated)
{
    stopScrolling();
    if (!animated || offset == contentOffset()) {
        applyOffset(offset);
        updateIndicators();
        return;
    }
    startOffsetAnimation(offset);
}

bool ScrollView::scrollByWheel(gfx::Point delta)
{
    if (m_paging)
        return pageByWheel(delta);
    gfx::Point offset = contentOffset();
    gfx::Point target = offset;
    if (canScrollHorizontally())
        target.x += delta.x;
    if (canScrollVertically())
        target.y += delta.y;
    target = clampedOffset(target);
    if (target == offset)
        return false;
    stopScrolling();
    applyOffset(target);
    return true;
}

bool ScrollView::pageByWheel(gfx::Point delta)
{
    // Pages that only run sideways turn with an ordinary vertical wheel too.
    bool sideways = canScrollHorizontally() && !canScrollVertically();
    gfx::Point step = sideways ? gfx::Point{delta.x != 0 ? delta.x : delta.y, 0}
                               : gfx::Point{canScrollHorizontally() ? delta.x : 0, canScrollVertically() ? delta.y : 0};
    if (!m_wheelPaging) {
        // The turn under way reaches its page first, so that its owner moves with it and
        // this notch turns the page after it.
        finishScrolling();
        gfx::Point offset = contentOffset();
        // At the first or last page a wheel pushing outwards belongs to whatever is around.
        if (clampedOffset(offset + step) == offset)
            return false;
        m_wheelPaging = true;
        m_wheelTravel = 0;
        m_dragging = true;
        m_dragStartOffset = offset;
        if (m_delegate)
            m_delegate->scrollViewWillBeginDragging(*this);
    }
    // One drag turns one page at most, as one drag of a finger does.
    gfx::Point offset = contentOffset();
    gfx::Size page = bounds().size;
    gfx::Point start = m_dragStartOffset;
    gfx::Point target{std::clamp(offset.x + step.x, start.x - page.width, start.x + page.width),
                      std::clamp(offset.y + step.y, start.y - page.height, start.y + page.height)};
    applyOffset(clampedOffset(target));
    m_wheelTravel += step.x + step.y;
    if (m_wheelRest)
        m_wheelRest->invalidate();
    m_wheelRest = base::Timer::scheduled(kWheelRestSeconds, false, [this](base::Timer&) { wheelRested(); });
    // A whole notch turns its page now.
    if (std::fabs(m_wheelTravel) >= kWheelNotch - 0.5)
        endWheelPaging(true);
    return true;
}

void ScrollView::wheelRested()
{
    m_wheelRest.reset();
    // Less than a notch turns a page only when nothing else this turn of the wheel did.
    endWheelPaging(m_wheelTurns == 0);
    m_wheelTurns = 0;
}

void ScrollView::endWheelPaging(bool turn)
{
    if (!m_wheelPaging)
        return;
    m_wheelPaging = false;
    m_dragging = false;
    // The page next to where the wheel started, on the side it went, as a flick turns a page.
    gfx::Point start = m_dragStartOffset, offset = contentOffset();
    gfx::Point min = minimumContentOffset(), max = maximumContentOffset();
    auto axis = [turn](double from, double at, double page, double lo, double hi) {
        if (page <= 0 || at == from)
            return std::clamp(at, lo, hi);
        double index = std::round((from - lo) / page) + (turn ? (at > from ? 1 : -1) : 0);
        return std::clamp(lo + index * page, lo, hi);
    };
    gfx::Point target{axis(start.x, offset.x, bounds().width(), min.x, max.x),
                      axis(start.y, offset.y, bounds().height(), min.y, max.y)};
    if (turn)
        ++m_wheelTurns;
    auto speed = [turn](double d) {
        double v = turn ? kPagingVelocity * 2 : 0;
        return d > 0 ? v : d < 0 ? -v : 0.0;
    };
    finishDrag({speed(offset.x - start.x), speed(offset.y - start.y)}, target);
}

bool ScrollView::scrollByKey(const std::string& key)
{
    // A page turn under way reaches its page first; the key then turns from there.
    if (m_paging && !m_dragging)
        finishScrolling();
    if (m_delegate && m_delegate->scrollViewHandleKey(*this, key))
        return true;
    if (!m_scrollEnabled || m_dragging)
        return false;
    gfx::Point offset = contentOffset();
    gfx::Point min = minimumContentOffset(), max = maximumContentOffset();
    gfx::Size size = bounds().size;
    gfx::Point target = offset;
    if (m_paging) {
        bool sideways = max.x > min.x;
        double page = sideways ? size.width : size.height;
        double at = sideways ? offset.x : offset.y;
        double lo = sideways ? min.x : min.y, hi = sideways ? max.x : max.y;
        double index = page > 0 ? std::round((at - lo) / page) : 0;
        double to = at;
        if (key == "left" || key == "pageup")
            to = lo + (index - 1) * page;
        else if (key == "right" || key == "pagedown")
            to = lo + (index + 1) * page;
        else if (key == "home")
            to = lo;
        else if (key == "end")
            to = hi;
        else
            return false;
        (sideways ? target.x : target.y) = std::clamp(to, lo, hi);
    } else {
        double screenful = size.height - m_contentInset.top - m_contentInset.bottom;
        if (key == "pageup")
            target.y -= screenful;
        else if (key == "pagedown")
            target.y += screenful;
        else if (key == "home")
            target.y = min.y;
        else if (key == "end")
            target.y = max.y;
        else if (key == "up" || key == "down")
            target.y = lineKeyOffset(offset.y, key == "down");
        else
            return false;
        target = clampedOffset(target);
    }
    if (target == offset)
        return false;
    stopScrolling();
    applyOffset(target);
    // A page reached by a key is settled as one reached by a finger.
    if (m_paging && m_delegate)
        m_delegate->scrollViewDidEndDecelerating(*this);
    return true;
}

double ScrollView::lineKeyOffset(double offsetY, bool down)
{
    return offsetY + (down ? kWheelNotch : -kWheelNotch);
}

void ScrollView::scrollRectToVisible(const gfx::Rect& rect, bool animated)
{
    gfx::Point offset = contentOffset();
    gfx::Size size = bounds().size;
    if (rect.maxX() > offset.x + size.width)
        offset.x = rect.maxX() - size.width;
    if (rect.minX() < offset.x)
        offset.x = rect.minX();
    if (rect.maxY() > offset.y + size.height)
        offset.y = rect.maxY() - size.height;
    if (rect.minY() < offset.y)
        offset.y = rect.minY();
    setContentOffset(clampedOffset(offset), animated);
}

void ScrollView::setScrollEnabled(bool on)
{
    m_scrollEnabled = on;
    m_pan->setEnabled(on);
}

bool ScrollView::isScrollIndicatorVisible() const
{
    return !m_verticalIndicator->isHidden() || !m_horizontalIndicator->isHidden();
}

bool ScrollView::isScrollIndicator(const View* view) const
{
    return view == m_verticalIndicator.get() || view == m_horizontalIndicator.get();
}

void ScrollView::layoutSubviews()
{
    updateIndicators();
    bringSubviewToFront(m_horizontalIndicator.get());
    bringSubviewToFront(m_verticalIndicator.get());
}

void ScrollView::flashScrollIndicators()
{
    constexpr double kFlashSeconds = 0.75;
    m_flashUntil = base::RunLoop::main().now() + kFlashSeconds;
    updateIndicators();
    std::weak_ptr<Responder> weak = weak_from_this();
    base::Timer::scheduled(kFlashSeconds, false, [weak](base::Timer&) {
        if (auto self = std::static_pointer_cast<ScrollView>(weak.lock()))
            self->updateIndicators();
    });
}

void ScrollView::updateIndicators()
{
    bool moving = m_dragging || m_decelerating || m_animatingScroll || base::RunLoop::main().now() < m_flashUntil;
    gfx::Rect b = bounds();
    gfx::Point min = minimumContentOffset(), max = maximumContentOffset();

    bool vertical = m_showsIndicators && moving && max.y > min.y;
    m_verticalIndicator->setHidden(!vertical);
    if (vertical) {
        double track = b.height() - 2 * kIndicatorInset;
        double total = m_contentSize.height + m_contentInset.top + m_contentInset.bottom;
        double len = std::max(kIndicatorMinLength, track * b.height() / total);
        double progress = std::clamp((b.y() - min.y) / (max.y - min.y), 0.0, 1.0);
        m_verticalIndicator->setFrame({b.maxX() - kIndicatorThickness - kIndicatorInset,
                                       b.y() + kIndicatorInset + progress * (track - len), kIndicatorThickness, len});
    }
    bool horizontal = m_showsIndicators && moving && max.x > min.x;
    m_horizontalIndicator->setHidden(!horizontal);
    if (horizontal) {
        double track = b.width() - 2 * kIndicatorInset;
        double total = m_contentSize.width + m_contentInset.left + m_contentInset.right;
        double len = std::max(kIndicatorMinLength, track * b.width() / total);
        double progress = std::clamp((b.x() - min.x) / (max.x - min.x), 0.0, 1.0);
        m_horizontalIndicator->setFrame({b.x() + kIndicatorInset + progress * (track - len),
                                         b.maxY() - kIndicatorThickness - kIndicatorInset, len, kIndicatorThickness});
    }
}

void ScrollView::handlePan()
{
    using State = GestureRecognizer::State;
    switch (m_pan->state()) {
    case State::Began:
        stopScrolling();
        // A finger takes over from a wheel that was turning a page.
        m_wheelPaging = false;
        if (m_wheelRest)
            m_wheelRest->invalidate();
        m_wheelRest.reset();
        m_dragging = true;
        // The slop is not scrolled: content follows the finger from here.
        m_pan->setTranslation({0, 0}, this);
        m_dragStartOffset = contentOffset();
        if (m_delegate)
            m_delegate->scrollViewWillBeginDragging(*this);
        updateIndicators();
        break;
    case State::Changed: {
        if (m_zooming) {
            // The pinch moves the content; the drag resumes from wherever that leaves it.
            m_pan->setTranslation({0, 0}, this);
            m_dragStartOffset = contentOffset();
            break;
        }
        gfx::Point t = m_pan->translationInView(this);
        gfx::Point raw = m_dragStartOffset - t;
        gfx::Point current = contentOffset();
        if (!canScrollHorizontally())
            raw.x = current.x;
        if (!canScrollVertically())
            raw.y = current.y;
        applyOffset(rubberBandedOffset(raw));
        break;
    }
    case State::Ended:
    case State::Cancelled:
        if (m_dragging)
            endDragging();
        break;
    default:
        break;
    }
}

gfx::Point ScrollView::pagedTarget(gfx::Point velocity) const
{
    gfx::Point offset = contentOffset();
    gfx::Point min = minimumContentOffset(), max = maximumContentOffset();
    auto axis = [](double v, double speed, double page, double lo, double hi) {
        if (page <= 0)
            return std::clamp(v, lo, hi);
        double p = (v - lo) / page;
        double index = speed > kPagingVelocity ? std::floor(p) + 1 : speed < -kPagingVelocity ? std::ceil(p) - 1 : std::round(p);
        return std::clamp(lo + index * page, lo, hi);
    };
    return {axis(offset.x, velocity.x, bounds().width(), min.x, max.x),
            axis(offset.y, velocity.y, bounds().height(), min.y, max.y)};
}

void ScrollView::endDragging()
{
    m_dragging = false;
    gfx::Point fingers = m_pan->velocityInView(this);
    finishDrag({canScrollHorizontally() ? -fingers.x : 0, canScrollVertically() ? -fingers.y : 0});
}

void ScrollView::finishDrag(gfx::Point velocity, std::optional<gfx::Point> page)
{
    gfx::Point offset = contentOffset();
    bool outside = clampedOffset(offset) != offset;
    gfx::Point target;
    if (m_paging)
        target = page ? *page : pagedTarget(velocity);
    else if (outside)
        target = clampedOffset(offset); // spring back, however the finger left
    else
        target = clampedOffset({offset.x + velocity.x / kDecelerationRate, offset.y + velocity.y / kDecelerationRate});
    if (m_delegate) {
        m_delegate->scrollViewWillEndDragging(*this, velocity, &target);
        target = clampedOffset(target);
    }
    bool willDecelerate = length(target - offset) >= 0.5;
    gfx::EdgeInsets insetsBefore = m_contentInset;
    if (m_delegate)
        m_delegate->scrollViewDidEndDragging(*this, willDecelerate);
    // The delegate may open or close a band at an edge as the finger leaves.
    if (m_contentInset != insetsBefore && !m_paging) {
        target = outside ? clampedOffset(offset) : clampedOffset(target);
        willDecelerate = length(target - offset) >= 0.5;
    }
    if (!willDecelerate) {
        applyOffset(target);
        updateIndicators();
        return;
    }
    double distance = length(target - offset);
    double rate = std::clamp(length(velocity) / distance, (m_paging || outside) ? kSettleRate : kDecelerationRate, kMaxRate);
    m_decelerating = true;
    m_springingBack = outside;
    if (m_delegate)
        m_delegate->scrollViewWillBeginDecelerating(*this);
    if (m_decelerating) // the delegate may have stopped it
        startDeceleration(target, rate);
}

void ScrollView::startDeceleration(gfx::Point target, double rate)
{
    m_motionFrom = contentOffset();
    m_motionTo = target;
    m_motionRate = rate;
    m_motionStart = now();
    m_decelerating = true;
    if (!m_timer)
        m_timer = base::Timer::scheduled(kFrameInterval, true, [this](base::Timer&) { tick(); });
    updateIndicators();
}

void ScrollView::startOffsetAnimation(gfx::Point target)
{
    m_motionFrom = contentOffset();
    m_motionTo = target;
    m_motionStart = now();
    m_motionDuration = kScrollAnimationDuration;
    m_animatingScroll = true;
    if (!m_timer)
        m_timer = base::Timer::scheduled(kFrameInterval, true, [this](base::Timer&) { tick(); });
    updateIndicators();
}

void ScrollView::startZoomAnimation(double scale)
{
    m_zoomFrom = m_zoomScale;
    m_zoomTo = scale;
    m_zoomMovesOffset = false;
    m_motionStart = now();
    m_motionDuration = kScrollAnimationDuration;
    m_animatingZoom = true;
    if (!m_timer)
        m_timer = base::Timer::scheduled(kFrameInterval, true, [this](base::Timer&) { tick(); });
}

void ScrollView::tick()
{
    double t = now() - m_motionStart;
    if (m_animatingZoom) {
        double p = m_motionDuration > 0 ? t / m_motionDuration : 1;
        if (p >= 1) {
            m_animatingZoom = false;
            applyZoom(m_zoomTo);
            applyOffset(clampedOffset(m_zoomMovesOffset ? m_zoomOffsetTo : contentOffset()));
            m_zoomMovesOffset = false;
            if (m_delegate)
                m_delegate->scrollViewDidEndZooming(*this, m_delegate->viewForZoomingInScrollView(*this), m_zoomScale);
        } else {
            double e = easeOut(p);
            applyZoom(m_zoomFrom + (m_zoomTo - m_zoomFrom) * e);
            if (m_zoomMovesOffset)
                applyOffset(clampedOffset({m_zoomOffsetFrom.x + (m_zoomOffsetTo.x - m_zoomOffsetFrom.x) * e,
                                           m_zoomOffsetFrom.y + (m_zoomOffsetTo.y - m_zoomOffsetFrom.y) * e}));
            else
                applyOffset(clampedOffset(contentOffset()));
        }
    }
    if (m_animatingScroll) {
        double p = m_motionDuration > 0 ? t / m_motionDuration : 1;
        if (p >= 1) {
            m_animatingScroll = false;
            applyOffset(m_motionTo);
            updateIndicators();
            if (m_delegate)
                m_delegate->scrollViewDidEndScrollingAnimation(*this);
        } else {
            double e = easeOut(p);
            applyOffset({m_motionFrom.x + (m_motionTo.x - m_motionFrom.x) * e,
                         m_motionFrom.y + (m_motionTo.y - m_motionFrom.y) * e});
        }
    }
    if (m_decelerating) {
        double k = std::exp(-m_motionRate * t);
        gfx::Point offset{m_motionTo.x + (m_motionFrom.x - m_motionTo.x) * k,
                          m_motionTo.y + (m_motionFrom.y - m_motionTo.y) * k};
        double remaining = length(m_motionTo - offset);
        // Stop once the motion is too slow to see.
        if (remaining < 0.5 || remaining * m_motionRate < 5) {
            m_decelerating = false;
            applyOffset(m_motionTo);
            updateIndicators();
            if (m_delegate)
                m_delegate->scrollViewDidEndDecelerating(*this);
        } else {
            applyOffset(offset);
        }
    }
    if (!m_decelerating && !m_animatingScroll && !m_animatingZoom)
        stopTimer();
}

void ScrollView::stopTimer()
{
    if (m_timer)
        m_timer->invalidate();
    m_timer.reset();
}

void ScrollView::finishScrolling()
{
    if (m_decelerating) {
        m_decelerating = false;
        applyOffset(m_motionTo);
        if (m_delegate)
            m_delegate->scrollViewDidEndDecelerating(*this);
    }
    if (m_animatingScroll) {
        m_animatingScroll = false;
        applyOffset(m_motionTo);
        if (m_delegate)
            m_delegate->scrollViewDidEndScrollingAnimation(*this);
    }
    if (!m_decelerating && !m_animatingScroll && !m_animatingZoom)
        stopTimer();
    updateIndicators();
}

void ScrollView::stopScrolling()
{
    m_decelerating = false;
    m_animatingScroll = false;
    if (!m_animatingZoom)
        stopTimer();
}

void ScrollView::applyZoom(double scale)
{
    m_zoomScale = scale;
    View* zoomView = m_delegate ? m_delegate->viewForZoomingInScrollView(*this) : nullptr;
    if (zoomView) {
        gfx::Size size = zoomView->bounds().size;
        zoomView->setTransform(gfx::AffineTransform::scaling(scale, scale));
        zoomView->setCenter({size.width * scale / 2, size.height * scale / 2});
        setContentSize({size.width * scale, size.height * scale});
    }
    if (m_delegate)
        m_delegate->scrollViewDidZoom(*this);
}

void ScrollView::setZoomScale(double scale, bool animated)
{
    scale = std::clamp(scale, m_minimumZoom, std::max(m_minimumZoom, m_maximumZoom));
    m_animatingZoom = false;
    if (animated && scale != m_zoomScale) {
        startZoomAnimation(scale);
        return;
    }
    applyZoom(scale);
    applyOffset(clampedOffset(contentOffset()));
}

void ScrollView::zoomToRect(const gfx::Rect& rect, bool animated)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    double scale = std::min(bounds().width() / rect.width(), bounds().height() / rect.height());
    scale = std::clamp(scale, m_minimumZoom, std::max(m_minimumZoom, m_maximumZoom));
    gfx::Point target{rect.x() * scale, rect.y() * scale};
    stopScrolling();
    if (animated) {
        startZoomAnimation(scale);
        m_zoomMovesOffset = true;
        m_zoomOffsetFrom = contentOffset();
        m_zoomOffsetTo = target;
        return;
    }
    m_animatingZoom = false;
    applyZoom(scale);
    applyOffset(clampedOffset(target));
    if (m_delegate)
        m_delegate->scrollViewDidEndZooming(*this, m_delegate->viewForZoomingInScrollView(*this), m_zoomScale);
}

void ScrollView::handlePinch()
{
    using State = GestureRecognizer::State;
    switch (m_pinch->state()) {
    case State::Began:
        stopScrolling();
        m_animatingZoom = false;
        m_zooming = true;
        m_pinchStartScale = m_zoomScale;
        {
            gfx::Point p = m_pinch->locationInView(this);
            m_zoomAnchor = {p.x / m_zoomScale, p.y / m_zoomScale};
        }
        [[fallthrough]];
    case State::Changed: {
        // Keep the content point that was under the fingers under them.
        gfx::Point fingers = m_pinch->locationInView(this) - contentOffset();
        double scale = std::clamp(m_pinchStartScale * m_pinch->scale(), m_minimumZoom, std::max(m_minimumZoom, m_maximumZoom));
        applyZoom(scale);
        applyOffset(clampedOffset({m_zoomAnchor.x * scale - fingers.x, m_zoomAnchor.y * scale - fingers.y}));
        break;
    }
    case State::Ended:
    case State::Cancelled:
        if (m_zooming) {
            m_zooming = false;
            if (m_delegate)
                m_delegate->scrollViewDidEndZooming(*this, m_delegate->viewForZoomingInScrollView(*this), m_zoomScale);
        }
        break;
    default:
        break;
    }
}

} // namespace ui
