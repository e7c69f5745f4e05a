#include "App/HomeViewController.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/PopoverController.h"
#include "Protocol/LoginMode.h"
#include "Classes/Login/LoginPopController.h"
#include "Protocol/SyncModel.h"

#include <algorithm>
#include <cctype>

namespace {
constexpr const char* kHasShownHelpLogout = "HasShownHelpLogout";
constexpr int kSyncTag = 6;

// Escapes what may not stand in an address (spaces, controls, non-ASCII bytes, a stray "%"),
// keeping its delimiters and the escapes it already has, so an opener gets one valid address.
std::string escapedAddress(const std::string& text)
{
    static constexpr std::string_view kDelimiters = ":/?#[]@!$&'()*+,;=-._~";
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto isHex = [&](size_t i) { return i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool keep = c == '%' ? isHex(i + 1) && isHex(i + 2)
                             : (c < 0x80 && std::isalnum(c)) || kDelimiters.find(static_cast<char>(c)) != std::string_view::npos;
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool startsWithNoCase(const std::string& text, std::string_view prefix)
{
    return text.size() >= prefix.size()
        && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}
}

HomeViewController::~HomeViewController()
{
    for (auto& weak : m_alerts)
        if (auto alert = weak.lock())
            alert->setDelegate(nullptr);
}

void HomeViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    // The picture fills what the bar leaves of the view, and follows the view when it resizes.
    gfx::Rect area = view()->bounds();
    area.size.height = std::max(0.0, area.height() - UITabBarControllerExt::kBarHeight);
    m_homeBg = ui::View::make<ui::ImageView>(area);
    m_homeBg->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    // A client's picture made for another height is cropped at the sides, never squashed.
    m_homeBg->setContentMode(ui::ContentMode::ScaleAspectFill);
    m_homeBg->setClipsToBounds(true);
    m_homeBg->setImage(SkinManager::skinFromImageName(std::string("bg-home.png")));
    view()->addSubview(m_homeBg);

    m_linklblWebsite = ui::View::make<LinkLabel>(gfx::Rect(609, 635, 400, 40));
    m_linklblWebsite->setFont(gfx::Font("Verdana-Italic", 20));
    m_linklblWebsite->setTextAlignment(gfx::TextAlignment::Right);
    m_linklblWebsite->setLineBreakMode(gfx::LineBreakMode::TruncateMiddle);
    m_linklblWebsite->setNumberOfLines(1);
    m_linklblWebsite->setTextColor(gfx::Color::fromRgb(53, 107, 168));
    m_linklblWebsite->setDelegate(std::dynamic_pointer_cast<LinkLabelDelegate>(sharedController()));
    view()->addSubview(m_linklblWebsite);

    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void HomeViewController::viewWillAppear(bool animated)
{
    loadWebsiteAddress(LoginMode::sharedInstance()->companyLink());
    BaseViewController::viewWillAppear(animated);
}

void HomeViewController::loadWebsiteAddress(const std::string& address)
{
    if (!m_linklblWebsite)
        return;
    m_linklblWebsite->setText(address);
    m_linklblWebsite->setHidden(address.empty());
}

void HomeViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    view()->setAlpha(0.5);
    ui::View::AnimationOptions options;
    options.duration = 0.25;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    ui::View::animate(options, [this] { view()->setAlpha(1); }, [weak](bool) {
        if (auto self = std::static_pointer_cast<HomeViewController>(weak.lock()))
            self->showHelpLogout();
    });
}

void HomeViewController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    auto login = LoginMode::sharedInstance();
    if (login->needUpdate() && login->loginType() == 1) {
        auto sync = SyncModel::sharedInstance();
        sync->setNeedUpdate(true);
        sync->setShowUpdate(true);
        showAlertViewWithMessageWithButtons(kUpdateAlertTag, Language::stringWithName("HAVEUPDATE"),
                                            {Language::stringWithName("UPDATE_NOTNOW"), Language::stringWithName("UPDATE_YES")});
    }
}

