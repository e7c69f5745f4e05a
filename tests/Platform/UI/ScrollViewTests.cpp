#include "UITestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/PinchGestureRecognizer.h"
#include "Platform/UI/ScrollView.h"

#include <cmath>

namespace {

struct RecordingDelegate : ui::ScrollViewDelegate {
    std::vector<std::string> log;
    gfx::Point velocity;
    gfx::Point target;
    std::optional<gfx::Point> overrideTarget;
    ui::View* zoomView = nullptr;
    int scrolls = 0;

    void scrollViewDidScroll(ui::ScrollView&) override { ++scrolls; }
    void scrollViewWillBeginDragging(ui::ScrollView&) override { log.push_back("willBeginDragging"); }
    void scrollViewWillEndDragging(ui::ScrollView&, gfx::Point v, gfx::Point* t) override
    {
        log.push_back("willEndDragging");
        velocity = v;
        if (overrideTarget)
            *t = *overrideTarget;
        target = *t;
    }
    void scrollViewDidEndDragging(ui::ScrollView&, bool decelerate) override
    {
        log.push_back(decelerate ? "didEndDragging+decelerate" : "didEndDragging");
    }
    void scrollViewWillBeginDecelerating(ui::ScrollView&) override { log.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(ui::ScrollView&) override { log.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(ui::ScrollView&) override { log.push_back("didEndScrollingAnimation"); }
    ui::View* viewForZoomingInScrollView(ui::ScrollView&) override { return zoomView; }
    void scrollViewDidEndZooming(ui::ScrollView&, ui::View*, double scale) override
    {
        log.push_back("didEndZooming");
    }
};

class ScrollViewTest : public uitest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        scroll = ui::View::make<ui::ScrollView>(gfx::Rect(100, 100, 400, 300));
        scroll->setContentSize({400, 1200});
        scroll->setDelegate(&delegate);
        window->addSubview(scroll);
    }
    void TearDown() override
    {
        scroll->setDelegate(nullptr);
        WindowTest::TearDown();
    }

    static void advance(double seconds) { base::RunLoop::main().advance(seconds); }

    // A finger moving in even steps `dt` apart; it may rest before lifting.
    void drag(gfx::Point from, gfx::Point to, int steps, double dt, double rest = 0)
    {
        window->touchDown(1, from);
        for (int i = 1; i <= steps; ++i) {
            advance(dt);
            window->touchMoved(1, {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        }
        advance(rest);
        window->touchUp(1, to);
    }

    std::shared_ptr<ui::ScrollView> scroll;
    RecordingDelegate delegate;
};

using Log = std::vector<std::string>;

TEST_F(ScrollViewTest, DragScrollsAndTakesTheTouchFromAButtonInside)
{
    auto button = ui::View::make<ui::Button>(ui::ButtonType::RoundedRect, gfx::Rect(20, 20, 200, 60));
    int pressed = 0;
    button->addTarget([&](ui::Control&) { ++pressed; }, ui::ControlEventTouchUpInside);
    scroll->addSubview(button);

    window->touchDown(1, {200, 150});
    window->touchUp(1, {200, 150});
    EXPECT_EQ(pressed, 1) << "a plain tap still reaches the button";

    // Ten points a step: the slop is passed on the second step, and from there on the content
    // follows the finger.
    drag({200, 150}, {200, 50}, 10, 0.02, 0.3);
    EXPECT_EQ(pressed, 1);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 80}));
    EXPECT_EQ(delegate.log, (Log{"willBeginDragging", "willEndDragging", "didEndDragging"}));
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_FALSE(scroll->isScrollIndicatorVisible());
}

TEST_F(ScrollViewTest, SidewaysDragOnAVerticalScrollerLeavesTheContentAlone)
{
    auto content = ui::View::make<uitest::RecordingView>(gfx::Rect(0, 0, 400, 1200));
    scroll->addSubview(content);
    drag({400, 200}, {200, 205}, 10, 0.02);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_TRUE(delegate.log.empty());
    EXPECT_EQ(content->log.back(), "ended");
}

