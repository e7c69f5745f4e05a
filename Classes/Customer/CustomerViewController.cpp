#include "Classes/Customer/CustomerViewController.h"

#include "Common/AppSession.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/MessageBox.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Text.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TableView.h"
#include "Protocol/LoginMode.h"

#include <algorithm>
#include <set>

// The search hits in the popover: customer names, or contacts with their customer.
class CustomerSearchHitsController : public ui::ViewController,
                                     public ui::TableViewDataSource,
                                     public ui::TableViewDelegate {
public:
    explicit CustomerSearchHitsController(CustomerViewController* screen) : m_screen(screen) {}
    ~CustomerSearchHitsController() override
    {
        if (m_table) {
            m_table->setDataSource(nullptr);
            m_table->setDelegate(nullptr);
        }
    }
    const char* className() const override { return "CustomerSearchHitsController"; }

    void loadView() override
    {
        m_table = ui::View::make<ui::TableView>(gfx::Rect{0, 0, 263, 200});
        m_table->setDataSource(this);
        m_table->setDelegate(this);
        setView(m_table);
    }
    void setByContact(bool byContact) { m_byContact = byContact; }
    bool byContact() const { return m_byContact; }
    void setPeople(std::vector<PersonInfo> people) { m_people = std::move(people); }
    void setContacts(std::vector<ContactMode> contacts) { m_contacts = std::move(contacts); }
    const std::vector<PersonInfo>& people() const { return m_people; }
    const std::vector<ContactMode>& contacts() const { return m_contacts; }
    size_t count() const { return m_byContact ? m_contacts.size() : m_people.size(); }
    void reload()
    {
        if (m_table)
            m_table->reloadData();
    }

    int numberOfRowsInSection(ui::TableView&, int) override { return static_cast<int>(count()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("Cell");
        if (!cell)
            cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Subtitle, "Cell");
        const auto row = static_cast<size_t>(ip.row);
        if (m_byContact && row < m_contacts.size()) {
            const auto& hit = m_contacts[row];
            cell->textLabel().setText(hit.fristName + " " + hit.lastName);
            cell->detailTextLabel().setText(hit.personInfo.name);
        } else if (row < m_people.size()) {
            cell->textLabel().setText(m_people[row].name);
            cell->detailTextLabel().setText("");
        }
        return cell;
    }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip) override
    {
        const auto row = static_cast<size_t>(ip.row);
        if (m_byContact && row < m_contacts.size())
            m_screen->didSelectCellByConatct(ContactMode(m_contacts[row]));
        else if (!m_byContact && row < m_people.size())
            m_screen->didSelectCell(PersonInfo(m_people[row]));
    }

private:
    CustomerViewController* m_screen;
    std::shared_ptr<ui::TableView> m_table;
    bool m_byContact = false;
    std::vector<PersonInfo> m_people;
    std::vector<ContactMode> m_contacts;
};

namespace {

int fieldIdNamed(const std::vector<customer_attribute_cell_Entity>& fields, const std::string& name)
{
    for (const auto& field : fields) {
        if (field.fieldName == name)
            return field.field_id;
    }
    return 0;
}

std::string valueOf(const brivanta_customer_group_Entity& group, const std::string& field)
{
    const CustomerGroupRow* row = group.rowWithField(field);
    return row ? row->value.value_or("") : std::string();
}

} // namespace

CustomerViewController::CustomerViewController()
{
    // The token ends the observation with the screen; the handler never outlives it.
    m_observers.push_back(base::NotificationCenter::defaultCenter().addObserver(
        "SETTINGS_SWITCH_CHANGE_NOTIFATION", nullptr, [this](const base::Notification&) { settingsSwitchChanged(); }));
    m_observers.push_back(base::NotificationCenter::defaultCenter().addObserver(
        kKeepOpenFormNotification, nullptr, [this](const base::Notification&) { keepTypedCustomer(); }));
}

void CustomerViewController::keepOpenForm()
{
    base::NotificationCenter::defaultCenter().post(kKeepOpenFormNotification);
}

void CustomerViewController::keepTypedCustomer()
{
    if (!m_customerInfo || !DataAccessManager::isOpen(m_data))
        return;
    if (!m_customerInfo->formToKeep())
        return;
    int customerId = storeCustomer(m_customerInfo->customerInfoGroupData());
    if (customerId == 0) {
        base::log("the customer being entered could not be stored at exit");
        return;
    }
    showNewlyStored(customerId);
}

