#pragma once
#include "Common/BaseViewController.h"

#include <memory>

namespace ui {
class Button;
}

class LoginPopControllerDelegate {
public:
    virtual ~LoginPopControllerDelegate() = default;
    virtual void goBackLoginView() {}
};

// The small pop-up that leads from the main screen back to the login screen; in its help form
// it only says where that pop-up is found.
class LoginPopController : public BaseViewController {
public:
    static constexpr gfx::Size kContentSize{300, 40};

    LoginPopController() = default;
    const char* className() const override { return "LoginPopController"; }

    // Not kept alive by the pop-up.
    void setDelegate(const std::shared_ptr<LoginPopControllerDelegate>& delegate) { m_delegate = delegate; }
    // Before the view loads: show the help text on a disabled button.
    void setForHelp(bool forHelp) { m_isForHelp = forHelp; }
    bool isForHelp() const { return m_isForHelp; }
    const std::shared_ptr<ui::Button>& gobackButton() const { return m_gobackButton; }

    void loadView() override;
    void viewDidLoad() override;
    void goBackLoginView();
    void updateLanguage(ui::Responder* sender) override;

private:
    std::shared_ptr<ui::Button> m_gobackButton;
    std::weak_ptr<LoginPopControllerDelegate> m_delegate;
    bool m_isForHelp = false;
};