TEST_F(ScrollViewTest, FlickDeceleratesToTheReportedTarget)
{
    // 20 points every 10 ms upwards: content moves down at 2000 points per second.
    drag({300, 350}, {300, 150}, 10, 0.01);
    EXPECT_NEAR(delegate.velocity.y, 2000, 1);
    EXPECT_EQ(delegate.log, (Log{"willBeginDragging", "willEndDragging", "didEndDragging+decelerate", "willBeginDecelerating"}));
    EXPECT_TRUE(scroll->isDecelerating());
    double released = scroll->contentOffset().y;
    EXPECT_GT(delegate.target.y, released);
    EXPECT_LE(delegate.target.y, scroll->maximumContentOffset().y);

    advance(0.1);
    EXPECT_GT(scroll->contentOffset().y, released);
    EXPECT_LT(scroll->contentOffset().y, delegate.target.y);
    EXPECT_TRUE(scroll->isScrollIndicatorVisible());

    advance(5);
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(scroll->contentOffset(), delegate.target);
    EXPECT_EQ(delegate.log.back(), "didEndDecelerating");
    EXPECT_FALSE(scroll->isScrollIndicatorVisible());
}

TEST_F(ScrollViewTest, FlashingShowsTheIndicatorsForAMoment)
{
    scroll->addSubview(ui::View::make<uitest::RecordingView>(gfx::Rect(0, 0, 400, 1200)));
    scroll->layoutIfNeeded();
    scroll->flashScrollIndicators();
    EXPECT_TRUE(scroll->isScrollIndicatorVisible());
    advance(0.5);
    EXPECT_TRUE(scroll->isScrollIndicatorVisible());
    advance(0.5);
    EXPECT_FALSE(scroll->isScrollIndicatorVisible());
}

TEST_F(ScrollViewTest, DelegateMayMoveTheTarget)
{
    delegate.overrideTarget = gfx::Point{0, 300};
    drag({300, 350}, {300, 250}, 5, 0.01);
    advance(5);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 300}));
}

TEST_F(ScrollViewTest, TouchStopsDeceleration)
{
    drag({300, 350}, {300, 150}, 10, 0.01);
    advance(0.1);
    window->touchDown(1, {300, 300});
    EXPECT_FALSE(scroll->isDecelerating());
    gfx::Point stopped = scroll->contentOffset();
    advance(1);
    EXPECT_EQ(scroll->contentOffset(), stopped);
    window->touchUp(1, {300, 300});
}

TEST_F(ScrollViewTest, PullingPastTheEdgeRubberBandsAndSpringsBack)
{
    drag({300, 150}, {300, 350}, 10, 0.02, 0.3);
    double pulled = -scroll->contentOffset().y;
    EXPECT_GT(pulled, 20);
    EXPECT_LT(pulled, 180) << "content lags the finger beyond the edge";
    EXPECT_TRUE(scroll->isDecelerating());
    advance(3);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_EQ(delegate.log.back(), "didEndDecelerating");

    scroll->setBounces(false);
    drag({300, 150}, {300, 350}, 10, 0.02, 0.3);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
}

TEST_F(ScrollViewTest, ShortContentBouncesOnlyWhenAsked)
{
    scroll->setContentSize({400, 200});
    drag({300, 150}, {300, 350}, 10, 0.02);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_TRUE(delegate.log.empty());

    scroll->setAlwaysBounceVertical(true);
    window->touchDown(1, {300, 150});
    for (int i = 1; i <= 10; ++i)
        window->touchMoved(1, {300, 150.0 + 10 * i});
    EXPECT_LT(scroll->contentOffset().y, 0);
    window->touchUp(1, {300, 250});
    advance(3);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
}

TEST_F(ScrollViewTest, PagingSnapsToWholePages)
{
    scroll->setContentSize({1600, 300});
    scroll->setPagingEnabled(true);
    // Slowly past half a page: the nearest page.
    drag({450, 200}, {180, 200}, 27, 0.02, 0.3);
    advance(3);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{400, 0}));
    // Slowly less than half a page: back.
    drag({450, 200}, {330, 200}, 12, 0.02, 0.3);
    advance(3);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{400, 0}));
    // A short quick flick: the next page.
    drag({450, 200}, {390, 200}, 3, 0.01);
    advance(3);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{800, 0}));
    EXPECT_EQ(delegate.log.back(), "didEndDecelerating");
    // Never past the last page.
    drag({450, 200}, {250, 200}, 10, 0.01);
    advance(3);
    drag({450, 200}, {250, 200}, 10, 0.01);
    advance(3);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{1200, 0}));
}