CustomerViewController::~CustomerViewController()
{
    m_observers.clear();
    m_submitPerson.reset();
    if (m_customerList)
        m_customerList->setDelegate(nullptr);
    if (m_customerInfo)
        m_customerInfo->setDelegate(nullptr);
    if (m_popResult)
        m_popResult->setDelegate(nullptr);
}

void CustomerViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    m_data = DataAccessManager::sharedDataModel();
    m_observers.push_back(base::NotificationCenter::defaultCenter().addObserver(
        CustomerDataModel::kUploadNotification, nullptr,
        [this](const base::Notification& note) { uploadCustomerFinish(note.userInfo.toBool()); }));
    if (auto* navigation = navigationController())
        navigation->setNavigationBarHidden(true);
    view()->setBackgroundColor(gfx::Color::black());

    auto model = CustomerDataModel::sharedInstance();
    // The panes run down to the tab bar: the window has no status bar above them.
    const double paneHeight = std::max(682.0, view()->bounds().height());
    m_customerList = ui::View::make<CustomerListView>(gfx::Rect{0, 0, 360, paneHeight});
    m_customerList->setDelegate(this);
    m_customerList->startObserving();
    m_customerList->setAllCustomerdic(model->customerInfoDic());
    view()->addSubview(m_customerList);

    m_customerInfo = ui::View::make<CustomerInfoView>(gfx::Rect{361, 0, 663, paneHeight});
    m_customerInfo->setDelegate(this);
    m_customerInfo->startObserving();
    view()->addSubview(m_customerInfo);

    m_tableResult = std::make_shared<CustomerSearchHitsController>(this);
    m_popResult = std::make_shared<ui::PopoverController>(m_tableResult);
    m_popResult->setDelegate(this);
    m_popResult->setPopoverContentSize({263, 200});
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void CustomerViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    auto& flags = ConfigManager::sharedInstance()->flagDic();
    auto flag = flags.find("Needreloadcustomer");
    if (flag == flags.end() || flag->second != "YES" || !m_customerList)
        return;
    flag->second = "NO";
    if (m_customerInfo->customerType() == 1) {
        // A customer being entered or edited stays, with what was typed and its edit mode:
        // only the list takes the new customers.
        m_customerList->setAllCustomerdic(CustomerDataModel::sharedInstance()->customerInfoDic());
        return;
    }
    // The customer shown may have changed elsewhere: nothing is shown until one is chosen.
    m_customerList->tableCustomer()->forgetSelection();
    m_curPersonInfo.reset();
    m_customerInfo->setPersonInfo(std::nullopt);
    m_customerList->setAllCustomerdic(CustomerDataModel::sharedInstance()->customerInfoDic());
}

void CustomerViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    if (m_customerInfo)
        m_customerInfo->tableCustomerInfo()->flashScrollIndicators();
}

void CustomerViewController::loadByConfig()
{
    ++m_loadByConfigCount;
    QuoteOrderStore::sharedQuoteOrderStore()->setIsCustomerOnShow(ConfigManager::sharedInstance()->isOnShow(2));
}

void CustomerViewController::refreshList()
{
    auto model = CustomerDataModel::sharedInstance();
    model->reloadCustomerData();
    if (m_customerList)
        m_customerList->setAllCustomerdic(model->customerInfoDic());
}

void CustomerViewController::settingsSwitchChanged()
{
    ++m_settingsSwitchChanges;
    if (!m_customerList)
        return;
    bool showAll = ConfigManager::sharedInstance()->isShowAllCustomer();
    auto model = CustomerDataModel::sharedInstance();
    model->reloadCustomerData();
    if (!showAll && m_curPersonInfo && m_curPersonInfo->hidden)
        m_customerInfo->setPersonInfo(std::nullopt);
    m_customerList->setAllCustomerdic(model->customerInfoDic());
}

void CustomerViewController::uploadCustomerFinish(bool accepted)
{
    if (accepted)
        refreshList();
}

// --- Search --------------------------------------------------------------------------------

size_t CustomerViewController::resultCount() const
{
    return m_tableResult ? m_tableResult->count() : 0;
}

void CustomerViewController::closePopover(bool animated)
{
    if (m_popResult && m_popResult->isPopoverVisible())
        m_popResult->dismissPopoverAnimated(animated);
}

