#include "UITestSupport.h"

#include "Platform/Base/Memory.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/ViewController.h"

using namespace ui;

namespace {

struct Watched : ViewController {
    int warnings = 0;
    int loads = 0;
    int unloads = 0;
    int levelSeen = -1;
    void viewDidLoad() override { ++loads; }
    void viewDidUnload() override { ++unloads; }
    void didReceiveMemoryWarning() override
    {
        ++warnings;
        levelSeen = base::Memory::pressureLevel();
    }
};

using MemoryWarningTest = uitest::WindowTest;

TEST_F(MemoryWarningTest, EveryLiveControllerHearsTheDriversWarning)
{
    auto shown = std::make_shared<Watched>();
    auto hidden = std::make_shared<Watched>(); // never on screen, still told
    auto gone = std::make_shared<Watched>();
    window->setRootViewController(shown);
    gone.reset();
    Driver driver(*window);
    driver.simulateMemoryWarning(2);
    EXPECT_EQ(shown->warnings, 1);
    EXPECT_EQ(hidden->warnings, 1);
    EXPECT_EQ(shown->levelSeen, 2);
    driver.simulateMemoryWarning();
    EXPECT_EQ(hidden->warnings, 2);
    EXPECT_EQ(base::Memory::pressureLevel(), 0);
}

TEST_F(MemoryWarningTest, AnUnloadedViewLoadsAgainWhenAskedFor)
{
    auto controller = std::make_shared<Watched>();
    auto first = controller->view();
    window->addSubview(first);
    controller->unloadViewForTesting();
    EXPECT_FALSE(controller->isViewLoaded());
    EXPECT_EQ(controller->unloads, 1);
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_EQ(first->viewController(), nullptr);
    auto second = controller->view();
    EXPECT_NE(second, first);
    EXPECT_EQ(controller->loads, 2);
    EXPECT_EQ(second->viewController(), controller.get());
    controller->unloadViewForTesting();
    controller->unloadViewForTesting(); // nothing loaded: nothing to tell
    EXPECT_EQ(controller->unloads, 2);
}

} // namespace
