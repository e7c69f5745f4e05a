#include "UITestSupport.h"

#include "Platform/Graphics/Context.h"

using namespace ui;
using uitest::RecordingView;
using uitest::WindowTest;

namespace {

TEST(ViewGeometry, FrameFollowsCentreBoundsAndTransform)
{
    View v(gfx::Rect(10, 20, 100, 50));
    EXPECT_EQ(v.center(), (gfx::Point{60, 45}));
    EXPECT_EQ(v.bounds(), gfx::Rect(0, 0, 100, 50));
    v.setTransform(gfx::AffineTransform::scaling(2, 2));
    EXPECT_EQ(v.frame(), gfx::Rect(-40, -5, 200, 100)); // scaled about the centre
    EXPECT_EQ(v.bounds().size, (gfx::Size{100, 50})); // the transform leaves bounds alone
    v.setTransform({});
    v.setBounds({30, 40, 100, 50}); // scrolling moves content, not the frame
    EXPECT_EQ(v.frame(), gfx::Rect(10, 20, 100, 50));
}

TEST(ViewGeometry, AutoresizingSpreadsTheChangeOverFlexibleParts)
{
    View parent(gfx::Rect(0, 0, 200, 100));
    auto stretch = std::make_shared<View>(gfx::Rect(10, 10, 180, 20));
    stretch->setAutoresizingMask(AutoresizingFlexibleWidth);
    auto pinnedRight = std::make_shared<View>(gfx::Rect(150, 60, 40, 30));
    pinnedRight->setAutoresizingMask(AutoresizingFlexibleLeftMargin | AutoresizingFlexibleTopMargin);
    auto fixed = std::make_shared<View>(gfx::Rect(5, 5, 10, 10));
    parent.addSubview(stretch);
    parent.addSubview(pinnedRight);
    parent.addSubview(fixed);
    parent.setFrame({0, 0, 300, 200});
    EXPECT_EQ(stretch->frame(), gfx::Rect(10, 10, 280, 20));
    EXPECT_EQ(pinnedRight->frame(), gfx::Rect(250, 160, 40, 30));
    EXPECT_EQ(fixed->frame(), gfx::Rect(5, 5, 10, 10));
    parent.setAutoresizesSubviews(false);
    parent.setFrame({0, 0, 100, 100});
    EXPECT_EQ(stretch->frame(), gfx::Rect(10, 10, 280, 20));
}

TEST(ViewHierarchy, OrderingTagsAndMoves)
{
    auto root = std::make_shared<View>(gfx::Rect(0, 0, 100, 100));
    auto a = std::make_shared<View>(), b = std::make_shared<View>(), c = std::make_shared<View>();
    a->setTag(1);
    b->setTag(2);
    c->setTag(3);
    root->addSubview(a);
    root->addSubview(b);
    root->insertSubviewBelowSubview(c, a.get());
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{c, a, b}));
    root->bringSubviewToFront(c.get());
    root->insertSubviewAboveSubview(b, c.get()); // reorder within the same parent
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>>{a, c, b}));

    auto deep = std::make_shared<View>();
    deep->setTag(42);
    b->addSubview(deep);
    EXPECT_EQ(root->viewWithTag(42), deep.get());
    EXPECT_EQ(root->viewWithTag(99), nullptr);

    a->addSubview(deep); // moving detaches from the old parent
    EXPECT_TRUE(b->subviews().empty());
    EXPECT_EQ(deep->superview(), a.get());
    deep->removeFromSuperview();
    EXPECT_EQ(deep->superview(), nullptr);
    EXPECT_EQ(root->viewWithTag(42), nullptr);
}

