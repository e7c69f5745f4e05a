#include "tests/App/AppWindowTestSupport.h"
#include "tests/Support/PicturesArrived.h"

#include "Common/BaseViewController.h"
#include "Common/BrivantaNavigationController.h"
#include "Common/Language.h"
#include "Common/PopBaseController.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

namespace {

using apptest::AppWindowTest;

// What a screen's hooks saw; outlives the screen.
struct Counts {
    int firstLoads = 0;
    int languageCalls = 0;
    const ui::Responder* lastSender = nullptr;
    int unloadHooks = 0;
};

class CountingScreen : public BaseViewController {
public:
    explicit CountingScreen(std::shared_ptr<Counts> counts) : m_counts(std::move(counts)) {}
    void viewDidLoad() override
    {
        BaseViewController::viewDidLoad();
        if (!bViewHasLoad())
            viewAfterFirstDidLoad();
    }
    void viewAfterFirstDidLoad() override
    {
        BaseViewController::viewAfterFirstDidLoad();
        ++m_counts->firstLoads;
    }
    void updateLanguage(ui::Responder* sender) override
    {
        ++m_counts->languageCalls;
        m_counts->lastSender = sender;
    }
    void hightVersionViewDidUnload() override { ++m_counts->unloadHooks; }

private:
    std::shared_ptr<Counts> m_counts;
};

// A pop-up that re-texts its bar on a language change, as screens do.
class Popup : public PopBaseController {
public:
    void updateLanguage(ui::Responder*) override { PopBaseController::updateLanguage(); }
};

struct Closer : PopControllerDelegate {
    std::vector<bool> calls;
    void dismissPopController(bool animated) override { calls.push_back(animated); }
};

class BaseScreenTest : public AppWindowTest {
protected:
    static void switchLanguage(int language) { LanguageManager::sharedInstance()->setCurrentLanguage(language); }
};

TEST_F(BaseScreenTest, ScreensListenForLanguageOnceAndDoFirstLoadWorkOnce)
{
    auto counts = std::make_shared<Counts>();
    auto screen = std::make_shared<CountingScreen>(counts);
    EXPECT_FALSE(screen->bViewHasLoad());
    switchLanguage(2); // not loaded yet, so not listening
    EXPECT_EQ(counts->languageCalls, 0);

    screen->view();
    EXPECT_TRUE(screen->bViewHasLoad());
    EXPECT_EQ(counts->firstLoads, 1);
    switchLanguage(1);
    EXPECT_EQ(counts->languageCalls, 1);
    EXPECT_EQ(counts->lastSender, screen.get());

    // Loaded again: no second first-load, and still told once.
    screen->unloadViewForTesting();
    EXPECT_FALSE(screen->isViewLoaded());
    screen->view();
    EXPECT_EQ(counts->firstLoads, 1);
    switchLanguage(2);
    EXPECT_EQ(counts->languageCalls, 2);

    screen.reset();
    switchLanguage(1);
    EXPECT_EQ(counts->languageCalls, 2);
}

TEST_F(BaseScreenTest, AppearFlagFollowsTheScreenAndMemoryWarningsReachTheHook)
{
    auto counts = std::make_shared<Counts>();
    auto screen = std::make_shared<CountingScreen>(counts);
    window->setRootViewController(screen);
    EXPECT_TRUE(screen->bViewAppear());
    window->setRootViewController(std::make_shared<ui::ViewController>());
    EXPECT_FALSE(screen->bViewAppear());

    {
        base::ScopedLogCapture log;
        driver->simulateMemoryWarning(2);
        EXPECT_TRUE(log.contains("~~~~~~~~~~~~~~level~~~~~~~~~~~~~~~ 2"));
    }
    EXPECT_EQ(counts->unloadHooks, 1);
    base::ScopedLogCapture log;
    driver->simulateMemoryWarning();
    EXPECT_TRUE(log.contains("~~~~~~~~~~~~~~level~~~~~~~~~~~~~~~ 0"));
    EXPECT_EQ(counts->unloadHooks, 2);
}

TEST_F(BaseScreenTest, PopupBarHasTheSkinsPictureTitleAndCloseInTheCurrentLanguage)
{
    // The client's top bar, a colour the bundled one never has.
    auto skin = useClientSkin();
    writeSolidPng(skin / "topbar-bg.png", {8, 44}, 0, 160, 60);
    auto popup = std::make_shared<Popup>();
    window->setRootViewController(popup);

    auto bar = popup->titlebar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->frame(), gfx::Rect(0, 0, 1024, 44));
    EXPECT_TRUE(bar->isUserInteractionEnabled());
    ASSERT_EQ(bar->subviews().size(), 3u);
    EXPECT_EQ(bar->subviews()[1], popup->lblTittle());
    EXPECT_EQ(popup->lblTittle()->frame(), gfx::Rect(0, 7, 1024, 30));
    EXPECT_EQ(popup->lblTittle()->font(), gfx::Font("Helvetica-Bold", 20));
    EXPECT_EQ(popup->btnClose()->frame(), gfx::Rect(949, 5, 60, 34));
    EXPECT_LE(popup->btnClose()->frame().maxX(), 1024);

