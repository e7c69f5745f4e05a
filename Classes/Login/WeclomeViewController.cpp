#include "Classes/Login/WeclomeViewController.h"

#include "Common/AppSession.h"
#include "Common/Language.h"
#include "Common/MessageBox.h"
#include "Common/SkinManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Window.h"

namespace {

WeclomeViewController::DemoUnpack& demoUnpack()
{
    static WeclomeViewController::DemoUnpack unpack;
    return unpack;
}

// The wait box of the demo unpacking closes when the unpacking ends, not before: a tile tapped
// meanwhile would open half-written data.
constexpr double kUnpackWaitLimit = 24 * 3600;

} // namespace

void WeclomeViewController::setDemoUnpack(DemoUnpack unpack)
{
    demoUnpack() = std::move(unpack);
}

WeclomeViewController::~WeclomeViewController()
{
    if (auto mode = LoginMode::sharedInstance(); mode && mode->delegate().lock().get() == this)
        mode->setDelegate({});
}

void WeclomeViewController::loadView()
{
    auto root = std::make_shared<ui::View>(gfx::Rect({0, 0}, ui::Window::kScreenSize));
    // The keyboard lifts the picture: what shows beneath continues its lowest row.
    root->setBackgroundColor(gfx::Color::fromRgb(25, 45, 77));
    m_homeBg = std::make_shared<ui::ImageView>(gfx::Rect({0, 0}, ui::Window::kScreenSize));
    m_homeBg->setImage(SkinManager::skinFromImageName(std::string("bg-welcome.png")));
    m_homeBg->setUserInteractionEnabled(true);
    root->addSubview(m_homeBg);
    m_loginCheckBox = LoginCheckBox::create({0, 0, 1024, 740}, this);
    m_loginCheckBox->setBackgroundColor(gfx::Color::clear());
    m_homeBg->addSubview(m_loginCheckBox);
    setView(root);
}

void WeclomeViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    becomeLoginDelegate();
    LoginMode::sharedInstance()->checkAppVersion(true);
    auto& center = base::NotificationCenter::defaultCenter();
    // A keyboard that covers nothing (a desktop's) leaves the form where it is.
    m_keyboardShow = center.addObserver(ui::kKeyboardWillShowNotification, nullptr, [this](const base::Notification& n) {
        if (ui::Keyboard::coveredHeight(n.userInfo) > 0)
            moveHomeBg(kKeyboardLift);
    });
    m_keyboardHide = center.addObserver(ui::kKeyboardWillHideNotification, nullptr,
                                        [this](const base::Notification&) { moveHomeBg(0); });
}

void WeclomeViewController::becomeLoginDelegate()
{
    LoginMode::sharedInstance()->setDelegate(
        std::weak_ptr<LoginModelDelegate>(std::shared_ptr<LoginModelDelegate>(self(), this)));
}

void WeclomeViewController::moveHomeBg(double y)
{
    if (!m_homeBg)
        return;
    ui::View::AnimationOptions options;
    options.duration = 0.3;
    options.curve = ui::View::AnimationOptions::Curve::EaseInOut;
    ui::View::animate(options, [this, y] {
        gfx::Rect frame = m_homeBg->frame();
        m_homeBg->setFrame({frame.x(), y, frame.width(), frame.height()});
    });
}

void WeclomeViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    auto skins = SkinManager::sharedInstance();
    if (m_unpackingDemo || !skins->needInitializeDemo())
        return;
    skins->setNeedUpdateDemo(false);
    m_unpackingDemo = true;
    m_loginCheckBox->setInputEnabled(false);
    // The first screen appears before its window is the key one, where boxes go: one turn later.
    std::weak_ptr<WeclomeViewController> weak = self();
    base::RunLoop::main().post([weak] {
        if (auto screen = weak.lock())
            screen->startDemoUnpack();
    });
}

void WeclomeViewController::startDemoUnpack()
{
    MessageBox::sharedInstance()->BeginBlockWaitTimeout(Language::stringWithName("INITEALIZINGDATA"), kUnpackWaitLimit);
    std::weak_ptr<WeclomeViewController> weak = self();
    DemoUnpack unpack = demoUnpack();
    base::dispatchBackground([weak, unpack] {
        if (unpack)
            unpack();
        else
            SkinManager::sharedInstance()->initializeDemoZip();
        base::RunLoop::main().post([weak] {
            if (auto self = weak.lock())
                self->initializeDemoFinish();
            else
                MessageBox::sharedInstance()->EndBlockWait();
        });
    });
}

void WeclomeViewController::initializeDemoFinish()
{
    m_unpackingDemo = false;
    MessageBox::sharedInstance()->EndBlockWait();
    if (m_loginCheckBox)
        m_loginCheckBox->setInputEnabled(true);
    refreshLoginButton();
}

void WeclomeViewController::refreshLoginButton()
{
    if (!m_loginCheckBox)
        return;
    bool pending = LoginMode::sharedInstance()->isLoginPending();
    m_loginCheckBox->loginBut().setEnabled(!m_unpackingDemo && !pending);
}

void WeclomeViewController::loginIsFromInputIsAutoLogin(const LoginInfo& info, bool fromInput, bool autoLogin)
{
    if (m_unpackingDemo)
        return;
    MessageBox::sharedInstance()->BeginBlockWaitTimeout(Language::stringWithName("LOGINWAITING"),
                                                        LoginMode::waitBoxSeconds());
    becomeLoginDelegate();
    LoginMode::sharedInstance()->login(info, fromInput, autoLogin);
    refreshLoginButton();
}

void WeclomeViewController::login(const std::string& demoTenant)
{
    if (m_unpackingDemo)
        return;
    becomeLoginDelegate();
    LoginMode::sharedInstance()->loginWithDemo(demoTenant);
}

void WeclomeViewController::loginSuccess()
{
    synFinish();
}

void WeclomeViewController::synFinish()
{
    MessageBox::sharedInstance()->EndBlockWait();
    refreshLoginButton();
    AppSession::shared()->showMainController();
}

void WeclomeViewController::loginErroWithMessage(const std::string& message)
{
    refreshLoginButton();
    showAlertViewWithMessage(Language::stringWithName("NOTIFICATION"), message);
}

void WeclomeViewController::showAlertViewWithMessage(const std::string& title, const std::string& message)
{
    m_alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("OK"));
    m_alert->show();
}

void WeclomeViewController::changeLoginButState()
{
    if (m_loginCheckBox)
        m_loginCheckBox->changeButState();
    // The login state lifts its pending mark after telling us; look again on the next turn.
    std::weak_ptr<WeclomeViewController> weak = self();
    base::RunLoop::main().post([weak] {
        if (auto self = weak.lock())
            self->refreshLoginButton();
    });
}

void WeclomeViewController::updateLanguage(ui::Responder*)
{
    if (m_loginCheckBox)
        m_loginCheckBox->updateLanguage();
}