TEST_F(ScrollViewTest, AnimatedOffsetRunsOnTheClock)
{
    scroll->setContentOffset({0, 600}, true);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 0}));
    advance(0.15);
    EXPECT_GT(scroll->contentOffset().y, 0);
    EXPECT_LT(scroll->contentOffset().y, 600);
    advance(0.2);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 600}));
    EXPECT_EQ(delegate.log, Log{"didEndScrollingAnimation"});

    scroll->setContentOffset({0, 100});
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 100}));
    EXPECT_EQ(scroll->bounds().origin, (gfx::Point{0, 100}));
    scroll->scrollRectToVisible({0, 900, 50, 50}, false);
    EXPECT_EQ(scroll->contentOffset(), (gfx::Point{0, 650}));
}

TEST_F(ScrollViewTest, ZoomToRectFitsTheRectangleWithinTheLimits)
{
    auto content = ui::View::make(gfx::Rect(0, 0, 400, 300));
    scroll->addSubview(content);
    scroll->setContentSize({400, 300});
    delegate.zoomView = content.get();
    scroll->setMaximumZoomScale(2);
    struct Case {
        gfx::Rect rect;
        bool animated;
        double scale;
        gfx::Point offset;
    };
    for (Case c : {Case{{100, 75, 200, 150}, true, 2, {200, 150}},
                   // Wider than tall: the width decides; the limit holds a smaller rectangle.
                   Case{{0, 0, 300, 100}, false, 4.0 / 3, {0, 0}}, Case{{300, 200, 50, 50}, true, 2, {400, 300}},
                   // The bounds again: back to 1, wherever the offset was.
                   Case{{0, 0, 400, 300}, true, 1, {0, 0}}}) {
        delegate.log.clear();
        scroll->zoomToRect(c.rect, c.animated);
        if (c.animated) {
            advance(0.1);
            double mid = scroll->zoomScale();
            EXPECT_TRUE(delegate.log.empty());
            EXPECT_GT(std::abs(mid - c.scale), 1e-6) << c.rect.x();
        }
        advance(0.5);
        EXPECT_NEAR(scroll->zoomScale(), c.scale, 1e-9) << c.rect.x();
        EXPECT_NEAR(scroll->contentOffset().x, c.offset.x, 1e-6) << c.rect.x();
        EXPECT_NEAR(scroll->contentOffset().y, c.offset.y, 1e-6) << c.rect.x();
        EXPECT_EQ(delegate.log, (std::vector<std::string>{"didEndZooming"})) << c.rect.x();
    }
}

