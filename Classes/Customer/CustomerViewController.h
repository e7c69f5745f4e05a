#pragma once
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Customer/CustomerInfoView.h"
#include "Classes/Customer/CustomerListView.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/PopoverController.h"

#include <memory>
#include <optional>
#include <variant>
#include <vector>

class DataAccessManager;

class CustomerSearchHitsController;

// The customers tab: the grouped list on the left, the customer's detail on the right and the
// search hits in a popover. It stores new and edited customers, deletes local ones and asks
// before uploading one. It follows the settings' show-all-customers switch.
class CustomerViewController : public BaseViewController,
                               public ConfigDelegate,
                               public CustomerListViewDelegate,
                               public CustomerInfoViewDelegate,
                               public ui::AlertViewDelegate,
                               public ui::PopoverControllerDelegate {
public:
    static constexpr int kSubmitAlertTag = 1000;
    static constexpr int kDemoAlertTag = 1001;
    static constexpr double kUploadWaitSeconds = 300;
    // The program ends: a customer being entered or edited is stored as DONE stores it when
    // DONE would accept it, unsent until its next upload; nothing is asked or shown.
    static constexpr const char* kKeepOpenFormNotification = "CustomerViewControllerKeepOpenForm";
    static void keepOpenForm();

    CustomerViewController();
    ~CustomerViewController() override;
    const char* className() const override { return "CustomerViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override {}
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    const std::shared_ptr<CustomerListView>& customerList() const { return m_customerList; }
    const std::shared_ptr<CustomerInfoView>& customerInfo() const { return m_customerInfo; }
    const std::shared_ptr<ui::PopoverController>& popResult() const { return m_popResult; }
    const std::optional<PersonInfo>& curPersonInfo() const { return m_curPersonInfo; }
    const std::optional<PersonInfo>& submitPerson() const { return m_submitPerson; }
    // The hits the popover lists: customers, or contacts when searching by contact.
    size_t resultCount() const;

    // The show-all switch changed: the list is shown again with or without hidden customers.
    void settingsSwitchChanged();
    int settingsSwitchChanges() const { return m_settingsSwitchChanges; }
    void uploadCustomerFinish(bool accepted);

    // --- Panes and popover ------------------------------------------------------------------
    void searchTextDidChange(const std::string& text) override;
    void searchTextDidChangeByContact(const std::string& text) override;
    void dismissPopoverController() override;
    void changedCustomerFirstNameLastName(const std::optional<PersonInfo>& person, const std::optional<std::string>& first,
                                          const std::optional<std::string>& last) override;
    void addNewCustomer() override;
    void deleteLocalCustomer(int customerId) override;
    void didSelectCell(const PersonInfo& person);
    void didSelectCellByConatct(const ContactMode& hit);
    void customerInfoViewCancel() override;
    void customerInfoViewDoneWithData(const CustomerInfoGroupData& data) override;
    void customerInfoViewHiddenChange(bool hidden) override;
    void submitCustomer(const PersonInfo& person) override;
    void customerInfoViewChangePrimary() override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

    // Stores the groups as the customer's rows, all or nothing; its id, or 0 on failure.
    int storeCustomer(const CustomerInfoGroupData& data);

private:
    void search(const std::string& text, bool byContact);
    void closePopover(bool animated);
    void refreshList();
    // The list selects the customer chosen last again and the pane shows it as stored.
    void showStoredCustomer();
    // After a store: the list and the pane leave editing and show the customer stored.
    void showNewlyStored(int customerId);
    void keepTypedCustomer();

    std::shared_ptr<CustomerListView> m_customerList;
    std::shared_ptr<CustomerInfoView> m_customerInfo;
    std::shared_ptr<CustomerSearchHitsController> m_tableResult;
    std::shared_ptr<ui::PopoverController> m_popResult;
    std::optional<PersonInfo> m_curPersonInfo;
    std::optional<PersonInfo> m_submitPerson;
    std::vector<base::ObserverToken> m_observers;
    // The data of the login this screen was made for: a form left behind by a logout is not
    // the next login's to keep.
    std::weak_ptr<DataAccessManager> m_data;
    int m_loadByConfigCount = 0;
    int m_settingsSwitchChanges = 0;
};
