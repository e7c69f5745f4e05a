#include "UITestSupport.h"

#include "Platform/UI/Animation.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/BarViews.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/ViewController.h"

using namespace ui;

namespace {

class TransitionTest : public uitest::WindowTest {
protected:
    static void advance(double seconds) { base::RunLoop::main().advance(seconds); }
    // Red or blue at a window point, from a fresh frame.
    std::string colourAt(double x, double y)
    {
        gfx::Image shot = window->snapshot();
        double s = shot.scale();
        uint32_t p = shot.pixelAt(static_cast<int>(x * s), static_cast<int>(y * s));
        int r = (p >> 16) & 0xff, b = p & 0xff;
        return r > 200 && b < 60 ? "red" : b > 200 && r < 60 ? "blue" : "other";
    }
};

TEST_F(TransitionTest, SnapshotIsTheSubtreeAsDrawn)
{
    auto page = View::make(gfx::Rect(100, 50, 200, 100));
    page->setBackgroundColor(gfx::Color::fromRgb(255, 0, 0));
    auto inner = View::make(gfx::Rect(150, 0, 50, 100));
    inner->setBackgroundColor(gfx::Color::fromRgb(0, 0, 255));
    page->addSubview(inner);
    window->addSubview(page);
    gfx::Image picture = page->snapshotImage(2);
    ASSERT_EQ(picture.pixelWidth(), 400);
    ASSERT_EQ(picture.pixelHeight(), 200);
    EXPECT_EQ(picture.pixelAt(10, 10), 0xffff0000u);
    EXPECT_EQ(picture.pixelAt(390, 190), 0xff0000ffu);
}

TEST_F(TransitionTest, TransitionsSlideTheOldPictureAgainstTheNewContent)
{
    struct Case {
        View::TransitionOptions::Type type;
        View::TransitionOptions::Subtype subtype;
        // At a quarter of the way (linear): what shows at x 40 and x 160 of a 200-wide view.
        const char* left;
        const char* right;
    };
    using T = View::TransitionOptions;
    for (Case c : {// The old red moves out to the right, uncovering the new blue at the left.
                   Case{T::Type::Reveal, T::Subtype::FromLeft, "blue", "red"},
                   Case{T::Type::Reveal, T::Subtype::FromRight, "red", "blue"},
                   // The new blue comes in from the right over the old red.
                   Case{T::Type::MoveIn, T::Subtype::FromRight, "red", "blue"},
                   Case{T::Type::MoveIn, T::Subtype::FromLeft, "blue", "red"}}) {
        auto page = View::make(gfx::Rect(0, 0, 200, 100));
        page->setBackgroundColor(gfx::Color::fromRgb(255, 0, 0));
        window->addSubview(page);
        T options;
        options.type = c.type;
        options.subtype = c.subtype;
        options.duration = 0.4;
        options.curve = View::AnimationOptions::Curve::Linear;
        page->addTransition(options, "step");
        page->setBackgroundColor(gfx::Color::fromRgb(0, 0, 255));
        EXPECT_EQ(page->animationKeys(), std::vector<std::string>{"step"});
        advance(0.1);
        EXPECT_EQ(colourAt(40, 50), c.left);
        EXPECT_EQ(colourAt(160, 50), c.right);
        advance(0.4);
        EXPECT_TRUE(page->animationKeys().empty());
        EXPECT_EQ(colourAt(40, 50), "blue");
        EXPECT_EQ(colourAt(160, 50), "blue");
        page->removeFromSuperview();
    }
}

TEST_F(TransitionTest, EndEditingResignsOnlyInsideTheSubtree)
{
    auto form = View::make(gfx::Rect(0, 0, 300, 100));
    auto other = View::make(gfx::Rect(0, 200, 300, 100));
    auto field = View::make<TextField>(gfx::Rect(10, 10, 200, 30));
    form->addSubview(field);
    window->addSubview(form);
    window->addSubview(other);
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(other->endEditing());
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(form->endEditing());
    EXPECT_FALSE(field->isFirstResponder());
}

TEST_F(TransitionTest, TitleViewTakesThePlaceOfTheTitleText)
{
    auto first = std::make_shared<ViewController>();
    first->setTitle("Catalogue");
    auto nav = std::make_shared<NavigationController>(first);
    window->setRootViewController(nav);
    auto second = std::make_shared<ViewController>();
    second->setTitle("Hidden title");
    auto label = View::make<Label>(gfx::Rect(0, 5, 1024, 30));
    label->setText("Product 3");
    second->setTitleView(label);
    nav->pushViewController(second, false);
    auto* bar = dynamic_cast<NavigationBarView*>(label->superview());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->titleView(), label);
    EXPECT_EQ(label->frame(), gfx::Rect(0, 5, 1024, 30));
    nav->popViewController(false);
    EXPECT_EQ(label->superview(), nullptr);
    EXPECT_EQ(bar->titleView(), nullptr);
    EXPECT_EQ(bar->title(), "Catalogue");
}

TEST_F(TransitionTest, ALeftItemReplacesTheBackButtonAndABackgroundSlipsUnderTheTitle)
{
    auto root = std::make_shared<ViewController>();
    root->setTitle("Catalogue");
    auto nav = std::make_shared<NavigationController>(root);
    window->setRootViewController(nav);
    auto page = std::make_shared<ViewController>();
    page->setTitle("Product");
    auto back = View::make<Button>(ButtonType::Custom);
    back->setFrame({0, 0, 78, 34});
    int backTaps = 0;
    back->addTarget([&](Control&) { ++backTaps; nav->popViewController(false); }, ControlEventTouchUpInside);
    page->setLeftBarButtonItem(std::make_shared<BarButtonItem>(back));
    nav->pushViewController(page, false);

    auto* bar = dynamic_cast<NavigationBarView*>(nav->navigationBar().get());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->leftView(), back.get());
    EXPECT_EQ(back->frame(), gfx::Rect(7, 5, 78, 34));
    // Where the automatic back item would be, a tap beside the custom view goes nowhere.
    EXPECT_TRUE(bar->backRect().isEmpty());
    Driver driver(*window);
    driver.tap(gfx::Point{100, 22});
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    // A background at index 0 covers the bar but not its title nor its left view.
    auto background = View::make(bar->bounds());
    background->setBackgroundColor(gfx::Color::fromRgb(255, 0, 0));
    bar->insertSubviewAtIndex(background, 0);
    EXPECT_EQ(colourAt(1000, 40), "red");
    gfx::Image shot = window->snapshot();
    double s = shot.scale();
    int dark = 0;
    for (double x = 462; x < 562; x += 0.5) {
        uint32_t p = shot.pixelAt(static_cast<int>(x * s), static_cast<int>(22 * s));
        dark += ((p >> 16) & 0xff) < 128;
    }
    EXPECT_GT(dark, 0) << "the title is hidden under the background";

    EXPECT_TRUE(driver.tap(back.get()));
    EXPECT_EQ(backTaps, 1);
    EXPECT_EQ(nav->topViewController(), root);
    // The root brings no left item: the custom view leaves the bar, the background stays.
    EXPECT_EQ(bar->leftView(), nullptr);
    EXPECT_EQ(back->superview(), nullptr);
    EXPECT_EQ(bar->subviews().front(), background);
}

} // namespace
