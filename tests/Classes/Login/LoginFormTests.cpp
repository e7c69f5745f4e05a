// The login form and the welcome screen, driven through the headless window: taps by hit
// testing, text typed into the focused field.
#include "Classes/Login/LoginCheckBox.h"
#include "Classes/Login/WeclomeViewController.h"

#include "tests/App/AppWindowTestSupport.h"
#include "tests/Support/OnExit.h"

#include "App/BrivantaAppDelegate.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/MessageBox.h"
#include "Common/PublicFunction.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/ViewController.h"
#include "Protocol/LoginMode.h"
#include "Protocol/LoginRst.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SavedLogins.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct SentLogin {
    LoginInfo info;
    bool fromInput;
    bool autoLogin;
};

class RecordingLoginDelegate : public LoginDelegate {
public:
    void loginIsFromInputIsAutoLogin(const LoginInfo& info, bool fromInput, bool autoLogin) override
    {
        sent.push_back({info, fromInput, autoLogin});
    }
    void login(const std::string& tenant) override { demos.push_back(tenant); }
    std::vector<SentLogin> sent;
    std::vector<std::string> demos;
};

base::Value saved(const std::string& user, const std::string& password, const std::string& client, bool shortcut = false)
{
    base::Dictionary d{{SavedLogins::kUser, user}, {SavedLogins::kCredential, RequestLogin::passwordDigest(password)},
                       {SavedLogins::kClient, client}, {SavedLogins::kDevice, "device-1"}};
    if (shortcut)
        d.set(SavedLogins::kShortcut, "YES");
    return base::Value(std::move(d));
}

class LoginFormTest : public apptest::AppWindowTest {
protected:
    LoginFormTest()
    {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().setRecordsOpenedURLs(true);
    }
    ~LoginFormTest() override { ui::Application::shared().resetForTesting(); }

    void show(base::Array list)
    {
        defaults()->setBool(false, LoginItemList::kZKorvKey);
        defaults()->setBool(false, LoginItemList::kWendloftKey);
        SavedLogins::store(list);
        screen = std::make_shared<ui::ViewController>();
        window->setRootViewController(screen);
        form = LoginCheckBox::create({0, 0, 1024, 740}, &delegate);
        screen->view()->addSubview(form);
        driver->wait(0.1);
    }
    void typeInto(ui::TextField& field, const std::string& text)
    {
        driver->tap(&field);
        driver->type(text);
    }
    std::string alertMessage() const
    {
        auto alert = ui::AlertView::visibleAlert();
        return alert ? alert->message() : std::string();
    }

    RecordingLoginDelegate delegate;
    std::shared_ptr<ui::ViewController> screen;
    std::shared_ptr<LoginCheckBox> form;
};

TEST_F(LoginFormTest, CompletionShowsTheGreySuffixAtTheTypedWidthAndEndingTheEditKeepsIt)
{
    show(base::Array{saved("abc", "p", "Acme"), saved("abd", "p", "Acme")});
    form->userNameInputText().setText("");
    form->clientIDInputText().setText("");
    auto& user = form->userNameInputText();
    auto& client = form->clientIDInputText();
    const struct {
        AutoInputTextField* field;
        std::string typed;
        std::string suffix;
        std::string widthOf;
    } steps[] = {
        {&user, "a", "bc", "a"},
        {&user, "b", "c", "ab"},
        {&user, "c", "", ""},       // "abc" itself is no candidate, "abd" no longer one
        {&client, "ac", "me", "ac"}, // letter case ignored, the saved case shown
    };
    for (const auto& step : steps) {
        if (!step.field->isFirstResponder())
            driver->tap(step.field);
        driver->type(step.typed);
        std::string shown = step.field->autoTextStr().value_or("");
        EXPECT_EQ(shown, step.suffix) << step.typed;
        if (!step.suffix.empty()) {
            double width = gfx::sizeOfText(step.widthOf, step.field->font(), {1e6, 20}, gfx::LineBreakMode::WordWrap).width;
            EXPECT_DOUBLE_EQ(step.field->x(), width);
        }
    }
    // Ending the edit with no field about to be edited takes the suffix.
    form->resignTextFirstResponder();
    EXPECT_EQ(client.text(), "acme");
    EXPECT_FALSE(client.autoTextStr().has_value());
    // A tap on the form's background puts the first candidate in, in its saved case.
    client.setText("");
    driver->tap(&client);
    driver->type("ac");
    driver->tap(gfx::Point{100, 100});
    EXPECT_EQ(client.text(), "Acme");

    // The clear button hides the suffix.
    driver->tap(&user);
    user.setText("");
    driver->type("a");
    ASSERT_EQ(user.autoTextStr().value_or(""), "bc");
    driver->tap(gfx::Point{user.frame().maxX() - 12, user.frame().midY()});
    EXPECT_EQ(user.text(), "");
    EXPECT_FALSE(user.autoTextStr().has_value());
}

