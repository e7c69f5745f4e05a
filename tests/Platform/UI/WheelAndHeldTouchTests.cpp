#include "UITestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ScrollView.h"

using namespace ui;
using uitest::RecordingView;

namespace {

class CountingDelegate : public ScrollViewDelegate {
public:
    int scrolls = 0;
    void scrollViewDidScroll(ScrollView&) override { ++scrolls; }
};

// A scroll view that counts its layout passes, as the grid relies on one per step.
class LayoutCountingScrollView : public ScrollView {
public:
    using ScrollView::ScrollView;
    int layouts = 0;
    void layoutSubviews() override
    {
        ++layouts;
        ScrollView::layoutSubviews();
    }
};

class WheelTest : public uitest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        outer = View::make<LayoutCountingScrollView>(gfx::Rect(0, 0, 600, 400));
        outer->setContentSize({600, 2000});
        outer->setDelegate(&outerDelegate);
        // Inside: a sideways strip that cannot scroll vertically.
        inner = View::make<ScrollView>(gfx::Rect(0, 100, 600, 100));
        inner->setContentSize({1800, 100});
        outer->addSubview(inner);
        window->addSubview(outer);
        window->layoutIfNeeded();
    }
    std::shared_ptr<LayoutCountingScrollView> outer;
    std::shared_ptr<ScrollView> inner;
    CountingDelegate outerDelegate;
};

TEST_F(WheelTest, TheInnermostScrollViewThatCanMoveThatWayTakesTheWheel)
{
    Driver driver(*window);
    struct Case {
        gfx::Point at;
        double dx, dy;
        bool moved;
        gfx::Point outerOffset, innerOffset;
    };
    const Case cases[] = {
        {{300, 50}, 0, 120, true, {0, 120}, {0, 0}},      // plain content: the outer one
        {{300, 30}, 0, -40, true, {0, 80}, {0, 0}},       // back up
        {{300, 100}, 0, 40, true, {0, 120}, {0, 0}},      // over the strip, vertical: the strip passes it on
        {{300, 50}, 300, 0, true, {0, 120}, {300, 0}},    // over the strip (now -20 to 80 on screen), sideways: the strip
        {{300, 300}, 500, 0, false, {0, 120}, {300, 0}},  // sideways beside the strip: nothing scrolls that way
        {{300, 300}, 0, -1000, true, {0, 0}, {300, 0}},   // clamped at the top
        {{300, 300}, 0, -10, false, {0, 0}, {300, 0}},    // already at the top
        {{300, 300}, 0, 5000, true, {0, 1600}, {300, 0}}, // clamped at the end
        {{800, 300}, 0, -50, false, {0, 1600}, {300, 0}}, // outside every scroll view
    };
    for (const auto& c : cases) {
        int scrollsBefore = outerDelegate.scrolls;
        int layoutsBefore = outer->layouts;
        EXPECT_EQ(driver.scrollWheel(c.at, c.dx, c.dy), c.moved) << c.at.x << "," << c.at.y << " by " << c.dx << "," << c.dy;
        EXPECT_EQ(outer->contentOffset(), c.outerOffset);
        EXPECT_EQ(inner->contentOffset(), c.innerOffset);
        bool outerMoved = c.moved && c.dy != 0;
        EXPECT_EQ(outerDelegate.scrolls > scrollsBefore, outerMoved);
        EXPECT_EQ(outer->layouts > layoutsBefore, outerMoved) << "the layout pass runs as for a drag";
    }

    ScriptRunner runner(driver);
    EXPECT_TRUE(runner.runText("wheel 300 300 0 -100\n")) << runner.error();
    EXPECT_EQ(outer->contentOffset(), (gfx::Point{0, 1500}));
    EXPECT_FALSE(runner.runText("wheel 800 300 0 10\n"));
    EXPECT_NE(runner.error().find("nothing under the pointer"), std::string::npos);
}

using HeldTouchTest = uitest::WindowTest;

TEST_F(HeldTouchTest, HeldFingersAndMultiFingerTapsReachTheViewThroughTheWindow)
{
    struct FingerCounter : RecordingView {
        using RecordingView::RecordingView;
        std::vector<size_t> fingersAtEnd;
        void touchesEnded(const std::vector<Touch*>& t, Event& e) override
        {
            fingersAtEnd.push_back(e.allTouches().size());
            RecordingView::touchesEnded(t, e);
        }
    };
    auto pad = View::make<FingerCounter>(gfx::Rect(100, 100, 300, 300));
    window->addSubview(pad);
    Driver driver(*window);

    driver.press({150, 150});
    driver.moveTo({160, 170});
    driver.moveTo({200, 220});
    EXPECT_TRUE(driver.isPressed());
    driver.release();
    EXPECT_FALSE(driver.isPressed());
    EXPECT_EQ(pad->log, (std::vector<std::string>{"began", "moved", "moved", "ended"}));
    EXPECT_EQ(pad->points.back(), (gfx::Point{100, 120})) << "lifted where it was last moved";

    pad->log.clear();
    pad->fingersAtEnd.clear();
    driver.tap({250, 250}, 3);
    EXPECT_EQ(pad->log, (std::vector<std::string>{"began", "began", "began", "ended", "ended", "ended"}));
    // The first finger lifts while all three are down; each lift leaves one fewer.
    EXPECT_EQ(pad->fingersAtEnd, (std::vector<size_t>{3, 2, 1}));

    ScriptRunner runner(driver);
    pad->log.clear();
    EXPECT_TRUE(runner.runText("press 150 150\nmove 150 200\nrelease\ntap 200 200 2\n")) << runner.error();
    EXPECT_EQ(pad->log, (std::vector<std::string>{"began", "moved", "ended", "began", "began", "ended", "ended"}));
    EXPECT_FALSE(runner.runText("release\n"));
    EXPECT_FALSE(runner.runText("move 10 10\n"));
}

TEST(HighlightHookTest, LabelsImageViewsAndControlsAnswerOtherViewsDoNot)
{
    base::RunLoop::main().setManualClock(true);
    auto label = View::make<Label>();
    auto image = View::make<ImageView>();
    auto button = View::make<Button>(ButtonType::Custom, gfx::Rect(0, 0, 10, 10));
    auto plain = View::make<View>();
    EXPECT_EQ(plain->highlightable(), nullptr);
    for (View* v : {static_cast<View*>(label.get()), static_cast<View*>(image.get()), static_cast<View*>(button.get())}) {
        Highlightable* h = v->highlightable();
        ASSERT_NE(h, nullptr) << v->className();
        EXPECT_FALSE(h->isHighlighted());
        h->setHighlighted(true);
        EXPECT_TRUE(h->isHighlighted());
    }
    EXPECT_TRUE(label->isHighlighted());
    EXPECT_TRUE(image->isHighlighted());
    // A control's own highlight path runs (its state changes with it).
    EXPECT_TRUE(button->state() & ControlStateHighlighted);
    base::RunLoop::main().setManualClock(false);
}

} // namespace
