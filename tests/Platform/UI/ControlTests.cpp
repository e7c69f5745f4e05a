#include "ControlTestSupport.h"

#include "Platform/UI/Control.h"

#include <string>
#include <vector>

using namespace ui;
using ui::test::ControlsTest;

namespace {

// Records every event a control sends, in order.
struct ControlEventLog {
    std::vector<unsigned> events;
    void attach(Control& control)
    {
        for (unsigned bit = 1; bit <= ControlEventEditingDidEndOnExit; bit <<= 1)
            control.addTarget([this, bit](Control&) { events.push_back(bit); }, bit);
    }
    int count(unsigned event) const { return int(std::count(events.begin(), events.end(), event)); }
};

// A plain view that notes touches forwarded up the responder chain.
class TouchSink : public View {
public:
    using View::View;
    void touchesBegan(const std::vector<Touch*>&, Event&) override { ++began; }
    void touchesEnded(const std::vector<Touch*>&, Event&) override { ++ended; }
    int began = 0;
    int ended = 0;
};

class ControlTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        sink = View::make<TouchSink>(gfx::Rect(0, 0, 600, 600));
        window->addSubview(sink);
        control = View::make<Control>(gfx::Rect(100, 100, 100, 40));
        sink->addSubview(control);
        log.attach(*control);
    }
    std::shared_ptr<TouchSink> sink;
    std::shared_ptr<Control> control;
    ControlEventLog log;
};

} // namespace

TEST_F(ControlTest, TapInsideHighlightsWhilePressedAndSendsTouchUpInside)
{
    window->touchDown(1, {150, 120});
    EXPECT_TRUE(control->isHighlighted());
    EXPECT_TRUE(control->isTracking());
    EXPECT_EQ(log.count(ControlEventTouchDown), 1);
    window->touchUp(1, {150, 120});
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTracking());
    EXPECT_EQ(log.events, (std::vector<unsigned>{ControlEventTouchDown, ControlEventTouchUpInside}));
    EXPECT_EQ(sink->began, 0) << "a control keeps its touches";
}

TEST_F(ControlTest, LiftingFarOutsideSendsTouchUpOutsideButWithinToleranceCountsAsInside)
{
    window->touchDown(1, {150, 120});
    window->touchMoved(1, {200 + Control::kTrackingTolerance - 10, 120}); // beyond the edge, within tolerance
    EXPECT_TRUE(control->isHighlighted());
    window->touchMoved(1, {450, 120});
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTouchInside());
    window->touchMoved(1, {190, 130});
    EXPECT_TRUE(control->isHighlighted()) << "coming back inside highlights again";
    window->touchUp(1, {190, 140 + Control::kTrackingTolerance - 5});
    EXPECT_EQ(log.count(ControlEventTouchUpInside), 1);
    EXPECT_GE(log.count(ControlEventTouchDragInside), 2);
    EXPECT_EQ(log.count(ControlEventTouchDragOutside), 1);
    base::RunLoop::main().advance(1);

    log.events.clear();
    drag({150, 120}, {150, 400});
    EXPECT_EQ(log.count(ControlEventTouchUpOutside), 1);
    EXPECT_EQ(log.count(ControlEventTouchUpInside), 0);
    EXPECT_FALSE(control->isHighlighted());
}

TEST_F(ControlTest, CancelledTouchSendsTouchCancelOnly)
{
    window->touchDown(1, {150, 120});
    window->touchCancelled(1);
    EXPECT_EQ(log.events, (std::vector<unsigned>{ControlEventTouchDown, ControlEventTouchCancel}));
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTracking());
}

TEST_F(ControlTest, SecondQuickTapSendsTouchDownRepeat)
{
    window->touchDown(1, {150, 120});
    window->touchUp(1, {150, 120});
    window->touchDown(1, {151, 121});
    window->touchUp(1, {151, 121});
    EXPECT_EQ(log.count(ControlEventTouchDown), 2);
    EXPECT_EQ(log.count(ControlEventTouchDownRepeat), 1);
}

TEST_F(ControlTest, DisabledControlPassesTouchesUpTheChain)
{
    control->setEnabled(false);
    EXPECT_EQ(control->state(), unsigned(ControlStateDisabled));
    tap({150, 120});
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_EQ(sink->began, 1);
    EXPECT_EQ(sink->ended, 1);

    // Disabling in the middle of a press ends the tracking without an up event.
    control->setEnabled(true);
    window->touchDown(1, {150, 120});
    control->setEnabled(false);
    EXPECT_FALSE(control->isHighlighted());
    window->touchUp(1, {150, 120});
    EXPECT_EQ(log.count(ControlEventTouchUpInside), 0);
}

TEST_F(ControlTest, TargetsAreRemovedByIdOrByEvent)
{
    int a = 0, b = 0;
    int idA = control->addTarget([&](Control&) { ++a; }, ControlEventTouchUpInside | ControlEventValueChanged);
    control->addTarget([&](Control&) { ++b; }, ControlEventTouchUpInside);
    control->sendActionsForControlEvents(ControlEventTouchUpInside);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 1);

    control->removeTargets(ControlEventTouchUpInside);
    control->sendActionsForControlEvents(ControlEventTouchUpInside | ControlEventValueChanged);
    EXPECT_EQ(a, 2) << "the value-changed part of the first target stays";
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(control->hasTargetsForEvents(ControlEventValueChanged));

    control->removeTarget(idA);
    control->sendActionsForControlEvents(ControlEventValueChanged);
    EXPECT_EQ(a, 2);
}

TEST_F(ControlTest, ActionMayRemoveTheControlAndItsOtherTargets)
{
    int later = 0;
    control->addTarget([&](Control& c) {
        c.removeTargets(ControlEventAll);
        c.removeFromSuperview();
        control.reset();
    }, ControlEventTouchUpInside);
    control->addTarget([&](Control&) { ++later; }, ControlEventTouchUpInside);
    tap({150, 120});
    EXPECT_FALSE(control);
    EXPECT_EQ(later, 0);
}
