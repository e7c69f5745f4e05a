#pragma once
#include "Common/BaseViewController.h"

#include <memory>

namespace ui {
class Button;
class Label;
class View;
}

// Told when a full-screen pop-up asks to be closed. The default does nothing.
class PopControllerDelegate {
public:
    virtual ~PopControllerDelegate() = default;
    virtual void dismissPopController(bool animated) {}
};

// A full-screen pop-up with a skinned title bar: a title and a CLOSE button that asks the
// delegate to take the pop-up away. Landscape only.
class PopBaseController : public BaseViewController {
public:
    static constexpr double kTitleBarHeight = 44;

    PopBaseController() = default;
    ~PopBaseController() override;
    const char* className() const override { return "PopBaseController"; }

    // Not kept alive by the pop-up.
    std::shared_ptr<PopControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<PopControllerDelegate>& delegate) { m_delegate = delegate; }
    // Subclasses set its text; null after a memory warning.
    const std::shared_ptr<ui::Label>& lblTittle() const { return m_lblTittle; }
    // Subclasses add their own controls to the bar.
    const std::shared_ptr<ui::View>& titlebar() const { return m_titlebar; }
    void setTitlebar(std::shared_ptr<ui::View> titlebar) { m_titlebar = std::move(titlebar); }
    const std::shared_ptr<ui::Button>& btnClose() const { return m_btnClose; }
    void setBtnClose(std::shared_ptr<ui::Button> button) { m_btnClose = std::move(button); }

    void viewDidLoad() override;
    // The CLOSE button's action.
    void close();
    // Re-texts CLOSE; subclasses call it from updateLanguage(sender).
    using BaseViewController::updateLanguage;
    void updateLanguage();
    void didReceiveMemoryWarning() override;

    bool shouldAutorotate() const override { return true; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

private:
    std::weak_ptr<PopControllerDelegate> m_delegate;
    std::shared_ptr<ui::Label> m_lblTittle;
    std::shared_ptr<ui::View> m_titlebar;
    std::shared_ptr<ui::Button> m_btnClose;
};
