#include "UITestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/PanGestureRecognizer.h"
#include "Platform/UI/PinchGestureRecognizer.h"
#include "Platform/UI/SwipeGestureRecognizer.h"
#include "Platform/UI/TapGestureRecognizer.h"

#include <cmath>

using State = ui::GestureRecognizer::State;

namespace {

class GestureTest : public uitest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        area = ui::View::make<uitest::RecordingView>(gfx::Rect(100, 100, 400, 400));
        window->addSubview(area);
    }

    template <typename R>
    std::shared_ptr<R> attach()
    {
        auto recognizer = std::make_shared<R>();
        recognizer->addTarget([this](ui::GestureRecognizer& r) { states.push_back(r.state()); });
        area->addGestureRecognizer(recognizer);
        return recognizer;
    }

    void tap(gfx::Point p, int id = 1)
    {
        window->touchDown(id, p);
        window->touchUp(id, p);
    }

    // Moves a finger in even steps, `dt` seconds apart.
    void drag(int id, gfx::Point from, gfx::Point to, int steps, double dt, bool lift = true)
    {
        window->touchDown(id, from);
        for (int i = 1; i <= steps; ++i) {
            advance(dt);
            window->touchMoved(id, {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        }
        if (lift)
            window->touchUp(id, to);
    }

    static void advance(double seconds) { base::RunLoop::main().advance(seconds); }

    std::shared_ptr<uitest::RecordingView> area;
    std::vector<State> states;
};

using Log = std::vector<std::string>;

TEST_F(GestureTest, TapRecognizesOnLiftAndCancelsTheViewsTouch)
{
    attach<ui::TapGestureRecognizer>();
    tap({200, 200});
    EXPECT_EQ(states, std::vector<State>{State::Ended});
    EXPECT_EQ(area->log, (Log{"began", "cancelled"}));

    // A finger that wanders is not a tap; the view sees its touch end normally.
    states.clear();
    area->log.clear();
    drag(1, {200, 200}, {230, 200}, 3, 0.02);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(area->log.back(), "ended");

    // Outside the view nothing reaches the recognizer.
    tap({700, 700});
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, DoubleTapNeedsTheSecondTapSoon)
{
    auto doubleTap = attach<ui::TapGestureRecognizer>();
    doubleTap->setNumberOfTapsRequired(2);

    tap({200, 200});
    EXPECT_TRUE(states.empty());
    advance(0.2);
    tap({203, 202});
    EXPECT_EQ(states, std::vector<State>{State::Ended});

    // Too slow: the first tap times out and the recognizer is ready again afterwards.
    states.clear();
    tap({200, 200});
    advance(0.5);
    tap({200, 200});
    EXPECT_TRUE(states.empty());
    advance(0.1);
    tap({200, 200});
    EXPECT_EQ(states, std::vector<State>{State::Ended});

    // Second tap far from the first.
    states.clear();
    advance(1);
    tap({150, 150});
    advance(0.1);
    tap({400, 400});
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, TapCountsFingers)
{
    auto twoFinger = attach<ui::TapGestureRecognizer>();
    twoFinger->setNumberOfTouchesRequired(2);
    tap({200, 200});
    EXPECT_TRUE(states.empty());

    window->touchDown(1, {200, 200});
    window->touchDown(2, {260, 200});
    window->touchUp(1, {200, 200});
    window->touchUp(2, {260, 200});
    EXPECT_EQ(states, std::vector<State>{State::Ended});
}

TEST_F(GestureTest, TapLeavesControlsAlone)
{
    attach<ui::TapGestureRecognizer>();
    auto button = ui::View::make<ui::Button>(ui::ButtonType::RoundedRect, gfx::Rect(10, 10, 100, 40));
    int pressed = 0;
    button->addTarget([&](ui::Control&) { ++pressed; }, ui::ControlEventTouchUpInside);
    area->addSubview(button);
    tap({150, 130});
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, LongPressBeginsOnTheClockAndFollowsTheFinger)
{
    auto press = attach<ui::LongPressGestureRecognizer>();
    auto tapRecognizer = attach<ui::TapGestureRecognizer>();
    window->touchDown(1, {200, 200});
    advance(0.45);
    EXPECT_EQ(press->state(), State::Possible);
    advance(0.1);
    EXPECT_EQ(press->state(), State::Began);
    // Beginning between touch events still takes the touch from the view.
    EXPECT_EQ(area->log, (Log{"began", "cancelled"}));
    window->touchMoved(1, {260, 240});
    EXPECT_EQ(press->state(), State::Changed);
    window->touchUp(1, {260, 240});
    // The tap lost to the long press and did not fire on the lift.
    EXPECT_EQ(states, (std::vector<State>{State::Began, State::Changed, State::Ended}));
    EXPECT_EQ(tapRecognizer->state(), State::Possible); // reset for the next touch
}

TEST_F(GestureTest, LongPressFailsWhenLiftedEarlyOrMoved)
{
    auto press = attach<ui::LongPressGestureRecognizer>();
    press->setMinimumPressDuration(1.0);
    window->touchDown(1, {200, 200});
    advance(0.6);
    window->touchUp(1, {200, 200});
    advance(1);
    EXPECT_TRUE(states.empty());

    window->touchDown(1, {200, 200});
    window->touchMoved(1, {215, 200});
    advance(2);
    window->touchUp(1, {215, 200});
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(area->log.back(), "ended");

    // Within the allowed movement it still begins.
    window->touchDown(1, {200, 200});
    window->touchMoved(1, {206, 205});
    advance(1.1);
    EXPECT_EQ(press->state(), State::Began);
    window->touchUp(1, {206, 205});
}

TEST_F(GestureTest, PanReportsTranslationAndVelocity)
{
    auto pan = attach<ui::PanGestureRecognizer>();
    gfx::Point translationAtEnd, velocityAtEnd;
    pan->addTarget([&](ui::GestureRecognizer& r) {
        if (r.state() == State::Ended) {
            translationAtEnd = pan->translationInView(area.get());
            velocityAtEnd = pan->velocityInView(area.get());
        }
    });
    window->touchDown(1, {200, 200});
    window->touchMoved(1, {206, 203});
    EXPECT_EQ(pan->state(), State::Possible) << "within the slop";
    EXPECT_EQ(area->log.back(), "moved");
    window->touchMoved(1, {220, 210});
    EXPECT_EQ(pan->state(), State::Began);
    EXPECT_EQ(area->log.back(), "cancelled");
    EXPECT_EQ(pan->translationInView(area.get()), (gfx::Point{20, 10}));

    pan->setTranslation({0, 0}, area.get());
    advance(0.2); // resting: the move before this no longer counts for velocity
    // 20 points every 10 ms to the left: 2000 points per second.
    for (int i = 1; i <= 5; ++i) {
        advance(0.01);
        window->touchMoved(1, {220.0 - 20 * i, 210});
    }
    window->touchUp(1, {120, 210});
    EXPECT_EQ(translationAtEnd, (gfx::Point{-100, 0}));
    EXPECT_NEAR(velocityAtEnd.x, -2000, 1);
    EXPECT_NEAR(velocityAtEnd.y, 0, 1e-9);
    EXPECT_EQ(states.front(), State::Began);
    EXPECT_EQ(states.back(), State::Ended);
    EXPECT_EQ(std::count(states.begin(), states.end(), State::Changed), 5);

    // A finger that rests before lifting has no velocity left.
    drag(1, {200, 200}, {300, 200}, 5, 0.01, false);
    advance(0.3);
    window->touchUp(1, {300, 200});
    EXPECT_NEAR(velocityAtEnd.x, 0, 1e-9);
}

TEST_F(GestureTest, PanHonoursTouchCountsAndDelegateVeto)
{
    auto pan = attach<ui::PanGestureRecognizer>();
    pan->setMinimumNumberOfTouches(2);
    drag(1, {200, 200}, {300, 300}, 4, 0.01);
    EXPECT_TRUE(states.empty());

    window->touchDown(1, {200, 200});
    window->touchDown(2, {250, 200});
    window->touchMoved(1, {200, 230});
    window->touchMoved(2, {250, 230});
    EXPECT_TRUE(pan->isActive());
    EXPECT_EQ(pan->translationInView(nullptr), (gfx::Point{0, 30}));
    window->touchUp(1, {200, 230});
    EXPECT_EQ(pan->state(), State::Ended) << "fewer fingers than the minimum end it";
    window->touchUp(2, {250, 230});

    struct Veto : ui::GestureRecognizerDelegate {
        bool gestureRecognizerShouldBegin(ui::GestureRecognizer&) override { return false; }
    } veto;
    pan->setMinimumNumberOfTouches(1);
    pan->setDelegate(&veto);
    states.clear();
    area->log.clear();
    drag(1, {200, 200}, {300, 200}, 4, 0.01);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(area->log.back(), "ended");
    pan->setDelegate(nullptr);
}

TEST_F(GestureTest, SwipeNeedsAQuickStrokeAlongAnAllowedDirection)
{
    auto swipe = attach<ui::SwipeGestureRecognizer>();
    swipe->setDirection(ui::SwipeGestureRecognizer::Left | ui::SwipeGestureRecognizer::Up);

    drag(1, {400, 300}, {300, 310}, 5, 0.02);
    ASSERT_EQ(states, std::vector<State>{State::Ended});
    EXPECT_EQ(swipe->recognizedDirection(), ui::SwipeGestureRecognizer::Left);

    states.clear();
    drag(1, {300, 400}, {290, 320}, 4, 0.02);
    ASSERT_EQ(states, std::vector<State>{State::Ended});
    EXPECT_EQ(swipe->recognizedDirection(), ui::SwipeGestureRecognizer::Up);

    states.clear();
    drag(1, {200, 300}, {300, 300}, 5, 0.02); // right is not allowed
    drag(1, {400, 300}, {300, 300}, 20, 0.1); // far too slow
    drag(1, {400, 400}, {330, 330}, 5, 0.02); // diagonal
    drag(1, {400, 300}, {370, 300}, 3, 0.02); // too short
    EXPECT_TRUE(states.empty());
}

TEST_F(GestureTest, PinchScalesByFingerDistance)
{
    auto pinch = attach<ui::PinchGestureRecognizer>();
    window->touchDown(1, {200, 300});
    window->touchDown(2, {300, 300});
    window->touchMoved(2, {303, 300});
    EXPECT_EQ(pinch->state(), State::Possible);
    for (int i = 1; i <= 4; ++i) {
        advance(0.05);
        window->touchMoved(1, {200.0 - 12.5 * i, 300});
        window->touchMoved(2, {300.0 + 12.5 * i, 300});
    }
    EXPECT_EQ(pinch->state(), State::Changed);
    EXPECT_NEAR(pinch->scale(), 2.0, 1e-9);
    EXPECT_GT(pinch->velocity(), 0);

    pinch->setScale(1);
    advance(0.05);
    window->touchMoved(1, {150, 300});
    window->touchMoved(2, {250, 300});
    EXPECT_NEAR(pinch->scale(), 0.5, 1e-9);
    EXPECT_LT(pinch->velocity(), 0);
    window->touchUp(1, {150, 300});
    EXPECT_EQ(states.back(), State::Ended);
    window->touchUp(2, {250, 300});

    // One finger never pinches.
    states.clear();
    drag(1, {200, 200}, {300, 300}, 4, 0.02);
    EXPECT_TRUE(states.empty());
}

} // namespace
