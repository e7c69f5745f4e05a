#include "Classes/Sync/SyncViewController.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Common/AppSession.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Protocol/LoginMode.h"
#include "Classes/Sync/SyncInfoItem.h"

#include <cstdio>

namespace {

constexpr int kSyncTabTag = 6;

std::shared_ptr<UITabBarControllerExt> tabBar()
{
    auto app = BrivantaAppDelegate::sharedAppDelegate();
    return app ? app->tabBarController() : nullptr;
}

std::string percentText(const char* format, float value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<double>(value));
    return text;
}

std::string withCount(const std::string& format, int count)
{
    auto at = format.find("%d");
    if (at == std::string::npos)
        return format;
    return format.substr(0, at) + std::to_string(count) + format.substr(at + 2);
}

}

void SyncViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    if (!m_topBar) {
        m_topBar = ui::View::make<ui::ImageView>(gfx::Rect(-5, 0, 1029, 44));
        m_topBar->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));
    }
    view()->addSubview(m_topBar);
    if (!m_titleLabel) {
        m_titleLabel = ui::View::make<ui::Label>(gfx::Rect(490, 7, 300, 30));
        m_titleLabel->setFont(gfx::Font("Helvetica-Bold", 20));
        m_titleLabel->setTextColor(gfx::Color::white());
        m_titleLabel->setBackgroundColor(gfx::Color::clear());
        // Beside the title, as the layout gave it no place of its own.
        m_indicatorView = ui::View::make<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::White);
        m_indicatorView->setFrame(gfx::Rect(455, 12, 20, 20));
        m_syncMainView = ui::View::make<ui::View>(gfx::Rect(-2, 44, 1030, 620));
        m_syncMainView->setBackgroundColor(gfx::Color::clear());
        m_resourceUpdateView = ResourceUpdateView::create(gfx::Rect(0, 0, 1030, 300));
        m_resourceUpdateView->setDelegate(this);
        m_syncMainView->addSubview(m_resourceUpdateView);
    }
    view()->addSubview(m_titleLabel);
    view()->addSubview(m_indicatorView);
    view()->addSubview(m_syncMainView);
    updateLanguage(nullptr);
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void SyncViewController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    // Shown only while a sync runs, turning.
    m_indicatorView->setHidesWhenStopped(true);
    loadByConfig();
    getsyncdate();
    SyncModel::sharedInstance()->setDelegate(std::dynamic_pointer_cast<SyncModelDelegate>(sharedController()));
}

void SyncViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    bool downloading = SyncModel::sharedInstance()->isDownloading();
    m_resourceUpdateView->setBtnSyncEnabled(!downloading);
    if (downloading)
        m_indicatorView->startAnimating();
    else
        m_indicatorView->stopAnimating();
}

void SyncViewController::updateLanguage(ui::Responder*)
{
    if (m_titleLabel)
        m_titleLabel->setText(Language::stringWithName("SYNC_"));
    if (m_resourceUpdateView) {
        m_resourceUpdateView->setTitle(Language::stringWithName("DATEUPDATES"));
        // The last sync time, kept, in the new language's date form.
        getsyncdate();
    }
}

void SyncViewController::loadByConfig()
{
    ++m_loadByConfigCount;
    auto config = ConfigManager::sharedInstance();
    m_resourceUpdateView->setIsCatalogOnshow(config->isOnShow(1));
    m_resourceUpdateView->setIsCustomerOnShow(config->isOnShow(2));
    m_resourceUpdateView->setIsSalesLibraryOnShow(config->isOnShow(4));
}

void SyncViewController::getsyncdate()
{
    auto stored = base::UserDefaults::standard()->stringForKey(LoginMode::sharedInstance()->clientID() + "-lastsync");
    if (!stored)
        return;
    auto date = base::DateFormatter("HH:mm MM/dd/yy").dateFromString(*stored);
    // A value that does not parse leaves the rows as they are.
    if (!date)
        return;
    auto shown = base::DateFormatter("HH:mm " + PublicFunction::getFormateString()).stringFromDate(*date);
    m_resourceUpdateView->setSyncDate(shown);
}

void SyncViewController::btnSyncClick(ui::Button* sender)
{
    if (sender) {
        auto login = LoginMode::sharedInstance();
        if (login->loginType() == 3) {
            showAlert(DemoAlert, Language::stringWithName("FUNCTIONLIMITED"), Language::stringWithName("DEMOMODELOGIN"),
                      Language::stringWithName("ISEE"), {Language::stringWithName("SIGNUPNOW")});
            return;
        }
        if (login->isNotWifi()) {
            showAlert(WifiAlert, Language::stringWithName("NOTIFICATION"), Language::stringWithName("WIFIALERT"),
                      Language::stringWithName("OK"), {Language::stringWithName("CANCEL")});
            return;
        }
    }
    guardedStart();
}

void SyncViewController::guardedStart()
{
    auto engine = SyncModel::sharedInstance();
    {
        std::lock_guard guard(m_lock);
        if (engine->isDownloading())
            return;
        startIndictorView();
    }
    engine->startSync();
}

void SyncViewController::syncData()
{
    auto engine = SyncModel::sharedInstance();
    if (!engine->needUpdate())
        return;
    btnSyncClick(nullptr);
    engine->setNeedUpdate(false);
}

void SyncViewController::startSyncData()
{
    ++m_startSyncDataCalls;
    syncData();
}

