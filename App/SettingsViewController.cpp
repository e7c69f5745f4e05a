#include "App/SettingsViewController.h"

#include "App/AboutViewController.h"
#include "App/BrivantaAppDelegate.h"
#include "App/SwitchTableViewCell.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Net/URL.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SyncModel.h"

namespace {

constexpr const char* kEnglish = "English";
constexpr const char* kChinese = "中文";

std::shared_ptr<SettingsCellEntity> row(int type, const char* titleKey, std::any value = {})
{
    auto entity = std::make_shared<SettingsCellEntity>();
    entity->cellType = type;
    entity->cellTitle = titleKey;
    entity->cellValue = std::move(value);
    return entity;
}

template <typename T>
T valueOf(const SettingsCellEntity& entity, T fallback = {})
{
    const T* value = std::any_cast<T>(&entity.cellValue);
    return value ? *value : fallback;
}

} // namespace

std::shared_ptr<SettingsViewController> SettingsViewController::create()
{
    return std::make_shared<SettingsViewController>();
}

SettingsViewController::~SettingsViewController()
{
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
    for (auto& weak : m_alerts)
        if (auto alert = weak.lock())
            alert->setDelegate(nullptr);
    if (m_tableView) {
        m_tableView->setDataSource(nullptr);
        m_tableView->setDelegate(nullptr);
    }
}

void SettingsViewController::loadView()
{
    m_tableView = ui::View::make<ui::TableView>(gfx::Rect({0, 0}, ui::ViewController::kFormSheetSize),
                                                ui::TableViewStyle::Grouped);
    m_tableView->setBackgroundColor(gfx::Color::fromRgb(222, 226, 232));
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    setView(m_tableView);
}

void SettingsViewController::viewDidLoad()
{
    ui::ViewController::viewDidLoad();
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    m_doneItem = std::make_shared<ui::BarButtonItem>(Language::stringWithName("DONE"), ui::BarButtonItem::Style::Done, [weak] {
        if (auto self = std::static_pointer_cast<SettingsViewController>(weak.lock()))
            self->doneButtonTapped();
    });
    setRightBarButtonItem(m_doneItem);
    LanguageManager::sharedInstance()->registerLanugageNotification(
        std::dynamic_pointer_cast<LanguageManagerDelegate>(sharedController()));
}

void SettingsViewController::viewWillAppear(bool animated)
{
    ui::ViewController::viewWillAppear(animated);
    m_tableView->reloadData();
    m_tableView->numberOfSections();
}

const SettingsViewController::Groups& SettingsViewController::groups()
{
    if (!m_groups) {
        auto login = LoginMode::sharedInstance();
        std::vector<std::shared_ptr<SettingsCellEntity>> account = {
            row(AccountCell, "COMPANYNAME", login->companyName()),
            row(SwitchCell, "USERNAME", login->acountID()),
            row(ActionCell, "OPENCMS"),
        };
        std::vector<std::string> languages = {kEnglish, kChinese};
        auto app = BrivantaAppDelegate::sharedAppDelegate();
        std::string version = app ? app->currentVersion() : std::string();
        // The help row is built, though no section shows it.
        auto help = row(HelpCell, "HELP");
        (void)help;

        Groups groups;
        groups[0] = {row(AccountCell, "ACCOUNTMANAGEMENT", account)};
        if (ConfigManager::sharedInstance()->isOnShow(2))
            groups[1].push_back(row(SwitchCell, "SHOWALLCUSTOMER", true));
        groups[1].push_back(row(ActionCell, "FULLSYNC"));
        groups[2] = {row(LanguageCell, "SWITCHLANGUAGES", languages), row(VersionCell, "CHECKVERSION", version),
                     row(AboutCell, "ABOUT")};
        groups[3] = {row(LogoutCell, "LOGOUTSETTINGS")};
        m_groups = std::move(groups);
    }
    setTitle(Language::stringWithName("SETTINGSTITLE"));
    return *m_groups;
}

