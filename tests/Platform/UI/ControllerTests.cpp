#include "UITestSupport.h"

#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TabBarController.h"
#include "Platform/UI/ViewController.h"

using namespace ui;
using uitest::WindowTest;

namespace {

class Recorder : public ViewController {
public:
    explicit Recorder(std::string name, std::vector<std::string>* log) : m_name(std::move(name)), m_log(log)
    {
        setTitle(m_name);
    }
    int loads = 0;
    void viewDidLoad() override { ++loads; }
    void viewWillAppear(bool) override { m_log->push_back(m_name + ".willAppear"); }
    void viewDidAppear(bool) override { m_log->push_back(m_name + ".didAppear"); }
    void viewWillDisappear(bool) override { m_log->push_back(m_name + ".willDisappear"); }
    void viewDidDisappear(bool) override { m_log->push_back(m_name + ".didDisappear"); }

private:
    std::string m_name;
    std::vector<std::string>* m_log;
};

using ControllerTest = WindowTest;

TEST_F(ControllerTest, ViewLoadsOnceAndAppearsWithTheWindow)
{
    std::vector<std::string> log;
    auto root = std::make_shared<Recorder>("root", &log);
    EXPECT_FALSE(root->isViewLoaded());
    window->setRootViewController(root);
    EXPECT_TRUE(root->isViewLoaded());
    root->view();
    EXPECT_EQ(root->loads, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"root.willAppear", "root.didAppear"}));
    EXPECT_EQ(root->view()->frame(), window->bounds());
    EXPECT_EQ(root->view()->nextResponder(), root.get());
}

