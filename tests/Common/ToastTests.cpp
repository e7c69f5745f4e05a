#include "tests/App/AppWindowTestSupport.h"

#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/UIToast.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/TextView.h"

#include <algorithm>
#include <cstdlib>

namespace {

using apptest::AppWindowTest;

class ToastTest : public AppWindowTest {
protected:
    static gfx::Font toastFont() { return gfx::Font("Arial", 18); }
    bool onWindow(const std::shared_ptr<UIToast>& toast) const { return toast->superview() == window.get(); }
};

TEST_F(ToastTest, BoxIsTheMeasuredTextPlusMarginsCentredLowOnTheWindow)
{
    auto toast = std::make_shared<UIToast>();
    toast->show("Saved");
    ASSERT_TRUE(onWindow(toast));
    gfx::Size text = gfx::sizeOfText("Saved", toastFont(), {260, 300}, gfx::LineBreakMode::WordWrap);
    EXPECT_EQ(toast->bounds().size, (gfx::Size{text.width + 30, text.height + 20}));
    EXPECT_EQ(toast->center(), (gfx::Point{512, 576}));
    EXPECT_EQ(toast->gravity(), 2);
    EXPECT_EQ(toast->length(), 0);

    auto* box = dynamic_cast<ui::TextView*>(toast->animationView().get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->frame(), toast->bounds());
    EXPECT_FALSE(box->isEditable());

    // The other placements: centre, and upper for anything else.
    auto middle = std::make_shared<UIToast>();
    middle->showGravityLength("Saved", 1, 0);
    EXPECT_EQ(middle->center(), (gfx::Point{512, 384}));
    auto upper = std::make_shared<UIToast>();
    upper->showGravityLength("", 7, 0);
    EXPECT_EQ(upper->bounds().size, (gfx::Size{30, 20}));
    EXPECT_EQ(upper->center(), (gfx::Point{512, 192}));
}

TEST_F(ToastTest, ShortAndLongToastsLeaveAfterTheirFiveSteps)
{
    double start = now();
    auto brief = std::make_shared<UIToast>();
    brief->show("Added to favourites");
    auto lasting = std::make_shared<UIToast>();
    lasting->showGravityLength("Order submitted", 2, 1);

    advanceTo(start, 0.25); // popped in past full size
    EXPECT_GT(brief->presentation().transform.a, 1.0);
    advanceTo(start, 1.79);
    EXPECT_TRUE(onWindow(brief));
    advanceTo(start, 1.8);
    EXPECT_FALSE(onWindow(brief));
    EXPECT_TRUE(brief->subviews().empty());
    EXPECT_TRUE(onWindow(lasting));
    advanceTo(start, 4.29);
    EXPECT_TRUE(onWindow(lasting));
    advanceTo(start, 4.3);
    EXPECT_FALSE(onWindow(lasting));

    // Done is done: a late step changes nothing.
    size_t onScreen = window->subviews().size();
    brief->animationStep();
    EXPECT_FALSE(onWindow(brief));
    EXPECT_EQ(window->subviews().size(), onScreen);
    EXPECT_EQ(brief->animation(), 5);
}

TEST_F(ToastTest, LongTextsWrapAtTheWidthAndStopGrowingAtTheHeightLimit)
{
    // Short words, so every line fills up to the width.
    std::string text;
    while (text.size() < 600)
        text += "ok ";
    auto toast = std::make_shared<UIToast>();
    toast->show(text);
    gfx::Size box = toast->bounds().size;
    EXPECT_LE(box.width, 260 + 30);
    EXPECT_GT(box.width, 240 + 30);
    EXPECT_LE(box.height, 300 + 20);
    EXPECT_GT(box.height, 300 + 20 - toastFont().lineHeight());
}

TEST_F(ToastTest, ToastsRunOnTheirOwn)
{
    double start = now();
    auto first = std::make_shared<UIToast>();
    first->show("First");
    advanceTo(start, 1.0);
    auto second = std::make_shared<UIToast>();
    second->show("Second");
    advanceTo(start, 1.8);
    EXPECT_FALSE(onWindow(first));
    EXPECT_TRUE(onWindow(second));
    advanceTo(start, 2.81); // 1.8 s after it began
    EXPECT_FALSE(onWindow(second));
}

TEST_F(ToastTest, AReadyMadeViewKeepsItsSizeAndTakesTheFraction)
{
    auto content = std::make_shared<ui::View>(gfx::Rect(300, 300, 100, 40));
    auto toast = std::make_shared<UIToast>();
    toast->showViewWithGravityLength(content, 0.5f, 1);
    EXPECT_EQ(toast->animationView(), content);
    EXPECT_EQ(content->frame(), gfx::Rect(0, 0, 100, 40));
    EXPECT_EQ(toast->bounds().size, (gfx::Size{100, 40}));
    EXPECT_EQ(toast->center(), (gfx::Point{512, 384}));
    EXPECT_EQ(toast->gravity(), 0);
    EXPECT_TRUE(toast->transformForOrientation().isIdentity());
}

TEST_F(ToastTest, MidHoldTheBoxIsDrawnGreyAtFullSize)
{
    double start = now();
    auto toast = std::make_shared<UIToast>();
    toast->show("Product added to favourites");
    advanceTo(start, 0.55);
    gfx::Rect shown = toast->frame();
    EXPECT_NEAR(toast->presentation().transform.a, 1.0, 0.01);
    window->setBackgroundColor(gfx::Color::white());
    gfx::Image shot = window->snapshot();
    // Inside the box, left of the text: the grey over white.
    gfx::Color inside = shot.colorAt(static_cast<int>(shown.x()) + 4, static_cast<int>(shown.midY()));
    double grey = 0.85 * 90 / 255.0 + 0.15;
    EXPECT_NEAR(inside.r, grey, 0.03);
    EXPECT_NEAR(inside.g, grey, 0.03);
    EXPECT_NEAR(inside.b, grey, 0.03);
    // For a person to look at once: BRIVANTA_REVIEW_DIR names where.
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
        EXPECT_EQ(shot.writePng(std::string(review) + "/toast_mid_hold.png"), nullptr);
    }
}

} // namespace

