#include "UITestSupport.h"

#include "Platform/Graphics/Image.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/ViewController.h"
#include "tests/Platform/Base/FileTestSupport.h"

using namespace ui;

namespace {

std::string sizeText(gfx::Size s)
{
    return std::to_string(int(s.width)) + "x" + std::to_string(int(s.height));
}

// A screen with the orientations it allows, writing what it hears of a turn into a shared log.
class Turning : public ViewController {
public:
    Turning(std::string name, unsigned mask, std::vector<std::string>& log, bool autorotate = true)
        : m_name(std::move(name)), m_mask(mask), m_autorotate(autorotate), m_log(log)
    {
    }
    unsigned supportedInterfaceOrientations() const override { return m_mask; }
    bool shouldAutorotate() const override { return m_autorotate; }
    void willRotateToInterfaceOrientationDuration(InterfaceOrientation, double) override
    {
        m_log.push_back(m_name + " before " + sizeText(view()->bounds().size));
    }
    void willAnimateRotationToInterfaceOrientationDuration(InterfaceOrientation, double) override
    {
        m_log.push_back(m_name + " during " + sizeText(view()->bounds().size));
    }
    void didRotateFromInterfaceOrientation(InterfaceOrientation) override { m_log.push_back(m_name + " after"); }

private:
    std::string m_name;
    unsigned m_mask;
    bool m_autorotate;
    std::vector<std::string>& m_log;
};

class RotationTest : public uitest::WindowTest {};

TEST_F(RotationTest, TheTopScreenDecidesAndTheShownControllersHearTheTurn)
{
    enum class Top { Root, Pushed, Presented };
    struct Case {
        const char* name;
        unsigned rootMask;
        bool rootAutorotates;
        Top top;
        bool turns;
        std::vector<std::string> heard; // after a turn to portrait and its animation
        std::vector<std::string> heardOnLeaving; // the top screen gone again
    } cases[] = {
        {"all orientations", InterfaceOrientationMaskAll, true, Top::Root, true,
         {"root before 1024x768", "root during 768x1024", "root after"},
         {"root before 768x1024", "root during 1024x768", "root after"}},
        {"landscape only", InterfaceOrientationMaskLandscape, true, Top::Root, false, {}, {}},
        {"no autorotation", InterfaceOrientationMaskAll, false, Top::Root, false, {}, {}},
        {"pushed reader",
         InterfaceOrientationMaskLandscape,
         true,
         Top::Pushed,
         true,
         {"top before 1024x724", "top during 768x980", "top after"},
         // The root's view is off the window during the turn and comes back at the new size.
         {"root before 1024x724", "root during 1024x724", "root after"}},
        {"presented grid",
         InterfaceOrientationMaskLandscape,
         true,
         Top::Presented,
         true,
         {"root before 1024x768", "top before 1024x768", "root during 768x1024", "top during 768x1024", "root after",
          "top after"},
         {"root before 768x1024", "root during 1024x768", "root after"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> log;
        auto root = std::make_shared<Turning>("root", c.rootMask, log, c.rootAutorotates);
        auto top = std::make_shared<Turning>("top", InterfaceOrientationMaskAll, log);
        std::shared_ptr<NavigationController> nav;
        if (c.top == Top::Pushed) {
            nav = std::make_shared<NavigationController>(root);
            window->setRootViewController(nav);
            nav->pushViewController(top, false);
        } else {
            window->setRootViewController(root);
            if (c.top == Top::Presented)
                root->presentViewController(top, false);
        }
        window->layoutIfNeeded();
        Driver driver(*window);
        EXPECT_EQ(driver.rotate(InterfaceOrientation::Portrait), c.turns);
        gfx::Size expected = c.turns ? gfx::Size{768, 1024} : gfx::Size{1024, 768};
        EXPECT_EQ(window->bounds().size, expected);
        EXPECT_EQ(window->rootViewController()->view()->frame().size, expected);
        EXPECT_EQ(window->snapshot().size(), expected);
        // Only the controllers on show hear it: not the pushed case's root, under its top.
        EXPECT_EQ(log, c.heard);
        log.clear();
        // The landscape screen shown again turns the window back at once; a screen that turned
        // by itself turns back when asked.
        if (c.top == Top::Pushed)
            nav->popViewController(false);
        else if (c.top == Top::Presented)
            root->dismissViewController(false);
        else
            EXPECT_TRUE(driver.rotate(InterfaceOrientation::LandscapeLeft));
        EXPECT_EQ(log, c.heardOnLeaving);
        EXPECT_EQ(window->bounds().size, (gfx::Size{1024, 768}));
        window->setRootViewController(nullptr);
        base::RunLoop::main().advance(1);
    }

    // Turned while a landscape screen showed, the device stays turned: a screen pushed that can
    // follow it does, at once; the landscape one shown again turns back.
    std::vector<std::string> log;
    auto nav = std::make_shared<NavigationController>(std::make_shared<Turning>("root", InterfaceOrientationMaskLandscape, log));
    window->setRootViewController(nav);
    Driver driver(*window);
    EXPECT_FALSE(driver.rotate(InterfaceOrientation::Portrait));
    nav->pushViewController(std::make_shared<Turning>("top", InterfaceOrientationMaskAll, log), false);
    EXPECT_EQ(window->bounds().size, (gfx::Size{768, 1024}));
    nav->popViewController(false);
    EXPECT_EQ(window->bounds().size, (gfx::Size{1024, 768}));
    window->setRootViewController(nullptr);
}

TEST_F(RotationTest, ScriptsTurnTheScreenAndShootItAtItsTurnedSize)
{
    std::vector<std::string> log;
    basetest::TempDir dir;
    window->setRootViewController(std::make_shared<Turning>("root", InterfaceOrientationMaskAll, log));
    Driver driver(*window);
    ScriptRunner runner(driver);
    std::string portrait = (dir.path() / "portrait.png").string(), landscape = (dir.path() / "landscape.png").string();
    ASSERT_TRUE(runner.runText("rotate portrait\nscreenshot " + portrait + "\nrotate landscape\nscreenshot " + landscape))
        << runner.error();
    EXPECT_EQ(gfx::Image::sizeOfFile(portrait), (gfx::Size{768, 1024}));
    EXPECT_EQ(gfx::Image::sizeOfFile(landscape), (gfx::Size{1024, 768}));
    EXPECT_EQ(log.size(), 6u);
    // A bad word is an error, not a silent no-op.
    EXPECT_FALSE(runner.runText("rotate sideways"));
    window->setRootViewController(nullptr);
}

TEST_F(RotationTest, ALiftThatLeavesAPortraitScreenTurnsBackWithoutCancellingItsOwnTouch)
{
    std::vector<std::string> log;
    auto root = std::make_shared<Turning>("root", InterfaceOrientationMaskLandscape, log);
    auto nav = std::make_shared<NavigationController>(root);
    window->setRootViewController(nav);
    auto reader = std::make_shared<Turning>("reader", InterfaceOrientationMaskAll, log);
    nav->pushViewController(reader, false);
    Driver driver(*window);
    ScriptRunner runner(driver);
    ASSERT_TRUE(runner.runText("rotate portrait\n")) << runner.error();
    ASSERT_EQ(window->bounds().size, (gfx::Size{768, 1024}));
    // Back, as the reader's button does it: popped on the lift, which turns the window back.
    auto back = View::make<Button>(ButtonType::Custom, gfx::Rect(100, 400, 200, 100));
    back->addTarget([&](Control&) { nav->popViewController(false); }, ControlEventTouchUpInside);
    reader->view()->addSubview(back);
    driver.tap(back.get());
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_EQ(window->bounds().size, (gfx::Size{1024, 768}));
    window->setRootViewController(nullptr);
}

} // namespace