TEST_F(ScrollViewTest, ZoomClampsAndScalesTheZoomingView)
{
    auto content = ui::View::make(gfx::Rect(0, 0, 400, 300));
    scroll->addSubview(content);
    scroll->setContentSize({400, 300});
    delegate.zoomView = content.get();
    scroll->setMinimumZoomScale(0.5);
    scroll->setMaximumZoomScale(3);

    scroll->setZoomScale(5);
    EXPECT_EQ(scroll->zoomScale(), 3);
    EXPECT_EQ(scroll->contentSize(), (gfx::Size{1200, 900}));
    EXPECT_EQ(content->frame(), (gfx::Rect{0, 0, 1200, 900}));
    scroll->setZoomScale(0.1);
    EXPECT_EQ(scroll->zoomScale(), 0.5);

    scroll->setZoomScale(2, true);
    advance(0.5);
    EXPECT_EQ(scroll->zoomScale(), 2);
    EXPECT_EQ(delegate.log.back(), "didEndZooming");
    scroll->setZoomScale(1);

    // Two fingers spreading far apart zoom in up to the maximum.
    delegate.log.clear();
    gfx::Point anchor, under;
    auto& pinch = scroll->pinchGestureRecognizer();
    pinch.addTarget([&](ui::GestureRecognizer& r) {
        gfx::Point p = content->convertPointFromView(r.locationInView(nullptr), nullptr);
        if (r.state() == ui::GestureRecognizer::State::Began)
            anchor = p;
        else if (r.state() == ui::GestureRecognizer::State::Changed)
            under = p;
    });
    window->touchDown(1, {280, 250});
    window->touchDown(2, {320, 250});
    for (int i = 1; i <= 10; ++i) {
        advance(0.02);
        window->touchMoved(1, {280.0 - 15 * i, 250});
        window->touchMoved(2, {320.0 + 15 * i, 250});
    }
    EXPECT_TRUE(scroll->isZooming());
    EXPECT_EQ(scroll->zoomScale(), 3);
    // The content point that was between the fingers when the pinch began stays there.
    EXPECT_NEAR(anchor.x, 200, 10);
    EXPECT_NEAR(anchor.y, 150, 1e-6);
    EXPECT_NEAR(under.x, anchor.x, 1e-6);
    EXPECT_NEAR(under.y, anchor.y, 1e-6);
    window->touchUp(1, {130, 250});
    window->touchUp(2, {470, 250});
    EXPECT_FALSE(scroll->isZooming());
    EXPECT_EQ(delegate.log.back(), "didEndZooming");
}

} // namespace

namespace {

// A band opened or closed at the top edge, as a pull-to-refresh list does: the rest the motion
// heads for follows the new range, and a change at rest inside an animation moves over it.
TEST_F(ScrollViewTest, AnInsetChangeRetargetsTheRestWhileBouncingAndAnimatesAtRest)
{
    struct Opener : RecordingDelegate {
        std::function<void(ui::ScrollView&)> onEnd;
        void scrollViewDidEndDragging(ui::ScrollView& s, bool decelerate) override
        {
            RecordingDelegate::scrollViewDidEndDragging(s, decelerate);
            if (onEnd)
                onEnd(s);
        }
    } opener;
    scroll->setDelegate(&opener);
    auto openAtTop = [](ui::ScrollView& s) { s.setContentInset({60, 0, 0, 0}); };

    struct Case {
        const char* name;
        bool inDelegate;   // opened as the finger lifts, else half way through the bounce
    } cases[] = {{"opened on release", true}, {"opened while bouncing", false}};
    for (const auto& c : cases) {
        scroll->setContentInset({});
        scroll->setContentOffset({0, 0});
        opener.onEnd = c.inDelegate ? std::function<void(ui::ScrollView&)>(openAtTop) : nullptr;
        window->touchDown(1, {300, 150});
        window->touchMoved(1, {300, 170});
        window->touchMoved(1, {300, 180});
        scroll->setContentOffset({0, -130});
        advance(0.1);
        window->touchUp(1, {300, 180});
        if (!c.inDelegate) {
            advance(0.05);
            ASSERT_TRUE(scroll->isDecelerating()) << c.name;
            ASSERT_LT(scroll->contentOffset().y, -60) << c.name;
            openAtTop(*scroll);
        }
        advance(3);
        EXPECT_EQ(scroll->contentOffset().y, -60) << c.name;
        EXPECT_FALSE(scroll->isDecelerating()) << c.name;
    }

    // At rest on the band, closing it inside a 0.3 s animation moves the offset over it.
    double start = base::RunLoop::main().now();
    ui::View::animate(0.3, [&] { scroll->setContentInset({}); });
    EXPECT_EQ(scroll->contentOffset().y, 0);
    advance(start + 0.15 - base::RunLoop::main().now());
    double shown = scroll->presentation().bounds.y();
    EXPECT_GT(shown, -60);
    EXPECT_LT(shown, 0);
    advance(1);
    EXPECT_EQ(scroll->presentation().bounds.y(), 0);

    // Inside the range nothing moves.
    scroll->setContentOffset({0, 300});
    scroll->setContentInset({60, 0, 0, 0});
    EXPECT_EQ(scroll->contentOffset().y, 300);
    scroll->setDelegate(&delegate);
}

} // namespace
