#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <optional>
#include <string>

namespace base {
class Timer;
}

namespace ui {

class ScrollView;
class PanGestureRecognizer;
class PinchGestureRecognizer;

// Hears what a scroll view does. Every operation is optional.
class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(ScrollView&) {}
    virtual void scrollViewWillBeginDragging(ScrollView&) {}
    // Velocity in points per second of content offset; the target may be changed.
    virtual void scrollViewWillEndDragging(ScrollView&, gfx::Point velocity, gfx::Point* targetContentOffset) {}
    virtual void scrollViewDidEndDragging(ScrollView&, bool willDecelerate) {}
    virtual void scrollViewWillBeginDecelerating(ScrollView&) {}
    virtual void scrollViewDidEndDecelerating(ScrollView&) {}
    virtual void scrollViewDidEndScrollingAnimation(ScrollView&) {}
    virtual View* viewForZoomingInScrollView(ScrollView&) { return nullptr; }
    virtual void scrollViewDidZoom(ScrollView&) {}
    virtual void scrollViewDidEndZooming(ScrollView&, View* view, double scale) {}
    // A key for the scroll view (see ScrollView::scrollByKey); true when the delegate took it.
    virtual bool scrollViewHandleKey(ScrollView&, const std::string& key) { return false; }
};

// A view whose bounds origin scrolls over larger content: dragged by a finger, decelerating
// after release, bouncing at the edges, paging and zooming on request.
class ScrollView : public View {
public:
    ScrollView();
    explicit ScrollView(const gfx::Rect& frame);
    ~ScrollView() override;
    const char* className() const override { return "ScrollView"; }

    gfx::Size contentSize() const { return m_contentSize; }
    void setContentSize(gfx::Size size);
    gfx::Point contentOffset() const { return bounds().origin; }
    void setContentOffset(gfx::Point offset, bool animated = false);
    gfx::EdgeInsets contentInset() const { return m_contentInset; }
    // While decelerating the rest moves into the new range; at rest outside it the offset
    // moves to its edge (animated inside an animation block).
    void setContentInset(const gfx::EdgeInsets& insets);
    // The range the offset rests in, from the content size and insets.
    gfx::Point minimumContentOffset() const;
    gfx::Point maximumContentOffset() const;
    // A mouse wheel or touchpad moves the offset by `delta` along the axes that scroll, kept
    // within range; the delegate and the layout hear of it as of a drag. False when it cannot
    // move that way. A paging view takes the wheel as a short drag of its own (a vertical
    // wheel turning horizontal pages): every notch's worth of wheel (kWheelNotch points)
    // turns one page at once, however fast the notches come, a turn under way first reaching
    // its page; less than a notch turns one page once the wheel rests, as a flick would.
    virtual bool scrollByWheel(gfx::Point delta);
    // Points of content one notch of a mouse wheel stands for.
    static constexpr double kWheelNotch = 40;
    // "pageup"/"pagedown" scroll by a screenful, "up"/"down" by a line (lineKeyOffset),
    // "home"/"end" go to the top and the bottom; a
    // paging view turns one page with those and with "left"/"right", and goes to its first and
    // last page. The delegate may take the key first. False when nothing moved.
    bool scrollByKey(const std::string& key);
    // The vertical offset one line up or down from `offsetY`: a wheel's notch here; a list
    // moves by one of its rows.
    virtual double lineKeyOffset(double offsetY, bool down);
    // Makes the rectangle (content coordinates) visible, scrolling as little as needed.
    void scrollRectToVisible(const gfx::Rect& rect, bool animated);

    bool bounces() const { return m_bounces; }
    void setBounces(bool on) { m_bounces = on; }
    bool alwaysBounceVertical() const { return m_alwaysBounceVertical; }
    void setAlwaysBounceVertical(bool on) { m_alwaysBounceVertical = on; }
    bool alwaysBounceHorizontal() const { return m_alwaysBounceHorizontal; }
    void setAlwaysBounceHorizontal(bool on) { m_alwaysBounceHorizontal = on; }
    bool isPagingEnabled() const { return m_paging; }
    void setPagingEnabled(bool on) { m_paging = on; }
    bool isScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool on);
    bool showsScrollIndicators() const { return m_showsIndicators; }
    void setShowsScrollIndicators(bool on) { m_showsIndicators = on; }

    bool isDragging() const { return m_dragging; }
    bool isDecelerating() const { return m_decelerating; }
    bool isZooming() const { return m_zooming; }
    bool isScrollIndicatorVisible() const;
    // Shows the indicators for a moment, to tell that there is more to scroll to.
    void flashScrollIndicators();

    double minimumZoomScale() const { return m_minimumZoom; }
    void setMinimumZoomScale(double scale) { m_minimumZoom = scale; }
    double maximumZoomScale() const { return m_maximumZoom; }
    void setMaximumZoomScale(double scale) { m_maximumZoom = scale; }
    double zoomScale() const { return m_zoomScale; }
    // Clamped to the minimum and maximum; scales the delegate's zooming view.
    void setZoomScale(double scale, bool animated = false);
    // Zooms so that the rectangle (in the zooming view's unzoomed coordinates) fills the
    // bounds as far as the zoom limits allow, its origin at the top-left where the content
    // reaches; the delegate hears scrollViewDidZoom on the way and scrollViewDidEndZooming.
    void zoomToRect(const gfx::Rect& rect, bool animated);

    ScrollViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(ScrollViewDelegate* delegate) { m_delegate = delegate; }

    PanGestureRecognizer& panGestureRecognizer() { return *m_pan; }
    PinchGestureRecognizer& pinchGestureRecognizer() { return *m_pinch; }

    void layoutSubviews() override;

