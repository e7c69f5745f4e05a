// The signature pad through the window: taps and drags leave round black strokes, DONE hands
// back the signing area's part of the drawing, CANCEL hands back nothing.
#include "Classes/Order/PainterViewController.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NavigationBar.h"
#include "tests/App/AppWindowTestSupport.h"

namespace {

class PainterTest : public apptest::AppWindowTest {
protected:
    PainterTest()
    {
        host = std::make_shared<ui::ViewController>();
        window->setRootViewController(host);
        pad = std::make_shared<PainterViewController>();
        pad->setBlock([this](const gfx::Image& image) {
            ++calls;
            handed = image;
        });
        host->presentViewController(pad, false);
        driver->wait(1);
        window->layoutIfNeeded();
    }
    bool dark(const gfx::Image& image, double x, double y) const
    {
        gfx::Color c = image.colorAt(static_cast<int>(x), static_cast<int>(y));
        return c.a > 0.9 && c.r < 0.1 && c.g < 0.1 && c.b < 0.1;
    }
    std::shared_ptr<ui::ViewController> host;
    std::shared_ptr<PainterViewController> pad;
    int calls = 0;
    gfx::Image handed;
};

TEST_F(PainterTest, TapsAndDragsDrawRoundStrokesAndDoneHandsBackTheCanvas)
{
    EXPECT_NE(driver->findByText("Add Signature"), nullptr);
    gfx::Rect canvas = pad->canvasView()->frame();
    gfx::Point dot{canvas.x() + 100, canvas.y() + 100};
    driver->tap(dot);
    const gfx::Image drawing = pad->painterView()->image();
    ASSERT_FALSE(drawing.isNull());
    EXPECT_EQ(drawing.size(), pad->painterView()->frame().size);
    struct Probe {
        double dx, dy;
        bool black;
    };
    // A dot about 10 across, round: its bounding square's corners stay clear.
    for (Probe p : {Probe{0, 0, true}, Probe{3.5, 0, true}, Probe{0, -3.5, true}, Probe{6, 0, false},
                    Probe{0, 6, false}, Probe{4, 4, false}})
        EXPECT_EQ(dark(drawing, dot.x + p.dx, dot.y + p.dy), p.black) << p.dx << "," << p.dy;
    EXPECT_FALSE(pad->mouseMoved());

    // A drag inside the canvas and one across its edge into the bar's side of the pad.
    gfx::Point from{canvas.x() + 200, canvas.y() + 300}, to{canvas.x() + 500, canvas.y() + 300};
    driver->drag(from, to);
    gfx::Point outside{canvas.x() - 40, canvas.y() + 400};
    driver->drag(outside, {outside.x, outside.y + 100});
    EXPECT_TRUE(pad->mouseMoved());
    const gfx::Image strokes = pad->painterView()->image();
    for (Probe p : {Probe{0, 0, true}, Probe{0, 4, true}, Probe{0, -4, true}, Probe{0, 7, false}, Probe{0, -7, false}})
        EXPECT_EQ(dark(strokes, 350 + canvas.x() + p.dx, from.y + p.dy), p.black) << p.dy;
    EXPECT_TRUE(dark(strokes, outside.x, outside.y + 50));
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
        driver->screenshot(std::string(review) + "/signature_pad.png");

    ASSERT_NE(pad->naviBar()->rightButton(), nullptr);
    driver->tap(pad->naviBar()->rightButton());
    driver->wait(1);
    EXPECT_EQ(calls, 1);
    ASSERT_FALSE(handed.isNull());
    EXPECT_EQ(handed.pixelWidth(), static_cast<int>(canvas.width()));
    EXPECT_EQ(handed.pixelHeight(), static_cast<int>(canvas.height()));
    EXPECT_TRUE(dark(handed, 100, 100));
    EXPECT_TRUE(dark(handed, 350, 300));
    // The stroke outside the canvas is not in what is handed back: the canvas's left edge is clear.
    for (int y = 0; y < handed.pixelHeight(); y += 5)
        EXPECT_FALSE(dark(handed, 0, y)) << y;
    EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST_F(PainterTest, DoneWithoutDrawingGivesNoImageAndCancelCallsNothing)
{
    driver->tap(pad->naviBar()->rightButton());
    driver->wait(1);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(handed.isNull());

    auto second = std::make_shared<PainterViewController>();
    second->setBlock([this](const gfx::Image&) { ++calls; });
    host->presentViewController(second, false);
    driver->wait(1);
    window->layoutIfNeeded();
    // A fresh pad starts empty.
    EXPECT_TRUE(second->painterView()->image().isNull());
    driver->drag({300, 300}, {400, 400});
    ASSERT_NE(second->naviBar()->leftButton(), nullptr);
    EXPECT_EQ(calls, 1);
    driver->tap(second->naviBar()->leftButton());
    driver->wait(1);
    EXPECT_EQ(calls, 1) << driver->centerOf(second->naviBar()->leftButton()).y;
    EXPECT_EQ(host->presentedViewController(), nullptr);
}

TEST_F(PainterTest, TextsFollowTheLanguageAndTheViewsGoWithTheView)
{
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    pad->updateLanguage(nullptr);
    EXPECT_EQ(pad->naviBar()->topItem()->title(), Language::stringWithName("ADDSIGNATURE"));
    EXPECT_NE(pad->naviBar()->topItem()->title(), "Add Signature");
    ASSERT_NE(pad->naviBar()->leftButton(), nullptr);
    pad->viewDidUnload();
    EXPECT_EQ(pad->naviBar(), nullptr);
    EXPECT_EQ(pad->canvasView(), nullptr);
    EXPECT_EQ(pad->painterView(), nullptr);
}

} // namespace
