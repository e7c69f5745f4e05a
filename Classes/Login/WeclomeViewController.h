#pragma once
#include "Common/BaseViewController.h"
#include "Platform/Base/NotificationCenter.h"
#include "Classes/Login/LoginCheckBox.h"
#include "Protocol/LoginMode.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {
class ImageView;
}

// The welcome and login screen, the root after launch and after every logout: the welcome
// picture carrying the login form, which it lifts over the keyboard.
class WeclomeViewController : public BaseViewController,
                              public LoginDelegate,
                              public LoginModelDelegate {
public:
    static constexpr double kKeyboardLift = -120;

    WeclomeViewController() = default;
    ~WeclomeViewController() override;
    const char* className() const override { return "WeclomeViewController"; }

    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    ui::ImageView* homeBg() const { return m_homeBg.get(); }
    LoginCheckBox* loginCheckBox() const { return m_loginCheckBox.get(); }

    // LoginDelegate.
    void loginIsFromInputIsAutoLogin(const LoginInfo& info, bool fromInput, bool autoLogin) override;
    void login(const std::string& demoTenant) override;
    // LoginModelDelegate.
    void loginSuccess() override;
    void loginErroWithMessage(const std::string& message) override;
    void changeLoginButState() override;

    void synFinish();
    void showAlertViewWithMessage(const std::string& title, const std::string& message);
    void updateLanguage(ui::Responder* sender) override;
    void initializeDemoFinish();

    // The demo data's unpacking, run on a background queue; replaced by tests that need it slow.
    using DemoUnpack = std::function<bool()>;
    static void setDemoUnpack(DemoUnpack unpack);

private:
    std::shared_ptr<WeclomeViewController> self() { return std::static_pointer_cast<WeclomeViewController>(sharedController()); }
    void becomeLoginDelegate();
    void startDemoUnpack();
    void moveHomeBg(double y);
    void refreshLoginButton();

    std::shared_ptr<ui::ImageView> m_homeBg;
    std::shared_ptr<LoginCheckBox> m_loginCheckBox;
    std::shared_ptr<ui::AlertView> m_alert;
    base::ObserverToken m_keyboardShow;
    base::ObserverToken m_keyboardHide;
    bool m_unpackingDemo = false;
};