namespace {

TEST_F(ToastTest, TheAttributeNoticeShowsWholeInBothLanguages)
{
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        const std::string text = Language::stringWithName("CHOOSEATTRIBUTE");
        double start = now();
        auto toast = std::make_shared<UIToast>();
        toast->show(text);
        advanceTo(start, 0.55);
        window->setBackgroundColor(gfx::Color::white());
        gfx::Image shot = window->snapshot();
        if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
            EXPECT_EQ(shot.writePng(std::string(review) + "/toast_attribute_" + std::to_string(language) + ".png"), nullptr);
        }
        auto* box = dynamic_cast<ui::TextView*>(toast->animationView().get());
        ASSERT_NE(box, nullptr);
        // Every line of the text within the box, as it draws it.
        EXPECT_LE(box->contentSize().height, box->bounds().height());
        // The white text as drawn sits in the middle of the grey box, with the room the box
        // was measured with around it: 15 points a side, 10 above and below.
        gfx::Rect frame = toast->frame();
        double left = frame.maxX(), right = frame.x(), top = frame.maxY(), bottom = frame.y();
        // Clear of the rounded corners, where the white behind shows.
        for (int y = static_cast<int>(frame.y()) + 8; y < static_cast<int>(frame.maxY()) - 8; ++y)
            for (int x = static_cast<int>(frame.x()) + 2; x < static_cast<int>(frame.maxX()) - 2; ++x)
                if (shot.colorAt(x, y).r > 0.75) {
                    left = std::min(left, double(x));
                    right = std::max(right, double(x + 1));
                    top = std::min(top, double(y));
                    bottom = std::max(bottom, double(y + 1));
                }
        ASSERT_LT(left, right);
        EXPECT_GE(left - frame.x(), 13);
        EXPECT_GE(frame.maxX() - right, 13);
        EXPECT_NEAR((top + bottom) / 2, frame.midY(), 3);
        // One line: a notice this short is not broken to leave a word alone below it.
        EXPECT_LT(bottom - top, 1.5 * toastFont().lineHeight());
        advanceTo(start, 2);
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

} // namespace
