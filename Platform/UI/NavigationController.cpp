#include "Platform/UI/NavigationController.h"

#include "Platform/UI/BarViews.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

namespace ui {

namespace {
constexpr double kPushDuration = 0.3;
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root)
{
    if (root)
        addChildViewController(root);
}

std::shared_ptr<ViewController> NavigationController::topViewController() const
{
    auto& stack = childViewControllers();
    return stack.empty() ? nullptr : stack.back();
}

bool NavigationController::shouldAutorotate() const
{
    auto top = topViewController();
    return top ? top->shouldAutorotate() : ViewController::shouldAutorotate();
}

unsigned NavigationController::supportedInterfaceOrientations() const
{
    auto top = topViewController();
    return top ? top->supportedInterfaceOrientations() : ViewController::supportedInterfaceOrientations();
}

void NavigationController::loadView()
{
    auto root = std::make_shared<View>(gfx::Rect({0, 0}, Window::kScreenSize));
    root->setBackgroundColor(gfx::Color::white());
    m_content = std::make_shared<View>(root->bounds());
    m_content->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    m_content->setClipsToBounds(true);
    root->addSubview(m_content);
    auto bar = std::make_shared<NavigationBarView>(gfx::Rect(0, 0, root->bounds().width(), kBarHeight));
    bar->onBack = [this] { popViewController(true); };
    m_bar = bar;
    root->addSubview(m_bar);
    setView(root);
    layoutContent();
    if (auto top = topViewController()) {
        auto v = top->view();
        v->setFrame(m_content->bounds());
        v->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        m_content->addSubview(v);
    }
    updateBar();
}

void NavigationController::layoutContent()
{
    if (!m_content)
        return;
    gfx::Rect b = view()->bounds();
    double top = m_barHidden ? 0 : kBarHeight;
    m_bar->setHidden(m_barHidden);
    m_content->setFrame({0, top, b.width(), b.height() - top});
}

void NavigationController::updateBar()
{
    auto* bar = static_cast<NavigationBarView*>(m_bar.get());
    if (!bar)
        return;
    auto& stack = childViewControllers();
    bar->setTitle(stack.empty() ? "" : stack.back()->title());
    bar->setTitleView(stack.empty() ? nullptr : stack.back()->titleView());
    bar->setRightItem(stack.empty() ? nullptr : stack.back()->rightBarButtonItem());
    bar->setLeftItem(stack.empty() ? nullptr : stack.back()->leftBarButtonItem());
    bar->setBackTitle(stack.size() > 1 ? (stack[stack.size() - 2]->title().empty() ? "Back" : stack[stack.size() - 2]->title()) : "");
}

void NavigationController::setNavigationBarHidden(bool hidden, bool)
{
    m_barHidden = hidden;
    if (isViewLoaded())
        layoutContent();
}

void NavigationController::showTop(const std::shared_ptr<ViewController>& incoming,
                                   const std::shared_ptr<ViewController>& outgoing, bool animated, bool forward)
{
    updateBar();
    if (!isViewLoaded())
        return;
    // A screen that cannot show the window's orientation comes in already turned.
    if (Window* window = view()->window())
        window->turnToSupportedOrientation();
    bool onScreen = isVisible();
    auto inView = incoming->view();
    inView->setFrame(m_content->bounds());
    inView->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    if (onScreen) {
        if (outgoing)
            outgoing->beginAppearanceTransition(false, animated);
        incoming->beginAppearanceTransition(true, animated);
    }
    m_content->addSubview(inView);
    auto self = sharedController();
    auto finish = [self, incoming, outgoing, onScreen](bool) {
        if (outgoing && outgoing->isViewLoaded() && outgoing->view()->superview())
            outgoing->view()->removeFromSuperview();
        if (onScreen) {
            if (outgoing)
                outgoing->endAppearanceTransition();
            incoming->endAppearanceTransition();
        }
    };
    if (animated && onScreen) {
        double w = m_content->bounds().width();
        gfx::Point c = inView->center();
        inView->setCenter({c.x + (forward ? w : -w), c.y});
        auto outView = outgoing ? outgoing->view() : nullptr;
        View::animate(kPushDuration, [&] {
            inView->setCenter(c);
            if (outView)
                outView->setCenter({c.x + (forward ? -w : w), c.y});
        }, finish);
    } else {
        finish(true);
    }
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller, bool animated)
{
    if (!controller || controller->parentViewController() == this)
        return;
    auto outgoing = topViewController();
    addChildViewController(controller);
    showTop(controller, outgoing, animated, true);
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated)
{
    if (childViewControllers().size() <= 1)
        return nullptr;
    auto outgoing = topViewController();
    outgoing->removeFromParentViewController();
    showTop(topViewController(), outgoing, animated, false);
    return outgoing;
}

void NavigationController::popToRootViewController(bool animated)
{
    if (childViewControllers().size() <= 1)
        return;
    auto outgoing = topViewController();
    while (childViewControllers().size() > 1) {
        auto c = topViewController();
        c->removeFromParentViewController();
        if (c != outgoing && c->isViewLoaded())
            c->view()->removeFromSuperview();
    }
    showTop(topViewController(), outgoing, animated, false);
}

} // namespace ui
