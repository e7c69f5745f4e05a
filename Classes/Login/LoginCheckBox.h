#pragma once
#include "Common/AutoInputTextField.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Platform/UI/ScrollView.h"
#include "Widgets/LinkLabel.h"
#include "Protocol/LoginInfo.h"
#include "Classes/Login/LoginItemList.h"

#include <memory>
#include <string>
#include <vector>

class BRPageControl;
namespace ui {
class Button;
class ImageView;
class TapGestureRecognizer;
}

// The welcome screen, which carries out the form's logins.
class LoginDelegate {
public:
    virtual ~LoginDelegate() = default;
    virtual void loginIsFromInputIsAutoLogin(const LoginInfo& info, bool fromInput, bool autoLogin) = 0;
    // A demo tenant's tile.
    virtual void login(const std::string& demoTenant) = 0;
};

// The login form on the welcome screen: three fields with a glow on the active one and an
// inline completion from the saved logins, the shortcut check box, the login button, the
// links, and the shortcut tiles with their page control.
class LoginCheckBox : public ui::View,
                      private ui::TextFieldDelegate,
                      private ui::GestureRecognizerDelegate,
                      private ui::ScrollViewDelegate,
                      private ui::AlertViewDelegate,
                      private LinkLabelDelegate,
                      private LoginItemListDelegate {
public:
    static constexpr int kCompanyLinkTag = 1000;
    static constexpr int kForgotPasswordTag = 1001;
    static constexpr int kReplaceAlertTag = 1002;
    static constexpr double kPageControlY = 720;

    static std::shared_ptr<LoginCheckBox> create(const gfx::Rect& frame, LoginDelegate* delegate);
    explicit LoginCheckBox(const gfx::Rect& frame);
    ~LoginCheckBox() override;
    const char* className() const override { return "LoginCheckBox"; }

    void setDelegate(LoginDelegate* delegate) { m_delegate = delegate; }

    void updateLanguage();
    void resignTextFirstResponder();
    // Every tile unselected.
    void changeButState();
    // Tiles and the login button stop answering while the demo data is written.
    void setInputEnabled(bool enabled);
    void sizePageControl();

    AutoInputTextField& userNameInputText() const { return *m_userNameInputText; }
    ui::TextField& passWordInputText() const { return *m_passWordInputText; }
    AutoInputTextField& clientIDInputText() const { return *m_clientIDInputText; }
    ui::Button& loginBut() const { return *m_loginBut; }
    ui::Button& btnAutologin() const { return *m_btnAutologin; }
    ui::Button& btnFreeTrial() const { return *m_btnFreeTrial; }
    ui::Button& registerBut() const { return *m_registerBut; }
    LinkLabel& companyLink() const { return *m_companyLink; }
    LinkLabel& forgotPasswordLink() const { return *m_forgotPasswordLink; }
    LinkLabel& notmemberLink() const { return *m_notmemberLink; }
    LoginItemList& loginItemList() const { return *m_loginItemList; }
    BRPageControl& pageControl() const { return *m_pageControl; }
    ui::View& glowingUser() const { return *m_glowingUser; }
    ui::View& glowingPassword() const { return *m_glowingPassword; }
    ui::View& glowingClient() const { return *m_glowingClient; }
    const std::vector<std::string>& loginData() const { return m_loginData; }

    void loginFromOther();
    void setAutoLogin();
    void btnFreeTrialClick();
    void autoLoadCompanyId();

    static std::shared_ptr<ui::View> glowingLayerWithFrame(const gfx::Rect& frame);
    static void fadeIn(ui::View& view);
    static void fadeOut(ui::View& view);

private:
    void build();
    void wire();
    void prefill();
    void setUpField(ui::TextField& field, const gfx::Rect& background, ui::ReturnKeyType returnKey);
    void stopShaking();
    void alert(const std::string& message);
    void acceptSuffix(AutoInputTextField& field);
    void hideSuffix();
    void showCandidates(AutoInputTextField& field, const std::string& newText);
    ui::View* glowFor(const ui::TextField& field) const;
    void tapForCandidate(ui::GestureRecognizer& recognizer);
    void tapToEndEditing(ui::GestureRecognizer& recognizer);
    void pageChanged();

    // Text fields.
    bool textFieldShouldChangeCharactersInRange(ui::TextField& field, size_t location, size_t length,
                                                const std::string& replacement) override;
    void textFieldDidBeginEditing(ui::TextField& field) override;
    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldClear(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    // Taps on controls, labels and cells are theirs.
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override;
    bool gestureRecognizerShouldRecognizeSimultaneously(ui::GestureRecognizer&, ui::GestureRecognizer&) override { return true; }
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void scrollViewWillBeginDragging(ui::ScrollView& scrollView) override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void linkLabelToucheTouchesWtihTag(LinkLabel& label, int tag) override;
    void loginItemClick(LoginItem& item) override;
    void loginItemDelete(LoginItem& item) override;

    LoginDelegate* m_delegate = nullptr;
    std::shared_ptr<LinkLabel> m_companyLink, m_notmemberLink, m_forgotPasswordLink;
    std::shared_ptr<ui::Button> m_registerBut, m_loginBut, m_btnAutologin, m_btnFreeTrial;
    std::shared_ptr<AutoInputTextField> m_userNameInputText, m_clientIDInputText;
    std::shared_ptr<ui::TextField> m_passWordInputText;
    std::shared_ptr<LoginItemList> m_loginItemList;
    std::shared_ptr<BRPageControl> m_pageControl;
    ui::TextField* m_activeField = nullptr;
    ui::TextField* m_shouldActiveField = nullptr;
    std::vector<std::string> m_loginData;
    bool m_pageControlUsed = false;
    bool m_inputEnabled = true;
    std::shared_ptr<ui::View> m_glowingUser, m_glowingPassword, m_glowingClient;
    std::shared_ptr<ui::TapGestureRecognizer> m_candidateTap, m_endEditingTap;
    std::shared_ptr<ui::AlertView> m_alert;
};
