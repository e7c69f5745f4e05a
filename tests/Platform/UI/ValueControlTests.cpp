#include "ControlTestSupport.h"

#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/ProgressView.h"
#include "Platform/UI/SegmentedControl.h"
#include "Platform/UI/Slider.h"
#include "Platform/UI/Switch.h"

using namespace ui;
using ui::test::ControlsTest;
using ui::test::isBluish;

namespace {


class SwitchTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        toggle = View::make<Switch>(gfx::Rect(100, 100, 500, 500));
        window->addSubview(toggle);
        toggle->addTarget([this](Control&) { ++changes; }, ControlEventValueChanged);
    }
    std::shared_ptr<Switch> toggle;
    int changes = 0;
};

} // namespace

TEST_F(SwitchTest, TapTogglesAndReportsOnlyUserChanges)
{
    EXPECT_EQ(toggle->frame().size, Switch::kSize);
    EXPECT_FALSE(toggle->isOn());
    tap({120, 110});
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(changes, 1);
    tap({170, 110});
    EXPECT_FALSE(toggle->isOn());
    EXPECT_EQ(changes, 2);
    toggle->setOn(true);
    EXPECT_EQ(changes, 2);

    window->touchDown(1, {120, 110});
    window->touchCancelled(1);
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(changes, 2);
}

TEST_F(SwitchTest, DragDecidesByWhereTheKnobIsLeft)
{
    drag({110, 113}, {122, 113});
    EXPECT_FALSE(toggle->isOn()) << "the knob was left on the off half";
    EXPECT_EQ(changes, 0);
    drag({110, 113}, {175, 113});
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(changes, 1);
    drag({170, 113}, {60, 113});
    EXPECT_FALSE(toggle->isOn());
    EXPECT_EQ(changes, 2);
}

TEST_F(SwitchTest, KnobSlidesOnTheClockAndColoursFollowIt)
{
    View::setAnimationsEnabled(true);
    gfx::Image off = window->snapshot();
    EXPECT_FALSE(isBluish(pixel(off, 110, 113)));

    toggle->setOn(true, true);
    gfx::Point start = toggle->subviews().front()->presentation().center;
    base::RunLoop::main().advance(0.1);
    gfx::Point middle = toggle->subviews().front()->presentation().center;
    base::RunLoop::main().advance(0.5);
    gfx::Point end = toggle->subviews().front()->presentation().center;
    EXPECT_LT(start.x, middle.x);
    EXPECT_LT(middle.x, end.x);
    EXPECT_DOUBLE_EQ(end.x, toggle->subviews().front()->center().x);

    gfx::Image on = window->snapshot();
    EXPECT_TRUE(isBluish(pixel(on, 110, 113)));
    EXPECT_FALSE(isBluish(pixel(on, 170, 113)));
}

TEST_F(ControlsTest, SegmentedControlSelectsOnLiftAndReportsChanges)
{
    auto segments = View::make<SegmentedControl>(std::vector<std::string>{"Day", "Week", "Month"}, gfx::Rect(100, 100, 300, 44));
    window->addSubview(segments);
    std::vector<int> seen;
    segments->addTarget([&](Control& c) { seen.push_back(static_cast<SegmentedControl&>(c).selectedSegmentIndex()); },
                        ControlEventValueChanged);
    EXPECT_EQ(segments->selectedSegmentIndex(), SegmentedControl::kNoSegment);

    tap({350, 120});
    tap({350, 120});
    EXPECT_EQ(segments->selectedSegmentIndex(), 2);
    drag({150, 120}, {250, 120});
    EXPECT_EQ(segments->selectedSegmentIndex(), 1) << "the segment under the lifted finger";
    drag({150, 120}, {150, 300});
    EXPECT_EQ(segments->selectedSegmentIndex(), 1) << "lifted outside: nothing";
    EXPECT_EQ(seen, (std::vector<int>{2, 1}));

    gfx::Image shot = window->snapshot();
    EXPECT_TRUE(isBluish(pixel(shot, 210, 105)));
    EXPECT_FALSE(isBluish(pixel(shot, 110, 105)));

    segments->insertSegmentWithTitle("Year", 0);
    EXPECT_EQ(segments->selectedSegmentIndex(), 2);
    EXPECT_EQ(segments->titleForSegmentAtIndex(2), "Week");
    segments->removeSegmentAtIndex(2);
    EXPECT_EQ(segments->selectedSegmentIndex(), SegmentedControl::kNoSegment);

    segments->setMomentary(true);
    seen.clear();
    tap({120, 120});
    tap({120, 120});
    EXPECT_EQ(seen, (std::vector<int>{0, 0})) << "actions see the tapped segment every time";
    EXPECT_EQ(segments->selectedSegmentIndex(), SegmentedControl::kNoSegment);
}

