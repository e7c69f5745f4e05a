// The page control on a headless window: measuring, the dots as drawn, taps through hit
// testing, deferred display and the guarded inputs.
#include "Widgets/BRPageControl.h"

#include "tests/App/AppWindowTestSupport.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/ViewController.h"

#include <gtest/gtest.h>

namespace {

const gfx::Color kCurrent = gfx::Color::fromRgb(53, 107, 168);
const gfx::Color kOther = gfx::Color::lightGray();
constexpr double kTop = 700;
constexpr double kHeight = 30;

gfx::Image solidPicture(gfx::Size size, gfx::Color color)
{
    auto context = gfx::Context::createBitmap(size, 1);
    context->setFillColor(color);
    context->fillRect({{0, 0}, size});
    return context->makeImage();
}

bool near(gfx::Color a, gfx::Color b)
{
    auto close = [](double x, double y) { return std::abs(x - y) < 2.5 / 255; };
    return close(a.r, b.r) && close(a.g, b.g) && close(a.b, b.b) && close(a.a, b.a);
}

class PageControlTest : public apptest::AppWindowTest {
protected:
    PageControlTest()
    {
        screen = std::make_shared<ui::ViewController>();
        window->setRootViewController(screen);
        screen->view()->setBackgroundColor(gfx::Color::black());
        control = std::make_shared<BRPageControl>(gfx::Rect{0, kTop, 1024, kHeight});
        control->setCurrentPageIndicatorTintColor(kCurrent);
        control->setPageIndicatorTintColor(kOther);
        control->addTarget([this](ui::Control&) { ++valueChanges; }, ui::ControlEventValueChanged);
        screen->view()->addSubview(control);
    }

    // The colour at the middle row of the control, x in window points.
    gfx::Color pixel(const gfx::Image& shot, double x) const
    {
        return shot.colorAt(static_cast<int>(x), static_cast<int>(kTop + kHeight / 2));
    }
    // The x of each run of non-black pixels along the middle row, and its colour.
    std::vector<std::pair<int, gfx::Color>> dots(const gfx::Image& shot) const
    {
        std::vector<std::pair<int, gfx::Color>> found;
        bool inside = false;
        for (int x = 0; x < 1024; ++x) {
            gfx::Color c = pixel(shot, x);
            bool lit = c.r + c.g + c.b > 0.3;
            if (lit && !inside)
                found.emplace_back(x, pixel(shot, x + 5));
            inside = lit;
        }
        return found;
    }
    void tapAt(double x) { driver->tap(gfx::Point{x, kTop + kHeight / 2}); }

    std::shared_ptr<ui::ViewController> screen;
    std::shared_ptr<BRPageControl> control;
    int valueChanges = 0;
};

TEST_F(PageControlTest, MeasuresFromDiameterMarginAndPictures)
{
    struct Case {
        const char* name;
        int pages;
        double diameter;
        double margin;
        std::optional<gfx::Size> pagePicture;
        std::optional<gfx::Size> currentPicture;
        gfx::Size expected;
    };
    const Case cases[] = {
        {"defaults, five pages", 5, 10, 10, {}, {}, {90, 10}},
        {"no pages", 0, 10, 10, {}, {}, {0, 10}},
        {"one page has no margin", 1, 10, 10, {}, {}, {10, 10}},
        {"larger dots", 3, 16, 4, {}, {}, {56, 16}},
        {"a wide page picture", 2, 10, 10, gfx::Size{14, 6}, {}, {38, 10}},
        {"the current picture wins", 2, 10, 10, gfx::Size{14, 6}, gfx::Size{8, 20}, {30, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fresh = std::make_shared<BRPageControl>(gfx::Rect{0, 0, 200, 40});
        fresh->setNumberOfPages(c.pages);
        fresh->setIndicatorDiameter(c.diameter);
        fresh->setIndicatorMargin(c.margin);
        if (c.pagePicture)
            fresh->setPageIndicatorImage(solidPicture(*c.pagePicture, gfx::Color::red()));
        if (c.currentPicture)
            fresh->setCurrentPageIndicatorImage(solidPicture(*c.currentPicture, gfx::Color::green()));
        EXPECT_EQ(fresh->sizeForNumberOfPages(c.pages), c.expected);
    }
    // Taking the pictures away measures from the diameter again.
    auto fresh = std::make_shared<BRPageControl>();
    fresh->setPageIndicatorImage(solidPicture({30, 30}, gfx::Color::red()));
    fresh->setPageIndicatorImage({});
    EXPECT_EQ(fresh->measuredIndicatorSize(), (gfx::Size{10, 10}));
}

TEST_F(PageControlTest, FiveDotsCentredWithTheCurrentOneInItsTint)
{
    control->setNumberOfPages(5);
    control->setCurrentPage(2);
    gfx::Image shot = window->snapshot();
    ASSERT_EQ(shot.writePng(reviewPath("page_control_five_dots.png")), nullptr);

    auto found = dots(shot);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].first, 467); // 512 - 90 / 2
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(found[i].first, 467 + 20 * static_cast<int>(i));
        EXPECT_TRUE(near(found[i].second, i == 2 ? kCurrent : kOther));
    }
    EXPECT_EQ(control->rectForPageIndicator(4), (gfx::Rect{547, 0, 10, 10}));
    EXPECT_EQ(control->rectForPageIndicator(5), gfx::Rect());
    EXPECT_EQ(control->rectForPageIndicator(-1), gfx::Rect());
}