int SettingsViewController::numberOfSectionsInTableView(ui::TableView&)
{
    if (m_settingPage != TopPage || m_checkForUpdates)
        return 1;
    return static_cast<int>(groups().size());
}

int SettingsViewController::numberOfRowsInSection(ui::TableView&, int section)
{
    if (m_checkForUpdates)
        return 1;
    if (m_settingPage == AccountPage)
        return static_cast<int>(m_accountInfoItems.size());
    if (m_settingPage == LanguagePage)
        return static_cast<int>(m_languageItems.size());
    auto& all = groups();
    auto it = all.find(section);
    return it == all.end() ? 0 : static_cast<int>(it->second.size());
}

std::shared_ptr<SettingsCellEntity> SettingsViewController::rowAt(const ui::IndexPath& ip)
{
    if (m_settingPage == AccountPage)
        return ip.row < static_cast<int>(m_accountInfoItems.size()) ? m_accountInfoItems[static_cast<size_t>(ip.row)] : nullptr;
    auto& all = groups();
    auto it = all.find(ip.section);
    if (it == all.end() || ip.row >= static_cast<int>(it->second.size()))
        return nullptr;
    return it->second[static_cast<size_t>(ip.row)];
}

std::shared_ptr<ui::TableViewCell> SettingsViewController::valueCell(ui::TableView& table)
{
    auto cell = table.dequeueReusableCellWithIdentifier("Cell");
    if (!cell)
        cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Value1, "Cell");
    // A reused cell may come from any row.
    cell->setBackgroundColor(gfx::Color::white());
    cell->setAccessoryType(ui::TableViewCellAccessoryType::None);
    cell->setAccessoryView(nullptr);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::Blue);
    cell->textLabel().setTextColor(gfx::Color::black());
    cell->detailTextLabel().setText("");
    return cell;
}

std::shared_ptr<ui::TableViewCell> SettingsViewController::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    if (m_checkForUpdates) {
        auto cell = valueCell(table);
        cell->textLabel().setText(*m_checkForUpdates);
        return cell;
    }
    if (m_settingPage == LanguagePage) {
        auto cell = valueCell(table);
        cell->textLabel().setText(ip.row < static_cast<int>(m_languageItems.size()) ? m_languageItems[static_cast<size_t>(ip.row)] : "");
        int current = LanguageManager::sharedInstance()->currentLanguage() == 2 ? 1 : 0;
        cell->setAccessoryType(ip.row == current ? ui::TableViewCellAccessoryType::Checkmark
                                                 : ui::TableViewCellAccessoryType::None);
        return cell;
    }
    auto entity = rowAt(ip);
    if (!entity)
        return valueCell(table);
    std::string title = Language::stringWithName(entity->cellTitle);

    if (m_settingPage == AccountPage) {
        auto cell = valueCell(table);
        cell->textLabel().setText(title);
        if (entity->cellType == AccountCell) {
            cell->detailTextLabel().setText(valueOf<std::string>(*entity));
            cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        } else if (entity->cellType == SwitchCell) {
            cell->detailTextLabel().setText(valueOf<std::string>(*entity));
            cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
            auto edit = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(84, 2, 34, 34));
            edit->setImage(SkinManager::skinFromImageName(std::string("btn-edit.png")));
            std::weak_ptr<ui::Responder> weak = weak_from_this();
            edit->addTarget([weak](ui::Control&) {
                if (auto self = std::static_pointer_cast<SettingsViewController>(weak.lock()))
                    self->btnUserEditClick();
            }, ui::ControlEventTouchUpInside);
            cell->setAccessoryView(edit);
        }
        return cell;
    }

    switch (entity->cellType) {
    case SwitchCell: {
        auto cell = std::dynamic_pointer_cast<SwitchTableViewCell>(table.dequeueReusableCellWithIdentifier("SwitchTableViewCell"));
        if (!cell)
            cell = std::make_shared<SwitchTableViewCell>(ui::TableViewCellStyle::Default, "SwitchTableViewCell");
        cell->textLabel().setText(title);
        cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        return cell;
    }
    case LogoutCell: {
        auto cell = table.dequeueReusableCellWithIdentifier("LogoutCell");
        if (!cell)
            cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "LogoutCell");
        cell->setBackgroundColor(gfx::Color::fromRgb(57, 120, 235));
        cell->setCornerRadius(8);
        cell->setClipsToBounds(true);
        cell->textLabel().setText(title);
        cell->textLabel().setTextColor(gfx::Color::white());
        cell->textLabel().setTextAlignment(gfx::TextAlignment::Center);
        return cell;
    }
    default:
        break;
    }
    auto cell = valueCell(table);
    cell->textLabel().setText(title);
    switch (entity->cellType) {
    case AccountCell:
    case AboutCell:
        cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
        break;
    case LanguageCell:
        cell->detailTextLabel().setText(LanguageManager::sharedInstance()->currentLanguage() == 2 ? kChinese : kEnglish);
        cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
        break;
    case HelpCell:
        cell->textLabel().setTextColor(gfx::Color::fromWhite(0.5));
        cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        break;
    case VersionCell:
        cell->detailTextLabel().setText(valueOf<std::string>(*entity));
        break;
    default:
        break;
    }
    return cell;
}