void CustomerViewController::search(const std::string& text, bool byContact)
{
    std::string trimmed(base::trimmingWhitespaceAndNewlines(text));
    if (trimmed.empty() || !m_tableResult) {
        closePopover(true);
        return;
    }
    auto model = CustomerDataModel::sharedInstance();
    m_tableResult->setByContact(byContact);
    if (byContact)
        m_tableResult->setContacts(model->customerSearchByContact(trimmed));
    else
        m_tableResult->setPeople(model->customerSearch(trimmed));
    if (m_tableResult->count() == 0) {
        closePopover(true);
        return;
    }
    m_tableResult->reload();
    if (!m_popResult->isPopoverVisible())
        m_popResult->presentPopoverFromRect({150, 80, 10, 45}, view().get(), ui::PopoverArrowDirectionAny, true);
}

void CustomerViewController::searchTextDidChange(const std::string& text)
{
    search(text, false);
}

void CustomerViewController::searchTextDidChangeByContact(const std::string& text)
{
    search(text, true);
}

void CustomerViewController::dismissPopoverController()
{
    if (m_tableResult && m_tableResult->count() == 1) {
        if (m_tableResult->byContact())
            didSelectCellByConatct(ContactMode(m_tableResult->contacts().front()));
        else
            didSelectCell(PersonInfo(m_tableResult->people().front()));
    }
    closePopover(false);
}

void CustomerViewController::didSelectCell(const PersonInfo& person)
{
    closePopover(false);
    m_customerList->selectedCustomer(person.pid);
    m_customerInfo->customerHiddenNewCustomerViews();
    m_customerList->customerListViewCancle();
}

void CustomerViewController::didSelectCellByConatct(const ContactMode& hit)
{
    closePopover(false);
    m_customerInfo->customerHiddenNewCustomerViews();
    m_customerList->customerListViewCancle();
    m_customerList->selectedCustomerByConatct(hit);
}

// --- Showing, entering and storing -------------------------------------------------------------

void CustomerViewController::changedCustomerFirstNameLastName(const std::optional<PersonInfo>& person,
                                                              const std::optional<std::string>& first,
                                                              const std::optional<std::string>& last)
{
    m_curPersonInfo = person;
    auto filled = [](const std::optional<std::string>& text) {
        return text && !base::trimmingWhitespaceAndNewlines(*text).empty();
    };
    if (person && filled(first) && filled(last))
        m_customerInfo->setPersonInfoFromByContactFirstNameLastName(*person, *first, *last);
    else
        m_customerInfo->setPersonInfo(person);
    m_customerInfo->customerHiddenNewCustomerViews();
    if (m_customerList->isEditType())
        m_customerList->customerListViewCancle();
}

void CustomerViewController::addNewCustomer()
{
    m_customerInfo->addNewCustomer();
    PersonInfo person;
    for (auto cell : CustomerDataModel::sharedInstance()->allAttributes()) {
        cell.attributeValue = "";
        person.attribute.push_back(cell);
    }
    m_customerInfo->setNewPersonInfo(person);
}

void CustomerViewController::customerInfoViewCancel()
{
    m_customerList->customerListViewCancle();
    // The customer chosen last, as stored: what was typed is not shown any more.
    showStoredCustomer();
}

void CustomerViewController::showStoredCustomer()
{
    if (m_curPersonInfo)
        m_customerList->selectedCustomer(m_curPersonInfo->pid);
}