TEST_F(PageControlTest, AlignmentsPlaceTheRow)
{
    control->setNumberOfPages(3); // a row 50 wide, 10 high
    struct Case {
        unsigned alignment;
        unsigned vertical;
        int firstX;
        int topY; // window y of the row's top
    };
    const Case cases[] = {
        {BRPageControl::kAlignmentLeft, BRPageControl::kVerticalAlignmentTop, 0, 700},
        {BRPageControl::kAlignmentCenter, BRPageControl::kVerticalAlignmentMiddle, 487, 710},
        {BRPageControl::kAlignmentRight, BRPageControl::kVerticalAlignmentBottom, 973, 720},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alignment);
        control->setAlignment(c.alignment);
        control->setVerticalAlignment(c.vertical);
        gfx::Image shot = window->snapshot();
        gfx::Color inside = shot.colorAt(c.firstX + 5, c.topY + 5);
        EXPECT_TRUE(near(inside, kCurrent));
        EXPECT_FALSE(near(shot.colorAt(c.firstX + 5, c.topY - 2), kCurrent));
        if (c.firstX > 0) {
            EXPECT_FALSE(near(shot.colorAt(c.firstX - 1, c.topY + 5), kCurrent));
        }
    }
}

TEST_F(PageControlTest, TapsStepOnePageAndStopAtTheEnds)
{
    control->setNumberOfPages(3);
    // Right of the middle steps on, left of it steps back; past either end nothing moves and
    // no action is sent.
    struct Step {
        double x;
        int page;
        int changes;
    };
    const Step steps[] = {
        {900, 1, 1}, {520, 2, 2}, {1000, 2, 2}, {900, 2, 2},
        {100, 1, 3}, {505, 0, 4}, {10, 0, 4},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.x);
        tapAt(step.x);
        EXPECT_EQ(control->currentPage(), step.page);
        EXPECT_EQ(control->displayedPage(), step.page);
        EXPECT_EQ(valueChanges, step.changes);
    }
    // Setting the page in code sends nothing.
    control->setCurrentPage(2);
    EXPECT_EQ(valueChanges, 4);
    gfx::Image shot = window->snapshot();
    EXPECT_TRUE(near(pixel(shot, 487 + 40 + 5), kCurrent));
}

TEST_F(PageControlTest, SinglePageHidesOnlyWhenAsked)
{
    control->setNumberOfPages(1);
    control->setHidesForSinglePage(true);
    EXPECT_TRUE(dots(window->snapshot()).empty());

    control->setHidesForSinglePage(false);
    auto found = dots(window->snapshot());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, 507);
    EXPECT_TRUE(near(found[0].second, kCurrent));

    control->setNumberOfPages(0);
    EXPECT_TRUE(dots(window->snapshot()).empty());
}