TEST_F(LoginFormTest, TheLoginButtonSendsTheTypedTextsOrRefusesBlankOnes)
{
    show(base::Array{});
    const struct {
        std::string user, password, client;
        bool sent;
    } cases[] = {
        {"", "pw", "AcmeCo", false},
        {"alice", "   ", "AcmeCo", false},
        {"alice", "pw", "", false},
        {" alice ", "s3cret!", "AcmeCo", true},
    };
    for (const auto& c : cases) {
        delegate.sent.clear();
        form->userNameInputText().setText(c.user);
        form->passWordInputText().setText(c.password);
        form->clientIDInputText().setText(c.client);
        driver->tap(&form->loginBut());
        if (!c.sent) {
            EXPECT_TRUE(delegate.sent.empty()) << c.user << "/" << c.client;
            EXPECT_EQ(alertMessage(), "Please fill in the user name, password and client ID.");
            ui::AlertView::dismissAllForTesting();
            continue;
        }
        ASSERT_EQ(delegate.sent.size(), 1u);
        const SentLogin& login = delegate.sent.front();
        EXPECT_EQ(login.info.accountId, " alice ") << "sent as typed";
        EXPECT_EQ(login.info.passWord, RequestLogin::passwordDigest("s3cret!")) << "never the plain text";
        EXPECT_EQ(login.info.clientId, "AcmeCo");
        EXPECT_EQ(login.info.deviceId, PublicFunction::getOpenUDID());
        EXPECT_TRUE(login.fromInput);
        EXPECT_FALSE(login.autoLogin);
    }
    driver->tap(&form->btnAutologin());
    driver->tap(&form->loginBut());
    ASSERT_EQ(delegate.sent.size(), 2u);
    EXPECT_TRUE(delegate.sent.back().autoLogin) << "the check box reaches the login";
}

TEST_F(LoginFormTest, PasswordReturnFillsTheOneSavedClientAndNothingWithTwo)
{
    const struct {
        base::Array list;
        std::string expected;
    } cases[] = {
        {base::Array{saved("bob", "pw", "Solo")}, "Solo"},
        {base::Array{saved("bob", "pw", "One"), saved("bob", "pw", "Two")}, ""},
        {base::Array{saved("bob", "other", "Solo")}, ""},
    };
    for (const auto& c : cases) {
        show(c.list);
        form->userNameInputText().setText("bob");
        form->clientIDInputText().setText("");
        typeInto(form->passWordInputText(), "pw");
        driver->pressKey("\n");
        EXPECT_EQ(form->clientIDInputText().text(), c.expected);
        EXPECT_TRUE(form->clientIDInputText().isFirstResponder());
        form->resignTextFirstResponder();
        driver->wait(0.5);
    }
}