void SettingsViewController::pushPage(const std::shared_ptr<ui::ViewController>& page, const std::string& title)
{
    page->setTitle(title);
    if (auto* nav = navigationController())
        nav->pushViewController(page, true);
}

void SettingsViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    table.deselectRowAtIndexPath(ip, true);
    auto keep = sharedController();
    if (m_checkForUpdates)
        return;
    if (m_settingPage == LanguagePage) {
        auto language = LanguageManager::sharedInstance();
        if (language->currentLanguage() == 2 && ip.row == 0)
            language->setCurrentLanguage(1);
        else if (ip.row == 1)
            language->setCurrentLanguage(2);
        return;
    }
    auto entity = rowAt(ip);
    if (!entity)
        return;
    if (m_settingPage == AccountPage) {
        if (entity->cellType != ActionCell)
            return;
        int access = LoginMode::sharedInstance()->userAccess();
        if (access == 0 || access == 2)
            openCMSURL();
        else
            showAlert(CMSAccessAlert, "NOCMSACCESS", "NOCMSACCESSNOTE", "CANCEL", "OPENCMS");
        return;
    }
    std::string title = Language::stringWithName(entity->cellTitle);
    switch (entity->cellType) {
    case AccountCell: {
        auto page = create();
        page->setDelegate(delegate());
        page->setAccountInfoItems(valueOf<std::vector<std::shared_ptr<SettingsCellEntity>>>(*entity));
        page->setSettingPage(AccountPage);
        pushPage(page, title);
        break;
    }
    case LanguageCell: {
        auto page = create();
        page->setDelegate(delegate());
        page->setLanguageItems(valueOf<std::vector<std::string>>(*entity));
        page->setSettingPage(LanguagePage);
        pushPage(page, title);
        break;
    }
    case AboutCell: {
        auto about = std::make_shared<AboutViewController>();
        about->setDelegate(delegate());
        auto* nav = navigationController();
        about->setViewWidth(static_cast<float>(nav ? nav->view()->bounds().width() : view()->bounds().width()));
        pushPage(about, title);
        break;
    }
    case ActionCell:
        if (LoginMode::sharedInstance()->loginType() == 3)
            showAlert(DemoAlert, "FUNCTIONLIMITED", "DEMOMODELOGIN", "ISEE", "SIGNUPNOW");
        else
            showAlert(FullSyncAlert, "NOTIFICATION", "PERFORMFULLSYNC", "CANCEL", "UPDATE");
        break;
    case VersionCell:
        LoginMode::sharedInstance()->checkAppVersion(false);
        break;
    case LogoutCell:
        showAlert(LogoutAlert, "NOTIFICATION", "SURELOGOUT", "CANCEL", "SURE");
        break;
    default:
        break;
    }
}