TEST(ViewHierarchy, HitTestingTakesTheFrontmostInteractiveView)
{
    auto root = std::make_shared<View>(gfx::Rect(0, 0, 300, 300));
    auto back = std::make_shared<View>(gfx::Rect(0, 0, 200, 200));
    auto front = std::make_shared<View>(gfx::Rect(100, 100, 100, 100));
    auto child = std::make_shared<View>(gfx::Rect(150, 0, 100, 100)); // outside its parent
    root->addSubview(back);
    root->addSubview(front);
    front->addSubview(child);
    EXPECT_EQ(root->hitTest({150, 150}), front.get());
    EXPECT_EQ(root->hitTest({50, 50}), back.get());
    EXPECT_EQ(root->hitTest({260, 150}), child.get()); // children may stick out...
    front->setClipsToBounds(true);
    EXPECT_EQ(root->hitTest({260, 150}), root.get()); // ...unless the parent clips
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({150, 150}), back.get());
    front->setUserInteractionEnabled(true);
    front->setHidden(true);
    EXPECT_EQ(root->hitTest({150, 150}), back.get());
    front->setHidden(false);
    front->setTransform(gfx::AffineTransform::scaling(0.5, 0.5)); // now covers 125..175
    EXPECT_EQ(root->hitTest({120, 120}), back.get());
    EXPECT_EQ(root->hitTest({130, 130}), front.get());
}

TEST(ViewGeometry, ConvertsThroughScrollOffsetsAndTransforms)
{
    Window window;
    auto scroller = std::make_shared<View>(gfx::Rect(100, 100, 200, 200));
    scroller->setBounds({0, 50, 200, 200}); // scrolled down by 50
    auto content = std::make_shared<View>(gfx::Rect(10, 60, 20, 20));
    window.addSubview(scroller);
    scroller->addSubview(content);
    EXPECT_EQ(content->convertPointToView({0, 0}, nullptr), (gfx::Point{110, 110}));
    EXPECT_EQ(content->convertPointFromView({110, 110}, nullptr), (gfx::Point{0, 0}));
    scroller->setTransform(gfx::AffineTransform::scaling(2, 2));
    gfx::Point p = content->convertPointToView({0, 0}, nullptr);
    EXPECT_DOUBLE_EQ(p.x, 200 - 180);
    EXPECT_DOUBLE_EQ(p.y, 200 - 180);
    gfx::Rect r = content->convertRectToView(content->bounds(), scroller.get());
    EXPECT_EQ(r, gfx::Rect(10, 60, 20, 20));
}

class LayoutCounter : public View {
public:
    using View::View;
    int layouts = 0;
    void layoutSubviews() override { ++layouts; }
};

TEST_F(WindowTest, LayoutRunsBeforeRenderingAndAfterScrolling)
{
    auto v = std::make_shared<LayoutCounter>(gfx::Rect(0, 0, 100, 100));
    window->addSubview(v);
    window->snapshot();
    EXPECT_EQ(v->layouts, 1);
    window->snapshot();
    EXPECT_EQ(v->layouts, 1); // nothing changed
    v->setBounds({0, 10, 100, 100});
    window->snapshot();
    EXPECT_EQ(v->layouts, 2);
}

TEST_F(WindowTest, RendersBackgroundsAlphaCornersAndHiddenViews)
{
    window->setBackgroundColor(gfx::Color::white());
    auto red = std::make_shared<View>(gfx::Rect(10, 10, 50, 50));
    red->setBackgroundColor(gfx::Color::red());
    auto half = std::make_shared<View>(gfx::Rect(100, 10, 50, 50));
    half->setBackgroundColor(gfx::Color::blue());
    half->setAlpha(0.5);
    auto round = std::make_shared<View>(gfx::Rect(200, 10, 50, 50));
    round->setBackgroundColor(gfx::Color::black());
    round->setCornerRadius(20);
    auto hidden = std::make_shared<View>(gfx::Rect(300, 10, 50, 50));
    hidden->setBackgroundColor(gfx::Color::green());
    hidden->setHidden(true);
    auto scrolled = std::make_shared<View>(gfx::Rect(400, 10, 50, 50));
    scrolled->setClipsToBounds(true);
    scrolled->setBounds({0, 25, 50, 50});
    auto inner = std::make_shared<View>(gfx::Rect(0, 0, 50, 50));
    inner->setBackgroundColor(gfx::Color::red());
    scrolled->addSubview(inner);
    for (auto& v : {red, half, round, hidden, scrolled})
        window->addSubview(v);

    gfx::Image shot = window->snapshot();
    auto near = [](gfx::Color c, gfx::Color want) {
        return std::abs(c.r - want.r) < 0.02 && std::abs(c.g - want.g) < 0.02 && std::abs(c.b - want.b) < 0.02;
    };
    EXPECT_TRUE(near(shot.colorAt(30, 30), gfx::Color::red()));
    EXPECT_TRUE(near(shot.colorAt(125, 30), {0.5, 0.5, 1, 1}));
    EXPECT_TRUE(near(shot.colorAt(225, 35), gfx::Color::black()));
    EXPECT_TRUE(near(shot.colorAt(201, 11), gfx::Color::white())); // the corner is cut
    EXPECT_TRUE(near(shot.colorAt(325, 35), gfx::Color::white()));
    EXPECT_TRUE(near(shot.colorAt(425, 20), gfx::Color::red()));  // content moved up by 25
    EXPECT_TRUE(near(shot.colorAt(425, 50), gfx::Color::white())); // and clipped below it
}