void SyncViewController::startIndictorView()
{
    m_resourceUpdateView->setBtnSyncEnabled(false);
    m_resourceUpdateView->showHelp();
    m_resourceUpdateView->resetProgress();
    m_resourceUpdateView->syncInfoProduc()->setLbprogressTxt(Language::stringWithName("CHECKING"));
    m_indicatorView->startAnimating();
    if (PublicFunction::getDeviceVersion() >= 5.0) {
        if (auto tabs = tabBar())
            tabs->startSyncIconAnimation();
    }
}

void SyncViewController::stopIndicatorView()
{
    auto engine = SyncModel::sharedInstance();
    engine->resetDownloadProgress();
    m_indicatorView->stopAnimating();
    if (auto tabs = tabBar())
        tabs->stopSyncIconAnimation();
    std::lock_guard guard(m_lock);
    m_resourceUpdateView->setBtnSyncEnabled(true);
    engine->setIsDownloading(false);
}

void SyncViewController::setProgressImageTypeRemainTime(float progress, int imageType, int remainTime)
{
    m_resourceUpdateView->setRemainTime(remainTime);
    auto& products = *m_resourceUpdateView->syncInfoProduc();
    auto& materials = *m_resourceUpdateView->syncInfoIcon();
    switch (imageType) {
    case 1:
        if (progress >= 1) {
            products.setProgress(1.0f);
        } else {
            products.setProgress(progress);
            products.setLbprogressTxt(percentText("%.0f %%", progress * 100));
        }
        break;
    case 3:
        if (progress >= 1) {
            materials.setProgress(0.2f);
            materials.setLbprogressTxt("20%");
        } else {
            float value = 0.2f * progress;
            materials.setProgress(value);
            materials.setLbprogressTxt(percentText("%.0f%%", value * 100));
        }
        break;
    case 4:
        if (progress >= 1) {
            materials.setProgress(1.0f);
        } else {
            float value = 0.2f + 0.8f * progress;
            materials.setProgress(value);
            materials.setLbprogressTxt(percentText("%.0f%%", value * 100));
        }
        break;
    default:
        break;
    }
}

void SyncViewController::downloadimageFinished(int imageType)
{
    switch (imageType) {
    case 1:
        m_resourceUpdateView->syncInfoProduc()->setProgress(1.0f);
        break;
    case 3:
        m_resourceUpdateView->syncInfoIcon()->setProgress(0.2f);
        m_resourceUpdateView->syncInfoIcon()->setLbprogressTxt("20%");
        break;
    case 4:
        m_resourceUpdateView->syncInfoIcon()->setProgress(1.0f);
        break;
    default:
        break;
    }
}

void SyncViewController::getCustomerFinished()
{
    m_resourceUpdateView->syncInfoCustomer()->setProgress(1.0f);
}

void SyncViewController::finishedSync()
{
    auto engine = SyncModel::sharedInstance();
    engine->setShowUpdate(false);
    m_resourceUpdateView->hideHelp();
    if (auto tabs = tabBar())
        tabs->setBadgeValueTabBarItemTagAnimated(std::nullopt, kSyncTabTag, false);
    getsyncdate();
    m_resourceUpdateView->syncInfoIcon()->setProgress(1.0f);
    stopIndicatorView();
    engine->setIsSyncAllData(false);
    // Files that failed twice are fetched next time; the user should know the set is short,
    // and why when the server's answer was too large to take. A full disk would refuse them
    // again: it is named instead, for the user to free space first.
    if (int missing = engine->missingFileCount(); missing > 0) {
        std::string message =
            withCount(Language::stringWithName(engine->diskWasFull() ? "SYNCDISKFULL" : "SYNCFILESMISSING"), missing);
        if (engine->tooLargeFileCount() > 0)
            message = Language::stringWithName("ANSWERTOOLARGE") + "\n" + message;
        showAlert(MissingFilesAlert, Language::stringWithName("NOTIFICATION"), message, Language::stringWithName("OK"),
                  {});
    }
}

void SyncViewController::breakSync(const std::string& message)
{
    auto title = Language::stringWithName("NOTIFICATION");
    if (LoginMode::sharedInstance()->loginType() == -1)
        showAlert(LoginBrokenAlert, title, message + Language::stringWithName("STAYOFFLINEORLOGIN"),
                  Language::stringWithName("CANCEL"), {Language::stringWithName("OK")});
    else if (message == Language::stringWithName("101"))
        showAlert(LoginBrokenAlert, title, message, Language::stringWithName("CANCEL"),
                  {Language::stringWithName("LOGOUTSETTINGS")});
    else
        showAlert(BrokenAlert, title, message, Language::stringWithName("OK"), {});
    stopIndicatorView();
    SyncModel::sharedInstance()->setIsSyncAllData(false);
}

void SyncViewController::showAlert(int tag, const std::string& title, const std::string& message,
                                   const std::string& cancel, const std::vector<std::string>& others)
{
    auto alert = std::make_shared<ui::AlertView>(title, message, this, cancel, others);
    alert->setTag(tag);
    std::erase_if(m_alerts, [](auto& weak) { return weak.expired(); });
    m_alerts.push_back(alert);
    alert->show();
}

void SyncViewController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    switch (alert.tag()) {
    case BrokenAlert:
        m_resourceUpdateView->resetProgress();
        break;
    case LoginBrokenAlert:
        if (index == alert.firstOtherButtonIndex()) {
            if (auto app = AppSession::shared())
                app->showLoginPage();
        }
        break;
    case DemoAlert:
        if (index == 1)
            ui::Application::shared().openURL(AppSession::kRegistrationPageAddress);
        break;
    case WifiAlert:
        if (index == 0)
            guardedStart();
        break;
    default:
        break;
    }
}