void HomeViewController::viewDidUnload()
{
    BaseViewController::viewDidUnload();
    m_homeBg.reset();
}

void HomeViewController::updateLanguage(ui::Responder*)
{
    if (SyncModel::sharedInstance()->showUpdate())
        setSyncBadge(false);
}

void HomeViewController::setSyncBadge(bool animated)
{
    auto app = BrivantaAppDelegate::sharedAppDelegate();
    if (auto tabs = app ? app->tabBarController() : nullptr)
        tabs->setBadgeValueTabBarItemTagAnimated(Language::stringWithName("NEWUPDATE"), kSyncTag, animated);
}

void HomeViewController::showAlertViewWithMessageWithButtons(int tag, const std::string& message,
                                                             const std::vector<std::string>& buttons)
{
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"), message, this,
                                                 buttons.empty() ? std::string() : buttons[0],
                                                 std::vector<std::string>(buttons.begin() + std::min<size_t>(1, buttons.size()),
                                                                          buttons.end()));
    alert->setTag(tag);
    std::erase_if(m_alerts, [](auto& weak) { return weak.expired(); });
    m_alerts.push_back(alert);
    alert->show();
}

void HomeViewController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    auto app = BrivantaAppDelegate::sharedAppDelegate();
    switch (alert.tag()) {
    case kUpdateAlertTag:
        if (index == 1) {
            if (LoginMode::sharedInstance()->isNotWifi())
                showAlertViewWithMessageWithButtons(kWifiAlertTag, Language::stringWithName("WIFIALERT"),
                                                    {Language::stringWithName("OK"), Language::stringWithName("CANCEL")});
            else if (app)
                app->showSyncController();
        } else if (index == 0) {
            setSyncBadge(true);
        }
        break;
    case kWifiAlertTag:
        if (index == 0) {
            if (app)
                app->showSyncController();
        } else if (index == 1) {
            setSyncBadge(true);
        }
        break;
    default:
        break;
    }
}

void HomeViewController::showHelpLogout()
{
    if (LoginMode::sharedInstance()->loginType() != 3 || hasShownHelpLogout())
        return;
    auto content = std::make_shared<LoginPopController>();
    content->setForHelp(true);
    content->view()->setBackgroundColor(std::nullopt);
    if (m_helpPopController)
        m_helpPopController->dismissPopoverAnimated(false);
    m_helpPopController = std::make_shared<ui::PopoverController>(content);
    m_helpPopController->setPopoverBackgroundStyle(2);
    m_helpPopController->setPopoverContentSize(LoginPopController::kContentSize);
    m_helpPopController->presentPopoverFromRect({15, 685, 222, 51}, view().get(), ui::PopoverArrowDirectionAny, true);
    markAppHasShownHelpLogout();
}

bool HomeViewController::hasShownHelpLogout()
{
    return base::UserDefaults::standard()->boolForKey(kHasShownHelpLogout);
}

void HomeViewController::markAppHasShownHelpLogout()
{
    auto defaults = base::UserDefaults::standard();
    defaults->setBool(true, kHasShownHelpLogout);
    defaults->synchronize();
}

void HomeViewController::linkLabelToucheTouchesWtihTag(LinkLabel& label, int)
{
    // Blanks around the link are from its entry, not part of the address.
    std::string text(base::trimmingWhitespaceAndNewlines(label.text()));
    // A scheme of either kind is kept as typed; anything else is a bare host.
    bool hasScheme = startsWithNoCase(text, "http://") || startsWithNoCase(text, "https://");
    ui::Application::shared().openURL(escapedAddress(hasScheme ? text : "http://" + text));
}

void HomeViewController::userEditBtnClick()
{
    ui::Application::shared().openURL(PublicFunction::editUserUrl());
}

void HomeViewController::logoutBtnClick()
{
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        app->showLoginPage();
}
