#pragma once
// Edits made on the device against what the server sends meanwhile: the customer screen over a
// client database filled by real customer syncs from the loopback back end (account "alice" of
// fixture S, whose change set "S-globex" changes customer 9001), and the customer upload.
#include "Classes/Customer/CustomerAttributeCell.h"
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Common/ConfigManager.h"
#include "Common/MessageBox.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Network/BRJSON.h"
#include "Network/BRJsonWriter.h"
#include "Common/Language.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TabBarController.h"
#include "Platform/UI/Window.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SyncModel.h"
#include "tests/Protocol/ProtocolTestSupport.h"
#include "tests/Support/DatabaseRows.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace customersync {

using protocoltest::ProtocolTest;

class SyncEnd : public SyncModelDelegate {
public:
    bool ended = false;
    std::string broken;
    void breakSync(const std::string& message) override
    {
        broken = message;
        ended = true;
        SyncModel::sharedInstance()->resetDownloadProgress();
    }
    void finishedSync() override
    {
        ended = true;
        SyncModel::sharedInstance()->resetDownloadProgress();
    }
};

class OrderUploads : public QuoteOrderStoreDelegate {
public:
    std::vector<std::string> statuses;
    void finishedUploadQuoteOrdersMessage(const std::optional<std::string>& status,
                                          const std::optional<std::string>&) override
    {
        statuses.push_back(status.value_or(""));
    }
};

// The first view of that class under the view, depth first.
template <typename T>
T* findView(ui::View& view, const std::function<bool(T&)>& wanted = {})
{
    for (const auto& sub : view.subviews()) {
        if (auto* found = dynamic_cast<T*>(sub.get()); found && (!wanted || wanted(*found)))
            return found;
        if (auto* found = findView<T>(*sub, wanted))
            return found;
    }
    return nullptr;
}