protected:
    // Stops deceleration and scrolling animation where they are.
    void stopScrolling();
    // Brings deceleration or a scrolling animation to its end at once; the delegate hears of
    // the end as if it had run its course.
    void finishScrolling();
    // Scroll indicators are subviews too; subclasses that manage subviews skip them.
    bool isScrollIndicator(const View* view) const;

private:
    friend class ScrollGestureDelegate;
    friend class ScrollPanRecognizer;
    void setUp();
    void applyOffset(gfx::Point offset);
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;
    gfx::Point clampedOffset(gfx::Point offset) const;
    gfx::Point rubberBandedOffset(gfx::Point offset) const;
    gfx::Point pagedTarget(gfx::Point velocity) const;
    void handlePan();
    void handlePinch();
    void endDragging();
    // The end of a drag whose content moves at `velocity` points per second; a paging view
    // rests on `page` when given.
    void finishDrag(gfx::Point velocity, std::optional<gfx::Point> page = std::nullopt);
    bool pageByWheel(gfx::Point delta);
    // Ends a wheel's drag on the next page, or back on its own when `turn` is false.
    void endWheelPaging(bool turn);
    void wheelRested();
    // Moves towards `target`, slowing exponentially at `rate` per second.
    void startDeceleration(gfx::Point target, double rate);
    void startOffsetAnimation(gfx::Point target);
    void startZoomAnimation(double scale);
    void tick();
    void stopTimer();
    void applyZoom(double scale);
    void updateIndicators();

    gfx::Size m_contentSize;
    gfx::EdgeInsets m_contentInset;
    bool m_bounces = true;
    bool m_alwaysBounceVertical = false;
    bool m_alwaysBounceHorizontal = false;
    bool m_paging = false;
    bool m_scrollEnabled = true;
    bool m_showsIndicators = true;
    bool m_dragging = false;
    bool m_decelerating = false;
    bool m_springingBack = false; // decelerating back inside from past an edge
    bool m_animatingScroll = false;
    bool m_zooming = false;
    bool m_animatingZoom = false;
    double m_minimumZoom = 1;
    double m_maximumZoom = 1;
    double m_zoomScale = 1;
    ScrollViewDelegate* m_delegate = nullptr;

    std::shared_ptr<PanGestureRecognizer> m_pan;
    std::shared_ptr<PinchGestureRecognizer> m_pinch;
    std::unique_ptr<class ScrollGestureDelegate> m_gestureDelegate;
    gfx::Point m_dragStartOffset;
    // A wheel turning pages: moved as a drag until it rests or has gone a notch.
    bool m_wheelPaging = false;
    double m_wheelTravel = 0;   // along the pages, in the drag under way
    int m_wheelTurns = 0;       // pages turned since the wheel last rested
    std::shared_ptr<base::Timer> m_wheelRest;

    // Motion driven by the main loop's clock.
    std::shared_ptr<base::Timer> m_timer;
    double m_motionStart = 0;
    double m_motionRate = 0;
    double m_motionDuration = 0;
    gfx::Point m_motionFrom;
    gfx::Point m_motionTo;
    double m_zoomFrom = 1;
    double m_zoomTo = 1;
    // A zoom to a rectangle moves the offset along with the scale.
    bool m_zoomMovesOffset = false;
    gfx::Point m_zoomOffsetFrom;
    gfx::Point m_zoomOffsetTo;

    // Pinch anchor: the content point under the fingers, in unzoomed units.
    gfx::Point m_zoomAnchor;
    double m_pinchStartScale = 1;

    std::shared_ptr<View> m_verticalIndicator;
    std::shared_ptr<View> m_horizontalIndicator;
    double m_flashUntil = -1; // run-loop time until which the indicators show
};

} // namespace ui