TEST_F(LoginFormTest, ShortcutOfAnotherUserAsksReplaceOrCancel)
{
    show(base::Array{saved("carol", "pw", "AcmeCo", true)});
    form->userNameInputText().setText("alice");
    form->clientIDInputText().setText("AcmeCo");
    driver->tap(&form->btnAutologin());
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "A shortcut for AcmeCo exists");
    EXPECT_TRUE(form->btnAutologin().isSelected());
    ASSERT_NE(driver->findByText("Cancel"), nullptr);
    driver->tap(driver->findByText("Cancel"));
    driver->wait(0.5);
    EXPECT_FALSE(form->btnAutologin().isSelected());

    // The same user's own shortcut asks nothing.
    form->userNameInputText().setText("carol");
    driver->tap(&form->btnAutologin());
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
    EXPECT_TRUE(form->btnAutologin().isSelected());
}

TEST_F(LoginFormTest, LinksOpenTheirAddressesAndFocusFadesTheGlow)
{
    show(base::Array{});
    auto& opened = driver->openedURLs();
    driver->tap(&form->forgotPasswordLink());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened.back(), PublicFunction::forgetPassWordUrl());
    driver->tap(&form->btnFreeTrial());
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened.back(), BrivantaAppDelegate::kRegistrationPageAddress);

    // The company link lies below the form; its text makes the address, a blank one none.
    form->setFrame({0, -200, 1024, 740});
    driver->tap(&form->companyLink());
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened.back(), "http://www.brivanta.app/signup");
    form->companyLink().setText("  ");
    driver->tap(&form->companyLink());
    EXPECT_EQ(opened.size(), 3u);
    form->setFrame({0, 0, 1024, 740});

    driver->tap(&form->userNameInputText());
    driver->wait(0.3);
    EXPECT_DOUBLE_EQ(form->glowingUser().alpha(), 1);
    EXPECT_DOUBLE_EQ(form->glowingPassword().alpha(), 0);
    driver->tap(&form->passWordInputText());
    driver->wait(0.3);
    EXPECT_DOUBLE_EQ(form->glowingUser().alpha(), 0);
    EXPECT_DOUBLE_EQ(form->glowingPassword().alpha(), 1);
}

class WelcomeTest : public apptest::AppWindowTest {
protected:
    WelcomeTest()
    {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().setRecordsOpenedURLs(true);
    }
    ~WelcomeTest() override
    {
        WeclomeViewController::setDemoUnpack({});
        ui::Application::shared().resetForTesting();
    }
    void show()
    {
        screen = std::make_shared<WeclomeViewController>();
        window->setRootViewController(screen);
        driver->wait(0.1);
    }
    std::shared_ptr<WeclomeViewController> screen;
};

TEST_F(WelcomeTest, FocusLiftsTheWelcomePictureAndBlurBringsItBack)
{
    WeclomeViewController::setDemoUnpack([] { return true; });
    show();
    ASSERT_TRUE(base::RunLoop::main().runUntil([] { return MessageBox::sharedInstance()->waitMsgBoxtag() == 0; }, 10));
    driver->wait(0.5);
    ASSERT_NE(screen->homeBg(), nullptr);
    EXPECT_DOUBLE_EQ(screen->homeBg()->frame().y(), 0);
    driver->tap(&screen->loginCheckBox()->userNameInputText());
    ASSERT_TRUE(screen->loginCheckBox()->userNameInputText().isFirstResponder());
    driver->wait(0.3);
    EXPECT_DOUBLE_EQ(screen->homeBg()->frame().y(), -120);
    EXPECT_DOUBLE_EQ(screen->homeBg()->frame().height(), 768) << "the whole window";
    // Below the lifted picture the window keeps the picture's own colour.
    EXPECT_TRUE(driver->screenshot(reviewPath("welcome_keyboard_lifted.png")));
    auto lifted = gfx::Image::fromFile(reviewPath("welcome_keyboard_lifted.png"));
    ASSERT_FALSE(lifted.isNull());
    EXPECT_EQ(lifted.colorAt(512, 760), gfx::Color::fromRgb(25, 45, 77));
    screen->loginCheckBox()->resignTextFirstResponder();
    driver->wait(0.15);
    double midway = screen->homeBg()->presentation().center.y - 374;
    EXPECT_LT(midway, -10);
    EXPECT_GT(midway, -110) << "moving back over 0.3 s";
    driver->wait(0.25);
    EXPECT_DOUBLE_EQ(screen->homeBg()->frame().y(), 0);
}

