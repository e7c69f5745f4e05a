#include "Platform/UI/ViewController.h"

#include "Platform/Graphics/Image.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TabBarController.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace ui {

namespace {
constexpr double kPresentDuration = 0.3;

// Every controller alive, for memory warnings; main thread only.
std::vector<ViewController*>& liveControllers()
{
    static auto* list = new std::vector<ViewController*>();
    return *list;
}
}

unsigned maskForOrientation(InterfaceOrientation orientation)
{
    switch (orientation) {
    case InterfaceOrientation::Portrait:
        return InterfaceOrientationMaskPortrait;
    case InterfaceOrientation::PortraitUpsideDown:
        return InterfaceOrientationMaskPortraitUpsideDown;
    case InterfaceOrientation::LandscapeLeft:
        return InterfaceOrientationMaskLandscapeLeft;
    case InterfaceOrientation::LandscapeRight:
        return InterfaceOrientationMaskLandscapeRight;
    }
    return 0;
}

ViewController::ViewController()
{
    liveControllers().push_back(this);
}

ViewController::~ViewController()
{
    auto& live = liveControllers();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (m_view && m_view->viewController() == this)
        m_view->setViewController(nullptr);
    for (auto& child : m_children)
        child->m_parent = nullptr;
    if (m_presented)
        m_presented->m_presenting = nullptr;
}

std::shared_ptr<View> ViewController::view()
{
    if (!m_view) {
        loadView();
        if (!m_view)
            setView(std::make_shared<View>(gfx::Rect({0, 0}, Window::kScreenSize)));
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(std::shared_ptr<View> view)
{
    if (m_view && m_view->viewController() == this)
        m_view->setViewController(nullptr);
    m_view = std::move(view);
    if (m_view)
        m_view->setViewController(this);
}

void ViewController::unloadViewForTesting()
{
    if (!m_view)
        return;
    auto view = std::move(m_view);
    view->removeFromSuperview();
    if (view->viewController() == this)
        view->setViewController(nullptr);
    viewDidUnload();
}

void ViewController::sendMemoryWarningToAll()
{
    // Resampled pictures are the cheapest memory to give back: they are made again on use.
    gfx::Image::clearResampleCache();
    // Weakly, in a copy: a warning may free other controllers.
    std::vector<std::weak_ptr<Responder>> targets;
    for (ViewController* c : liveControllers())
        targets.push_back(c->weak_from_this());
    for (auto& weak : targets)
        if (auto target = weak.lock())
            static_cast<ViewController*>(target.get())->didReceiveMemoryWarning();
}

void ViewController::loadView()
{
    auto v = std::make_shared<View>(gfx::Rect({0, 0}, Window::kScreenSize));
    v->setBackgroundColor(gfx::Color::white());
    setView(v);
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    m_transitionAnimated = animated;
    if (appearing && (m_appearance == Appearance::Disappeared || m_appearance == Appearance::Disappearing)) {
        m_appearance = Appearance::Appearing;
        view();
        viewWillAppear(animated);
    } else if (!appearing && (m_appearance == Appearance::Appeared || m_appearance == Appearance::Appearing)) {
        m_appearance = Appearance::Disappearing;
        viewWillDisappear(animated);
    } else {
        return;
    }
    if (auto child = childForAppearance())
        child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition()
{
    if (m_appearance == Appearance::Appearing) {
        m_appearance = Appearance::Appeared;
        viewDidAppear(m_transitionAnimated);
    } else if (m_appearance == Appearance::Disappearing) {
        m_appearance = Appearance::Disappeared;
        viewDidDisappear(m_transitionAnimated);
    } else {
        return;
    }
    if (auto child = childForAppearance())
        child->endAppearanceTransition();
}

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child)
{
    if (!child || child.get() == this)
        return;
    if (child->m_parent == this)
        return;
    child->removeFromParentViewController();
    m_children.push_back(child);
    child->m_parent = this;
}

void ViewController::removeFromParentViewController()
{
    ViewController* parent = m_parent;
    if (!parent)
        return;
    auto keep = sharedController();
    m_parent = nullptr;
    auto& list = parent->m_children;
    list.erase(std::remove_if(list.begin(), list.end(), [this](auto& c) { return c.get() == this; }), list.end());
}

void ViewController::setTitle(const std::string& title)
{
    m_title = title;
    if (auto* nav = navigationController())
        nav->navigationItemDidChange();
}

void ViewController::setTitleView(std::shared_ptr<View> view)
{
    m_titleView = std::move(view);
    if (auto* nav = navigationController())
        nav->navigationItemDidChange();
}

void ViewController::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item)
{
    m_rightBarButtonItem = std::move(item);
    if (auto* nav = navigationController())
        nav->navigationItemDidChange();
}

void ViewController::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item)
{
    m_leftBarButtonItem = std::move(item);
    if (auto* nav = navigationController())
        nav->navigationItemDidChange();
}