TEST_F(WindowTest, TouchesGoToTheHitViewWithTapCounts)
{
    auto v = std::make_shared<RecordingView>(gfx::Rect(100, 100, 200, 200));
    window->addSubview(v);
    window->touchDown(1, {150, 160});
    window->touchMoved(1, {400, 400}); // the view keeps the touch outside its bounds
    window->touchUp(1, {400, 400});
    EXPECT_EQ(v->log, (std::vector<std::string>{"began", "moved", "ended"}));
    EXPECT_EQ(v->points.front(), (gfx::Point{50, 60}));
    EXPECT_EQ(v->points.back(), (gfx::Point{300, 300}));

    base::RunLoop::main().advance(1);
    window->touchDown(1, {150, 150});
    window->touchUp(1, {150, 150});
    base::RunLoop::main().advance(0.2);
    window->touchDown(1, {152, 151});
    EXPECT_EQ(v->lastTapCount, 2);
    window->touchUp(1, {152, 151});
    base::RunLoop::main().advance(1);
    window->touchDown(1, {150, 150});
    EXPECT_EQ(v->lastTapCount, 1);
    window->touchUp(1, {150, 150});
}

TEST_F(WindowTest, FirstResponderGetsTypedTextAndLosesItWhenRemoved)
{
    class Field : public View {
    public:
        std::string text;
        std::vector<std::string> keys;
        bool canBecomeFirstResponder() const override { return true; }
        void insertText(const std::string& t) override { text += t; }
        void deleteBackward() override
        {
            if (!text.empty())
                text.pop_back();
        }
        void keyPressed(const std::string& k) override { keys.push_back(k); }
    };
    auto field = std::make_shared<Field>();
    window->addSubview(field);
    window->typeText("ignored");
    EXPECT_TRUE(field->text.empty());
    ASSERT_TRUE(field->becomeFirstResponder());
    window->typeText("ab\nc\bd");
    EXPECT_EQ(field->text, "abd");
    EXPECT_EQ(field->keys, (std::vector<std::string>{"\n"}));
    field->removeFromSuperview();
    EXPECT_FALSE(field->isFirstResponder());
}

} // namespace

namespace {
// Answers only for its left half.
class HalfView : public View {
public:
    using View::View;
    bool pointInside(gfx::Point point) const override { return point.x < bounds().width() / 2; }
};
}

TEST(ViewHierarchy, HitTestingSkipsNearlyInvisibleViewsAndAsksPointInside)
{
    auto root = std::make_shared<View>(gfx::Rect(0, 0, 300, 300));
    auto cover = std::make_shared<HalfView>(gfx::Rect(0, 0, 200, 200));
    root->addSubview(cover);
    EXPECT_EQ(root->hitTest({50, 50}), cover.get());
    EXPECT_EQ(root->hitTest({150, 50}), root.get()); // the override says no
    cover->setAlpha(0.01);
    EXPECT_EQ(root->hitTest({50, 50}), cover.get()); // still takes touches, though unseen
    cover->setAlpha(0.0099);
    EXPECT_EQ(root->hitTest({50, 50}), root.get());
}
