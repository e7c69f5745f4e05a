#pragma once
#include "Platform/Graphics/Geometry.h"
#include "Platform/UI/Responder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class View;
class Window;
class NavigationController;
class TabBarController;
class BarButtonItem;

enum class ModalPresentationStyle { FullScreen, PageSheet, FormSheet };
enum class ModalTransitionStyle { CoverVertical, CrossDissolve };

enum class InterfaceOrientation { Portrait, PortraitUpsideDown, LandscapeLeft, LandscapeRight };
enum InterfaceOrientationMask : unsigned {
    InterfaceOrientationMaskPortrait = 1 << 0,
    InterfaceOrientationMaskPortraitUpsideDown = 1 << 1,
    InterfaceOrientationMaskLandscapeLeft = 1 << 2,
    InterfaceOrientationMaskLandscapeRight = 1 << 3,
    InterfaceOrientationMaskLandscape = InterfaceOrientationMaskLandscapeLeft | InterfaceOrientationMaskLandscapeRight,
    InterfaceOrientationMaskAll = 0xf,
};
unsigned maskForOrientation(InterfaceOrientation orientation);

// Owns a screen's view, loaded on first use, and hears when it comes and goes.
class ViewController : public Responder {
public:
    ViewController();
    ~ViewController() override;
    virtual const char* className() const { return "ViewController"; }

    std::shared_ptr<ViewController> sharedController()
    {
        return std::static_pointer_cast<ViewController>(shared_from_this());
    }

    // The view, made by loadView and viewDidLoad on first use.
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return m_view != nullptr; }
    void setView(std::shared_ptr<View> view);

    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) {}
    virtual void viewDidAppear(bool animated) {}
    virtual void viewWillDisappear(bool animated) {}
    virtual void viewDidDisappear(bool animated) {}
    virtual void didReceiveMemoryWarning() {}
    // Escape pressed while this controller is presented on top (the top one of a presented
    // navigation): true when it took the key, as its Cancel or Done button would.
    virtual bool escapePressed() { return false; }
    // After the view was let go (unloadViewForTesting); view() loads it again when asked.
    virtual void viewDidUnload() {}

    // Drops the view, as a system short of memory does with screens off the window.
    void unloadViewForTesting();
    // Every live controller hears didReceiveMemoryWarning, after the resampled pictures are
    // let go. This platform has no source of memory warnings; the test driver sends them.
    static void sendMemoryWarningToAll();

    // Rotation. The window turns to portrait only when its top screen allows it; a screen is
    // landscape unless it says otherwise, and containers pass the question to their shown child.
    virtual bool shouldAutorotate() const { return true; }
    virtual unsigned supportedInterfaceOrientations() const { return InterfaceOrientationMaskLandscape; }
    virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) const
    {
        return (supportedInterfaceOrientations() & maskForOrientation(orientation)) != 0;
    }
    // Heard by the shown controllers when the window turns: before, inside the turn's animation
    // once the views have their new size, and after.
    virtual void willRotateToInterfaceOrientationDuration(InterfaceOrientation, double) {}
    virtual void willAnimateRotationToInterfaceOrientationDuration(InterfaceOrientation, double) {}
    virtual void didRotateFromInterfaceOrientation(InterfaceOrientation) {}

    // Sends viewWill…/viewDid… once per transition, and only when the state changes.
    void beginAppearanceTransition(bool appearing, bool animated = false);
    void endAppearanceTransition();
    bool isVisible() const { return m_appearance == Appearance::Appeared; }
    // The child that comes and goes with this controller (containers answer their shown child).
    virtual std::shared_ptr<ViewController> childForAppearance() const { return nullptr; }

    // A navigation controller's bar shows the top screen's title and items; a left item takes
    // the place of the automatic back button.
    const std::string& title() const { return m_title; }
    virtual void setTitle(const std::string& title);
    // A view the bar shows at its own frame in place of the title text.
    const std::shared_ptr<View>& titleView() const { return m_titleView; }
    void setTitleView(std::shared_ptr<View> view);
    std::shared_ptr<BarButtonItem> rightBarButtonItem() const { return m_rightBarButtonItem; }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item);
    std::shared_ptr<BarButtonItem> leftBarButtonItem() const { return m_leftBarButtonItem; }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item);

    // Containment.
    ViewController* parentViewController() const { return m_parent; }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return m_children; }
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    NavigationController* navigationController() const;
    TabBarController* tabBarController() const;

    // Modal presentation over the window.
    ModalPresentationStyle modalPresentationStyle() const { return m_modalStyle; }
    void setModalPresentationStyle(ModalPresentationStyle style) { m_modalStyle = style; }
    ModalTransitionStyle modalTransitionStyle() const { return m_transitionStyle; }
    void setModalTransitionStyle(ModalTransitionStyle style) { m_transitionStyle = style; }
    // Where a form sheet's container sits in the window; none centres kFormSheetSize.
    std::optional<gfx::Rect> formSheetFrame() const { return m_formSheetFrame; }
    void setFormSheetFrame(std::optional<gfx::Rect> frame) { m_formSheetFrame = frame; }
    void presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                               std::function<void()> completion = {});
    // Dismisses what this controller presented, or, when it presents nothing, itself.
    void dismissViewController(bool animated, std::function<void()> completion = {});
    std::shared_ptr<ViewController> presentedViewController() const { return m_presented; }
    ViewController* presentingViewController() const { return m_presenting; }

    // Size a popover gives this controller's view.
    gfx::Size contentSizeForViewInPopover() const { return m_popoverSize; }
    void setContentSizeForViewInPopover(gfx::Size size) { m_popoverSize = size; }

    Responder* nextResponder() const override;

    static constexpr gfx::Size kFormSheetSize{540, 620};

private:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    Window* hostWindow();

    std::shared_ptr<View> m_view;
    Appearance m_appearance = Appearance::Disappeared;
    bool m_transitionAnimated = false;
    std::string m_title;
    std::shared_ptr<View> m_titleView;
    std::shared_ptr<BarButtonItem> m_rightBarButtonItem;
    std::shared_ptr<BarButtonItem> m_leftBarButtonItem;
    ViewController* m_parent = nullptr;
    std::vector<std::shared_ptr<ViewController>> m_children;
    ModalPresentationStyle m_modalStyle = ModalPresentationStyle::FullScreen;
    ModalTransitionStyle m_transitionStyle = ModalTransitionStyle::CoverVertical;
    std::optional<gfx::Rect> m_formSheetFrame;
    std::shared_ptr<ViewController> m_presented;
    ViewController* m_presenting = nullptr;
    std::shared_ptr<View> m_dimmingView; // behind a form sheet
    gfx::Size m_popoverSize{320, 480};
};

} // namespace ui