int CustomerViewController::storeCustomer(const CustomerInfoGroupData& data)
{
    auto manager = DataAccessManager::sharedDataModel();
    if (!manager || !manager->hasModels())
        return 0;
    auto model = CustomerDataModel::sharedInstance();
    const auto& shown = m_customerInfo->personInfo();
    const bool edited = shown && shown->pid != 0;
    const bool hidden = edited && shown->hidden;
    const auto& company = data.customerCompanyData();
    if (company.empty())
        return 0;
    const int customerId = edited ? shown->pid : model->nextLocalCustomerId();
    const auto& fields = model->allAttributes();
    auto customers = manager->customerModel();
    bool stored = manager->runInTransaction([&] {
        // What the customer was before this edit: the fields that differ afterwards are the
        // user's, kept through the syncs until the server has them.
        const CustomerRecord before = edited ? customers->readCustomerRecord(customerId) : CustomerRecord{};
        // New rows are numbered below every local row, this customer's included: read before
        // its rows go, a kept row's id would be handed out again and the new row replace it.
        int addressId = manager->getLastLocalCustomerAddressId();
        int attributeId = manager->getLastLocalCustomerAttributesId();
        int contactId = manager->getLastLocalCustomerContactsId();
        // An edit replaces the customer's rows under its own id, so orders naming it stay on it;
        // rows that stay keep their ids, so the server's rows are updated rather than doubled.
        if (edited && !manager->deleteCustomerTableWithID(customerId))
            return false;
        brivanta_customer_Entity customer = before.customer;
        customer.customer_id = customerId;
        if (!edited || before.customer.customer_id != customerId) {
            customer.customer_info_id = "";
            customer.customer_publish = 1;
            customer.customer_ordering = 0;
            customer.discount = 0;
        }
        customer.customer_name = company[0].customerAttributes.empty()
            ? std::string()
            : company[0].customerAttributes[0].value.value_or("");
        if (!manager->saveToDatabaseCustomer(std::vector{customer}))
            return false;
        if (!edited && !CustomerDataModel::keepLocalCustomerId(*manager, customerId))
            return false;
        if (hidden && !manager->updateCustomerTableHiddenWithCustomerIdWithHidden(customerId, true))
            return false;

        auto keeps = [](const auto& rows, int id, auto rowId) {
            return id != 0 && std::any_of(rows.begin(), rows.end(), [&](const auto& r) { return rowId(r) == id; });
        };
        std::vector<brivanta_customer_address_Entity> addresses;
        for (size_t i = 2; i < company.size(); ++i) {
            brivanta_customer_address_Entity address;
            const int groupId = company[i].indexId;
            address.indexId = keeps(before.addresses, groupId, [](const auto& a) { return a.indexId; }) ? groupId
                                                                                                        : --addressId;
            address.customerId = customerId;
            address.isDefault = company[i].isDefault;
            address.customerAddress = valueOf(company[i], "address");
            address.customerCity = valueOf(company[i], "city");
            address.customerState = valueOf(company[i], "state");
            address.customerZipCode = valueOf(company[i], "zip_code");
            if (!address.customerAddress->empty() || !address.customerCity->empty() || !address.customerState->empty()
                || !address.customerZipCode->empty())
                addresses.push_back(address);
        }
        if (!addresses.empty() && !manager->saveToDatabaseCustomerAddress(addresses))
            return false;

        std::vector<brivanta_customer_attribute_Entity> attributes;
        std::set<int> shownFields;
        for (size_t g = 0; g < 2 && g < company.size(); ++g) {
            for (const auto& row : company[g].customerAttributes) {
                if (row.field.empty())
                    continue; // the name is the customer row's
                brivanta_customer_attribute_Entity attribute;
                attribute.customer_id = customerId;
                attribute.attribute_value = row.value.value_or("");
                attribute.attribute_fields_id = fieldIdNamed(fields, row.field);
                auto old = std::find_if(before.attributes.begin(), before.attributes.end(), [&](const auto& a) {
                    return a.attribute_fields_id == attribute.attribute_fields_id && attribute.attribute_fields_id != 0
                        && !shownFields.count(a.attribute_fields_id);
                });
                attribute.attribute_id = old != before.attributes.end() ? old->attribute_id : --attributeId;
                shownFields.insert(attribute.attribute_fields_id);
                attributes.push_back(attribute);
            }
        }
        // Values of fields the form does not show are not the user's to drop.
        for (const auto& a : before.attributes)
            if (a.attribute_fields_id != 0 && !shownFields.count(a.attribute_fields_id))
                if (std::none_of(attributes.begin(), attributes.end(),
                                 [&](const auto& b) { return b.attribute_id == a.attribute_id; }))
                    attributes.push_back(a);
        if (!manager->saveToDatabaseCustomerAttribute(attributes))
            return false;

        std::vector<brivanta_customer_contact_entity> contacts;
        for (const auto& group : data.customerContactData()) {
            brivanta_customer_contact_entity contact;
            contact.contactID = keeps(before.contacts, group.indexId, [](const auto& c) { return c.contactID; })
                ? group.indexId
                : --contactId;
            contact.customerID = customerId;
            contact.isDeful = group.isDefault;
            contact.first_name = valueOf(group, "first_name");
            contact.last_name = valueOf(group, "last_name");
            contact.job_title = valueOf(group, "job_title");
            contact.work_phone = valueOf(group, "work_phone");
            contact.mobile_phone = valueOf(group, "mobile_phone");
            contact.email = valueOf(group, "email");
            contact.im = valueOf(group, "im");
            contact.note = valueOf(group, "note");
            contacts.push_back(contact);
        }
        if (!contacts.empty() && !manager->saveToDatabaseCustomerContact(contacts))
            return false;
        // Until the server has this version, a sync keeps what the user changed.
        return (!edited || customers->recordChangedFields(customerId, before, customers->readCustomerRecord(customerId)))
            && customers->markCustomerChanged(customerId);
    });
    return stored ? customerId : 0;
}