class CustomerEditSyncTest : public ProtocolTest {
protected:
    void SetUp() override
    {
        ProtocolTest::SetUp();
        if (HasFatalFailure())
            return;
        auto login = LoginMode::sharedInstance();
        login->setDeviceID("dev-1");
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        login->setLoginType(-1);
        ui::View::setAnimationsEnabled(false);
        // Customers only: the catalogue and library are beside the point.
        ConfigManager::sharedInstance()->setModelDescArray(
            std::vector<std::string>{"1", "0", "1", "1", "0", "1", "1", "1"});
        open();
        m_observer = base::NotificationCenter::defaultCenter().addObserver(
            CustomerDataModel::kUploadNotification, nullptr,
            [this](const base::Notification& note) { m_uploads.push_back(note.userInfo.toBool()); });
    }
    void TearDown() override
    {
        m_observer = {};
        QuoteOrderStore::setPreUploadHook({});
        close();
        ui::AlertView::dismissAllForTesting();
        ui::View::setAnimationsEnabled(true);
        ConfigManager::freeInstance();
        ProtocolTest::TearDown();
        DataAccessManager::releaseDataModel();
    }
    // As at launch: the database opened from its file, the models and screen made anew.
    void open()
    {
        m_data = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_data->hasModels());
        m_db = BRDatabase::sharedDataBase();
        m_end = std::make_shared<SyncEnd>();
        SyncModel::sharedInstance()->setDelegate(m_end);
    }
    void close()
    {
        m_driver.reset();
        m_tabs.reset();
        m_screen.reset();
        m_window.reset();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        SyncModel::freeInstance();
        CustomerDataModel::freeInstance();
        QuoteOrderStore::freeInstance();
        m_db.reset();
        m_data.reset();
        DataAccessManager::releaseDataModel();
    }
    void restart()
    {
        close();
        open();
    }
    void sync()
    {
        m_end->ended = false;
        SyncModel::sharedInstance()->startSync();
        ASSERT_TRUE(runWhileServed("the sync's end", [&] { return m_end->ended; }));
        ASSERT_EQ(m_end->broken, "");
    }
    void upload(int customerId)
    {
        m_uploads.clear();
        CustomerDataModel::sharedInstance()->submitCustomer(customerId);
        ASSERT_TRUE(runUntil([&] { return !m_uploads.empty(); }));
        ASSERT_EQ(m_uploads, std::vector<bool>{true});
    }
    CustomerViewController& screen()
    {
        if (!m_screen) {
            m_window = std::make_shared<ui::Window>();
            m_window->makeKeyAndVisible();
            m_screen = std::make_shared<CustomerViewController>();
            m_window->setRootViewController(m_screen);
            m_driver = std::make_unique<ui::Driver>(*m_window);
        }
        return *m_screen;
    }
    // What the user does on the customer pane: Edit, the changes, Done.
    void edit(int customerId, const std::function<void(CustomerInfoView&, CustomerInfoGroupData&)>& change)
    {
        screen().customerList()->selectedCustomer(customerId);
        auto& pane = *screen().customerInfo();
        ASSERT_TRUE(pane.personInfo());
        ASSERT_EQ(pane.personInfo()->pid, customerId);
        pane.customerInfoViewEdit();
        ASSERT_EQ(pane.customerType(), 1);
        change(pane, pane.customerInfoGroupData());
        pane.customerInfoViewDone();
        ASSERT_EQ(pane.customerType(), 0) << "stored";
    }
    static void set(brivanta_customer_group_Entity& group, const std::string& field, const std::string& value)
    {
        for (auto& row : group.customerAttributes)
            if (row.field == field)
                row.value = value;
    }
    std::string rows(const std::string& sql)
    {
        return testsupport::rowsText(*m_db, sql);
    }
    // The customer as the device holds it, ids left out: what the user sees.
    std::string customer(int id)
    {
        std::string key = std::to_string(id);
        return rows("select customer_name, hidden from brivanta_customer where customer_id = " + key)
            + rows("select f.field_name, a.attribute_value from brivanta_customer_attribute a left join "
                   "brivanta_fields_customer_attribute f on f.field_id = a.attribute_fields_id where a.customer_id = "
                   + key + " order by 1, 2")
            + rows("select address, city, state, zip_code, isDefault from brivanta_customer_address where customer_id = "
                   + key + " order by 1")
            + rows("select first_name, last_name, job_title, work_phone, mobile_phone, email, im, note from "
                   "brivanta_customer_contact where customer_id = " + key + " order by 1, 3");
    }
    int count(const std::string& sql) { return m_db->intForQuery(sql); }
    int changes(int customerId) { return m_data->customerModel()->customerChangeCount(customerId); }
    // The customer as the back end holds it: its name and addresses.
    base::Value onServer(int customerId)
    {
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& customer : state["serverCustomers"].asArray())
            if (customer["customerId"].toInt() == customerId)
                return customer;
        return {};
    }
    int storedOrder(int customerId, const std::string& name)
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerId(customerId);
        order->setCurrency("USD");
        int id = m_data->saveQuoteOrder(order);
        EXPECT_NE(id, 0);
        // Order numbers are made from the second.
        base::RunLoop::main().runUntil([] { return false; }, 1.05);
        return id;
    }
    // Submit of every unsent order, as the order list starts it; the store's answer status.
    std::string submitOrders()
    {
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        store->setDelegate(m_orders);
        m_orders->statuses.clear();
        if (!store->startUploadQuoteOrder(0))
            return "not started";
        if (!runUntil([&] { return !m_orders->statuses.empty(); }))
            return "no answer";
        return m_orders->statuses.front();
    }
    // The customer tab beside a second tab whose navigation stack can hold an order editor.
    void showTabs()
    {
        m_window = std::make_shared<ui::Window>();
        m_window->makeKeyAndVisible();
        m_screen = std::make_shared<CustomerViewController>();
        m_screen->setTitle("Customers tab");
        m_other = std::make_shared<ui::ViewController>();
        m_other->setTitle("Other tab");
        m_otherNav = std::make_shared<ui::NavigationController>(m_other);
        m_otherNav->setTitle("Other tab");
        m_tabs = std::make_shared<ui::TabBarController>();
        m_tabs->setViewControllers({m_screen, m_otherNav});
        m_window->setRootViewController(m_tabs);
        m_driver = std::make_unique<ui::Driver>(*m_window);
        m_window->layoutIfNeeded();
    }
    void tapTab(const std::string& title)
    {
        m_window->layoutIfNeeded();
        ASSERT_TRUE(m_driver->tapText(title)) << title;
        m_window->layoutIfNeeded();
    }
    CustomerInfoViewHiddenCell* hideAndSubmitBar()
    {
        m_window->layoutIfNeeded();
        return findView<CustomerInfoViewHiddenCell>(*screen().customerInfo());
    }

    // The server as the fixture has it (and the office's change set, when named), and this
    // device after its first full sync.
    void startFresh(const char* changeSet = nullptr)
    {
        ASSERT_TRUE(backend().reset());
        if (changeSet) {
            ASSERT_TRUE(backend().applyChangeSet(changeSet));
        }
        secondDevice();
    }
    // A fresh start, as a login that uploads its orders.
    void startFreshUploading()
    {
        // Its sync logs in, so that the device holds a session of the back end's present run.
        LoginMode::sharedInstance()->setLoginType(-1);
        startFresh();
        LoginMode::sharedInstance()->setLoginType(1);
        CustomerDataModel::installOrderUploadHook();
    }
    // The customer screen let go, for the next case to make its own.
    void dropScreen()
    {
        m_driver.reset();
        m_screen.reset();
        m_window.reset();
    }
    // What another device holds after its first full sync: the database emptied of customers
    // and orders, then a full sync.
    void secondDevice()
    {
        wipeCustomers();
        sync();
    }
    // How often the back end has taken up a fault of that target.
    int faultUsed(const std::string& target)
    {
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        int used = 0;
        for (const auto& fault : state["faults"].asArray())
            if (fault["target"].toString() == target)
                used += int(fault["used"].toInt());
        return used;
    }
    void wipeCustomers()
    {
        for (const char* table : {"brivanta_customer", "brivanta_customer_address", "brivanta_customer_attribute",
                                  "brivanta_customer_contact", "brivanta_customer_unsent", "brivanta_customer_changed",
                                  "brivanta_customer_sent", "brivanta_quote_order", "brivanta_quote_order_item"})
            ASSERT_TRUE(m_db->executeUpdate(std::string("DELETE FROM ") + table));
        base::UserDefaults::standard()->removeObjectForKey("AcmeCo-CustomerSynced");
        CustomerDataModel::sharedInstance()->reloadCustomerData();
    }
    // The primary rows of a customer on the device.
    std::string primaries(int customerId)
    {
        std::string key = std::to_string(customerId);
        return rows("select 'address ' || id from brivanta_customer_address where isDefault = 1 and customer_id = " + key)
            + rows("select 'contact ' || contact_id from brivanta_customer_contact where isDefault = 1 and customer_id = "
                   + key);
    }
    // The check box of a group, as the user ticks it while viewing the customer.
    void tapPrimary(int customerId, int indexId, int type)
    {
        screen().customerList()->selectedCustomer(customerId);
        m_window->layoutIfNeeded();
        auto& pane = *screen().customerInfo();
        // Scrolled until the group's check box is where a finger reaches it.
        CustomerInfoGroupView* header = nullptr;
        auto reachable = [&](CustomerInfoGroupView& view) {
            if (view.indexId != indexId || view.type != type)
                return false;
            const auto& box = view.btnSelect();
            return m_window->hitTest(box.convertPointToView({box.bounds().midX(), box.bounds().midY()}, nullptr)) == &box;
        };
        auto table = pane.tableCustomerInfo();
        for (int section = 0; !header && section < table->numberOfSections(); ++section) {
            for (auto position : {ui::TableViewScrollPosition::Middle, ui::TableViewScrollPosition::Bottom}) {
                table->scrollToRowAtIndexPath({section, 0}, position, false);
                m_window->layoutIfNeeded();
                if ((header = findView<CustomerInfoGroupView>(*table, reachable)))
                    break;
            }
        }
        ASSERT_TRUE(header);
        ASSERT_TRUE(m_driver->tap(&header->btnSelect()));
    }
    // Every field the back end holds of the customer, one line per row, ids included.
    std::string serverCustomer(int customerId)
    {
        const base::Value c = onServer(customerId);
        std::string text = c["customerInfoId"].toString() + "|" + c["customerName"].toString() + "|"
            + c["customerPublish"].toString() + "|" + c["customerOrdering"].toString() + "|"
            + c["customerDiscount"].toString() + "|\n";
        for (const auto& a : c["attributes"].asArray())
            text += a["attributeId"].toString() + "|" + a["attributeFieldsId"].toString() + "|"
                + a["attributeValue"].toString() + "|\n";
        for (const auto& a : c["addresses"].asArray())
            text += a["id"].toString() + "|" + a["customer_id"].toString() + "|" + a["address"].toString() + "|"
                + a["city"].toString() + "|" + a["state"].toString() + "|" + a["zip_code"].toString() + "|\n";
        for (const auto& k : c["contacts"].asArray()) {
            text += k["contactId"].toString();
            for (const char* key : {"firstName", "lastName", "jobTitle", "workPhone", "mobilePhone", "email", "im", "note"})
                text += "|" + k[key].toString();
            text += "|\n";
        }
        return text;
    }
    std::vector<std::string> serverNames()
    {
        std::vector<std::string> names;
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& customer : state["serverCustomers"].asArray())
            names.push_back(customer["customerName"].toString());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Customer 9001 as the office's change set leaves it, on the server and on a device.
    static constexpr const char* kOfficeGlobex =
        "C-9001|Globex Corporation|1|1|5|\n1|4|Platinum|\n2|5|YES|\n"
        "1|9001|1 Main Street, Suite 5|Springfield|IL|62701|\n71|9001|9 Harbor Road|Shelbyville|IL|62565|\n"
        "1|Hank|Scorpio|Chief|555-0101|555-0199|hank@globex.test|||\n2|Mindy|Simmons|Buyer|555-0103||mindy@globex.test|||\n";
    static constexpr const char* kOfficeGlobexOnDevice =
        "Globex Corporation|0|\nActive|YES|\nLevel|Platinum|\n1 Main Street, Suite 5|Springfield|IL|62701|0|\n"
        "9 Harbor Road|Shelbyville|IL|62565|0|\nHank|Scorpio|Chief|555-0101|555-0199|hank@globex.test|||\n"
        "Mindy|Simmons|Buyer|555-0103||mindy@globex.test|||\n";

    // The order editor's road to a new customer: an order for a name no customer has, with a
    // street typed in the address popup, its new-customer question answered ADD, the order
    // saved; then the phone typed on the customer screen, all before anything is sent. The
    // customer's id, negative.
    int newCustomerFromOrderEditor(const std::string& name, const std::string& street, const std::string& phone)
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerAddress(street);
        order->setCurrency("USD");
        order->setIsInEdit(true);
        {
            auto window = std::make_shared<ui::Window>();
            window->makeKeyAndVisible();
            auto editor = std::make_shared<QuoteOrderViewController>();
            editor->setQuoteOrder(order);
            window->setRootViewController(editor);
            window->layoutIfNeeded();
            editor->saveNewCustomer();
            EXPECT_NE(editor->saveCurrentOrder(), 0);
        }
        const int local = order->customerId();
        EXPECT_LT(local, 0);
        // Order numbers are made from the second.
        base::RunLoop::main().runUntil([] { return false; }, 1.05);
        screen().settingsSwitchChanged();
        edit(local, [&](CustomerInfoView&, CustomerInfoGroupData& groups) {
            set(groups.customerCompanyData()[0], "Phone", phone);
        });
        return local;
    }
    // Another device of the company (account bob) uploads its own new customer, as its order
    // editor makes one; the id the server gave it.
    int otherDeviceUploads(const std::string& name, const std::string& phone, const std::string& street)
    {
        const int local = m_otherLocal--;
        base::Array attributes;
        const std::pair<int, std::string> values[] = {{11, phone}, {12, ""}, {5, ""},  {14, street},
                                                      {15, ""},    {16, ""}, {17, ""}};
        int row = local * 10;
        for (const auto& [field, value] : values)
            attributes.push_back(base::Dictionary{{"attribute_id", row--},
                                                  {"customer_id", local},
                                                  {"attribute_fields_id", field},
                                                  {"attribute_value", field == 5 ? base::Value(1) : base::Value(value)}});
        return otherDeviceSends(customerUpload(local, name, std::move(attributes)));
    }
    // A device's upload document of one new customer, at its local id, with attribute rows only.
    static base::Value customerUpload(int local, const std::string& name, base::Array attributes)
    {
        return base::Value(base::Dictionary{
            {"brivanta_customer", base::Array{base::Dictionary{{"customer_id", local},
                                                               {"customer_info_id", ""},
                                                               {"customer_name", name},
                                                               {"customer_publish", 1},
                                                               {"customer_ordering", 0},
                                                               {"discount", 0}}}},
            {"brivanta_customer_address", base::Array{}},
            {"brivanta_customer_attribute", std::move(attributes)},
            {"brivanta_customer_contact", base::Array{}}});
    }
    // Another device (account bob) sends that customer upload document; the id the server gave
    // its first customer.
    int otherDeviceSends(const base::Value& document)
    {
        auto syncData = BRJsonWriter().stringWithObject(document);
        auto body = BRJsonWriter().stringWithObject(base::Value(base::Dictionary{
            {"root", base::Dictionary{{"parameters", base::Dictionary{{"methodName", "syncData"},
                                                                      {"accountId", "bob"},
                                                                      {"clientId", "AcmeCo"},
                                                                      {"syncData", syncData.value_or("")}}}}}}));
        auto answer = testsupport::httpExchange(backend().commandPort(), "POST",
                                                std::string("/") + testsupport::TestBackend::kPath + "/SyncClient;",
                                                body.value_or(""), {{"Content-Type", "application/json"}});
        EXPECT_TRUE(answer && answer->status == 200);
        auto value = JSONValue(answer ? answer->body : "");
        EXPECT_TRUE(value);
        return value ? int((*value)["content"]["brivanta_customer"].asArray().at(0)["customerId"].toInt()) : 0;
    }
    // A server customer's value of an attribute field, "-" when it has none.
    std::string serverValue(int customerId, int field)
    {
        const base::Value customer = onServer(customerId);
        if (!customer["attributes"].isArray())
            return "-";
        for (const auto& a : customer["attributes"].asArray())
            if (a["attributeFieldsId"].toInt() == field)
                return a["attributeValue"].toString();
        return "-";
    }
    // The customer ids the server's uploaded orders name.
    std::vector<int64_t> orderCustomersOnServer()
    {
        std::vector<int64_t> ids;
        base::Value state = JSONValue(backend().state()).value_or(base::Value());
        for (const auto& order : state["orders"].asArray())
            if (order["source"].toString() == "upload")
                ids.push_back(order["customerId"].toInt());
        return ids;
    }

    std::shared_ptr<DataAccessManager> m_data;
    std::shared_ptr<BRDatabase> m_db;
    std::shared_ptr<SyncEnd> m_end;
    int m_otherLocal = -1;
    std::shared_ptr<ui::Window> m_window;
    std::shared_ptr<CustomerViewController> m_screen;
    base::ObserverToken m_observer;
    std::vector<bool> m_uploads;
    std::shared_ptr<OrderUploads> m_orders = std::make_shared<OrderUploads>();
    std::shared_ptr<ui::TabBarController> m_tabs;
    std::shared_ptr<ui::ViewController> m_other;
    std::shared_ptr<ui::NavigationController> m_otherNav;
    std::unique_ptr<ui::Driver> m_driver;
};

} // namespace customersync