TEST_F(WelcomeTest, TheWholeScreenSpeaksChinese)
{
    WeclomeViewController::setDemoUnpack([] { return true; });
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    show();
    ASSERT_TRUE(base::RunLoop::main().runUntil([] { return MessageBox::sharedInstance()->waitMsgBoxtag() == 0; }, 10));
    driver->wait(0.5);
    std::string login = Language::stringWithName("LOGIN");
    EXPECT_NE(login, "Log in");
    EXPECT_TRUE(driver->isOnScreen(driver->findByText(login)));
    EXPECT_TRUE(driver->screenshot(reviewPath("welcome_cn.png")));
}

TEST_F(WelcomeTest, AFormLoginRefusedWithTheExpiredSessionStatusSaysWhatWasNotAccepted)
{
    WeclomeViewController::setDemoUnpack([] { return true; });
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        show();
        ASSERT_TRUE(base::RunLoop::main().runUntil([] { return MessageBox::sharedInstance()->waitMsgBoxtag() == 0; }, 10));
        auto login = LoginMode::sharedInstance();
        login->setDelegate(std::static_pointer_cast<LoginModelDelegate>(screen));
        login->setFromInput(true);
        auto answer = std::make_shared<LoginRst>();
        answer->cmdCode = 258;
        answer->status = "101";
        answer->message = Language::stringWithName("101");
        login->ReciveHttpRespondInfo(answer);
        driver->wait(0.5);
        auto alert = ui::AlertView::visibleAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->message(), Language::stringWithName("LOGINREFUSED"));
        EXPECT_TRUE(driver->screenshot(reviewPath(language == 1 ? "login_refused_en.png" : "login_refused_cn.png")));
        ui::AlertView::dismissAllForTesting();
        LoginMode::freeInstance();
    }
}

TEST_F(WelcomeTest, ASlowDemoUnpackHoldsTheTilesAndTheBoxUntilItEnds)
{
    defaults()->setBool(true, LoginItemList::kZKorvKey);
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    // The unpack waits on this test's flags on a worker: let it go and end on every way out.
    testsupport::OnExit letGo([&] {
        release = true;
        base::RunLoop::main().runUntil([&] { return finished.load(); }, 30);
    });
    WeclomeViewController::setDemoUnpack([&] {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        bool ok = SkinManager::sharedInstance()->initializeDemoZip();
        finished = true;
        return ok;
    });
    SkinManager::sharedInstance()->setNeedUpdateDemo(true);
    show();
    driver->wait(0.1);
    ASSERT_NE(driver->findByText("Preparing the demo data…"), nullptr);
    driver->wait(11);
    EXPECT_NE(driver->findByText("Preparing the demo data…"), nullptr) << "past 10 s the box stays";
    EXPECT_FALSE(screen->loginCheckBox()->loginBut().isEnabled());
    LoginMode::sharedInstance()->setLoginType(-1);
    auto& tiles = screen->loginCheckBox()->loginItemList().itemList();
    ASSERT_FALSE(tiles.empty());
    driver->tap(tiles.front().get());
    EXPECT_NE(LoginMode::sharedInstance()->loginType(), 3) << "a tile does nothing meanwhile";

    release = true;
    EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return finished.load() && !driver->findByText("Preparing the demo data…"); }, 30));
    driver->wait(0.5);
    EXPECT_TRUE(screen->loginCheckBox()->loginBut().isEnabled());
}

} // namespace