NavigationController* ViewController::navigationController() const
{
    for (ViewController* p = m_parent; p; p = p->m_parent)
        if (auto* nav = dynamic_cast<NavigationController*>(p))
            return nav;
    return nullptr;
}

TabBarController* ViewController::tabBarController() const
{
    for (ViewController* p = m_parent; p; p = p->m_parent)
        if (auto* tab = dynamic_cast<TabBarController*>(p))
            return tab;
    return nullptr;
}

Window* ViewController::hostWindow()
{
    if (m_view && m_view->window())
        return m_view->window();
    for (ViewController* p = m_parent; p; p = p->m_parent)
        if (p->m_view && p->m_view->window())
            return p->m_view->window();
    return Window::keyWindow();
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                                           std::function<void()> completion)
{
    if (!controller || m_presented)
        return;
    Window* window = hostWindow();
    if (!window)
        return;
    m_presented = controller;
    controller->m_presenting = this;
    auto view = controller->view();
    gfx::Rect screen = window->bounds();
    bool sheet = controller->m_modalStyle != ModalPresentationStyle::FullScreen;
    gfx::Rect target = screen;
    if (sheet) {
        auto dim = std::make_shared<View>(screen);
        dim->setBackgroundColor(gfx::Color::black().withAlpha(0.4));
        dim->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        controller->m_dimmingView = dim;
        window->addSubview(dim);
        gfx::Size size = controller->m_modalStyle == ModalPresentationStyle::FormSheet
                             ? kFormSheetSize
                             : gfx::Size{768, screen.height() - 40};
        target = {(screen.width() - size.width) / 2, (screen.height() - size.height) / 2, size.width, size.height};
        if (controller->m_modalStyle == ModalPresentationStyle::FormSheet && controller->m_formSheetFrame)
            target = *controller->m_formSheetFrame;
        view->setAutoresizingMask(AutoresizingFlexibleLeftMargin | AutoresizingFlexibleRightMargin |
                                  AutoresizingFlexibleTopMargin | AutoresizingFlexibleBottomMargin);
    } else {
        view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    }
    view->setFrame(target);
    if (!sheet)
        beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    window->addSubview(view);
    auto self = sharedController();
    auto finish = [self, controller, sheet, completion = std::move(completion)](bool) {
        if (!sheet)
            self->endAppearanceTransition();
        controller->endAppearanceTransition();
        if (completion)
            completion();
    };
    bool dissolve = controller->m_transitionStyle == ModalTransitionStyle::CrossDissolve;
    if (animated && dissolve) {
        double alpha = view->alpha();
        view->setAlpha(0);
        View::animate(kPresentDuration, [&] { view->setAlpha(alpha); }, finish);
    } else if (animated) {
        view->setCenter({target.midX(), screen.maxY() + target.height() / 2});
        View::animate(kPresentDuration, [&] { view->setCenter({target.midX(), target.midY()}); }, finish);
    } else {
        finish(true);
    }
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion)
{
    if (!m_presented) {
        if (m_presenting)
            m_presenting->dismissViewController(animated, std::move(completion));
        return;
    }
    auto controller = m_presented;
    // Whatever the presented controller presents goes first.
    if (controller->m_presented)
        controller->dismissViewController(false);
    auto view = controller->view();
    bool sheet = controller->m_modalStyle != ModalPresentationStyle::FullScreen;
    controller->beginAppearanceTransition(false, animated);
    if (!sheet)
        beginAppearanceTransition(true, animated);
    auto self = sharedController();
    bool dissolve = controller->m_transitionStyle == ModalTransitionStyle::CrossDissolve;
    double alpha = view->alpha();
    auto finish = [self, controller, view, sheet, dissolve, alpha, completion = std::move(completion)](bool) {
        view->removeFromSuperview();
        if (dissolve)
            view->setAlpha(alpha);
        if (controller->m_dimmingView) {
            controller->m_dimmingView->removeFromSuperview();
            controller->m_dimmingView.reset();
        }
        controller->endAppearanceTransition();
        if (!sheet)
            self->endAppearanceTransition();
        if (self->m_presented == controller) {
            self->m_presented.reset();
            controller->m_presenting = nullptr;
        }
        if (Window* window = self->hostWindow())
            window->turnToSupportedOrientation();
        if (completion)
            completion();
    };
    if (animated && view->window() && dissolve) {
        View::animate(kPresentDuration, [&] { view->setAlpha(0); }, finish);
    } else if (animated && view->window()) {
        gfx::Rect screen = view->window()->bounds();
        View::animate(kPresentDuration, [&] { view->setCenter({view->center().x, screen.maxY() + view->bounds().height() / 2}); },
                      finish);
    } else {
        finish(true);
    }
}

Responder* ViewController::nextResponder() const
{
    if (m_view && m_view->superview())
        return m_view->superview();
    return m_parent;
}

} // namespace ui