TEST_F(ControllerTest, FormSheetIsCentredOverADimmedScreenAndGoesAway)
{
    std::vector<std::string> log;
    auto root = std::make_shared<Recorder>("root", &log);
    window->setRootViewController(root);
    log.clear();
    auto sheet = std::make_shared<Recorder>("sheet", &log);
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    bool presented = false;
    root->presentViewController(sheet, true, [&] { presented = true; });
    EXPECT_FALSE(presented);
    base::RunLoop::main().advance(1);
    EXPECT_TRUE(presented);
    EXPECT_EQ(sheet->view()->frame(), gfx::Rect(242, 74, 540, 620));
    EXPECT_EQ(root->presentedViewController(), sheet);
    EXPECT_EQ(sheet->presentingViewController(), root.get());
    // The dimming view takes taps outside the sheet.
    EXPECT_NE(window->hitTest({10, 10}), root->view().get());
    // A form sheet leaves the screen below it in place.
    EXPECT_EQ(log, (std::vector<std::string>{"sheet.willAppear", "sheet.didAppear"}));

    bool dismissed = false;
    sheet->dismissViewController(false, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(window->hitTest({10, 10}), root->view().get());
    EXPECT_EQ(log.back(), "sheet.didDisappear");
}

TEST_F(ControllerTest, CrossDissolveFadesInPlaceBothWays)
{
    std::vector<std::string> log;
    auto root = std::make_shared<Recorder>("root", &log);
    window->setRootViewController(root);
    auto shown = std::make_shared<Recorder>("shown", &log);
    shown->setModalTransitionStyle(ModalTransitionStyle::CrossDissolve);
    root->presentViewController(shown, true);
    base::RunLoop::main().advance(0.15);
    // It does not slide: in place from the start, partly faded in.
    EXPECT_EQ(shown->view()->presentation().center, window->bounds().center());
    double alpha = shown->view()->presentation().alpha;
    EXPECT_GT(alpha, 0.05);
    EXPECT_LT(alpha, 0.95);
    base::RunLoop::main().advance(1);
    EXPECT_EQ(shown->view()->presentation().alpha, 1);
    EXPECT_EQ(log.back(), "shown.didAppear");

    bool dismissed = false;
    shown->dismissViewController(true, [&] { dismissed = true; });
    base::RunLoop::main().advance(0.15);
    alpha = shown->view()->presentation().alpha;
    EXPECT_GT(alpha, 0.05);
    EXPECT_LT(alpha, 0.95);
    EXPECT_FALSE(dismissed);
    base::RunLoop::main().advance(1);
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(shown->view()->superview(), nullptr);
    // Presented again, it shows at full strength.
    root->presentViewController(shown, false);
    EXPECT_EQ(shown->view()->alpha(), 1);
}

TEST_F(ControllerTest, NavigationPushesPopsAndKeepsItsRoot)
{
    std::vector<std::string> log;
    auto first = std::make_shared<Recorder>("first", &log);
    auto nav = std::make_shared<NavigationController>(first);
    window->setRootViewController(nav);
    auto second = std::make_shared<Recorder>("second", &log);
    log.clear();
    nav->pushViewController(second, true);
    base::RunLoop::main().advance(1);
    EXPECT_EQ(nav->topViewController(), second);
    EXPECT_EQ(second->navigationController(), nav.get());
    EXPECT_EQ(log, (std::vector<std::string>{"first.willDisappear", "second.willAppear", "first.didDisappear",
                                              "second.didAppear"}));
    EXPECT_EQ(first->view()->superview(), nullptr);
    EXPECT_EQ(second->view()->frame().y(), 0); // in the content area, under the bar

    nav->pushViewController(std::make_shared<Recorder>("third", &log), false);
    nav->popToRootViewController(false);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_EQ(nav->popViewController(false), nullptr); // the root stays
    EXPECT_EQ(nav->topViewController(), first);
    EXPECT_NE(first->view()->window(), nullptr);

    nav->setNavigationBarHidden(true);
    EXPECT_EQ(first->view()->convertPointToView({0, 0}, nullptr), (gfx::Point{0, 0}));
}

TEST_F(ControllerTest, TabsSwitchTheVisibleController)
{
    std::vector<std::string> log;
    auto a = std::make_shared<Recorder>("a", &log);
    auto b = std::make_shared<Recorder>("b", &log);
    auto tabs = std::make_shared<TabBarController>();
    tabs->setViewControllers({a, b});
    window->setRootViewController(tabs);
    EXPECT_TRUE(a->isVisible());
    EXPECT_FALSE(b->isViewLoaded());
    tabs->setSelectedIndex(1);
    EXPECT_TRUE(b->isVisible());
    EXPECT_FALSE(a->isVisible());
    EXPECT_EQ(a->view()->window(), nullptr);
    EXPECT_EQ(b->tabBarController(), tabs.get());
    tabs->setSelectedIndex(7); // out of range: nothing happens
    EXPECT_EQ(tabs->selectedIndex(), 1u);
}

} // namespace

TEST_F(ControllerTest, FormSheetAtAGivenFrameFadesInAndOut)
{
    std::vector<std::string> log;
    auto root = std::make_shared<Recorder>("root", &log);
    window->setRootViewController(root);
    auto sheet = std::make_shared<Recorder>("sheet", &log);
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    sheet->setModalTransitionStyle(ModalTransitionStyle::CrossDissolve);
    sheet->setFormSheetFrame(gfx::Rect(220, 150, 619, 450));
    bool presented = false;
    root->presentViewController(sheet, true, [&] { presented = true; });
    EXPECT_EQ(sheet->view()->frame(), gfx::Rect(220, 150, 619, 450)) << "a dissolve does not slide";
    EXPECT_FALSE(presented);
    base::RunLoop::main().advance(1);
    EXPECT_TRUE(presented);
    EXPECT_DOUBLE_EQ(sheet->view()->alpha(), 1);
    EXPECT_EQ(sheet->view()->frame(), gfx::Rect(220, 150, 619, 450));

    sheet->dismissViewController(true);
    EXPECT_NE(sheet->view()->window(), nullptr) << "still fading";
    base::RunLoop::main().advance(1);
    EXPECT_EQ(sheet->view()->window(), nullptr);
    EXPECT_DOUBLE_EQ(sheet->view()->alpha(), 1) << "ready to be shown again";
    EXPECT_EQ(root->presentedViewController(), nullptr);
}