    popup->lblTittle()->setText("Compare");
    ASSERT_TRUE(testsupport::picturesArrived());
    gfx::Image shot = window->snapshot();
    gfx::Color left = shot.colorAt(20, 40); // below the title's text, left of everything
    EXPECT_NEAR(left.r, 0, 0.02);
    EXPECT_NEAR(left.g, 160 / 255.0, 0.02);
    EXPECT_NEAR(left.b, 60 / 255.0, 0.02);

    std::string english = Language::stringWithName("CLOSE");
    ASSERT_FALSE(english.empty());
    EXPECT_EQ(popup->btnClose()->currentTitle(), english);
    EXPECT_NE(driver->findByText(english), nullptr);
    switchLanguage(2);
    std::string chinese = Language::stringWithName("CLOSE");
    EXPECT_NE(chinese, english);
    EXPECT_EQ(popup->btnClose()->currentTitle(), chinese);
}

TEST_F(BaseScreenTest, CloseAsksTheDelegateWhichIsNotKeptAlive)
{
    auto popup = std::make_shared<PopBaseController>();
    window->setRootViewController(popup);
    popup->lblTittle()->setText("Related products");
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR")) {
        EXPECT_EQ(window->snapshot().writePng(std::string(review) + "/popup_bar.png"), nullptr);
    }
    auto closer = std::make_shared<Closer>();
    popup->setDelegate(closer);
    ASSERT_TRUE(driver->tap(popup->btnClose().get()));
    EXPECT_EQ(closer->calls, std::vector<bool>{true});

    // One that does not answer is left alone; a gone one is not called.
    auto plain = std::make_shared<PopControllerDelegate>();
    popup->setDelegate(plain);
    EXPECT_TRUE(driver->tap(popup->btnClose().get()));
    popup->setDelegate(closer);
    closer.reset();
    EXPECT_EQ(popup->delegate(), nullptr);
    EXPECT_TRUE(driver->tap(popup->btnClose().get()));
}

TEST_F(BaseScreenTest, AMemoryWarningDropsOnlyThePopupsTitleReference)
{
    auto popup = std::make_shared<PopBaseController>();
    window->setRootViewController(popup);
    auto title = popup->lblTittle();
    title->setText("Favourites");
    title.reset();
    driver->simulateMemoryWarning();
    EXPECT_EQ(popup->lblTittle(), nullptr);
    auto* shown = dynamic_cast<ui::Label*>(driver->findByText("Favourites"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->superview(), popup->titlebar().get());
}

TEST_F(BaseScreenTest, RotationIsDecidedByTheTopScreen)
{
    auto popup = std::make_shared<PopBaseController>();
    EXPECT_EQ(popup->supportedInterfaceOrientations(), ui::InterfaceOrientationMaskLandscape);
    EXPECT_TRUE(popup->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::LandscapeRight));
    EXPECT_FALSE(popup->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::Portrait));

    struct Fixed : ui::ViewController {
        bool shouldAutorotate() const override { return false; }
        unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskPortrait; }
    };
    auto navigation = std::make_shared<BrivantaNavigationController>(std::make_shared<Fixed>());
    EXPECT_FALSE(navigation->shouldAutorotate());
    EXPECT_EQ(navigation->supportedInterfaceOrientations(), ui::InterfaceOrientationMaskPortrait);
    navigation->pushViewController(popup, false);
    EXPECT_TRUE(navigation->shouldAutorotate());
    EXPECT_EQ(navigation->supportedInterfaceOrientations(), ui::InterfaceOrientationMaskLandscape);
    EXPECT_FALSE(navigation->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::PortraitUpsideDown));
}

} // namespace