TEST_F(ControlsTest, ScriptedTextTapsLandOnTheNamedSegment)
{
    auto segments = View::make<SegmentedControl>(std::vector<std::string>{"All", "Submitted", "Unsubmitted"},
                                                 gfx::Rect(100, 100, 300, 44));
    window->addSubview(segments);
    Driver driver(*window);
    ScriptRunner runner(driver);
    // Each title is part of the control's text, and "Submitted" is part of "Unsubmitted".
    for (auto [title, index] : std::vector<std::pair<std::string, int>>{{"Unsubmitted", 2}, {"Submitted", 1}, {"All", 0}, {"Unsub", 2}}) {
        ASSERT_TRUE(runner.runText("tap \"" + title + "\"\n")) << runner.error();
        EXPECT_EQ(segments->selectedSegmentIndex(), index) << title;
    }
}

TEST_F(ControlsTest, SliderFollowsTheThumbAndReportsByMode)
{
    auto slider = View::make<Slider>(gfx::Rect(100, 100, 223, 23));
    window->addSubview(slider);
    slider->setMinimumValue(10);
    slider->setMaximumValue(20);
    slider->setValue(5);
    EXPECT_DOUBLE_EQ(slider->value(), 10);
    int changes = 0;
    slider->addTarget([&](Control&) { ++changes; }, ControlEventValueChanged);

    // The track runs from 111.5 to 311.5 in the window.
    drag({112, 111}, {211.5, 111}, 4);
    EXPECT_NEAR(slider->value(), 15, 0.05);
    EXPECT_EQ(changes, 4);

    drag({260, 111}, {300, 111});
    EXPECT_NEAR(slider->value(), 15, 0.05) << "touches away from the thumb do nothing";
    EXPECT_EQ(changes, 4);

    slider->setContinuous(false);
    drag({212, 111}, {500, 111});
    EXPECT_DOUBLE_EQ(slider->value(), 20);
    EXPECT_EQ(changes, 5);

    gfx::Image shot = window->snapshot();
    EXPECT_TRUE(isBluish(pixel(shot, 150, 111)));
    slider->setValue(10);
    EXPECT_FALSE(isBluish(pixel(window->snapshot(), 150, 111)));
}

TEST_F(ControlsTest, ProgressViewFillsItsFraction)
{
    for (auto style : {ProgressViewStyle::Default, ProgressViewStyle::Bar}) {
        auto progress = View::make<ProgressView>(style, gfx::Rect(100, 100, 200, 10));
        window->addSubview(progress);
        progress->setProgress(1.7);
        EXPECT_DOUBLE_EQ(progress->progress(), 1);
        progress->setProgress(0.5);
        gfx::Image shot = window->snapshot();
        EXPECT_TRUE(isBluish(pixel(shot, 150, 105)));
        EXPECT_FALSE(isBluish(pixel(shot, 250, 105)));
        progress->removeFromSuperview();
    }
}

TEST_F(ControlsTest, ActivityIndicatorTurnsOnTheClockAndHidesWhenStopped)
{
    auto spinner = View::make<ActivityIndicator>(ActivityIndicatorStyle::Gray);
    spinner->setCenter({200, 200});
    window->addSubview(spinner);
    EXPECT_EQ(spinner->frame().size, (gfx::Size{20, 20}));
    EXPECT_TRUE(spinner->isHidden());

    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    gfx::Image first = window->snapshot();
    gfx::Color top = pixel(first, 200, 192);
    EXPECT_LT(top.r, 0.9) << "spokes are drawn";
    base::RunLoop::main().advance(1.0 / 12 + 0.001);
    gfx::Image next = window->snapshot();
    EXPECT_NE(pixel(next, 200, 192), top) << "the bright spoke moved on";
    base::RunLoop::main().advance(11.0 / 12);
    EXPECT_EQ(pixel(window->snapshot(), 200, 192), top) << "a full turn a second";

    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());
    spinner->setHidesWhenStopped(false);
    EXPECT_FALSE(spinner->isHidden());

    spinner->setStyle(ActivityIndicatorStyle::WhiteLarge);
    EXPECT_EQ(spinner->frame().size, (gfx::Size{37, 37}));
    EXPECT_EQ(spinner->center(), (gfx::Point{200, 200}));

    spinner->startAnimating();
    spinner->removeFromSuperview();
    spinner.reset();
    base::RunLoop::main().advance(1); // a released spinner's timer never fires
}