void SettingsViewController::showAlert(int tag, const std::string& title, const std::string& message,
                                       const std::string& cancel, const std::string& other)
{
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName(title), Language::stringWithName(message), this,
                                                 Language::stringWithName(cancel),
                                                 std::vector<std::string>{Language::stringWithName(other)});
    alert->setTag(tag);
    std::erase_if(m_alerts, [](auto& weak) { return weak.expired(); });
    m_alerts.push_back(alert);
    alert->show();
}

void SettingsViewController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    // Closing the sheet may drop the last reference to this screen.
    auto keep = sharedController();
    bool other = index == alert.firstOtherButtonIndex();
    switch (alert.tag()) {
    case LogoutAlert:
        if (other) {
            ui::ViewController* sheet = navigationController() ? static_cast<ui::ViewController*>(navigationController()) : this;
            sheet->dismissViewController(false);
            if (auto app = BrivantaAppDelegate::sharedAppDelegate())
                app->showLoginPage();
        }
        break;
    case FullSyncAlert:
        if (other) {
            if (!LoginMode::sharedInstance()->isNotWifi())
                syncAllData();
            else
                showAlert(CarrierNetworkAlert, "NOTIFICATION", "WIFIALERT", "OK", "CANCEL");
        }
        break;
    case CarrierNetworkAlert:
        if (index == 0)
            syncAllData();
        break;
    case CMSAccessAlert:
        if (other)
            openCMSURL();
        break;
    case DemoAlert:
        if (index == 1)
            ui::Application::shared().openURL(BrivantaAppDelegate::kRegistrationPageAddress);
        break;
    default:
        break;
    }
}

std::string SettingsViewController::cmsURL(const std::string& imageUrl, const std::string& account, const std::string& client,
                                           int language)
{
    // Each value is escaped whole, so "&", "+", "#" or a space in it cannot change the query.
    return "http://" + imageUrl + "/administrator/index.php?option=com_login&username=" + net::percentEncode(account)
        + "&client_id=" + net::percentEncode(client) + "&lang=" + (language == 2 ? "zh-CN" : "en-GB");
}

void SettingsViewController::openCMSURL()
{
    auto server = PublicFunction::GetServer();
    auto login = LoginMode::sharedInstance();
    ui::Application::shared().openURL(cmsURL(server->imageUrlStr(), login->acountID(), login->clientID(),
                                             LanguageManager::sharedInstance()->currentLanguage()));
}

void SettingsViewController::syncAllData()
{
    doneButtonTapped();
    auto sync = SyncModel::sharedInstance();
    sync->setIsSyncAllData(true);
    sync->setNeedUpdate(true);
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        app->showSyncController();
}

void SettingsViewController::doneButtonTapped()
{
    auto keep = sharedController();
    ui::ViewController* sheet = navigationController() ? static_cast<ui::ViewController*>(navigationController()) : this;
    sheet->dismissViewController(true, {});
    if (auto listener = delegate())
        listener->deselectButton();
}

bool SettingsViewController::escapePressed()
{
    doneButtonTapped();
    return true;
}

void SettingsViewController::btnUserEditClick()
{
    ui::Application::shared().openURL(PublicFunction::editUserUrl());
}

void SettingsViewController::notifiChangelanguage()
{
    m_groups.reset();
    static const char* const kTitles[] = {"SETTINGSTITLE", "ACCOUNTMANAGEMENT", "SWITCHLANGUAGES"};
    if (m_settingPage >= TopPage && m_settingPage <= LanguagePage)
        setTitle(Language::stringWithName(kTitles[m_settingPage]));
    if (m_doneItem)
        m_doneItem->setTitle(Language::stringWithName("DONE"));
    if (m_tableView)
        m_tableView->reloadData();
}

void SettingsViewController::indexOfSection(const ui::IndexPath& ip)
{
    static constexpr int kFirstRowOfSection[] = {0, 1, 3, 7};
    int base = ip.section >= 0 && ip.section < 4 ? kFirstRowOfSection[ip.section] : 0;
    m_itemIndex = ip.row + base;
}