void CustomerViewController::customerInfoViewDoneWithData(const CustomerInfoGroupData& data)
{
    int customerId = storeCustomer(data);
    if (customerId == 0) {
        // Nothing was changed: the pane keeps what was typed for another try.
        std::make_shared<UIToast>()->show(Language::stringWithName("FAILED"));
        return;
    }
    showNewlyStored(customerId);
}

void CustomerViewController::showNewlyStored(int customerId)
{
    m_customerList->customerListViewDone();
    m_customerInfo->customerHiddenNewCustomerViews();
    refreshList();
    m_customerList->selectedCustomer(customerId);
}

void CustomerViewController::customerInfoViewHiddenChange(bool hidden)
{
    bool showAll = ConfigManager::sharedInstance()->isShowAllCustomer();
    if (!m_curPersonInfo)
        return;
    m_curPersonInfo->hidden = hidden;
    m_customerList->updateCustomerInfoDicWithHidden(m_curPersonInfo->pid, hidden);
    if (!showAll) {
        refreshList();
        m_customerInfo->setPersonInfo(std::nullopt);
    }
}

void CustomerViewController::customerInfoViewChangePrimary()
{
    refreshList();
    showStoredCustomer();
}

void CustomerViewController::deleteLocalCustomer(int customerId)
{
    auto manager = DataAccessManager::sharedDataModel();
    if (!manager || !manager->hasModels())
        return;
    // Orders naming the customer go to no customer, keeping the name they were written for.
    brivanta_customer_Entity orphaned;
    orphaned.pid = customerId;
    orphaned.customer_id = 0;
    bool deleted = manager->runInTransaction([&] {
        return manager->deleteCustomerTableWithID(customerId) && manager->updateOrderTable(std::vector{orphaned});
    });
    if (!deleted) {
        std::make_shared<UIToast>()->show(Language::stringWithName("FAILED"));
        refreshList();
        return;
    }
    QuoteOrderStore::sharedQuoteOrderStore()->updateOrderTable({orphaned});
    m_customerInfo->deleteLocalCustomer(customerId);
    refreshList();
}

// --- Upload --------------------------------------------------------------------------------

void CustomerViewController::submitCustomer(const PersonInfo& person)
{
    std::shared_ptr<ui::AlertView> alert;
    if (LoginMode::sharedInstance()->loginType() == 3) {
        alert = std::make_shared<ui::AlertView>(Language::stringWithName("FUNCTIONLIMITED"),
                                                Language::stringWithName("DEMOMODELOGIN"), this,
                                                Language::stringWithName("ISEE"),
                                                std::vector{Language::stringWithName("SIGNUPNOW")});
        alert->setTag(kDemoAlertTag);
    } else {
        m_submitPerson = person;
        alert = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"),
                                                Language::stringWithName("CUSTOMERSUBMIT"), this,
                                                Language::stringWithName("CANCEL"),
                                                std::vector{Language::stringWithName("SUBMIT")});
        alert->setTag(kSubmitAlertTag);
    }
    alert->show();
}

void CustomerViewController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    if (alert.tag() == kDemoAlertTag) {
        if (index == 1)
            ui::Application::shared().openURL(AppSession::kRegistrationPageAddress);
        return;
    }
    if (alert.tag() != kSubmitAlertTag)
        return;
    auto person = std::move(m_submitPerson);
    m_submitPerson.reset();
    if (index != 1 || !person)
        return;
    MessageBox::sharedInstance()->BeginBlockWaitTimeout(Language::stringWithName("UPLOADCUSTOMER"), kUploadWaitSeconds);
    CustomerDataModel::sharedInstance()->submitCustomer(person->pid);
}
