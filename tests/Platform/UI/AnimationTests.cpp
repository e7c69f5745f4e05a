#include "UITestSupport.h"

#include "Platform/UI/Animation.h"

#include <cmath>

using namespace ui;
using uitest::WindowTest;

namespace {

using AnimationTest = WindowTest;

TEST_F(AnimationTest, ModelChangesAtOnceWhileTheScreenInterpolates)
{
    auto v = std::make_shared<View>(gfx::Rect(0, 0, 100, 100));
    v->setAlpha(0);
    window->addSubview(v);
    std::vector<bool> finished;
    View::AnimationOptions options;
    options.duration = 1;
    options.curve = View::AnimationOptions::Curve::Linear;
    View::animate(options, [&] {
        v->setAlpha(1);
        v->setCenter({250, 50});
    }, [&](bool done) { finished.push_back(done); });

    EXPECT_EQ(v->alpha(), 1);
    EXPECT_EQ(v->center(), (gfx::Point{250, 50}));
    EXPECT_NEAR(v->presentation().alpha, 0, 1e-9);
    base::RunLoop::main().advance(0.25);
    EXPECT_NEAR(v->presentation().alpha, 0.25, 1e-9);
    EXPECT_NEAR(v->presentation().center.x, 100, 1e-9);
    EXPECT_TRUE(finished.empty());
    EXPECT_TRUE(v->hasRunningAnimations());
    base::RunLoop::main().advance(0.75);
    EXPECT_EQ(finished, (std::vector<bool>{true}));
    EXPECT_EQ(v->presentation().alpha, 1);
    EXPECT_FALSE(v->hasRunningAnimations());
    // Hit testing uses the model: the view is already at its new place.
    EXPECT_EQ(window->hitTest({240, 40}), v.get());
}

TEST_F(AnimationTest, AnInterruptedAnimationReportsNotFinishedAndTheNewOneStartsWhereItWas)
{
    auto v = std::make_shared<View>(gfx::Rect(0, 0, 10, 10));
    window->addSubview(v);
    View::AnimationOptions options;
    options.duration = 1;
    options.curve = View::AnimationOptions::Curve::Linear;
    std::vector<bool> first, second;
    View::animate(options, [&] { v->setAlpha(0); }, [&](bool d) { first.push_back(d); });
    base::RunLoop::main().advance(0.5);
    View::animate(options, [&] { v->setAlpha(1); }, [&](bool d) { second.push_back(d); });
    EXPECT_NEAR(v->presentation().alpha, 0.5, 1e-9);
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(first, (std::vector<bool>{false}));
    EXPECT_NEAR(v->presentation().alpha, 0.75, 1e-9);
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(second, (std::vector<bool>{true}));
}

TEST_F(AnimationTest, DelaysAndTheGlobalSwitch)
{
    auto v = std::make_shared<View>(gfx::Rect(0, 0, 10, 10));
    window->addSubview(v);
    View::AnimationOptions options;
    options.duration = 1;
    options.delay = 2;
    options.curve = View::AnimationOptions::Curve::Linear;
    bool done = false;
    View::animate(options, [&] { v->setAlpha(0); }, [&](bool) { done = true; });
    base::RunLoop::main().advance(1.5);
    EXPECT_EQ(v->presentation().alpha, 1); // still waiting
    base::RunLoop::main().advance(1);
    EXPECT_NEAR(v->presentation().alpha, 0.5, 1e-9);
    base::RunLoop::main().advance(1);
    EXPECT_TRUE(done);

    View::setAnimationsEnabled(false);
    bool instant = false;
    View::animate(5, [&] { v->setAlpha(1); }, [&](bool finished) { instant = finished; });
    EXPECT_TRUE(instant);
    EXPECT_EQ(v->presentation().alpha, 1);
    View::setAnimationsEnabled(true);
}

TEST_F(AnimationTest, KeyedLayerAnimationsRepeatReverseAndCanBeRemoved)
{
    auto v = std::make_shared<View>(gfx::Rect(0, 0, 10, 10));
    window->addSubview(v);
    auto blink = LayerAnimation::make("opacity");
    blink->values = {1, 0};
    blink->duration = 1;
    blink->autoreverses = true;
    blink->repeatCount = 2;
    std::vector<bool> stops;
    blink->didStop = [&](bool finished) { stops.push_back(finished); };
    v->addAnimation(blink, "blink");
    base::RunLoop::main().advance(0.5);
    EXPECT_NEAR(v->presentation().alpha, 0.5, 1e-9);
    base::RunLoop::main().advance(1.0); // halfway back
    EXPECT_NEAR(v->presentation().alpha, 0.5, 1e-9);
    base::RunLoop::main().advance(1.0); // second cycle, going out again
    EXPECT_NEAR(v->presentation().alpha, 0.5, 1e-9);
    EXPECT_EQ(v->alpha(), 1); // the model never changes
    base::RunLoop::main().advance(1.6);
    EXPECT_EQ(stops, (std::vector<bool>{true}));
    EXPECT_TRUE(v->animationKeys().empty());

    auto spin = LayerAnimation::make("transform.rotation");
    spin->values = {0, 2 * M_PI};
    spin->duration = 1;
    spin->repeatCount = INFINITY;
    spin->didStop = [&](bool finished) { stops.push_back(finished); };
    v->addAnimation(spin, "spin");
    base::RunLoop::main().advance(100.25);
    auto t = v->presentation().transform;
    EXPECT_NEAR(t.b, 1, 1e-6); // a quarter turn
    v->removeAnimationForKey("spin");
    EXPECT_EQ(stops, (std::vector<bool>{true, false}));
    EXPECT_TRUE(v->presentation().transform.isIdentity());
}

} // namespace
