#pragma once
#include "App/SettingsCellEntity.h"
#include "App/SettingsViewControllerDelegate.h"
#include "Common/LanguageManager.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/ViewController.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class BarButtonItem;
}

// The settings sheet: account, show-all-customers switch, full sync, language, version check,
// about and logout. The account and language pages are the same screen on pages 1 and 2,
// pushed inside the sheet.
class SettingsViewController : public ui::ViewController,
                               public ui::TableViewDataSource,
                               public ui::TableViewDelegate,
                               public LanguageManagerDelegate,
                               public ui::AlertViewDelegate {
public:
    enum Page { TopPage = 0, AccountPage = 1, LanguagePage = 2 };
    // Row types; on the account page 0, 1 and 2 are the company, the user and the CMS rows.
    enum CellType { AccountCell = 0, SwitchCell = 1, ActionCell = 2, LanguageCell = 3, HelpCell = 4,
                    VersionCell = 5, AboutCell = 6, LogoutCell = 7 };
    enum AlertTag { LogoutAlert = 1000, FullSyncAlert = 1001, CMSAccessAlert = 1002, DemoAlert = 1003,
                    CarrierNetworkAlert = 1004 };
    using Groups = std::map<int, std::vector<std::shared_ptr<SettingsCellEntity>>>;

    static std::shared_ptr<SettingsViewController> create();
    SettingsViewController() = default;
    ~SettingsViewController() override;
    const char* className() const override { return "SettingsViewController"; }

    void loadView() override;
    void viewDidLoad() override;
    // The rows are asked for before the sheet shows, which also titles the top page.
    void viewWillAppear(bool animated) override;
    ui::TableView& tableView() const { return *m_tableView; }

    // The top page's sections, built on first use; every call titles the screen.
    const Groups& groups();

    int numberOfSectionsInTableView(ui::TableView&) override;
    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForHeaderInSection(ui::TableView&, int) override { return 0; }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

    void openCMSURL();
    // The content-management login page for these settings, each query value escaped.
    static std::string cmsURL(const std::string& imageUrl, const std::string& account, const std::string& client,
                              int language);
    void syncAllData();
    void doneButtonTapped();
    // Escape closes the sheet as its Done button does.
    bool escapePressed() override;
    void btnUserEditClick();
    void notifiChangelanguage() override;
    // A flat row number; nothing reads it.
    void indexOfSection(const ui::IndexPath& indexPath);

    bool shouldAutorotate() const override { return false; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    std::shared_ptr<SettingsViewControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<SettingsViewControllerDelegate>& delegate) { m_delegate = delegate; }
    int settingPage() const { return m_settingPage; }
    void setSettingPage(int page) { m_settingPage = page; }
    const std::vector<std::shared_ptr<SettingsCellEntity>>& accountInfoItems() const { return m_accountInfoItems; }
    void setAccountInfoItems(std::vector<std::shared_ptr<SettingsCellEntity>> items) { m_accountInfoItems = std::move(items); }
    const std::vector<std::string>& languageItems() const { return m_languageItems; }
    void setLanguageItems(std::vector<std::string> items) { m_languageItems = std::move(items); }
    // When set, the page shows this one text as its only row.
    const std::optional<std::string>& checkForUpdates() const { return m_checkForUpdates; }
    void setCheckForUpdates(std::optional<std::string> text) { m_checkForUpdates = std::move(text); }
    int itemIndex() const { return m_itemIndex; }
    const std::shared_ptr<ui::BarButtonItem>& doneItem() const { return m_doneItem; }

private:
    std::shared_ptr<SettingsCellEntity> rowAt(const ui::IndexPath& indexPath);
    std::shared_ptr<ui::TableViewCell> valueCell(ui::TableView& table);
    void showAlert(int tag, const std::string& title, const std::string& message, const std::string& cancel,
                   const std::string& other);
    void pushPage(const std::shared_ptr<ui::ViewController>& page, const std::string& title);

    int32_t m_itemIndex = 0;
    std::vector<std::shared_ptr<SettingsCellEntity>> m_accountInfoItems;
    std::vector<std::string> m_languageItems;
    std::optional<Groups> m_groups;
    int32_t m_settingPage = TopPage;
    std::weak_ptr<SettingsViewControllerDelegate> m_delegate;
    std::optional<std::string> m_checkForUpdates;
    std::shared_ptr<ui::TableView> m_tableView;
    std::shared_ptr<ui::BarButtonItem> m_doneItem;
    std::vector<std::weak_ptr<ui::AlertView>> m_alerts;
};