TEST_F(PageControlTest, CountsAreNeverNegativeAndPagesStayInRange)
{
    control->setNumberOfPages(-3);
    EXPECT_EQ(control->numberOfPages(), 0);
    control->setCurrentPage(0); // no page to be on
    EXPECT_EQ(control->currentPage(), 0);

    // Two pages down to one with the second current: the one page left is current and drawn so.
    control->setNumberOfPages(2);
    control->setCurrentPage(1);
    control->setNumberOfPages(1);
    EXPECT_EQ(control->currentPage(), 0);
    EXPECT_EQ(control->displayedPage(), 0);
    auto found = dots(window->snapshot());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(near(found[0].second, kCurrent));
    tapAt(10);
    EXPECT_EQ(control->currentPage(), 0);
    EXPECT_EQ(valueChanges, 0);

    control->setCurrentPage(7);
    control->setCurrentPage(-1);
    EXPECT_EQ(control->currentPage(), 0);
}

TEST_F(PageControlTest, SizeToFitKeepsTheOriginAndIsAtLeast36High)
{
    control->setNumberOfPages(4);
    control->setFrame({100, 650, 300, 5});
    control->sizeToFit();
    EXPECT_EQ(control->frame(), (gfx::Rect{100, 650, 70, 36}));
    control->setIndicatorDiameter(40);
    control->sizeToFit();
    EXPECT_EQ(control->frame(), (gfx::Rect{100, 650, 190, 40}));
}

TEST_F(PageControlTest, DeferredDisplayWaitsForTheUpdate)
{
    control->setNumberOfPages(3);
    control->setDefersCurrentPageDisplay(true);
    tapAt(900);
    EXPECT_EQ(control->currentPage(), 1);
    EXPECT_EQ(control->displayedPage(), 0);
    EXPECT_EQ(valueChanges, 1);
    EXPECT_TRUE(near(pixel(window->snapshot(), 492), kCurrent)); // still the first dot

    control->updateCurrentPageDisplay();
    gfx::Image shot = window->snapshot();
    EXPECT_TRUE(near(pixel(shot, 512), kCurrent));
    EXPECT_TRUE(near(pixel(shot, 492), kOther));

    // A change in code cannot be deferred.
    control->setCurrentPage(2);
    EXPECT_EQ(control->displayedPage(), 2);
}

TEST_F(PageControlTest, PerPagePicturesInRangeOnly)
{
    control->setNumberOfPages(3);
    gfx::Image star = solidPicture({10, 10}, gfx::Color::yellow());
    gfx::Image ring = solidPicture({10, 10}, gfx::Color::green());
    control->setImageForPage(star, 2);
    control->setCurrentImageForPage(ring, 0);
    control->setImageForPage(star, 3);
    control->setCurrentImageForPage(ring, -1);
    EXPECT_TRUE(control->imageForPage(2));
    EXPECT_FALSE(control->imageForPage(1));
    EXPECT_FALSE(control->imageForPage(3));
    EXPECT_TRUE(control->currentImageForPage(0));

    gfx::Image shot = window->snapshot();
    EXPECT_TRUE(near(pixel(shot, 492), gfx::Color::green()));  // page 0, current: its picture
    EXPECT_TRUE(near(pixel(shot, 512), kOther));               // page 1, a dot
    EXPECT_TRUE(near(pixel(shot, 532), gfx::Color::yellow())); // page 2: its picture

    control->setImageForPage({}, 2);
    EXPECT_FALSE(control->imageForPage(2));
    EXPECT_TRUE(near(pixel(window->snapshot(), 532), kOther));

    // Pictures that are not square keep their own height in the indicator's rectangle.
    control->setPageIndicatorImage(solidPicture({12, 24}, gfx::Color::red()));
    EXPECT_EQ(control->rectForPageIndicator(0).size, (gfx::Size{12, 24}));
}

TEST_F(PageControlTest, FollowsAScrollViewOnlyOnceItHasAWidth)
{
    control->setNumberOfPages(3);
    auto row = std::make_shared<ui::ScrollView>(gfx::Rect{0, 0, 0, 80});
    row->setContentSize({3072, 80});
    row->setContentOffset({600, 0});
    control->updatePageNumberForScrollView(*row);
    EXPECT_EQ(control->currentPage(), 0);

    row->setFrame({0, 628, 1024, 80});
    struct Case {
        double offset;
        int page;
    };
    for (Case c : {Case{2048, 2}, Case{1500, 1}, Case{0, 0}, Case{-300, 0}}) {
        SCOPED_TRACE(c.offset);
        row->setContentOffset({c.offset, 0});
        control->updatePageNumberForScrollView(*row);
        EXPECT_EQ(control->currentPage(), c.page);
    }
    EXPECT_EQ(valueChanges, 0);
}

} // namespace
